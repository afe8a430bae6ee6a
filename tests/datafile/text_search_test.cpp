// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's text search on a table of short records: many data records to
// a page, beside key entries, with runs of bytes that cross from one record
// into the next; and on damaged pages.
#include "datafile/text_search.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "datafile/file_errors.h"
#include "datafile/record_kinds.h"
#include "datafile_fixture.h"

namespace glimra::datafile::testing {
namespace {

std::string asciiUpper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return text;
}

class TextSearchItems : public ::testing::Test {
 protected:
  void SetUp() override {
    declaration_ = itemDeclaration();
    file_.declare(declaration_, &buffer_);
    file_.setName(dir_.file("ITEMS.DAT"));
    ASSERT_EQ(file_.create(), 0);
    ASSERT_EQ(file_.open(OpenMode{0x22}), 0);
    std::mt19937 random(5);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    ASSERT_EQ(file_.logout(), 0);
    for (int i = 0; i < 3000; ++i) {
      std::string name;
      while (name.size() < 8) name += std::string(1 + pick(5), "aAb "[pick(4)]);
      const std::string code{'b', char('a' + i / 676), char('a' + i / 26 % 26), char('a' + i % 26)};
      buffer_ = item(name.substr(0, 8), i, pick(3) == 0 ? 0.0 : i * 1.5, pick(2) ? "" : code);
      ASSERT_EQ(file_.add(), 0) << describeError(file_);
    }
    ASSERT_EQ(file_.commit(), 0);
    // Holes in record order.
    for (std::uint32_t number = 7; number < 3000; number += 97) {
      ASSERT_EQ(file_.get(number), 0);
      ASSERT_EQ(file_.erase(), 0);
    }
  }

  // Every record read in record order and tested as one string of bytes.
  std::vector<std::uint32_t> plain(std::string text, bool ignoreCase, std::uint32_t after) {
    text.erase(text.find_last_not_of(' ') + 1);
    if (ignoreCase) text = asciiUpper(text);
    std::vector<std::uint32_t> found;
    EXPECT_EQ(file_.setFile(), 0);
    while (file_.next() == 0) {
      std::string image(reinterpret_cast<const char*>(&buffer_), sizeof buffer_);
      if (ignoreCase) image = asciiUpper(image);
      if (file_.pointer() > after && !text.empty() && image.find(text) != std::string::npos)
        found.push_back(file_.pointer());
    }
    EXPECT_EQ(file_.errorCode(), FileError::RECORD_NOT_AVAILABLE);
    return found;
  }

  TempDir dir_;
  TableDeclaration declaration_;
  Item buffer_;
  DataFile file_;
};

TEST_F(TextSearchItems, ManyRecordsToAPageFoundExactlyAsReadOneByOne) {
  const struct {
    const char* text;
    std::uint32_t after;
  } cases[] = {
      {"ab", 0},      {"AB", 0},    {"aaaa", 0},  {"AAAAA", 0}, {"b  a", 0},   {" a", 0},  {"a ", 0},
      {"bB", 0},      {"bBb", 0},   {"bb", 1500}, {"aAaA", 0},  {"aaaab", 2000}, {"    ", 0}, {"zz", 0},
      {"b   aaaa", 0}, {"ba", 2999},
  };
  for (const auto& c : cases)
    for (bool ignoreCase : {false, true}) {
      TextSearch search;
      search.text = c.text;
      search.ignoreCase = ignoreCase;
      search.after = c.after;
      std::vector<std::uint32_t> found;
      ASSERT_EQ(findText(file_, search, &found), 0) << describeError(file_);
      EXPECT_EQ(found, plain(c.text, ignoreCase, c.after)) << '"' << c.text << "\" ignoreCase=" << ignoreCase;
    }
}

TEST_F(TextSearchItems, DamagedDataPageIsReportedAsNextReportsIt) {
  // A leaf holding data records, and where it lies in the file.
  std::uint64_t offset = 0;
  file_.container()->walkPages([&](const Container::PageInfo& info) {
    if (offset == 0 && info.level == 0 && info.records.size() > 3 &&
        hasKindPrefix(info.records[1].key(), file_.tableNumber(), RecordKind::DATA))
      offset = std::uint64_t(info.reference) * 256 + 512;
  });
  ASSERT_NE(offset, 0u);
  ASSERT_EQ(file_.close(), 0);
  const struct {
    const char* damage;
    std::size_t at;
    std::uint8_t value;
  } damages[] = {
      {"stored size of another class", 5, 0x3A},
      {"expanded size beyond its records", 7, 0x3F},
      {"record count beyond its records", 11, 0x30},
  };
  const std::string path = dir_.file("ITEMS.DAT");
  std::string original;
  {
    std::ifstream in(path, std::ios::binary);
    original.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (const auto& d : damages) {
    {
      std::string damaged = original;
      damaged[offset + d.at] = static_cast<char>(d.value);
      std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
    }
    ASSERT_EQ(file_.open(OpenMode{0x40}), 0) << d.damage;
    TextSearch search;
    search.text = "a";  // on every page
    std::vector<std::uint32_t> found;
    EXPECT_EQ(findText(file_, search, &found), FileError::FILE_SYSTEM_ERROR) << d.damage;
    EXPECT_EQ(file_.fileErrorText(), DATA_CORRUPTION_TEXT) << d.damage;
    ASSERT_EQ(file_.setFile(), 0);
    while (file_.next() == 0) {
    }
    EXPECT_EQ(file_.errorCode(), FileError::FILE_SYSTEM_ERROR) << d.damage;
    ASSERT_EQ(file_.close(), 0);
  }
}

}  // namespace
}  // namespace glimra::datafile::testing
