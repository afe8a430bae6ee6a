// SPDX-License-Identifier: GPL-3.0-or-later
// The value history: an ornament's value on a date from its purchase and
// valuations, and a crash at any write or flush of a save that adds a
// valuation leaving the record's Value and the latest valuation in step, old
// or new.
#include <gtest/gtest.h>

#include "collection/glimra_file.h"
#include "collection/sort_keys.h"
#include "text/std_date.h"
#include "collection/valuations.h"
#include "collection/value_over_time.h"
#include "datafile/fault_file.h"
#include "text/picture.h"
#include "photo_fixture.h"

namespace photo_test {
namespace {

using glimra::collection::GlRecord;
using glimra::collection::historyOf;
using glimra::collection::Valuation;
using glimra::collection::ValuationKind;
using glimra::collection::ValuationTable;
using glimra::collection::valueAsOf;
using glimra::datafile::FaultFileSystem;
using glimra::datafile::UnflushedWrites;

constexpr std::int64_t M = 1'000'000;  // one currency unit in millionths

Valuation valuation(std::int32_t date, const char* amount, ValuationKind kind = ValuationKind::Appraisal) {
  return Valuation{date, amount, kind, "", ""};
}

TEST(Valuations, TheValueOnADateIsTheLatestPointOnOrBeforeItWhileTheOrnamentIsOwned) {
  GlRecord bought;  // bought on day 1000 for 10, given away on day 3000
  bought.clear();
  bought.PURDATE = "1000";
  bought.PURPRICE = "10.00";
  bought.VALUE = "45";
  bought.DATEGIVEN = "3000";
  const std::vector<Valuation> history = {
      valuation(900, "8"),       // seen at a sale before it was bought
      valuation(1500, "20"),
      valuation(2000, "30"),     // two valuations of one date: the last entered counts
      valuation(2000, "45", ValuationKind::OwnEstimate),
  };
  GlRecord old = bought;  // a record of an older file: its Value, no history
  old.DATEGIVEN.clear();
  old.CHANGEDDATE = 1800;
  GlRecord undated;  // no purchase date: owned from its first valuation
  undated.clear();
  undated.VALUE = "5";

  const struct {
    const GlRecord* record;
    std::vector<Valuation> valuations;
    std::int32_t date;
    std::optional<std::int64_t> value;
  } cases[] = {
      {&bought, history, 999, std::nullopt},  // not bought yet
      {&bought, history, 1000, 10 * M},       // the purchase outranks the earlier sale seen
      {&bought, history, 1499, 10 * M},
      {&bought, history, 1500, 20 * M},
      {&bought, history, 2000, 45 * M},
      {&bought, history, 2999, 45 * M},
      {&bought, history, 3000, std::nullopt},  // given away: counts no more from that day
      {&old, {}, 1000, 10 * M},
      {&old, {}, 1800, 45 * M},               // the Value as of the record's last change
      {&undated, {valuation(4000, "7")}, 3999, std::nullopt},
      {&undated, {valuation(4000, "7")}, 4000, 7 * M},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "day " << c.date << ", " << c.valuations.size() << " valuations");
    EXPECT_EQ(valueAsOf(*c.record, historyOf(*c.record, c.valuations), c.date), c.value);
  }
  // The purchase is a point of the history, never a stored valuation.
  const auto points = historyOf(bought, history);
  ASSERT_EQ(points.size(), 5u);
  EXPECT_EQ(points[0].date, 900);
  EXPECT_EQ(points[1].kind, ValuationKind::Purchase);
  EXPECT_FALSE(points[1].stored);
}

TEST(Valuations, ASaveRecordsAnOwnEstimateOnlyWhenTheValueChanged) {
  GlRecord stored, saved;
  stored.clear();
  stored.VALUE = "   15.50";
  saved = stored;
  saved.VALUE = "15.5";  // the same amount written another way
  EXPECT_TRUE(glimra::collection::valuationsAfterSave({}, stored, saved, 5000).empty());
  saved.VALUE = "   16.00";
  const std::vector<Valuation> before = {valuation(5000, "15.50"), valuation(4000, "12")};
  const auto after = glimra::collection::valuationsAfterSave(before, stored, saved, 5000);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after.back().amount, "   16.00") << "the estimate is the latest of its day";
  EXPECT_EQ(after.back().kind, ValuationKind::OwnEstimate);
  EXPECT_EQ(after.front().date, 4000);
  // The first valuation of an older record keeps the Value it replaces, as
  // of the record's last change.
  stored.CHANGEDDATE = 4500;
  const auto first = glimra::collection::valuationsAfterSave({}, stored, saved, 5000);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0], (Valuation{4500, "   15.50", ValuationKind::OwnEstimate, "", ""}));
  EXPECT_EQ(first[1].amount, "   16.00");
}

