// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/record_search.h"

#include <gtest/gtest.h>

#include <string>

#include "collection/gl_record.h"

namespace glimra::collection {
namespace {

GlRecord sample() {
  GlRecord r;
  r.NAME = "Glass Star";
  r.SERIES = "Winter Wonder";
  r.MANUF = "Kranzler & S\xF6hne";  // ö in Windows-1252
  r.DESCRIPTION = "A hand-blown star with a silver cap.";
  r.GIVENTO = "Aunt Hedda";  // the very last field
  return r;
}

struct Case {
  const char* find;
  bool ignoreCase;
  bool expected;
};

TEST(RecordSearch, FindsTextAnywhereInTheRecordWithAndWithoutCase) {
  const GlRecord record = sample();
  const Case cases[] = {
      {"GLASS", true, true},           // first field, other case
      {"Glass", false, true},          // exact case
      {"glass", false, false},         // case matters without ignoreCase
      {"SILVER CAP", true, true},      // only in the description
      {"HEDDA", true, true},           // ends at the record's last byte
      {"HEDDA  X", true, false},       // would run past the end
      {"STAR   ", true, true},         // trailing blanks are not significant
      {" STAR", true, true},           // a leading blank is
      {"  STAR", true, false},         // two leading blanks do not occur
      {"   ", true, false},            // blank find text matches nothing
      {"", true, false},
      {"S\xD6HNE", true, true},        // Windows-1252 upper case of ö is Ö
      {"WONDERS", true, false},
      {"STARR", true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(recordContains(record, c.find, c.ignoreCase), c.expected)
        << '"' << c.find << "\" ignoreCase=" << c.ignoreCase;
}

TEST(RecordSearch, MatchesAcrossFieldPaddingAsOneStringOfBytes) {
  GlRecord record;
  record.NAME = std::string(44, 'x') + "A";  // NAME's last byte, then CATEGORY
  record.CATEGORY = "BC";
  EXPECT_TRUE(recordContains(record, "ABC", true));
  EXPECT_FALSE(recordContains(record, "AB C", true));
}

TEST(RecordSearch, CaseVariantsOfTheFirstCharacterAreAllCandidates) {
  // Many near misses with both cases of the first letter before the match.
  std::string text;
  for (int i = 0; i < 50; ++i) text += (i % 2 ? "aX" : "Ay");
  text += "aZq";
  EXPECT_TRUE(textContains(text, "AZQ", true));
  EXPECT_FALSE(textContains(text, "AZZ", true));
  EXPECT_EQ(upperCp1252("a\xE9\xFF z"), "A\xC9\x9F Z");  // é -> É, ÿ -> Ÿ
}

}  // namespace
}  // namespace glimra::collection
