// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file import: a spreadsheet file into a collection through the
// command line. An exported collection comes back field for field, and each
// kind of bad input is named and leaves the collection as it was.
#include <gtest/gtest.h>

#include <fstream>

#include "collection/csv_import.h"
#include "collection/generator.h"
#include "collection/glimra_file.h"
#include "collection/sort_keys.h"
#include "datafile_fixture.h"
#include "run_tool.h"

namespace glimra::datafile::testing {
namespace {

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A collection of `ornaments`, header record first, made complete.
void writeCollection(const std::string& path, const std::vector<collection::GlRecord>& ornaments) {
  collection::GlRecord buffer;
  DataFile file;
  file.declare(collection::glimraDeclaration(), &buffer);
  file.setName(path);
  ASSERT_EQ(file.createComplete(READ_WRITE_DENY_WRITE, [&] {
    buffer = collection::generatedHeaderRecord(1);
    if (file.logout() != 0 || file.add() != 0) return file.errorCode();
    for (const auto& r : ornaments) {
      buffer = r;
      if (file.add() != 0) return file.errorCode();
    }
    return file.commit();
  }), 0) << describeError(file);
}

// The dump of a collection as rows of cells, without the columns that differ
// between a record and its import: the created and changed stamps.
std::vector<std::vector<std::string>> dumpedFields(const std::string& path) {
  int code = -1;
  const std::string dump = runTool("dump " + path + " --csv", &code);
  EXPECT_EQ(code, 0) << dump;
  const auto table = collection::readCsv(dump, collection::CsvEncoding::Utf8, ',');
  EXPECT_TRUE(table.ok) << table.error;
  std::vector<bool> kept;
  for (const std::string& title : table.rows.at(0))
    kept.push_back(title.find("CREATED") == std::string::npos && title.find("CHANGED") == std::string::npos);
  std::vector<std::vector<std::string>> rows;
  for (const auto& row : table.rows) {
    rows.emplace_back();
    for (std::size_t c = 0; c < row.size(); ++c)
      if (kept.at(c)) rows.back().push_back(row[c]);
  }
  return rows;
}

TEST(ToolImport, AnExportedCollectionComesBackFieldForField) {
  TempDir dir;
  std::vector<collection::GlRecord> ornaments = collection::generateOrnaments(2000, 11);
  // Cells that must be quoted, and text beyond ASCII.
  ornaments[3].DESCRIPTION = "Blown glass, \"Lauscha\" style,\r\nthree layers;\r\nsee the \"box\".";
  ornaments[4].NAME = "\xC9toile de No\xEBl, \"grande\"";
  ornaments[5].DESCRIPTION = "\"\"\r\n\r\n,";
  ornaments[6].LENTTO = "Fran\xE7oise \x80 \x9C";
  // Cells a spreadsheet would take for formulas are written as text and read
  // back as they were, apostrophes of the collector's own included.
  ornaments[7].NAME = "=1+1";
  ornaments[8].DESCRIPTION = "'=SUM(A1:A9)";
  ornaments[9].CUSTOM1 = "@home";
  ornaments[10].SERIESNUM = "-5";
  ornaments[11].NAME = "'Twas the Night";
  ornaments[12].MANUF = "+plus";
  ornaments[13].CUSTOM2 = "\tindented";
  for (int i : {4, 7, 11}) collection::buildKeys(ornaments[i]);
  const std::string source = dir.file("SOURCE.GLM"), target = dir.file("TARGET.GLM"), csv = dir.file("out.csv");
  writeCollection(source, ornaments);
  std::string error;
  ASSERT_EQ(collection::generateCollectionFile(target, 0, 1, &error), 0) << error;

  int code = -1;
  std::string out = runTool("export " + source + " --csv " + csv, &code);
  ASSERT_EQ(code, 0) << out;
  out = runTool("import " + target + " --csv " + csv, &code);
  ASSERT_EQ(code, 0) << out;
  EXPECT_NE(out.find(target + ": 2000 ornaments imported from " + csv), std::string::npos) << out;

  const auto before = dumpedFields(source), after = dumpedFields(target);
  ASSERT_EQ(after.size(), 2002u);  // the title row, the header record and the ornaments
  ASSERT_EQ(before.size(), after.size());
  int mismatches = 0;
  for (std::size_t r = 0; r < after.size() && mismatches < 3; ++r)
    for (std::size_t c = 0; c < after[r].size(); ++c)
      if (after[r][c] != before[r].at(c)) {
        ADD_FAILURE() << "row " << r << ", " << before[0].at(c) << ": \"" << after[r][c] << "\" instead of \""
                      << before[r][c] << "\"";
        ++mismatches;
      }
  out = runTool("check " + target, &code);
  EXPECT_EQ(code, 0) << out;
}

TEST(ToolImport, EachBadInputIsNamedAndLeavesTheCollectionAsItWas) {
  TempDir dir;
  const std::string path = dir.file("XMAS.GLM"), csv = dir.file("in.csv");
  std::string error;
  const struct {
    const char* what;
    std::string bytes;
    std::string options;
    int code;
    std::string message;  // a part of what is printed
    std::size_t imported;
  } cases[] = {
      {"a semicolon file in Windows-1252", "Name;Category;Value\r\n\xC9toile;Glass;12.50\r\nAnge;;\r\n", "", 0,
       "2 ornaments imported", 2},
      {"a header-less file mapped by number", "Angel,Glass\nStar,Tin\n", "--map 1=Name --map 2=category", 0,
       "2 ornaments imported", 2},
      {"a header-less file without a mapping", "Angel,Glass\nStar,Tin\n", "", 3,
       "No column is taken as the Name", 0},
      {"bad dates and amounts",
       "Name,Purchase Date,Value\nA,2015-13-40,1\nB,2015-12-01,abc\nC,12/01/15,12.50\n", "", 3,
       "Row 2, column 2 (Purchase Date: \"2015-13-40\": 13 is not a month: type a month from 1 to 12.)\n", 0},
      {"bad dates and amounts, good rows taken",
       "Name,Purchase Date,Value\nA,2015-13-40,1\nB,2015-12-01,abc\nC,12/01/15,12.50\n", "--skip-refused", 0,
       "Row 3, column 3 (Value: \"abc\": Type an amount, for example 1234.50.)\n", 1},
      {"over-long text", "Name\n" + std::string(46, 'x') + "\n", "", 3,
       "Row 2, column 1 (Name: The text is 46 characters long; the field holds 45.)", 0},
      {"a character outside Windows-1252", "Name\nStar \xE2\x98\x85\n", "", 3,
       "cannot be stored in a collection file", 0},
      {"an empty name", "Name,Category\n,Glass\n", "", 3, "(Name: empty; every ornament needs a name.)", 0},
      {"an empty file", "", "", 3, "The file is empty: there is nothing to import.", 0},
      {"a file that is not text", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "", 3,
       "does not hold text", 0},
      {"a quote left open", "Name\n\"Angel\nStar\n", "", 3, "never closed", 0},
      {"UTF-8 asked of Windows-1252 text", "Name\n\xC9toile\n", "--encoding utf-8", 3,
       "is not UTF-8 text", 0},
      {"a field chosen twice", "Name,Title\nA,B\n", "--map 2=name", 3, "chosen for columns 1 and 2", 0},
      {"an unknown field", "Name\nA\n", "--map 1=Colour", 2, "no field is called Colour", 0},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(collection::generateCollectionFile(path, 3, 5, &error), 0) << error;
    const std::string before = fileBytes(path);
    writeBytes(csv, c.bytes);
    int code = -1;
    const std::string out = runTool("import " + path + " --csv " + csv + " " + c.options, &code);
    EXPECT_EQ(code, c.code) << c.what << "\n" << out;
    EXPECT_NE(out.find(c.message), std::string::npos) << c.what << "\n" << out;
    if (c.imported == 0) {
      EXPECT_EQ(fileBytes(path), before) << c.what;
    } else {
      const auto rows = dumpedFields(path);
      EXPECT_EQ(rows.size(), 1 + 1 + 3 + c.imported) << c.what;
    }
  }
  // The accented name of the Windows-1252 file arrives as its letters.
  ASSERT_EQ(collection::generateCollectionFile(path, 0, 5, &error), 0) << error;
  writeBytes(csv, "Name;Category\r\n\xC9toile;Glass\r\n");
  int code = -1;
  runTool("import " + path + " --csv " + csv, &code);
  ASSERT_EQ(code, 0);
  EXPECT_NE(runTool("dump " + path, &code).find("\"\xC3\x89toile\""), std::string::npos);
}

}  // namespace
}  // namespace glimra::datafile::testing