// Each period's totals are the sum over the ornaments owned at its end of
// their value then, as valueAsOf gives it one ornament at a time.
TEST(Valuations, TheValueOverTimeSumsEachOrnamentsValueAtTheEndOfEachPeriod) {
  using glimra::collection::CalendarDate;
  using glimra::collection::dateToDays;
  using glimra::collection::Period;
  const auto day = [](int y, int m, int d) { return std::to_string(dateToDays(CalendarDate{y, m, d})); };
  std::vector<GlRecord> records(4);
  for (GlRecord& r : records) r.clear();
  records[0].PURDATE = day(2020, 1, 15), records[0].PURPRICE = "10";   // appraised twice in one month
  records[1].PURDATE = day(2020, 6, 1), records[1].PURPRICE = "100";   // given away in 2022
  records[1].DATEGIVEN = day(2022, 3, 1);
  records[2].PURDATE = day(2021, 2, 2), records[2].VALUE = "7";        // an older file's: Value, no history
  records[2].CHANGEDDATE = dateToDays(CalendarDate{2021, 9, 9});
  records[3].CREATEDDATE = dateToDays(CalendarDate{2022, 5, 5});       // no purchase, nothing known
  const std::vector<std::vector<Valuation>> valuations = {
      {valuation(dateToDays(CalendarDate{2019, 12, 1}), "9"), valuation(dateToDays(CalendarDate{2021, 3, 3}), "20"),
       valuation(dateToDays(CalendarDate{2021, 3, 20}), "25")},
      {valuation(dateToDays(CalendarDate{2021, 1, 1}), "150")},
      {},
      {}};
  std::vector<glimra::collection::OwnedOrnament> owned;
  for (std::size_t i = 0; i < records.size(); ++i) owned.push_back(ownedOrnament(records[i], valuations[i]));
  const std::int32_t today = dateToDays(CalendarDate{2023, 2, 10});
  for (const Period period : {Period::Month, Period::Year}) {
    const auto periods = valueOverTime(owned, period, today);
    ASSERT_EQ(periods.front().label(), period == Period::Month ? "2020-01" : "2020");
    ASSERT_EQ(periods.back().label(), period == Period::Month ? "2023-02" : "2023");
    EXPECT_EQ(periods.back().end, today);
    for (const auto& t : periods) {
      SCOPED_TRACE(t.label());
      std::int64_t count = 0, value = 0, paid = 0;
      for (std::size_t i = 0; i < records.size(); ++i) {
        const auto v = valueAsOf(records[i], historyOf(records[i], valuations[i]), t.end);
        if (!v) continue;
        ++count, value += *v;
        paid += glimra::collection::readAmountMillionths(records[i].PURPRICE.clipped()).value_or(0);
      }
      EXPECT_EQ(t.count, count);
      EXPECT_EQ(t.value, value);
      EXPECT_EQ(t.paid, paid);
    }
  }
  const auto years = valueOverTime(owned, Period::Year, today);
  ASSERT_EQ(years.size(), 4u);
  EXPECT_EQ(years[1].value, (25 + 150 + 7) * M) << "2021: the later appraisal of March, the Value of the older file";
  EXPECT_EQ(years[2].count, 3) << "2022: one given away, one counted from its created date";
}

