// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file stats: the statistics of a collection as a table and as JSON,
// the same figures the module computes, and its usage errors.
#include <gtest/gtest.h>

#include "collection/collection_statistics.h"
#include "collection/generator.h"
#include "datafile_fixture.h"
#include "run_tool.h"
#include "text/picture.h"

namespace glimra::datafile::testing {
namespace {

TEST(ToolStats, PrintsTheGroupsAndTotalsOfEveryGroupingAndRefusesWrongArguments) {
  TempDir dir;
  const std::string path = dir.file("XMAS.GLM");
  std::string error;
  ASSERT_EQ(collection::generateCollectionFile(path, 60, 3, &error), 0) << error;
  collection::StatisticsTally tally;
  for (const collection::GlRecord& r : collection::generateOrnaments(60, 3)) tally.add(r);
  const collection::CollectionStatistics expected = tally.result();

  int code = -1;
  for (const auto& g : collection::groupingNames()) {
    SCOPED_TRACE(g.option);
    const std::string json = runTool("stats " + path + " --by " + g.option + " --json", &code);
    EXPECT_EQ(code, 0) << json;
    EXPECT_EQ(json.rfind(std::string("{\"by\":\"") + g.option + "\",\"groups\":[", 0), 0u) << json;
    const auto& t = expected.total;
    EXPECT_NE(json.find("\"total\":{\"count\":60,\"value\":" + collection::millionthsText(t.value) +
                        ",\"paid\":" + collection::millionthsText(t.paid)),
              std::string::npos)
        << json;
    std::size_t groups = 0;
    for (std::size_t at = json.find("\"name\":"); at != std::string::npos; at = json.find("\"name\":", at + 1))
      ++groups;
    EXPECT_EQ(groups, expected.of(g.grouping).size());
  }
  const std::string table = runTool("stats " + path, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(table.rfind("Category", 0), 0u) << table;
  EXPECT_NE(table.find("\nTotal "), std::string::npos) << table;
  EXPECT_NE(table.find(collection::amountText(expected.total.value)), std::string::npos) << table;

  const struct {
    std::string arguments;
    int code;
  } failures[] = {
      {"stats", 2},
      {"stats " + path + " --by colour", 2},
      {"stats " + path + " --by", 2},
      {"stats " + path + " extra", 2},
      {"stats " + dir.file("MISSING.GLM"), 3},
  };
  for (const auto& f : failures) {
    const std::string out = runTool(f.arguments, &code);
    EXPECT_EQ(code, f.code) << f.arguments << "\n" << out;
    EXPECT_EQ(out.rfind("glimra-file: ", 0), 0u) << out;
  }
}

}  // namespace
}  // namespace glimra::datafile::testing
