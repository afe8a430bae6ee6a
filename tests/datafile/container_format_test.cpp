// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes on disk: the header, page framing, prefix coding, run-length
// compression, padding, opening errors, and where pages are placed and freed.
// Pages are read back here straight from the file's bytes, not through the
// container, so that the layout itself is what is checked.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "container_support.h"
#include "datafile/file_errors.h"

namespace glimra::datafile::testing {
namespace {

std::string randomText(std::mt19937& random, std::size_t length) {
  std::string s(length, ' ');
  for (char& c : s) c = char('!' + random() % 90);
  return s;
}

TEST(ContainerFormat, ZeroLengthFileGetsItsFirstPageAtOffset512) {
  FaultFileSystem fs;
  fs.setContents("z.dat", {});
  {
    OpenFile f(fs, "z.dat");
    ASSERT_EQ(f.openResult, 0);
    EXPECT_EQ(f->header().rootPage, -1);
    f->insert(makeRecord("KEY", "payload"));
    f->commit();
  }
  const Bytes b = fs.contents("z.dat");
  ASSERT_GE(b.size(), 768u);
  // Header.
  EXPECT_EQ(getU32(&b[0]), 0u);
  EXPECT_EQ(getU16(&b[4]), 0x200);
  EXPECT_EQ(getU32(&b[6]), 768u);   // dataEnd: one 256-byte page after the header
  EXPECT_EQ(getU32(&b[10]), 768u);  // pendingEnd: nothing pending
  EXPECT_EQ(Bytes(b.begin() + 14, b.begin() + 18), (Bytes{0x74, 0x4F, 0x70, 0x53}));
  EXPECT_EQ(getU32(&b[28]), 0u);       // root: reference 0
  EXPECT_EQ(getU32(&b[32 + 4]), 0u);   // regionStart[1]
  EXPECT_EQ(getU32(&b[272 + 4]), 1u);  // regionEnd[1]
  // The page.
  const std::uint8_t* p = &b[512];
  EXPECT_EQ(getU32(p), 512u);
  const std::size_t stored = getU16(p + 4);
  EXPECT_EQ(stored, 13u + 1 + 2 + 2 + 10);
  EXPECT_EQ(getU16(p + 6), stored);        // not compressed
  EXPECT_EQ(getU16(p + 8), 13 + 10 + 5);   // sizeBound
  EXPECT_EQ(getU16(p + 10), 1);            // one record
  EXPECT_EQ(p[12], 0);                     // a leaf
  EXPECT_EQ(p[13], 0xC0);                  // both lengths present, nothing shared
  EXPECT_EQ(getU16(p + 14), 10);           // record length
  EXPECT_EQ(getU16(p + 16), 3);            // key length
  EXPECT_EQ(std::string(p + 18, p + 28), "KEYpayload");
  for (std::size_t i = stored; i < 256; ++i) ASSERT_EQ(p[i], 0xB0) << "padding at " << i;
}

TEST(ContainerFormat, ShortFilesAndForeignMagicAreInvalid) {
  FaultFileSystem fs;
  Bytes valid;
  {
    OpenFile f(fs, "ok.dat");
    f->insert(makeRecord("a"));
    f->commit();
    valid = fs.contents("ok.dat");
  }
  Bytes foreign = valid;
  foreign[16] ^= 0x01;
  const struct {
    const char* name;
    Bytes bytes;
    int expected;
  } cases[] = {
      {"one byte", Bytes(1, 0x74), 36},
      {"511 bytes", Bytes(valid.begin(), valid.begin() + 511), 36},
      {"other magic", foreign, 36},
      {"512 zero bytes", Bytes(512, 0), 36},
      {"valid", valid, 0},
  };
  for (const auto& c : cases) {
    fs.setContents("t.dat", c.bytes);
    OpenFile f(fs, "t.dat");
    EXPECT_EQ(f.openResult, c.expected) << c.name;
  }
}

TEST(ContainerFormat, RunLengthCounts) {
  const struct {
    const char* name;
    std::string plain;
    bool compressed;
    Bytes packed;
  } cases[] = {
      {"run of 3 stays literal", "xaaay", false, {5, 'x', 'a', 'a', 'a', 'y'}},
      {"run of 4 is first byte + repeat 3", "xaaaay", true, {2, 'x', 'a', 3, 1, 'y'}},
      {"run at the end leaves no literal count", "bbbbb", true, {1, 'b', 4}},
      {"adjacent runs", "ccccdddd", true, {1, 'c', 3, 1, 'd', 3}},
      {"repeat 128 is 80 01", std::string(129, 'e'), true, {1, 'e', 0x80, 0x01}},
  };
  for (const auto& c : cases) {
    const Bytes plain(c.plain.begin(), c.plain.end());
    Bytes packed;
    EXPECT_EQ(page::compress(plain, &packed), c.compressed) << c.name;
    EXPECT_EQ(packed, c.packed) << c.name;
    EXPECT_EQ(page::decompress(packed.data(), packed.size(), plain.size()), plain) << c.name;
  }
  Bytes counts;
  page::putCount(counts, 128);
  page::putCount(counts, 127);
  page::putCount(counts, 16384);
  EXPECT_EQ(counts, (Bytes{0x80, 0x01, 0x7F, 0x80, 0x80, 0x01}));
}

TEST(ContainerFormat, DamagedRunLengthStreams) {
  const struct {
    Bytes packed;
    std::size_t expected;
    int error;
  } cases[] = {
      {{5, 'a', 'b', 'c', 'd', 'e'}, 4, 522},  // literals beyond the expected bytes
      {{1, 'a', 9}, 5, 530},                   // repeat beyond the expected bytes
      {{3, 'a'}, 3, 1602},                     // stream ends early
  };
  for (const auto& c : cases) {
    try {
      page::decompress(c.packed.data(), c.packed.size(), c.expected);
      ADD_FAILURE() << "accepted damage " << c.error;
    } catch (const InternalError& e) {
      EXPECT_EQ(e.number, c.error);
    }
  }
}

TEST(ContainerFormat, PrefixCodingSharesAtMost63Bytes) {
  const std::string common(70, 'q');
  const std::vector<TreeRecord> records = {
      makeRecord(common + "1", "xy"),
      makeRecord(common + "2", "xy"),     // same lengths: no length fields
      makeRecord(common + "345", "xy"),   // longer key and record
      makeRecord("short", ""),
  };
  const Bytes s = page::prefixEncode(records);
  std::size_t at = 0;
  EXPECT_EQ(s[at], 0xC0);
  at += 1 + 4 + 73;
  EXPECT_EQ(s[at], 63) << "shares the 63-byte cap, no length fields";
  at += 1 + (73 - 63);
  EXPECT_EQ(s[at], 0xC0 | 63);
  EXPECT_EQ(getU16(&s[at + 1]), 75);
  EXPECT_EQ(getU16(&s[at + 3]), 73);
  at += 5 + (75 - 63);
  EXPECT_EQ(s[at], 0xC0);  // nothing in common with "qqq…"
  EXPECT_EQ(getU16(&s[at + 1]), 5);
  EXPECT_EQ(at + 5 + 5, s.size());
  const auto back = page::prefixDecode(s.data(), s.size(), records.size());
  ASSERT_EQ(back.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(back[i].bytes, records[i].bytes);
    EXPECT_EQ(back[i].keyLength, records[i].keyLength);
  }
}

// Keys order as unsigned bytes, the shorter first when one is a prefix of the
// other. Keys of up to 16 bytes are compared a word at a time, longer ones
// otherwise: differences are placed in both words and in long keys.
TEST(ContainerFormat, KeysOrderAsUnsignedBytesThenLength) {
  const std::string base = "ABCDEFGHIJKLMNOP";  // 16 bytes
  const std::string longBase = base + base + "QRSTUVWX";
  auto with = [](std::string s, std::size_t at, char c) {
    s[at] = c;
    return s;
  };
  const struct {
    std::string a, b;
    int order;
  } cases[] = {
      {base, base, 0},
      {"", "", 0},
      {"", "A", -1},
      {base.substr(0, 8), base, -1},
      {base.substr(0, 15), base, -1},
      {with(base, 0, 'Z'), base, 1},
      {with(base, 7, '\x80'), with(base, 7, '\x7F'), 1},  // unsigned: 0x80 after 0x7F
      {with(base, 8, '\x01'), base, -1},
      {with(base, 15, '\xFF'), base, 1},
      {with(base, 3, 'A') + "ZZZZ", base, -1},            // the first difference decides, not the length
      {with(base, 1, 'Z'), with(base, 0, 'B'), -1},        // the earlier byte decides, not the larger one
      {with(base, 9, 'Z'), with(base, 8, 'J'), -1},
      {longBase, longBase, 0},
      {longBase.substr(0, 39), longBase, -1},
      {with(longBase, 37, '\x80'), with(longBase, 37, '\x7F'), 1},
      {with(longBase, 21, 'Z'), with(longBase, 20, 'V'), -1},
  };
  for (const auto& c : cases) {
    const ByteView a(reinterpret_cast<const std::uint8_t*>(c.a.data()), c.a.size());
    const ByteView b(reinterpret_cast<const std::uint8_t*>(c.b.data()), c.b.size());
    EXPECT_EQ(compareKeys(a, b), c.order) << c.a << " vs " << c.b;
    EXPECT_EQ(compareKeys(b, a), -c.order) << c.b << " vs " << c.a;
  }
}

// A compressed page of one record (a data record's page) expands straight
// into the record; its record header gets the checks of any other page.
TEST(ContainerFormat, DamagedOneRecordPages) {
  const TreeRecord record = makeRecord("K", std::string(600, 'r'));
  const struct {
    const char* name;
    std::size_t at;  // byte of the expanded record stream to change
    std::uint8_t value;
    int error;       // 0: decodes to the record
  } cases[] = {
      {"sound", 0, 0xC0, 0},
      {"first record sharing bytes", 0, 0xC1, 1602},
      {"first record without its lengths", 0, 0x00, 1602},
      {"record length short of the stream", 1, 0x58, 1602},
      {"key longer than the record", 4, 0x10, 1602},
  };
  for (const auto& c : cases) {
    Bytes plain = page::prefixEncode({record});
    plain[c.at] = c.value;
    page::EncodedBody body;
    ASSERT_TRUE(page::compress(plain, &body.body));
    body.compressed = true;
    body.storedSize = std::uint16_t(page::kPageHeaderBytes + body.body.size());
    body.expandedSize = std::uint16_t(page::kPageHeaderBytes + plain.size());
    body.sizeBound = body.expandedSize;
    const Bytes image = page::assemblePage(body, 512, 0, {}, 1);
    try {
      const page::DecodedPage d = page::decodePage(image.data(), image.size(), 0);
      EXPECT_EQ(c.error, 0) << c.name;
      ASSERT_EQ(d.records.size(), 1u) << c.name;
      EXPECT_EQ(d.records[0].bytes, record.bytes) << c.name;
      EXPECT_EQ(d.records[0].keyLength, record.keyLength) << c.name;
    } catch (const InternalError& e) {
      EXPECT_EQ(e.number, c.error) << c.name;
    }
  }
}

// A page is stored compressed only when that saves a whole 256-byte class.
TEST(ContainerFormat, CompressionMustSaveAClass) {
  std::mt19937 random(7);
  const struct {
    const char* name;
    std::string payload;
    bool compressed;
  } cases[] = {
      {"a run saving a few bytes in one class", randomText(random, 100) + std::string(30, 'r'), false},
      {"a run saving classes", randomText(random, 100) + std::string(1000, 'r'), true},
      {"no run at all", randomText(random, 600), false},
  };
  for (const auto& c : cases) {
    FaultFileSystem fs;
    {
      OpenFile f(fs, "c.dat");
      f->insert(makeRecord("K", c.payload));
      f->commit();
    }
    const Bytes b = fs.contents("c.dat");
    const std::uint8_t* p = &b[512];
    const std::size_t stored = getU16(p + 4), expanded = getU16(p + 6);
    EXPECT_EQ(expanded, 13u + 5 + 1 + c.payload.size()) << c.name;
    EXPECT_EQ(stored < expanded, c.compressed) << c.name;
    // The region's class is the stored size's class.
    const int sizeClass = page::classOf(stored);
    EXPECT_EQ(getU32(&b[272 + 4 * sizeClass]) - getU32(&b[32 + 4 * sizeClass]), std::uint32_t(sizeClass)) << c.name;
    OpenFile f(fs, "c.dat");
    TreeRecord r;
    ASSERT_TRUE(f->find(view("K"), &r));
    EXPECT_EQ(payloadText(r), c.payload);
  }
}

// Emptying a page in the middle of its region pulls the region's last page
// into the hole; the region shrinks by one page and nothing else moves.
TEST(ContainerFormat, FreeingInTheMiddleMovesTheLastPageIntoTheHole) {
  FaultFileSystem fs;
  OpenFile f(fs, "h.dat");
  std::mt19937 random(3);
  // 240 records of equal size: the leaves end up in one or two classes.
  for (int i = 0; i < 240; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "k%03d", i);
    f->insert(makeRecord(key, randomText(random, 200)));
  }
  f->commit();
  checkInvariants(*f);
  std::map<std::int32_t, std::string> firstKeyAt;  // leaf reference -> first key
  std::map<std::string, std::vector<std::string>> keysOf;
  f->walkPages([&](const Container::PageInfo& info) {
    if (info.level != 0) return;
    firstKeyAt[info.reference] = keyText(info.records.front());
    for (const auto& r : info.records) keysOf[keyText(info.records.front())].push_back(keyText(r));
  });
  // The fullest leaf region; the hole goes into its second page.
  const FileHeader h = f->header();
  int sizeClass = 0;
  for (int i = 1; i <= page::kClassCount; ++i) {
    const auto pages = (h.regionEnd[i] - h.regionStart[i]) / std::uint32_t(i);
    if (pages >= 3 && firstKeyAt.count(std::int32_t(h.regionStart[i])) &&
        (sizeClass == 0 || pages > (h.regionEnd[sizeClass] - h.regionStart[sizeClass]) / std::uint32_t(sizeClass)))
      sizeClass = i;
  }
  ASSERT_NE(sizeClass, 0) << "no leaf region with three pages";
  const std::int32_t hole = std::int32_t(h.regionStart[sizeClass] + std::uint32_t(sizeClass));
  const std::int32_t last = std::int32_t(h.regionEnd[sizeClass] - std::uint32_t(sizeClass));
  ASSERT_TRUE(firstKeyAt.count(hole) && firstKeyAt.count(last));
  const std::string movedFirstKey = firstKeyAt[last];
  for (const std::string& key : keysOf[firstKeyAt[hole]]) ASSERT_TRUE(f->erase(view(key)));
  f->commit();
  checkInvariants(*f);
  const FileHeader after = f->header();
  EXPECT_EQ(after.regionStart[sizeClass], h.regionStart[sizeClass]);
  EXPECT_EQ(after.regionEnd[sizeClass], h.regionEnd[sizeClass] - std::uint32_t(sizeClass));
  std::map<std::int32_t, std::string> nowAt;
  f->walkPages([&](const Container::PageInfo& info) {
    if (info.level == 0) nowAt[info.reference] = keyText(info.records.front());
  });
  EXPECT_EQ(nowAt[hole], movedFirstKey);
  for (const auto& [ref, key] : firstKeyAt)
    if (ref != hole && ref != last) {
      EXPECT_EQ(nowAt[ref], key) << "page " << ref << " moved";
    }
  // On disk, the moved page names its new home.
  const Bytes b = fs.contents("h.dat");
  EXPECT_EQ(getU32(&b[page::offsetOf(hole)]), page::offsetOf(hole));
}

}  // namespace
}  // namespace glimra::datafile::testing

