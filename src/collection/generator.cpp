// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/generator.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "collection/glimra_file.h"
#include "collection/sort_keys.h"
#include "datafile/datafile.h"
#include "text/picture.h"

namespace glimra::collection {
namespace {

// splitmix64: small, fast and the same everywhere (unlike the standard
// library's distributions).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }
  template <std::size_t N>
  std::string_view pick(const std::array<std::string_view, N>& list) {
    return list[below(N)];
  }

 private:
  std::uint64_t state_;
};

// Text is Windows-1252: \xE9 is é, \xF6 ö, \xFC ü, \xE8 è.
constexpr std::array<std::string_view, 24> ADJECTIVES = {
    "Frosted", "Golden", "Silver", "Glass", "Painted", "Velvet", "Twinkling", "Snowy",
    "Jolly", "Crystal", "Vintage", "Little", "Merry", "Shining", "Carved", "Glittering",
    "Rustic", "Royal", "Sleepy", "Dancing", "Gl\xFC" "hend", "Pass\xE9", "Bright", "Tiny"};
constexpr std::array<std::string_view, 28> NOUNS = {
    "Angel", "Star", "Snowman", "Reindeer", "Bell", "Santa", "Drummer Boy", "Nutcracker",
    "Pinecone", "Icicle", "Dove", "Teddy Bear", "Sleigh", "Stocking", "Candle", "Owl",
    "Cardinal", "Gingerbread House", "Rocking Horse", "Wreath", "Lantern", "Acorn", "Fox",
    "Carousel", "Train", "Caf\xE9 Sign", "Pi\xF1" "ata", "Tree Topper"};
constexpr std::array<std::string_view, 16> SERIES = {
    "Winter Wonderland", "Frost Garden", "Holiday Heirlooms", "Nostalgic Houses",
    "Christmas Carousel", "Santa on the Roof", "Toymaker", "Snow Pals", "Northern Lights",
    "Old World Glass", "Twelve Days", "Birds of Winter", "Night Before Christmas",
    "Sweet Treats", "Village Lights", "Premi\xE8re Edition"};
constexpr std::array<std::string_view, 12> CATEGORIES = {
    "Glass", "Wood", "Porcelain", "Metal", "Fabric", "Resin", "Keepsake", "Handmade",
    "Figurine", "Ball", "Tree Topper", "Miniature"};
constexpr std::array<std::string_view, 10> MANUFACTURERS = {
    "Hearthside Works", "Brightwater Glass", "Northgate Studio", "Alder & Pine", "Lumen House",
    "Tannenhof", "Kristallweg", "M\xFChlberg Werkstatt", "Silverbell Co.", "Juniper Lane"};
constexpr std::array<std::string_view, 5> CONDITIONS = {"Mint", "Excellent", "Very Good", "Good", "Fair"};
constexpr std::array<std::string_view, 10> ARTISTS = {
    "Anna Lindqvist", "Marek Holm", "Ines Varga", "Tobias Reed", "Clara Winslow",
    "Olek Brandt", "Maren Fiske", "Nina Aub\xE9", "Hugo Delacroix", "Signe Berg"};
constexpr std::array<std::string_view, 8> LOCATIONS = {
    "Box 1", "Box 2", "Box 3", "Attic", "Curio Cabinet", "Tree", "Basement Shelf", "Closet"};
constexpr std::array<std::string_view, 9> SELLERS = {
    "Card Shop", "Estate Sale", "Flea Market", "Gift from Mom", "Online Auction",
    "Department Store", "Craft Fair", "Garage Sale", "Christmas Market"};
constexpr std::array<std::string_view, 8> PEOPLE = {
    "Aunt May", "Grandma", "Peter", "The Millers", "Church Bazaar", "Susan", "Jos\xE9", "Neighbour"};
constexpr std::array<std::string_view, 8> SENTENCES = {
    "Bought the year we moved into the house.",
    "Slight chip on the back, not visible on the tree.",
    "Comes with its original box and tag.",
    "A favourite of the children; always goes on first.",
    "Hand-painted details, signed on the bottom.",
    "Part of a set of three; the others are in Box 2.",
    "Light-up feature needs a new bulb.",
    "Found at a market in N\xFC" "rnberg."};

// An amount as the entry control stores it: two decimals, right-aligned in
// the field ("               15.50").
std::string amountText(std::uint64_t cents) {
  const auto rest = cents % 100;
  return alignStoredAmount(std::to_string(cents / 100) + '.' + static_cast<char>('0' + rest / 10) +
                           static_cast<char>('0' + rest % 10));
}

// Standard days 58440..80000 cover 1960 to 2019.
std::string dayText(Random& random) { return std::to_string(58440 + random.below(80000 - 58440)); }

GlRecord makeOrnament(Random& random, std::size_t index) {
  GlRecord r;
  std::string name = std::string(random.pick(ADJECTIVES)) + " " + std::string(random.pick(NOUNS));
  if (random.chance(20)) name += " " + std::to_string(1 + random.below(9));
  r.NAME = name;
  r.CATEGORY = random.chance(90) ? random.pick(CATEGORIES) : "";
  if (random.chance(70)) {
    r.SERIES = random.pick(SERIES);
    r.SERIESNUM = std::to_string(1 + random.below(25));
  }
  r.MANUF = random.chance(85) ? random.pick(MANUFACTURERS) : "";
  r.CONDITION = random.chance(80) ? random.pick(CONDITIONS) : "";
  r.ARTIST = random.chance(45) ? random.pick(ARTISTS) : "";
  if (random.chance(80)) r.VALUE = amountText(100 + random.below(25000));
  if (random.chance(85)) r.YEAR = std::to_string(1960 + random.below(60));
  r.LOCATION = random.chance(75) ? random.pick(LOCATIONS) : "";
  if (random.chance(70)) r.PURDATE = dayText(random);
  if (random.chance(40)) r.CUSTOM1 = "S-" + std::to_string(1000 + random.below(9000));
  r.PURFROM = random.chance(65) ? random.pick(SELLERS) : "";
  if (random.chance(15)) r.CUSTOM2 = "Shelf " + std::to_string(1 + random.below(12));
  if (random.chance(10)) r.CUSTOM3 = random.chance(50) ? "Insured" : "Signed";
  if (random.chance(75)) r.PURPRICE = amountText(50 + random.below(8000));
  r.DELETED = 0;
  r.CREATEDDATE = static_cast<std::int32_t>(76000 + index / 8);
  r.CREATEDTIME = static_cast<std::int32_t>(1 + random.below(8'640'000));
  r.CHANGEDDATE = r.CREATEDDATE + static_cast<std::int32_t>(random.below(400));
  r.CHANGEDTIME = static_cast<std::int32_t>(1 + random.below(8'640'000));
  if (random.chance(50)) {
    std::string text;
    for (std::size_t n = 1 + random.below(3); n > 0; --n) {
      if (!text.empty()) text += ' ';
      text += random.pick(SENTENCES);
    }
    r.DESCRIPTION = text;
  }
  if (random.chance(10)) {
    r.DATELENT = dayText(random);
    r.LENTTO = random.pick(PEOPLE);
  }
  if (random.chance(5)) {
    r.DATEGIVEN = dayText(random);
    r.GIVENTO = random.pick(PEOPLE);
  }
  buildKeys(r);
  return r;
}

// Ornaments made on one day get distinct times: the created stamp is an
// ornament's identity. A time already taken moves on by a hundredth, which
// draws nothing more from the random numbers.
class DistinctStamps {
 public:
  void apply(GlRecord& r) {
    if (r.CREATEDDATE != date_) {
      date_ = r.CREATEDDATE;
      times_.clear();
    }
    std::int32_t time = r.CREATEDTIME;
    while (std::find(times_.begin(), times_.end(), time) != times_.end()) time = time % 8'640'000 + 1;
    r.CREATEDTIME = time;
    times_.push_back(time);
  }

