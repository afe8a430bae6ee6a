// SPDX-License-Identifier: GPL-3.0-or-later
// The report procedures under their progress window, driven through the
// scripted runtime: the percentage shown, timer batches and Cancel, an empty
// key, the use count, the response code and the Reports menu's items.
#include "reports/report_procedure.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "report_fixture.h"
#include "runtime/scripted_runtime.h"

namespace glimra::reports {
namespace {

namespace F = collection::GlField;
using runtime::ScriptedWindow;
using testing::CollectionFolder;
using testing::findText;
using testing::ornament;

// Keeps what a report hands over, and what its window showed then.
class RecordedOutput final : public PageOutput {
 public:
  void present(const ReportDescriptor& report, const PageList& pages) override {
    reports.push_back(report.procedure);
    presented = pages;
    if (window) {
      shownAtEnd = window->text(progress::PROGRESS_PCTTEXT);
      barAtEnd = window->choice(progress::PROGRESS_THERMOMETER);
    }
  }
  std::vector<std::string> reports;
  PageList presented;
  ScriptedWindow* window = nullptr;
  std::string shownAtEnd;
  int barAtEnd = -1;
};

// What the user does while the progress window waits: fire the timer, or
// press Cancel; one action per idle moment.
enum class Act { Timer, Cancel, DamageThenTimer };

struct ReportSession {
  CollectionFolder folder;
  runtime::ScriptedRuntime runtime;
  program::Program program{runtime};
  FixedPitchMeasure measure;
  RecordedOutput output;
  std::vector<std::string> shown;  // the percentage text at each idle moment
  std::vector<std::string> captions;
  int timerEvents = 0;

  explicit ReportSession(const std::vector<collection::GlRecord>& records, std::vector<Act> script = {}) {
    folder.write("c.GLM", records);
    program.GLIMRAFILE = folder.path("c.GLM");
    program.GLIMRA.setName(folder.path("c.GLM"));
    runtime.whenOpened["Progress..."] = [this, script](ScriptedWindow& w) {
      output.window = &w;
      w.onIdle = [this, script, step = std::size_t{0}](ScriptedWindow& window) mutable {
        shown.push_back(window.text(progress::PROGRESS_PCTTEXT));
        captions.push_back(window.caption());
        const Act act = step < script.size() ? script[step] : Act::Timer;
        ++step;
        if (act == Act::Cancel) {
          window.click(progress::PROGRESS_CANCEL);
        } else {
          if (act == Act::DamageThenTimer) damageSecondHalf();
          ++timerEvents;
          window.fireTimer();
        }
      };
    };
  }

  // Overwrites the second half of the collection file with noise, as a
  // failing disk might.
  void damageSecondHalf() {
    const auto size = std::filesystem::file_size(folder.path("c.GLM"));
    std::fstream file(folder.path("c.GLM"), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size / 2));
    const std::string noise(size - size / 2, '\xA5');
    file.write(noise.data(), static_cast<std::streamsize>(noise.size()));
  }

