// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a spreadsheet file: cells, quotes and line breaks, the three
// character sets, the detected delimiter, and columns mapped by their titles.
#include <gtest/gtest.h>

#include "collection/csv_export.h"
#include "collection/csv_import.h"
#include "collection/glimra_file.h"
#include "text/picture.h"

namespace glimra::collection {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(CsvImport, ReadsCellsAsTheExportWritesThem) {
  const struct {
    std::string bytes;
    CsvEncoding encoding;
    char delimiter;
    Rows rows;
  } cases[] = {
      {"a,b\r\nc,d\r\n", CsvEncoding::Utf8, ',', {{"a", "b"}, {"c", "d"}}},
      {"a,b\nc\rd\n\n\n", CsvEncoding::Utf8, ',', {{"a", "b"}, {"c"}, {"d"}}},
      {"\"x, \"\"y\"\"\",\"line 1\r\nline 2\"\r\n", CsvEncoding::Utf8, ',', {{"x, \"y\"", "line 1\r\nline 2"}}},
      {"\xEF\xBB\xBFName,,\"\"\n", CsvEncoding::Utf8, ',', {{"Name", "", ""}}},
      {"a;b,c\tx", CsvEncoding::Utf8, ';', {{"a", "b,c\tx"}}},
      {"a\tb c\n", CsvEncoding::Utf8, '\t', {{"a", "b c"}}},
      {"say \"hi\",x", CsvEncoding::Utf8, ',', {{"say \"hi\"", "x"}}},
      {"\xC9toile \x80", CsvEncoding::Windows1252, ',', {{"\xC3\x89toile \xE2\x82\xAC"}}},
      {"\xC9toile \xA4 \xBD", CsvEncoding::Iso8859_15, ',', {{"\xC3\x89toile \xE2\x82\xAC \xC5\x93"}}},
  };
  for (const auto& c : cases) {
    const CsvTable table = readCsv(c.bytes, c.encoding, c.delimiter);
    EXPECT_TRUE(table.ok) << c.bytes << ": " << table.error;
    EXPECT_EQ(table.rows, c.rows) << c.bytes;
  }
}

TEST(CsvImport, DetectsTheDelimiterAndTheCharacterSet) {
  const struct {
    std::string bytes;
    char delimiter;
    CsvEncoding encoding;
  } cases[] = {
      {"Name,Value\nA,1.50\n", ',', CsvEncoding::Utf8},
      {"Name;Value;Note\nA;1,50;x\nB;2,00;\"y;z\"\n", ';', CsvEncoding::Utf8},
      {"Name\tSeries\n\xC9toile\tA, B\n", '\t', CsvEncoding::Windows1252},
      {"\xEF\xBB\xBFName\n\xC3\x89toile\n", ',', CsvEncoding::Utf8},
      {"Name\nStar\n", ',', CsvEncoding::Utf8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(detectDelimiter(c.bytes), c.delimiter) << c.bytes;
    EXPECT_EQ(detectEncoding(c.bytes), c.encoding) << c.bytes;
  }
}

TEST(CsvImport, TheExportTitlesMapThemselves) {
  const CsvTable table = readCsv(csvHeaderRow(/*photos=*/true), CsvEncoding::Utf8, ',');
  ASSERT_TRUE(table.ok);
  const std::vector<int> mapping = guessMapping(table.rows.front(), table.columns);
  EXPECT_EQ(mapping, importableFields());
  EXPECT_TRUE(holdsTitles(table.rows.front()));

  // The field's own names, a colon, another letter case; a title twice maps once.
  EXPECT_EQ(guessMapping({" purchase date: ", "GL:CUSTOM2", "custom3", "Colour", "name", "Name"}, 7),
            (std::vector<int>{GlField::PURDATE, GlField::CUSTOM2, GlField::CUSTOM3, IGNORED_COLUMN, GlField::NAME,
                              IGNORED_COLUMN, IGNORED_COLUMN}));
  EXPECT_FALSE(holdsTitles({"Angel", "Glass", "12.50"}));
}


// Amounts and dates as other programs write them: a decimal comma where it
// can mean nothing else, ISO dates; a comma that could be either is refused
// with what to write.
TEST(CsvImport, ReadsDecimalCommasWhereTheyAreClear) {
  const struct {
    const char* value;
    const char* stored;   // the amount as stored, or empty when refused
    const char* refusal;  // a part of the reason when refused
  } cases[] = {
      {"12,50", "12.50", ""},
      {"12,5", "12.50", ""},
      {"1.234,56", "1234.56", ""},
      {"$7,05", "7.05", ""},
      {"1,234.50", "1234.50", ""},  // a thousands comma before a decimal point
      {"1,234,567.00", "", "too large"},
      {"1,250", "", "could be 1250.00 or 1.25: write the amount with a decimal point"},
      {"12,345", "", "could be 12345.00 or 12.345"},
      {"1.234,567", "", "2 decimals"},
      {"12,5x", "", "\"12,5x\": Type an amount"},
  };
  for (const auto& c : cases) {
    CsvTable table;
    table.ok = true;
    table.columns = 3;
    table.rows = {{"Star", c.value, "2015-12-01"}};
    const ImportPlan plan = planImport(table, {GlField::NAME, GlField::VALUE, GlField::PURDATE}, false);
    if (*c.stored) {
      ASSERT_EQ(plan.rows.size(), 1u) << c.value << ": " << describeRefusals(plan, 5);
      GlRecord record;
      plan.rows[0].fill(record);
      EXPECT_EQ(record.VALUE.str(), alignStoredAmount(c.stored)) << c.value;
      EXPECT_EQ(record.PURDATE.str(), "78500") << c.value;
    } else {
      ASSERT_EQ(plan.refused.size(), 1u) << c.value;
      EXPECT_NE(plan.refused[0].reason.find(c.refusal), std::string::npos) << plan.refused[0].reason;
    }
  }
}

}  // namespace
}  // namespace glimra::collection