 private:
  std::int32_t date_ = 0;
  std::vector<std::int32_t> times_;
};

}  // namespace

std::vector<GlRecord> generateOrnaments(std::size_t count, std::uint64_t seed) {
  Random random(seed);
  std::vector<GlRecord> records;
  records.reserve(count);
  DistinctStamps stamps;
  for (std::size_t i = 0; i < count; ++i) {
    records.push_back(makeOrnament(random, i));
    stamps.apply(records.back());
  }
  return records;
}

GlRecord generatedHeaderRecord(std::uint64_t seed) {
  Random random(seed ^ 0x68656164ull);
  GlRecord header;
  header.CREATEDDATE = 76000;
  header.CREATEDTIME = static_cast<std::int32_t>(1 + random.below(8'640'000));
  header.CHANGEDDATE = header.CREATEDDATE;
  header.CHANGEDTIME = header.CREATEDTIME;
  return header;
}

int generateCollectionFile(const std::string& path, std::size_t count, std::uint64_t seed, std::string* error,
                           datafile::FileSystem& fileSystem) {
  GlRecord buffer;
  datafile::DataFile file(fileSystem);
  file.declare(glimraDeclaration(), &buffer);
  file.setName(path);
  // Made complete under a temporary name, then put in place: a crash leaves
  // no new file or a whole one, never a collection without its header record.
  const int rc = file.createComplete(datafile::READ_WRITE_DENY_WRITE, [&] {
    buffer = generatedHeaderRecord(seed);
    if (file.add() != 0) return file.errorCode();
    // Written in batches, each one commit, so a large file is made quickly
    // without holding it all in memory.
    constexpr std::size_t BATCH = 250;
    Random random(seed);
    DistinctStamps stamps;
    for (std::size_t i = 0; i < count; ++i) {
      if (i % BATCH == 0 && file.logout() != 0) return file.errorCode();
      buffer = makeOrnament(random, i);
      stamps.apply(buffer);
      if (file.add() != 0) return file.errorCode();
      if ((i + 1) % BATCH == 0 || i + 1 == count)
        if (file.commit() != 0) return file.errorCode();
    }
    return 0;
  });
  if (rc != 0 && error) *error = datafile::describeError(file);
  return rc;
}

}  // namespace glimra::collection
