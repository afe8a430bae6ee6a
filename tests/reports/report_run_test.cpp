// SPDX-License-Identifier: GPL-3.0-or-later
// The record loop every report runs: order by the report's key, batches of
// 25, the percentage, the end of the key, cancelling, and the value report.
#include "reports/report_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_fixture.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
using testing::CollectionFolder;
using testing::findText;
using testing::ornament;

struct RunOver {
  CollectionFolder folder;
  collection::GlRecord GL;
  datafile::DataFile GLIMRA;
  FixedPitchMeasure measure;
  std::unique_ptr<ReportRun> run;
  std::vector<int> percents;
  int fetchErrors = 0;

  RunOver(const char* report, const std::vector<collection::GlRecord>& records) {
    folder.open(GLIMRA, GL, records);
    run = std::make_unique<ReportRun>(*findReport(report), GLIMRA, GL, measure);
    run->onPercent = [this](int p) { percents.push_back(p); };
    run->onFetchError = [this] { ++fetchErrors; };
  }
};

// The texts of the bold detail fields (the sort field), in page order.
std::vector<std::string> sortFields(const PageList& pages) {
  std::vector<std::string> out;
  for (const Page& page : pages.pages)
    for (const PageItem& item : page.items)
      if (item.kind == ItemKind::Text && item.box.y >= 2000 && item.box.y < 10000 &&
          pages.styles.at(item.style).font.bold)
        out.emplace_back(page.textOf(item));
  return out;
}

TEST(ReportRun, ReadsInKeyOrderRegardlessOfCaseAndCountsPercentages) {
  RunOver r("name", {ornament({{F::NAME, "banana"}}), ornament({{F::NAME, "Apple"}}), ornament({{F::NAME, "Cherry"}})});
  const PageList pages = runReport(*r.run);
  EXPECT_EQ(sortFields(pages), (std::vector<std::string>{"Apple", "banana", "Cherry"}));
  EXPECT_EQ(r.percents, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(r.run->printed(), 3);
  EXPECT_EQ(r.fetchErrors, 0);
}

TEST(ReportRun, AReportListsOnlyTheEntriesItsKeyHolds) {
  std::vector<collection::GlRecord> records;
  for (int i = 0; i < 8; ++i) records.push_back(ornament({{F::NAME, testing::numbered("N", i)}}));
  records[2] = ornament({{F::NAME, "N2"}, {F::LENTTO, "Zoe"}});
  records[6] = ornament({{F::NAME, "N6"}, {F::LENTTO, "adam"}});
  RunOver r("lent-to", records);
  const PageList pages = runReport(*r.run);
  EXPECT_EQ(sortFields(pages), (std::vector<std::string>{"adam", "Zoe"}));
  EXPECT_EQ(r.percents, (std::vector<int>{12, 25}));  // stops at 25 of 8 records
  EXPECT_EQ(r.run->PERCENTPROGRESS, 25);
}

TEST(ReportRun, AnEmptyKeyOpensNoReport) {
  for (const char* report : {"name", "value"}) {
    RunOver empty(report, {});
    EXPECT_FALSE(empty.run->start()) << report;
    empty.run->finish(false);
    EXPECT_TRUE(empty.run->takePages().pages.empty());
    RunOver noneLent(report == std::string("name") ? "date-given" : "lent-to", {ornament({{F::NAME, "A"}})});
    EXPECT_TRUE(runReport(*noneLent.run).pages.empty());
    EXPECT_EQ(empty.fetchErrors + noneLent.fetchErrors, 0);
  }
}

TEST(ReportRun, PrintsInBatchesOf25AndACancelledRunKeepsNoPage) {
  std::vector<collection::GlRecord> records;
  for (int i = 0; i < 60; ++i) records.push_back(ornament({{F::NAME, testing::numbered("N", 100 + i)}}));
  RunOver r("name", records);
  ASSERT_TRUE(r.run->start());
  EXPECT_FALSE(r.run->printBatch());
  EXPECT_EQ(r.run->printed(), 25);
  EXPECT_FALSE(r.run->printBatch());
  EXPECT_EQ(r.run->printed(), 50);
  EXPECT_TRUE(r.run->printBatch());
  EXPECT_EQ(r.run->printed(), 60);
  r.run->finish(true);
  EXPECT_EQ(r.run->takePages().pages.size(), 4u);  // 17 bands a page

  RunOver cancelled("name", records);
  ASSERT_TRUE(cancelled.run->start());
  EXPECT_FALSE(cancelled.run->printBatch());
  cancelled.run->finish(false);
  EXPECT_TRUE(cancelled.run->takePages().pages.empty());
}

TEST(ReportRun, TheValueReportListsAmountsInNumericOrderAndTotalsThem) {
  RunOver r("value", {ornament({{F::NAME, "A"}, {F::VALUE, "100"}}), ornament({{F::NAME, "B"}, {F::VALUE, "15.5"}}),
                  ornament({{F::NAME, "C"}, {F::VALUE, "10"}}), ornament({{F::NAME, "D"}})});
  const PageList pages = runReport(*r.run);
  EXPECT_EQ(sortFields(pages),
            (std::vector<std::string>{"$10.00", "$15.50", "$100.00", "Total Value of Collection:", "$125.50",
                                      "Total Purchase Price of Collection:"}));
  EXPECT_EQ(r.percents, (std::vector<int>{25, 50, 75}));
}

// Until the next open the file keeps the retired version of every record
// saved, deleted or left pending: the reports print live ornaments only.
TEST(ReportRun, RetiredVersionsAreNeitherListedNorTotalled) {
  auto retired = [](collection::GlRecord r) {
    r.DELETED = 1;
    return r;
  };
  const std::vector<collection::GlRecord> records = {
      retired(ornament({{F::NAME, "Acorn"}, {F::VALUE, "84.39"}, {F::PURPRICE, "20"}})),  // saved over
      ornament({{F::NAME, "Acorn"}, {F::VALUE, "100"}, {F::PURPRICE, "20"}}),
      retired(ornament({{F::NAME, "Bell"}, {F::VALUE, "7"}})),                            // deleted
      retired(ornament({{F::NAME, "Candle"}, {F::VALUE, "3"}})),                          // a pending addition
      ornament({{F::NAME, "Drum"}, {F::VALUE, "15.5"}, {F::PURPRICE, "4.25"}}),
      ornament({{F::VALUE, "999"}}),  // saved without a name: gone at the next open
  };
  RunOver value("value", records);
  EXPECT_EQ(sortFields(runReport(*value.run)),
            (std::vector<std::string>{"$15.50", "$100.00", "Total Value of Collection:", "$115.50",
                                      "Total Purchase Price of Collection:", "$24.25"}));
  EXPECT_EQ(value.run->printed(), 2);
  EXPECT_EQ(value.run->PERCENTPROGRESS, 100);  // every record read counts towards the progress

  RunOver name("name", records);
  EXPECT_EQ(sortFields(runReport(*name.run)), (std::vector<std::string>{"Acorn", "Drum"}));

  // A key holding nothing but retired versions prints no report at all.
  RunOver none("name", {retired(ornament({{F::NAME, "Gone"}}))});
  EXPECT_FALSE(none.run->start());
  none.run->finish(false);
}

}  // namespace
}  // namespace glimra::reports
