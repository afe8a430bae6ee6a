// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/find_ornaments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "collection/record_search.h"
#include "datafile/temp_dir.h"
#include "datafile/text_search.h"

namespace glimra::collection {
namespace {

using datafile::testing::TempDir;

// Records made to trip a search that works on the stored pages: words in
// both cases and with accents, runs of one letter just shorter and longer
// than the find texts, fields filled to their last byte or ending in text
// that the next field continues, blanks before and inside text.
class RecordMaker {
 public:
  explicit RecordMaker(unsigned seed) : random_(seed) {}

  GlRecord make() {
    GlRecord r;
    fillText(r.NAME.bytes, sizeof r.NAME);
    fillText(r.CATEGORY.bytes, sizeof r.CATEGORY);
    fillText(r.SERIES.bytes, sizeof r.SERIES);
    fillText(r.SERIESNUM.bytes, sizeof r.SERIESNUM);
    fillText(r.MANUF.bytes, sizeof r.MANUF);
    fillText(r.CONDITION.bytes, sizeof r.CONDITION);
    fillText(r.ARTIST.bytes, sizeof r.ARTIST);
    fillText(r.LOCATION.bytes, sizeof r.LOCATION);
    fillText(r.CUSTOM1.bytes, sizeof r.CUSTOM1);
    fillText(r.CUSTOM3.bytes, sizeof r.CUSTOM3);
    fillText(r.SERIESKEY.bytes, sizeof r.SERIESKEY);
    fillText(r.NAMEKEY.bytes, sizeof r.NAMEKEY);
    fillText(r.DESCRIPTION.bytes, 200 + pick(2800));
    fillText(r.GIVENTO.bytes, sizeof r.GIVENTO);
    r.DELETED = pick(6) == 0 ? 1 : 0;
    r.CREATEDDATE = static_cast<std::int32_t>(70000 + pick(9000));
    return r;
  }

 private:
  std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

  std::string words(std::size_t size) {
    static const char* const vocabulary[] = {
        "Glass", "star", "STAR", "Star", "chip", "CHIP", "\xC9t\xE9", "\xE9T\xC9", "\xE9t\xE9", "Box 3",
        "aaaa", "AAAAA", "x", "zz", "Dove", "S\xF6hne", "s\xD6HNE", "ss"};
    std::string text(pick(3), ' ');  // leading blanks
    while (text.size() < size) {
      switch (pick(4)) {
        case 0:  // a run of one letter, around the lengths of the find texts
          text += std::string(1 + pick(24), "aAx "[pick(4)]);
          break;
        default:
          text += vocabulary[pick(std::size(vocabulary))];
      }
      text += std::string(1 + pick(pick(4) == 0 ? 6 : 1), ' ');
    }
    return text;
  }

  void fillText(char* field, std::size_t size) {
    std::string text;
    switch (pick(5)) {
      case 0:  // blank
        break;
      case 1:  // to the last byte: the next field follows without a blank
        text = words(size).substr(0, size);
        if (text.back() == ' ') text.back() = 's';
        break;
      case 2:  // text at the end, after blanks
        text = std::string(size - 5, ' ') + "Gla" + (pick(2) ? "ss" : "SS");
        break;
      case 3:  // one letter throughout
        text = std::string(size, "as "[pick(3)]);
        break;
      default:
        text = words(pick(size) + 1);
    }
    text.resize(size, ' ');
    std::copy(text.begin(), text.end(), field);
  }

  std::mt19937 random_;
};

// The texts the search must treat exactly as the plain test does.
const char* const kTexts[] = {
    "chip", "CHIP", "Glass", "glass star", "star", " star", "  star", "star   ", "\xE9t\xE9", "\xC9T\xC9",
    "\xE9", "s\xF6hne", "aaaa", "aaaaaaaaaaaaaaaaaaaa", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "a a", "aaaa  Glass",
    "x   x", "ssG", "sGla", "SS  ", "  Gla", "3 G", "zz", "Box 3", "a", "ss", "   ", "", "no such text"};

struct FileKind {
  const char* name;
  bool oem;
  const char* password;
};

class FindOrnaments : public ::testing::TestWithParam<FileKind> {
 protected:
  void SetUp() override {
    declaration_ = glimraDeclaration();
    declaration_.oem = GetParam().oem;
    declaration_.ownerPassword = GetParam().password;
    file_.declare(declaration_, &buffer_);
    file_.setName(temp_.file("FIND.GLM"));
    ASSERT_EQ(file_.create(), 0) << datafile::describeError(file_);
    ASSERT_EQ(file_.open(datafile::OpenMode{0x22}), 0) << datafile::describeError(file_);
    // The header record holds every find text: it must never be found.
    buffer_.clear();
    buffer_.DESCRIPTION = "chip Glass star \xE9t\xE9 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa x   x ssGla 3 G zz Box 3";
    ASSERT_EQ(file_.add(), 0);
    RecordMaker maker(GetParam().oem ? 11 : 7);
    ASSERT_EQ(file_.logout(), 0);
    for (int i = 0; i < 160; ++i) {
      buffer_ = maker.make();
      ASSERT_EQ(file_.add(), 0) << datafile::describeError(file_);
      records_[file_.pointer()] = buffer_;
    }
    ASSERT_EQ(file_.commit(), 0) << datafile::describeError(file_);
  }

