// SPDX-License-Identifier: GPL-3.0-or-later
// The value history window as a user meets it: the purchase first, then the
// valuations; Add, Edit and Delete each hand the whole changed list to one
// save; a valuation without a date or dated after today is refused with a
// message and nothing is saved.
#include "reports/value_history_window.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "text/std_date.h"
#include "runtime/scripted_runtime.h"

namespace glimra::reports {
namespace {

using collection::Valuation;
using collection::ValuationKind;
using runtime::ScriptedWindow;
namespace vh = value_history;

class NoOutput final : public PageOutput {
 public:
  void present(const ReportDescriptor&, const PageList& pages) override { presented = pages.pages.size(); }
  std::size_t presented = 0;
};

struct HistorySession {
  runtime::ScriptedRuntime runtime;
  program::Program program{runtime};
  FixedPitchMeasure measure;
  NoOutput output;
  collection::GlRecord record;
  std::vector<Valuation> stored;
  int saves = 0;
  std::vector<std::vector<std::string>> rowsSeen;
  // What the user does in the window, one step at each idle moment, then Close.
  std::deque<std::function<void(ScriptedWindow&)>> steps;
  // What the user types in the valuation window each time it opens.
  std::deque<std::function<void(ScriptedWindow&)>> editors;

  void run() {
    record.clear();
    record.PURDATE = std::to_string(collection::dateToDays({2015, 6, 1}));
    record.PURPRICE = "   20.00";
    record.PURFROM = "Card Shop";
    runtime.whenOpened[VALUE_HISTORY_WINDOW_TITLE] = [this](ScriptedWindow& window) {
      window.onIdle = [this](ScriptedWindow& w) {
        rowsSeen.push_back(w.rows(vh::VALUATIONLIST));
        if (steps.empty()) {
          w.click(vh::CLOSE);
          return;
        }
        auto step = std::move(steps.front());
        steps.pop_front();
        step(w);
      };
    };
    for (const char* title : {"Add Valuation", "Edit Valuation"})
      runtime.whenOpened[title] = [this](ScriptedWindow& window) {
        window.onIdle = [this](ScriptedWindow& w) {
          if (editors.empty()) return void(w.click(vh::CANCEL));
          auto edit = std::move(editors.front());
          editors.pop_front();
          edit(w);
        };
      };
    program::ValueHistoryAccess access;
    access.heading = "Star";
    access.record = [this] { return record; };
    access.valuations = [this] { return stored; };
    access.save = [this](std::vector<Valuation> list) {
      ++saves;
      collection::sortValuations(list);
      stored = std::move(list);
      if (!stored.empty()) record.VALUE = stored.back().amount;
      return true;
    };
    ValueHistoryWindow(program, measure, output, nullptr, access).run();
  }
};

TEST(ValueHistoryWindow, AddEditAndDeleteEachSaveTheWholeListOnce) {
  HistorySession s;
  s.steps = {[](ScriptedWindow& w) { w.click(vh::ADD); },
             [](ScriptedWindow& w) { w.click(vh::ADD); },
             [](ScriptedWindow& w) {
               w.chooseRow(vh::VALUATIONLIST, 2);  // the 2018 appraisal (the purchase is row 1)
               w.click(vh::EDIT);
             },
             [](ScriptedWindow& w) {
               w.chooseRow(vh::VALUATIONLIST, 3);
               w.click(vh::REMOVE);
             }};
  s.editors = {[](ScriptedWindow& w) {
                 w.type(vh::DATE, "3/15/2018");
                 w.type(vh::AMOUNT, "45");
                 w.type(vh::SOURCE, "Smith Appraisals");
                 w.click(vh::OK);
               },
               [](ScriptedWindow& w) {
                 w.type(vh::DATE, "1/2/2020");
                 w.type(vh::AMOUNT, "60");
                 w.chooseRow(vh::KIND, 5);  // Insurance
                 w.click(vh::OK);
               },
               [](ScriptedWindow& w) {
                 w.type(vh::AMOUNT, "50");
                 w.click(vh::OK);
               }};
  s.run();
  EXPECT_EQ(s.saves, 4);
  ASSERT_EQ(s.stored.size(), 1u) << "the insurance valuation was deleted";
  EXPECT_EQ(s.stored[0].source, "Smith Appraisals");
  EXPECT_EQ(s.stored[0].amount, "               50.00");
  EXPECT_EQ(s.stored[0].kind, ValuationKind::Appraisal);
  ASSERT_GE(s.rowsSeen.size(), 3u);
  ASSERT_EQ(s.rowsSeen[2].size(), 3u);
  EXPECT_NE(s.rowsSeen[2][0].find("Purchase"), std::string::npos) << s.rowsSeen[2][0];
  EXPECT_NE(s.rowsSeen[2][0].find("Card Shop"), std::string::npos);
  EXPECT_NE(s.rowsSeen[2][2].find("Insurance"), std::string::npos) << s.rowsSeen[2][2];
  EXPECT_NE(s.rowsSeen[2][2].find("$60.00"), std::string::npos) << s.rowsSeen[2][2];
}

TEST(ValueHistoryWindow, AValuationWithoutADateOrDatedAfterTodayIsRefusedAndNothingSaved) {
  HistorySession s;
  const collection::CalendarDate tomorrow = collection::daysToDate(collection::today() + 1);
  const std::string future =
      std::to_string(tomorrow.month) + "/" + std::to_string(tomorrow.day) + "/" + std::to_string(tomorrow.year);
  s.steps = {[](ScriptedWindow& w) { w.click(vh::ADD); }};
  // One step at each idle moment of the valuation window.
  s.editors = {[&](ScriptedWindow& w) {
                 w.type(vh::DATE, future);
                 w.type(vh::AMOUNT, "45");
                 w.click(vh::OK);
               },
               [](ScriptedWindow& w) {
                 w.type(vh::DATE, "");
                 w.click(vh::OK);
               },
               [](ScriptedWindow& w) { w.click(vh::CANCEL); }};
  s.run();
  EXPECT_EQ(s.saves, 0);
  ASSERT_EQ(s.runtime.messages.size(), 2u);
  EXPECT_EQ(s.runtime.messages[0].text, "A valuation cannot be dated after today.");
  EXPECT_EQ(s.runtime.messages[1].text, "Type the date of the valuation.");
}

}  // namespace
}  // namespace glimra::reports