namespace glimra::datafile::testing {
namespace {

// Damaged bytes are reported as numbered internal errors, never read as data.
TEST(ContainerFormat, DamagedFilesGiveNumberedInternalErrors) {
  FaultFileSystem fs;
  std::mt19937 random(11);
  {
    OpenFile f(fs, "g.dat", true);
    for (int i = 0; i < 60; ++i) f->insert(makeRecord("k" + std::to_string(100 + i), randomText(random, 400)));
    f->commit();
  }
  const Bytes good = fs.contents("g.dat");
  const FileHeader h = page::decodeHeader(good.data());
  const std::size_t root = page::offsetOf(h.rootPage);
  ASSERT_GT(good[root + 12], 0) << "the root must be a non-leaf page";
  const std::size_t leaf = page::offsetOf(std::int32_t(getU32(&good[root + 13])));
  const struct {
    const char* name;
    std::function<void(Bytes&)> damage;
    int error;
  } cases[] = {
      {"root outside every region", [](Bytes& b) { putU32(&b[28], 99999); }, 1735},
      {"stored size of another class",
       [&](Bytes& b) { putU16(&b[leaf + 4], std::uint16_t(getU16(&b[leaf + 4]) + 256)); }, 1477},
      {"one record too many", [&](Bytes& b) { putU16(&b[leaf + 10], std::uint16_t(getU16(&b[leaf + 10]) + 1)); },
       1602},
      {"child on the wrong level", [&](Bytes& b) { b[root + 12] = 7; }, 1895},
      {"file cut inside a page", [&](Bytes& b) { b.resize(leaf + 100); }, 2172},
  };
  for (const auto& c : cases) {
    Bytes bytes = good;
    c.damage(bytes);
    fs.setContents("bad.dat", bytes);
    try {
      OpenFile f(fs, "bad.dat");
      ASSERT_EQ(f.openResult, 0) << c.name;
      readAll(*f);
      ADD_FAILURE() << c.name << ": damage not noticed";
    } catch (const InternalError& e) {
      EXPECT_EQ(e.number, c.error) << c.name;
    }
  }
}

// Each internal error number stands for one condition, with a text of its own.
TEST(ContainerFormat, EveryInternalErrorHasItsOwnText) {
  using namespace ContainerDamage;
  const int numbers[] = {LITERAL_OVERRUN, REPEAT_OVERRUN,   DUPLICATE_KEY,    RECORD_TOO_LONG, NUMBERS_EXHAUSTED,
                         SPLIT_TOO_SMALL, WRONG_CLASS,      RECORDS_OVERRUN,  OVER_SIZE_BOUND, PAGE_TOO_LARGE,
                         OUTSIDE_REGIONS, ROOM_TOO_LARGE,   EMPTY_PARENT,     PARENT_NOT_FOUND, CHILD_WRONG_LEVEL,
                         FOUND_RECORD_LOST, SHORT_READ,     READ_NOT_BLOCKS,  READ_FAILED,     WRITE_NOT_BLOCKS,
                         RecordDamage::ENTRY_WITHOUT_RECORD, RecordDamage::RECORD_LENGTH, RecordDamage::COUNTER};
  std::set<int> seenNumbers;
  std::set<std::string> seenTexts;
  for (int number : numbers) {
    SCOPED_TRACE(number);
    EXPECT_TRUE(seenNumbers.insert(number).second) << "number used twice";
    const std::string text = internalErrorText(number);
    EXPECT_NE(text, internalErrorText(0));
    EXPECT_TRUE(seenTexts.insert(text).second) << "text used twice: " << text;
  }
}

}  // namespace
}  // namespace glimra::datafile::testing