  // What the plain whole-record test finds, record by record.
  std::vector<std::uint32_t> plain(std::string_view text, bool ignoreCase) const {
    const std::string find = ignoreCase ? upperCp1252(text) : std::string(text);
    std::vector<std::uint32_t> found;
    for (const auto& [pointer, record] : records_)
      if (record.DELETED == 0 && recordContains(record, find, ignoreCase)) found.push_back(pointer);
    return found;
  }

  std::vector<std::uint32_t> engine(std::string_view text, bool ignoreCase) {
    datafile::TextSearch search;
    search.text = text;
    search.ignoreCase = ignoreCase;
    search.skipWhenSetAt = offsetof(GlRecord, DELETED);
    search.after = records_.begin()->first - 1;
    std::vector<std::uint32_t> found;
    EXPECT_EQ(datafile::findText(file_, search, &found), 0) << datafile::describeError(file_);
    return found;
  }

  void expectSameAsPlainTest(const std::string& when) {
    for (const char* text : kTexts)
      for (bool ignoreCase : {false, true})
        EXPECT_EQ(engine(text, ignoreCase), plain(text, ignoreCase))
            << when << ": \"" << text << "\" ignoreCase=" << ignoreCase;
  }

  TempDir temp_;
  datafile::TableDeclaration declaration_;
  GlRecord buffer_;
  datafile::DataFile file_;
  std::map<std::uint32_t, GlRecord> records_;
};

TEST_P(FindOrnaments, EngineSearchEqualsThePlainWholeRecordTest) {
  expectSameAsPlainTest("committed file");
  // Inside a transaction the changes are not on disk yet: the search must see
  // them as a read would.
  ASSERT_EQ(file_.logout(), 0);
  for (auto& [pointer, record] : records_) {
    if (pointer % 3 != 0) continue;
    ASSERT_EQ(file_.get(pointer), 0);
    record.DELETED = record.DELETED ? 0 : 1;
    record.GIVENTO = "a chip of glass star";
    buffer_ = record;
    ASSERT_EQ(file_.put(), 0) << datafile::describeError(file_);
  }
  expectSameAsPlainTest("uncommitted changes");
  ASSERT_EQ(file_.commit(), 0);
  expectSameAsPlainTest("after the commit");
}

TEST_P(FindOrnaments, ListsMatchesInTheFindTabsOrderSkippingHeaderAndRetired) {
  // A few records of known keys, one without a name key.
  const struct {
    const char* nameKey;
    const char* seriesKey;
    const char* name;
    bool retired;
  } added[] = {
      {"Owl (Woods)", "Woods (Owl)", "Owl", false},      {"", " (Angel)", "Angel", false},
      {"Bell (Tin)", "Tin (Bell)", "Bell", false},       {"Owl (Woods)", "Woods (Owl)", "Owl", false},
      {"Acorn (Woods)", "Woods (Acorn)", "Acorn", true},
  };
  std::vector<std::int32_t> pointers;
  for (const auto& a : added) {
    buffer_.clear();
    buffer_.NAMEKEY = a.nameKey;
    buffer_.SERIESKEY = a.seriesKey;
    buffer_.NAME = a.name;
    buffer_.DELETED = a.retired;
    buffer_.LENTTO = "Qwertz Family";
    ASSERT_EQ(file_.add(), 0);
    pointers.push_back(static_cast<std::int32_t>(file_.pointer()));
  }
  std::vector<FoundOrnament> found;
  ASSERT_EQ(findOrnaments(file_, "QWERTZ", true, &found), 0);
  ASSERT_EQ(found.size(), 4u);
  // " (Angel)" sorts first by its series key; the two equal owls keep record order.
  EXPECT_EQ(found[0].pointer, pointers[1]);
  EXPECT_EQ(found[0].sortKey, " (Angel)");
  EXPECT_EQ(found[0].keyType, 2);
  EXPECT_EQ(found[1].pointer, pointers[2]);
  EXPECT_EQ(found[1].keyType, 1);
  EXPECT_EQ(found[2].pointer, pointers[0]);
  EXPECT_EQ(found[3].pointer, pointers[3]);
  EXPECT_EQ(found[3].sortKey, "Owl (Woods)");
  EXPECT_EQ(found[3].name, "Owl");

  ASSERT_EQ(findOrnaments(file_, "Qwertz", false, &found), 0);
  EXPECT_EQ(found.size(), 4u);
  ASSERT_EQ(findOrnaments(file_, "QWERTZ", false, &found), 0);
  EXPECT_TRUE(found.empty());
  // Text that only the header record holds.
  ASSERT_EQ(findOrnaments(file_, "ssGla 3 G zz", false, &found), 0);
  EXPECT_TRUE(found.empty());
}

INSTANTIATE_TEST_SUITE_P(FileKinds, FindOrnaments,
                         ::testing::Values(FileKind{"Plain", false, ""}, FileKind{"Oem", true, ""},
                                           FileKind{"Enciphered", false, "owner"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FindOrnamentsEmpty, FileWithoutRecordsFindsNothing) {
  TempDir temp;
  GlRecord buffer;
  datafile::DataFile file;
  file.declare(glimraDeclaration(), &buffer);
  file.setName(temp.file("FIND.GLM"));
  ASSERT_EQ(file.create(), 0);
  ASSERT_EQ(file.open(datafile::OpenMode{0x22}), 0);
  std::vector<FoundOrnament> found{FoundOrnament{}};
  EXPECT_EQ(findOrnaments(file, "star", true, &found), 0);
  EXPECT_TRUE(found.empty());
}

}  // namespace
}  // namespace glimra::collection
