// SPDX-License-Identifier: GPL-3.0-or-later
// The Reports menu: shown only when the program has reports, one item per
// report with its lines, and after a report the collection file is reopened,
// so what the report left in the file shows in the lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue_fixture.h"
#include "program/report_menu.h"

namespace catalogue_test {
namespace {

using glimra::program::ReportMenuItem;

// Reports that record their runs; the second one adds an ornament to the
// collection file through the shared state, as a procedure of the program may.
class FakeReports final : public glimra::program::ReportMenu {
 public:
  explicit FakeReports(glimra::program::Program& program) : program_(program) {}
  std::vector<ReportMenuItem> items() const override {
    return {{"Print Sorted by &Name", false}, {"Print Sorted by &Series", true}, {"Print Sorted by &Value", false}};
  }
  void run(int index) override {
    runs.push_back(index);
    if (index != 1) return;
    program_.GL.clear();
    program_.GL.NAME = "Bauble";
    glimra::collection::buildKeys(program_.GL);
    program_.GLIMRA.add();
  }
  std::vector<int> runs;

 private:
  glimra::program::Program& program_;
};

TEST_F(CatalogueTest, ReportsMenuRunsTheChosenReportAndReloadsTheLists) {
  writeCollection(path("Tree.GLM"), {{"Star", "", ""}});
  remember(path("Tree.GLM"));
  Session session;
  FakeReports reports(session.shared);
  session.program.reports = &reports;
  std::vector<std::string> texts, rowsBefore, rowsAfter;
  bool separatorAfterSecond = false, separatorAfterFirst = true, openAfter = false;
  session
      .check([&](ScriptedWindow& w) {
        for (int n = control::FIRSTREPORT; n <= control::FIRSTREPORT + 3; ++n)
          if (w.exists(n)) texts.push_back(w.text(n));
        separatorAfterFirst = w.exists(control::FIRSTREPORTSEPARATOR);
        separatorAfterSecond = w.exists(control::FIRSTREPORTSEPARATOR + 1);
        rowsBefore = w.rows(control::GLMLIST);
      })
      .act([](ScriptedWindow& w) { w.click(control::FIRSTREPORT + 1); })
      .check([&](ScriptedWindow& w) {
        rowsAfter = w.rows(control::GLMLIST);
        openAfter = session.program.GLIMRA.isOpen();
      });
  session.run();

  EXPECT_EQ(texts, (std::vector<std::string>{"Print Sorted by &Name", "Print Sorted by &Series",
                                             "Print Sorted by &Value"}));
  EXPECT_FALSE(separatorAfterFirst);
  EXPECT_TRUE(separatorAfterSecond);
  EXPECT_EQ(reports.runs, std::vector<int>{1});
  EXPECT_EQ(rowsBefore, std::vector<std::string>{"Star"});
  EXPECT_EQ(rowsAfter, (std::vector<std::string>{"Bauble", "Star"}));
  EXPECT_TRUE(openAfter);
}

TEST_F(CatalogueTest, WithoutReportsThereIsNoReportsMenu) {
  writeCollection(path("Tree.GLM"), {{"Star", "", ""}});
  remember(path("Tree.GLM"));
  Session session;
  bool menu = true, item = true;
  session.check([&](ScriptedWindow& w) {
    menu = w.exists(control::REPORTS);
    item = w.exists(control::FIRSTREPORT);
  });
  session.run();
  EXPECT_FALSE(menu);
  EXPECT_FALSE(item);
}

}  // namespace
}  // namespace catalogue_test