  void run(const char* report) {
    ReportProcedures procedures(program, measure, output);
    const auto& all = reportDescriptors();
    for (std::size_t i = 0; i < all.size(); ++i)
      if (all[i].name == std::string(report)) procedures.run(static_cast<int>(i));
  }
};

TEST(ReportProcedure, ShowsThePercentageAndHandsTheFinishedPagesOn) {
  ReportSession s({ornament({{F::NAME, "banana"}}), ornament({{F::NAME, "Apple"}}), ornament({{F::NAME, "Cherry"}})});
  s.program.GLOBALREQUEST = 7;
  s.run("name");
  EXPECT_EQ(s.runtime.openedTitles, std::vector<std::string>{"Progress..."});
  EXPECT_EQ(s.captions.front(), "Generating Report");
  EXPECT_EQ(s.shown.front(), " 33% Completed");  // the first record is fetched when the window opens
  EXPECT_EQ(s.output.shownAtEnd, "100% Completed");
  EXPECT_EQ(s.output.barAtEnd, 100);
  EXPECT_EQ(s.output.reports, std::vector<std::string>{"JUSTNAMEREPORT"});
  ASSERT_EQ(s.output.presented.pages.size(), 1u);
  const Page& page = s.output.presented.pages[0];
  ASSERT_NE(findText(page, "Apple"), nullptr);
  EXPECT_LT(findText(page, "Apple")->box.y, findText(page, "banana")->box.y);
  EXPECT_LT(findText(page, "banana")->box.y, findText(page, "Cherry")->box.y);
  EXPECT_EQ(s.program.GLOBALRESPONSE, 1);
  EXPECT_EQ(s.program.GLOBALREQUEST, 0);
  // The report opened the file itself (use count 0) and closed it on leaving.
  EXPECT_EQ(s.program.GLIMRA_USED, 0);
  EXPECT_FALSE(s.program.GLIMRA.isOpen());
  EXPECT_TRUE(s.runtime.messages.empty());
}

TEST(ReportProcedure, TheLentToReportStopsAt25PercentOfEightRecords) {
  std::vector<collection::GlRecord> records;
  for (int i = 0; i < 8; ++i)
    records.push_back(ornament({{F::NAME, testing::numbered("N", i)}, {F::LENTTO, i % 4 == 1 ? "Ann" : ""}}));
  ReportSession s(records);
  s.run("lent-to");
  EXPECT_EQ(s.output.shownAtEnd, " 25% Completed");
  EXPECT_EQ(s.output.barAtEnd, 25);
  ASSERT_EQ(s.output.presented.pages.size(), 1u);
  int bands = 0;
  for (const PageItem& item : s.output.presented.pages[0].items) bands += item.kind == ItemKind::Line;
  EXPECT_EQ(bands, 2);
  EXPECT_EQ(s.program.GLOBALRESPONSE, 1);
}

TEST(ReportProcedure, AnEmptyFileOpensNoReportAndAnswersCancelled) {
  ReportSession s({});
  s.run("value");
  EXPECT_TRUE(s.output.reports.empty());
  EXPECT_EQ(s.timerEvents, 0);
  EXPECT_EQ(s.program.GLOBALRESPONSE, 2);
  EXPECT_EQ(s.program.GLIMRA_USED, 0);
  EXPECT_TRUE(s.runtime.messages.empty());  // the end of the key is no error
}

std::vector<collection::GlRecord> sixty() {
  std::vector<collection::GlRecord> records;
  for (int i = 0; i < 60; ++i) records.push_back(ornament({{F::NAME, testing::numbered("N", 100 + i)}}));
  return records;
}

TEST(ReportProcedure, PrintsOverSeveralTimerEventsAndStopsOnCancelBetweenThem) {
  ReportSession whole(sixty());
  whole.run("name");
  EXPECT_EQ(whole.timerEvents, 3);  // 25 + 25 + 10
  EXPECT_EQ(whole.output.presented.pages.size(), 4u);
  EXPECT_EQ(whole.program.GLOBALRESPONSE, 1);

  ReportSession cancelled(sixty(), {Act::Timer, Act::Cancel});
  cancelled.program.GLIMRA.open();  // the main window holds the file
  cancelled.program.GLIMRA_USED = 1;
  cancelled.run("name");
  EXPECT_EQ(cancelled.timerEvents, 1);
  // One record fetched on opening, 25 more in the batch: 26 of 60.
  EXPECT_EQ(cancelled.shown.back(), " 43% Completed");
  EXPECT_TRUE(cancelled.output.reports.empty());
  EXPECT_EQ(cancelled.program.GLOBALRESPONSE, 2);
  EXPECT_EQ(cancelled.program.GLIMRA_USED, 1);
  EXPECT_TRUE(cancelled.program.GLIMRA.isOpen());
}

TEST(ReportProcedure, AFetchThatFailsShowsWarning35AndHandsOnWhatWasPrinted) {
  std::vector<collection::GlRecord> records;
  for (int i = 0; i < 400; ++i)
    records.push_back(ornament({{F::NAME, testing::numbered("N", 1000 + i)}, {F::DESCRIPTION, std::string(900, 'x')}}));
  ReportSession s(records, {Act::Timer, Act::DamageThenTimer});
  s.run("name");
  ASSERT_EQ(s.runtime.messages.size(), 1u);
  EXPECT_EQ(s.runtime.messages[0].caption, "Record Retrieval Error");
  EXPECT_NE(s.runtime.messages[0].text.find("Glimra"), std::string::npos) << s.runtime.messages[0].text;
  // The pages printed before the failure are handed on; the run counts as read to the end.
  EXPECT_EQ(s.output.reports, std::vector<std::string>{"JUSTNAMEREPORT"});
  EXPECT_FALSE(s.output.presented.pages.empty());
  EXPECT_EQ(s.program.GLOBALRESPONSE, 1);
  EXPECT_EQ(s.program.GLIMRA_USED, 0);
}

TEST(ReportProcedure, TheMenuListsTheSixteenReportsWithTheirLinesAndOneMnemonicEach) {
  runtime::ScriptedRuntime runtime;
  program::Program program(runtime);
  FixedPitchMeasure measure;
  RecordedOutput output;
  const ReportProcedures procedures(program, measure, output);
  const auto items = procedures.items();
  ASSERT_EQ(items.size(), 16u);
  std::vector<std::string> lineAfter;
  std::set<char> mnemonics;
  auto takeMnemonic = [&](const std::string& text) {
    const std::size_t at = text.find('&');
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.find('&', at + 1), std::string::npos) << text;
    EXPECT_TRUE(mnemonics.insert(static_cast<char>(std::toupper(text.at(at + 1)))).second) << "used twice: " << text;
  };
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::string shown = items[i].text;
    takeMnemonic(shown);
    shown.erase(shown.find('&'), 1);
    EXPECT_EQ(shown, reportDescriptors()[i].menuText);  // the text itself as it was
    if (items[i].separatorAfter) lineAfter.push_back(shown);
  }
  for (const auto& overview : procedures.overviewItems()) takeMnemonic(overview.text);
  EXPECT_EQ(lineAfter, (std::vector<std::string>{"Print Sorted by Custom2", "Print Sorted by Name - Description Included",
                                                 "Print Sorted by Value - Totals", "Print Sorted by Date Lent"}));
  EXPECT_EQ(items.front().text, "Print Sorted by &Name");
  EXPECT_EQ(items.back().text, "Print Sorted by D&ate Given");
}

}  // namespace
}  // namespace glimra::reports