// A save as the program makes it: the record's version on disk retired, the
// new one added with Value 30, and the ornament's history gaining an own
// estimate of 30, in one transaction.
void saveWithNewValue(FaultFileSystem& disk) {
  GlRecord r;
  glimra::datafile::DataFile file(disk);
  file.declare(glimra::collection::glimraDeclaration(), &r);
  file.setName("c.GLM");
  ValuationTable table(disk);
  if (file.open(glimra::datafile::READ_WRITE_DENY_WRITE) != 0) return;
  if (table.open("c.GLM", glimra::datafile::READ_WRITE_DENY_WRITE) != 0 || table.ensureTable() != 0) return;
  std::vector<Valuation> history;
  if (table.valuationsOf(ornament(1), &history) != 0 || file.logout() != 0) return;
  file.setFile();
  while (file.next() == 0 && !(r.NAME.str() == "Angel" && r.DELETED == 0)) {}
  if (file.errorCode() != 0) return;
  const GlRecord before = r;
  r.DELETED = 1;
  if (file.put() != 0) return;
  r = before;
  r.VALUE = "30.00";
  history = glimra::collection::valuationsAfterSave(history, before, r, 5000);
  if (file.add() != 0 || table.replace(ornament(1), history) != 0) return;
  file.commit();
}

// The live Angel's Value and the amount of its latest valuation.
std::pair<std::string, std::string> valueAndLatest(FaultFileSystem& disk) {
  GlRecord r;
  glimra::datafile::DataFile file(disk);
  file.declare(glimra::collection::glimraDeclaration(), &r);
  file.setName("c.GLM");
  std::pair<std::string, std::string> seen;
  EXPECT_EQ(file.open(glimra::datafile::READ_ONLY_DENY_NONE), 0);
  file.setFile();
  int live = 0;
  while (file.next() == 0)
    if (r.NAME.str() == "Angel" && r.DELETED == 0) seen.first = r.VALUE.str(), ++live;
  EXPECT_EQ(live, 1) << "one live version";
  ValuationTable table(disk);
  std::vector<Valuation> history;
  EXPECT_EQ(table.open("c.GLM", glimra::datafile::READ_ONLY_DENY_NONE), 0);
  EXPECT_EQ(table.valuationsOf(ornament(1), &history), 0);
  if (!history.empty()) seen.second = history.back().amount;
  return seen;
}

TEST(Valuations, ACrashAtEveryStepOfASaveThatAddsAValuationLeavesValueAndHistoryInStep) {
  FaultFileSystem planted;
  makeCollection(planted, "c.GLM", {"Angel", "Bell"});
  {  // Angel is worth 20 since an appraisal
    ValuationTable table(planted);
    ASSERT_EQ(table.open("c.GLM", glimra::datafile::READ_WRITE_DENY_WRITE), 0);
    ASSERT_EQ(table.ensureTable(), 0);
    ASSERT_EQ(table.replace(ornament(1), {valuation(4000, "20.00")}), 0);
    GlRecord r;
    glimra::datafile::DataFile file(planted);
    file.declare(glimra::collection::glimraDeclaration(), &r);
    file.setName("c.GLM");
    ASSERT_EQ(file.open(glimra::datafile::READ_WRITE_DENY_WRITE), 0);
    file.setFile();
    while (file.next() == 0 && r.NAME.str() != "Angel") {}
    r.VALUE = "20.00";
    ASSERT_EQ(file.put(), 0);
  }
  const std::pair<std::string, std::string> before{"20.00", "20.00"}, after{"30.00", "30.00"};
  for (const UnflushedWrites reboot : {UnflushedWrites::Dropped, UnflushedWrites::Kept, UnflushedWrites::TornAtSectors}) {
    bool reachedEnd = false;
    std::uint64_t cut = 0;
    for (; !reachedEnd; ++cut) {
      SCOPED_TRACE(::testing::Message() << "reboot " << int(reboot) << ", cut after step " << cut);
      FaultFileSystem disk;
      disk.setContents("c.GLM", planted.contents("c.GLM"));
      disk.plan.crashAfter = cut;
      saveWithNewValue(disk);
      reachedEnd = !disk.crashed();
      disk.reboot(reboot, static_cast<std::uint32_t>(cut) + 3);
      const auto seen = valueAndLatest(disk);
      ASSERT_TRUE(seen == before || seen == after) << seen.first << " / " << seen.second;
      if (reachedEnd) ASSERT_EQ(seen, after);
    }
    EXPECT_GE(cut, 3u) << "steps cut";
  }
}

}  // namespace
}  // namespace photo_test
