// SPDX-License-Identifier: GPL-3.0-or-later
// RecordBytes: records held inline up to 16 bytes and on the heap beyond,
// across the moves and growth a page's record vector puts them through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datafile/record_bytes.h"

namespace glimra::datafile::testing {
namespace {

RecordBytes bytesOf(const std::string& s) {
  RecordBytes b;
  b.assign(s.begin(), s.end());
  return b;
}

std::string textOf(const RecordBytes& b) { return std::string(b.begin(), b.end()); }

TEST(RecordBytes, KeepsItsBytesInlineAndOnTheHeapThroughMovesAndGrowth) {
  for (const std::string& text : {std::string(), std::string("short"), std::string(16, 'i'), std::string(17, 'h'),
                                 std::string(12000, 'd')}) {
    RecordBytes original = bytesOf(text);
    RecordBytes copy = original;
    RecordBytes moved = std::move(original);
    EXPECT_EQ(textOf(moved), text);
    EXPECT_TRUE(original.empty());
    original = bytesOf("reused");  // a moved-from record is empty and usable
    EXPECT_EQ(textOf(original), "reused");
    copy = std::move(moved);
    EXPECT_EQ(textOf(copy), text);
    const RecordBytes& same = copy;
    copy = same;  // self-assignment keeps the bytes
    EXPECT_EQ(textOf(copy), text);
  }

  // Growing past the inline bytes keeps what was there.
  RecordBytes grown = bytesOf("0123456789");
  const std::string tail = "abcdefghijklmnopqrstuvwxyz";
  grown.insert(grown.end(), tail.begin(), tail.end());
  grown.insert(grown.begin() + 2, {'-', '-'});
  grown.push_back('!');
  EXPECT_EQ(textOf(grown), "01--23456789" + tail + "!");
  grown.pop_back();
  grown.resize(3);
  EXPECT_EQ(textOf(grown), "01-");
  grown.resize(5);
  EXPECT_EQ(textOf(grown), std::string("01-\0\0", 5));

  // A vector of records shifting on insert, as a page's records do.
  std::vector<RecordBytes> page;
  std::vector<std::string> expected;
  for (int i = 0; i < 200; ++i) {
    const std::string text = std::string(std::size_t(i % 40), char('a' + i % 26)) + std::to_string(i);
    page.insert(page.begin() + (i * 7) % (page.size() + 1), bytesOf(text));
    expected.insert(expected.begin() + (i * 7) % (expected.size() + 1), text);
  }
  ASSERT_EQ(page.size(), expected.size());
  for (std::size_t i = 0; i < page.size(); ++i) EXPECT_EQ(textOf(page[i]), expected[i]) << i;
}

}  // namespace
}  // namespace glimra::datafile::testing
