// SPDX-License-Identifier: GPL-3.0-or-later
// A damaged collection file: the damaged-file window says what is wrong in a
// collector's words and offers what can be done — Repair when only the keys
// are damaged, Restore from the newest good backup (named with its date and
// ornaments), Open Another File — with the check's details behind Details.
// It asks once, not again after every report, and every answer leaves a
// window that works.
#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>

#include "catalogue/damaged_file.h"
#include "catalogue_fixture.h"
#include "collection/backups.h"
#include "collection/collection_check.h"
#include "collection/generator.h"
#include "datafile/record_kinds.h"
#include "datafile/container.h"
#include "program/report_menu.h"

namespace catalogue_test {
namespace {

using glimra::catalogue::DAMAGED_FILE_WINDOW_TITLE;

const std::vector<Ornament> kTree = {{"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}, {"Candle", "", "Wax"}};

bool sound(const fs::path& file) {
  return glimra::collection::checkCollectionFile(glimra::datafile::posixFileSystem(), file.string()).sound();
}

// The control of the damaged-file window that shows `text`; 0 when none does.
int controlShowing(ScriptedWindow& w, const std::string& text) {
  for (const auto& c : w.declaration().controls)
    if (w.exists(c.number) && w.text(c.number) == text) return c.number;
  return 0;
}

struct WindowSeen {
  std::string heading, summary, restoreNote;
  bool repairOffered = false, restoreOffered = false;
  int times = 0;
};

// Reads the damaged-file window and presses the next of `presses` each time
// it comes up (after Details first when `details`).
void answerDamagedFileWindow(Session& session, WindowSeen& seen, std::vector<std::string> presses,
                             bool details = false) {
  session.runtime.whenOpened[DAMAGED_FILE_WINDOW_TITLE] = [&seen, presses, details](ScriptedWindow& window) {
    const std::string press = presses.at(static_cast<std::size_t>(seen.times));
    ++seen.times;
    auto answered = std::make_shared<bool>(false);
    window.onIdle = [&seen, press, details, answered](ScriptedWindow& w) {
      if (*answered) return;
      *answered = true;
      const auto& controls = w.declaration().controls;
      seen.heading = w.text(controls[0].number);
      seen.summary = w.text(controls[1].number);
      seen.repairOffered = controlShowing(w, "&Repair") != 0;
      const int restore = controlShowing(w, "Restore from &Backup");
      seen.restoreOffered = w.isEnabled(restore);
      seen.restoreNote = w.text(restore + 1);
      if (details) w.click(controlShowing(w, "&Details..."));
      ASSERT_NE(controlShowing(w, press), 0) << press;
      w.click(controlShowing(w, press));
    };
  };
}

class CountingReports final : public glimra::program::ReportMenu {
 public:
  std::vector<glimra::program::ReportMenuItem> items() const override { return {{"Print Sorted by &Name", false}}; }
  void run(int) override { ++runs; }
  int runs = 0;
};

TEST_F(CatalogueTest, ADamagedFileIsToldOnceWithWhatCanBeDone) {
  struct Case {
    const char* what;
    std::vector<std::string> presses;  // each time the window comes up
    std::vector<std::string> rows;     // the list once the choice is done
    bool soundAfter;
  };
  const std::vector<std::string> all{"Bell (Alpine)", "Candle", "Star (Winter)"};
  const Case cases[] = {
      {"repair", {"&Repair"}, all, true},
      {"restore", {"Restore from &Backup"}, {"Bell (Alpine)", "Star (Winter)"}, true},
      {"open another", {"&Open Another File..."}, {"Dove"}, false},
      {"close, after the details", {"Close"}, all, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path file = path("Tree.GLM"), other = path("Other.GLM");
    fs::remove_all(path("data"));
    writeCollection(file, {kTree[0], kTree[1]});
    ASSERT_TRUE(glimra::collection::backUpCollection(file.string(), glimra::datafile::posixFileSystem(),
                                                     std::time(nullptr) - 24 * 3600)
                    .ok);  // yesterday's
    writeCollection(file, kTree);
    writeCollection(other, {{"Dove", "", ""}});
    damageKeys(file);
    remember(file);

    Session session;
    CountingReports reports;
    session.program.reports = &reports;
    session.runtime.fileAnswers.push_back(other.string());
    session.runtime.duringWait = [](const glimra::runtime::ShownWaitNotice&) { return false; };
    WindowSeen seen;
    answerDamagedFileWindow(session, seen, c.presses, c.presses == std::vector<std::string>{"Close"});
    std::vector<std::string> rows;
    session.check([&](ScriptedWindow& w) { rows = w.rows(control::GLMLIST); })
        .act([](ScriptedWindow& w) { w.click(control::FIRSTREPORT); });  // not asked again after it
    session.run();

    EXPECT_EQ(seen.times, static_cast<int>(c.presses.size()));
    EXPECT_EQ(seen.heading, "Tree.GLM is damaged");
    EXPECT_NE(seen.summary.find("The ornaments themselves are probably intact"), std::string::npos) << seen.summary;
    EXPECT_TRUE(seen.repairOffered);
    EXPECT_TRUE(seen.restoreOffered);
    const auto backups = glimra::collection::listBackups(file.string());
    ASSERT_FALSE(backups.empty());
    EXPECT_EQ(seen.restoreNote, "The backup of " + backups.back().taken + ": 2 ornaments.")
        << "the newest that passes the check";
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(reports.runs, 1) << "the window works after the answer";
    const auto& messages = session.runtime.messages;
    if (c.presses == std::vector<std::string>{"&Repair"}) {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].caption, "Repair");
      EXPECT_NE(messages[0].text.find("Tree.GLM is repaired: its index was rebuilt from its 3 ornaments."),
                std::string::npos)
          << messages[0].text;
      EXPECT_NE(messages[0].text.find("kept in the backup\n" + backups.front().path), std::string::npos)
          << messages[0].text;
      ASSERT_FALSE(session.runtime.waitNotices.empty());
      EXPECT_EQ(session.runtime.waitNotices[0].caption, "Repair");
      EXPECT_FALSE(session.runtime.waitNotices[0].shown) << "gone once the repair is done";
    } else if (c.presses == std::vector<std::string>{"Close"}) {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].caption, "Details");
      EXPECT_NE(messages[0].text.find("no entry for record"), std::string::npos) << messages[0].text;
    }
    EXPECT_EQ(sound(file), c.soundAfter);
  }
}

// The repair of a large file shows a notice; its Cancel stops the rebuild
// and brings the window back, the file still to be repaired.
TEST_F(CatalogueTest, ARepairCancelledComesBackToTheWindow) {
  const fs::path file = path("Tree.GLM");
  std::string error;
  ASSERT_EQ(glimra::collection::generateCollectionFile(file.string(), 300, 5, &error), 0) << error;
  damageKeys(file);
  remember(file);
  Session session;
  session.runtime.duringWait = [](const glimra::runtime::ShownWaitNotice&) { return true; };
  WindowSeen seen;
  answerDamagedFileWindow(session, seen, {"&Repair", "Close"});
  std::size_t rows = 0;
  session.check([&](ScriptedWindow& w) { rows = w.rows(control::GLMLIST).size(); });
  session.run();

  EXPECT_EQ(seen.times, 2);
  ASSERT_EQ(session.runtime.waitNotices.size(), 1u);
  EXPECT_EQ(session.runtime.waitNotices[0].text, "Repairing Tree.GLM: its index is rebuilt from its ornaments…");
  EXPECT_TRUE(session.runtime.waitNotices[0].cancelled);
  EXPECT_TRUE(session.runtime.messages.empty()) << session.runtime.messages[0].text;
  EXPECT_EQ(rows, 300u) << "the ornaments are listed as before";
  EXPECT_FALSE(sound(file));
}

// A file that does not open at all and has no good backup: Repair is not
// offered, Restore says there is nothing to restore, and no new file replaces
// it. With no file open, nothing that needs one is offered (a report run
// without a file would end the program).
TEST_F(CatalogueTest, AFileBeyondRepairIsNotOfferedAsANewOne) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, kTree);
  ASSERT_TRUE(glimra::collection::backUpCollection(file.string()).ok);
  for (const auto& backup : glimra::collection::listBackups(file.string())) {
    std::ofstream(backup.path, std::ios::binary | std::ios::trunc) << "no longer a collection";
  }
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (std::size_t i = 0; i < 512; ++i) bytes[i] = 'x';
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  remember(file);

  Session session;
  CountingReports reports;
  session.program.reports = &reports;
  WindowSeen seen;
  answerDamagedFileWindow(session, seen, {"Close"});
  bool addOffered = true, reportOffered = true;
  session.check([&](ScriptedWindow& w) {
    addOffered = w.isEnabled(control::NEW);
    reportOffered = w.isEnabled(control::FIRSTREPORT);
  });
  session.run();

  EXPECT_EQ(seen.times, 1);
  EXPECT_FALSE(seen.repairOffered);
  EXPECT_FALSE(seen.restoreOffered);
  EXPECT_EQ(seen.restoreNote, "There is no good backup of this file.");
  EXPECT_NE(seen.summary.find("can no longer be read as a collection"), std::string::npos) << seen.summary;
  EXPECT_TRUE(session.runtime.fileDialogs.empty()) << "no Create a New File over it";
  EXPECT_FALSE(addOffered);
  EXPECT_FALSE(reportOffered);
}

