// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file export: a collection out as a spreadsheet file through the
// command line, its exit codes, and an earlier export kept on failure.
#include <gtest/gtest.h>

#include "collection/csv_export.h"
#include "collection/generator.h"
#include "datafile_fixture.h"
#include "run_tool.h"

namespace glimra::datafile::testing {
namespace {

TEST(ToolExport, WritesOneRowPerOrnamentAndKeepsAnEarlierFileOnFailure) {
  TempDir dir;
  const std::string path = dir.file("XMAS.GLM");
  std::string error;
  ASSERT_EQ(collection::generateCollectionFile(path, 40, 7, &error), 0) << error;
  const std::string collectionBytes = fileBytes(path);

  int code = -1;
  const std::string csv = dir.file("xmas.csv");
  EXPECT_EQ(runTool("export " + path + " --csv " + csv, &code), csv + ": 40 ornaments exported\n");
  EXPECT_EQ(code, 0);
  const std::string text = fileBytes(csv);
  ASSERT_EQ(text.rfind("\xEF\xBB\xBF" + collection::csvHeaderRow(), 0), 0u);
  // Every generated ornament is one row: the rows are what the module writes.
  const std::vector<collection::GlRecord> ornaments = collection::generateOrnaments(40, 7);
  std::string rows;
  for (const collection::GlRecord& r : ornaments)
    if (!r.DELETED) rows += collection::csvRow(r);
  EXPECT_EQ(text.substr(3 + collection::csvHeaderRow().size()), rows);
  EXPECT_EQ(fileBytes(path), collectionBytes);  // only read

  const struct {
    std::string arguments;
    int code;
  } failures[] = {
      {"export " + path, 2},
      {"export --csv " + csv, 2},
      {"export " + path + " --csv " + csv + " extra", 2},
      {"export " + dir.file("MISSING.GLM") + " --csv " + csv, 3},
      {"export " + path + " --csv " + csv + "/inside.csv", 3},
  };
  for (const auto& f : failures) {
    const std::string out = runTool(f.arguments, &code);
    EXPECT_EQ(code, f.code) << f.arguments << "\n" << out;
    EXPECT_NE(out.find("glimra-file: "), std::string::npos) << out;
    EXPECT_EQ(fileBytes(csv), text) << f.arguments;
  }
}

}  // namespace
}  // namespace glimra::datafile::testing
