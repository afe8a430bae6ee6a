// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/csv_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "collection/csv_import.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "datafile/temp_dir.h"
#include "text/picture.h"

namespace glimra::collection {
namespace {

using datafile::testing::TempDir;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string HEADER =
    "Name,Category,Series,Series #,Manufacturer,Artist,Year Made,Purchase Date,Value,Location,"
    "Purchased From,Purchase Price,Condition,Stock #,Custom1,Custom2,Description,Lent to,Date Lent,"
    "Given to,Date Given\r\n";

TEST(CsvExport, CellsAreQuotedOnlyWhenTheyMustBe) {
  const struct {
    const char* text;
    const char* cell;
  } cases[] = {
      {"Angel", "Angel"},
      {"", ""},
      {"Bells, silver", "\"Bells, silver\""},
      {"The \"Star\"", "\"The \"\"Star\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"bare\nfeed", "\"bare\nfeed\""},
      {"  blanks kept ", "  blanks kept "},
  };
  for (const auto& c : cases) EXPECT_EQ(csvCell(c.text), c.cell) << c.text;
}

// A cell a spreadsheet would evaluate is written as text, and the import
// reads every written cell back as the text it was.
TEST(CsvExport, FormulaCellsAreWrittenAsTextAndReadBackAsTheyWere) {
  const struct {
    const char* text;
    const char* cell;
  } cases[] = {
      {"=1+1", "'=1+1"},
      {"+49 30 1234", "'+49 30 1234"},
      {"-x", "'-x"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tTab", "'\tTab"},
      {"\rCR", "\"'\rCR\""},
      {"-3.25", "-3.25"},  // a number stays a number
      {"-12", "-12"},
      {"'=1+1", "''=1+1"},  // the collector's own apostrophe survives
      {"''@x", "'''@x"},
      {"'Twas the Night", "'Twas the Night"},
      {"'", "'"},
      {"'-5", "'-5"},
      {"a=b", "a=b"},
      {"=\"quoted\", too", "\"'=\"\"quoted\"\", too\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(csvCell(c.text), c.cell) << c.text;
    EXPECT_EQ(unguardCsvText(guardCsvText(c.text)), c.text) << c.text;
  }
  // The import reads the written cells back.
  const CsvTable table = readCsv("'=1+1,\"'=\"\"q\"\"\",''@x,'Twas\r\n", CsvEncoding::Utf8, ',');
  ASSERT_TRUE(table.ok);
  EXPECT_EQ(table.rows, (std::vector<std::vector<std::string>>{{"=1+1", "=\"q\"", "'@x", "'Twas"}}));
}

TEST(CsvExport, RowsShowDatesAndAmountsAsSpreadsheetsReadThem) {
  const struct {
    const char* purdate;
    const char* value;
    const char* purprice;
    const char* dateLent;
    const char* expected;  // the four cells, comma-separated
  } cases[] = {
      {"78500", "15.50", "0.00", "4", "2015-12-01,15.50,0.00,1801-01-01"},
      {"", "", "", "0", ",,,"},
      {"  78501", "$1,234.5", "7", "not a date", "2015-12-02,1234.50,7.00,not a date"},
      {"78500x", "12.345", "-3.10", "", "78500x,12.345,-3.10,"},
      {"", "ten", "", "", ",ten,,"},
  };
  for (const auto& c : cases) {
    GlRecord r;
    r.NAME = "N";
    r.PURDATE = c.purdate;
    r.VALUE = alignStoredAmount(c.value);
    r.PURPRICE = c.purprice;
    r.DATELENT = c.dateLent;
    std::istringstream cells(c.expected);
    std::string purdate, value, purprice, dateLent;
    std::getline(cells, purdate, ',');
    std::getline(cells, value, ',');
    std::getline(cells, purprice, ',');
    std::getline(cells, dateLent, ',');
    EXPECT_EQ(csvRow(r), "N,,,,,,," + purdate + "," + value + ",,," + purprice + ",,,,,,," + dateLent + ",,\r\n")
        << c.expected;
  }
}

class CsvExportFile : public ::testing::Test {
 protected:
  void SetUp() override {
    file_.declare(glimraDeclaration(), &buffer_);
    file_.setName(collection_);
    ASSERT_EQ(file_.create(), 0);
    ASSERT_EQ(file_.open(datafile::OpenMode{0x22}), 0);
    buffer_.clear();
    buffer_.NAME = "header record";
    ASSERT_EQ(file_.add(), 0);
  }
  void add(const GlRecord& record) {
    buffer_ = record;
    ASSERT_EQ(file_.add(), 0) << datafile::describeError(file_);
  }

  TempDir temp_;
  std::string collection_ = temp_.file("XMAS.GLM");
  std::string out_ = temp_.file("out/xmas.csv");
  GlRecord buffer_;
  datafile::DataFile file_;
};

TEST_F(CsvExportFile, WritesEveryLiveOrnamentWithBomHeaderAndQuoting) {
  GlRecord angel;
  angel.NAME = "\xC5ngel with Cr\xE8me";  // Windows-1252: Å, è
  angel.CATEGORY = "Glass";
  angel.SERIES = "Heavenly, Vol. 2";
  angel.SERIESNUM = "3";
  angel.CUSTOM1 = "A-17";
  angel.PURDATE = "78500";
  angel.VALUE = alignStoredAmount("1234.50");
  angel.PURPRICE = alignStoredAmount("15.00");
  angel.DESCRIPTION = "Hand-blown, \"very\" fragile.\r\nKeep boxed.";
  angel.LENTTO = "Zo\xEB";
  angel.DATELENT = "78501";
  add(angel);

  GlRecord retired = angel;
  retired.NAME = "Old version";
  retired.DELETED = 1;
  add(retired);

  GlRecord plain;
  plain.NAME = "Bell";
  plain.GIVENTO = "Ann";
  plain.DATEGIVEN = "78502";
  add(plain);

  const CsvExport result = exportCollectionCsv(collection_, out_);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.ornaments, 2u);
  EXPECT_EQ(readAll(out_),
            "\xEF\xBB\xBF" + HEADER +
                "\xC3\x85ngel with Cr\xC3\xA8me,Glass,\"Heavenly, Vol. 2\",3,,,,2015-12-01,1234.50,,,15.00,,A-17,,,"
                "\"Hand-blown, \"\"very\"\" fragile.\r\nKeep boxed.\",Zo\xC3\xAB,2015-12-02,,\r\n"
                "Bell,,,,,,,,,,,,,,,,,,,Ann,2015-12-03\r\n");
}

TEST_F(CsvExportFile, AFailureLeavesAnEarlierExportAsItWas) {
  file_.close();
  {
    std::ofstream earlier(temp_.file("earlier.csv"), std::ios::binary);
    earlier << "earlier";
  }
  const struct {
    std::string collection;
    std::string out;
  } cases[] = {
      {temp_.file("MISSING.GLM"), temp_.file("earlier.csv")},
      {collection_, temp_.file("earlier.csv/inside.csv")},
  };
  for (const auto& c : cases) {
    const CsvExport result = exportCollectionCsv(c.collection, c.out);
    EXPECT_FALSE(result.ok) << c.collection << " -> " << c.out;
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(readAll(temp_.file("earlier.csv")), "earlier");
  }
  // Only the earlier file is in the folder: no temporary file is left behind.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(temp_.file(""))) ++entries;
  EXPECT_EQ(entries, 2u);  // the collection and the earlier export
}

}  // namespace
}  // namespace glimra::collection