// One bit of an ornament's Stock # changed on the disk: its key entry still
// holds the old value, and which of the two is right cannot be told. The
// window says so and lists both values; Repair asks before it keeps the
// record's value, and No leaves the file as it was.
TEST_F(CatalogueTest, ARepairThatWouldKeepAChangedValueAsksWithBothValues) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    const fs::path file = path(yes ? "Yes.GLM" : "No.GLM");
    writeCollection(file, {{"Star", "", "", false, [](GlRecord& r) { r.CUSTOM1 = "S-3245"; }}});
    {
      GlRecord record;
      glimra::datafile::DataFile data;
      data.declare(glimra::collection::glimraDeclaration(), &record);
      data.setName(file.string());
      ASSERT_EQ(data.open(), 0);
      glimra::datafile::Container& container = *data.container();
      glimra::datafile::TreeRecord r;
      ASSERT_TRUE(container.findLastLess(
          glimra::datafile::kindPrefix(data.tableNumber(), glimra::datafile::RecordKind::DATA + 1), &r));
      r.bytes[r.keyLength + glimra::collection::glimraDeclaration().fields[glimra::collection::GlField::CUSTOM1].offset] ^=
          0x10;  // "S-3245" becomes "C-3245"
      container.replace(r);
      container.commit();
      data.close();
    }
    remember(file);
    Session session;
    session.runtime.messageAnswers.push_back(glimra::runtime::Ok);  // Details
    session.runtime.messageAnswers.push_back(yes ? glimra::runtime::Yes : glimra::runtime::No);
    session.runtime.duringWait = [](const glimra::runtime::ShownWaitNotice&) { return false; };
    WindowSeen seen;
    answerDamagedFileWindow(session, seen, {"&Repair"}, true);
    session.run();

    EXPECT_NE(seen.summary.find("which one is right cannot be told"), std::string::npos) << seen.summary;
    const auto& messages = session.runtime.messages;
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0].caption, "Details");
    const std::string both = "Star (record 3): Stock # is \"C-3245\" in the record, \"S-3245\" in its key entry";
    EXPECT_NE(messages[0].text.find(both), std::string::npos) << messages[0].text;
    EXPECT_EQ(messages[1].caption, "Repair");
    EXPECT_EQ(messages[1].defaultButton, glimra::runtime::No);
    EXPECT_NE(messages[1].text.find(both), std::string::npos) << messages[1].text;
    EXPECT_EQ(sound(file), yes);
    EXPECT_EQ(glimra::collection::listBackups(file.string()).size(), yes ? 1u : 0u)
        << "the backup that keeps the key entry's value is taken only when the rebuild goes on";
  }
}

TEST(DamagedFileTexts, DetailsListTheCheckAndCountWhatTheyLeaveOut) {
  glimra::datafile::FileCheckReport report;
  for (int i = 1; i <= 15; ++i) report.problems.push_back("problem " + std::to_string(i));
  const std::string details = glimra::catalogue::damageDetails(report);
  EXPECT_NE(details.find("15 problems found"), std::string::npos) << details;
  EXPECT_NE(details.find("- problem 12"), std::string::npos);
  EXPECT_EQ(details.find("- problem 13"), std::string::npos);
  EXPECT_NE(details.find("and 3 more"), std::string::npos) << details;
  EXPECT_EQ(glimra::catalogue::damageSummary(report, "Tree.GLM").find("probably intact"), std::string::npos)
      << "not all of it lies in the keys";
}

}  // namespace
}  // namespace catalogue_test
