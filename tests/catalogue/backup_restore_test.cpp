// SPDX-License-Identifier: GPL-3.0-or-later
// Backups through the main window: the first open of a day takes one; Create
// New File and Save File As back up a file they replace, and a failed backup
// stops them unless the user says to go on; Restore from Backup lists the
// backups, backs up the file as it is, brings the chosen one back and
// reloads the lists, and refuses a damaged backup.
#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>

#include "catalogue_fixture.h"
#include "collection/backups.h"

namespace catalogue_test {
namespace {

using glimra::collection::backUpCollection;
using glimra::collection::listBackups;
using glimra::runtime::Button;

constexpr int RESTORE_LIST = 2;
constexpr int RESTORE_OK = 4;
constexpr std::time_t DAY = 24 * 3600;

std::string bytesOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

const std::vector<Ornament> kBefore = {{"Star", "Winter", "Glass"}, {"Angel", "", "Wood"}};
const std::vector<Ornament> kAfter = {
    {"Star", "Winter", "Glass"}, {"Bell", "", "Metal"}, {"Candle", "", "Wax"}, {"Old Bell", "", "Metal", true}};

TEST_F(CatalogueTest, TheFirstOpenOfADayTakesABackup) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, kBefore);
  remember(file);
  ASSERT_TRUE(backUpCollection(file.string(), glimra::datafile::posixFileSystem(), std::time(nullptr) - DAY).ok);
  Session session;
  session.runtime.fileAnswers.push_back(file.string());
  std::size_t afterStart = 0;
  session.check([&](ScriptedWindow&) { afterStart = listBackups(file.string()).size(); })
      .act([](ScriptedWindow& w) { w.click(control::FILEOPEN); });  // the same file again, the same day
  session.run();
  EXPECT_EQ(afterStart, 2u) << "yesterday's and today's";
  EXPECT_EQ(listBackups(file.string()).size(), 2u);
  EXPECT_TRUE(session.runtime.messages.empty());
}

TEST_F(CatalogueTest, AFileThatIsReplacedIsBackedUpFirstOrLeftAlone) {
  struct Case {
    const char* what;
    int command;
    bool backupsWork;
    Button answer;  // to "Go on without a backup?"
    bool replaced;
  };
  const Case cases[] = {
      {"save as", control::FILESAVEAS, true, Button::NoButton, true},
      {"create new", control::FILENEW, true, Button::NoButton, true},
      {"save as, no backup, stop", control::FILESAVEAS, false, Button::No, false},
      {"create new, no backup, go on", control::FILENEW, false, Button::Yes, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(path("data"));
    const fs::path tree = path("Tree.GLM"), other = path("Other.GLM");
    writeCollection(tree, kAfter);
    writeCollection(other, kBefore);
    remember(tree);
    const std::string otherBefore = bytesOf(other);
    std::ofstream(path("blocker")) << "a file";
    if (!c.backupsWork) ::setenv("XDG_DATA_HOME", path("blocker").c_str(), 1);
    Session session;
    session.runtime.fileAnswers.push_back(other.string());
    if (!c.backupsWork) session.runtime.messageAnswers.push_back(c.answer);
    std::string status;
    session.check([&](ScriptedWindow& w) { status = w.statusText(1); })
        .act([&](ScriptedWindow& w) { w.click(c.command); });
    session.run();
    ::setenv("XDG_DATA_HOME", path("data").c_str(), 1);

    EXPECT_EQ(bytesOf(other) != otherBefore, c.replaced);
    EXPECT_EQ(session.shared.GLIMRAFILE.str(), c.replaced ? other.string() : tree.string());
    if (c.backupsWork) {
      const auto backups = listBackups(other.string());
      ASSERT_EQ(backups.size(), 1u) << "before the command, which is also the new file's of the day";
      EXPECT_TRUE(bytesOf(backups[0].path) == otherBefore);
      // The user is told where the replaced collection is kept.
      ASSERT_EQ(session.runtime.messages.size(), 1u);
      EXPECT_EQ(session.runtime.messages[0].caption,
                c.command == control::FILENEW ? "Create a New File" : "Save File As ...");
      EXPECT_NE(session.runtime.messages[0].text.find("kept in the backup\n" + backups[0].path), std::string::npos)
          << session.runtime.messages[0].text;
    } else {
      // The day's backup that failed is told in the status bar; the file is
      // open all the same, and no question stands in the way.
      EXPECT_EQ(status.rfind("Today's backup failed: The backup folder", 0), 0u) << status;
      auto& messages = session.runtime.messages;
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_NE(messages[0].text.find("No backup of\n" + other.string() + "\ncould be taken: The backup folder"),
                std::string::npos)
          << messages[0].text;
      EXPECT_EQ(messages[0].caption, c.command == control::FILENEW ? "Create a New File" : "Save File As ...");
      EXPECT_EQ(messages[0].defaultButton, Button::No);
    }
  }
}

// The restore window as the user meets it: its rows, a choice, Restore.
struct RestoreUser {
  int row;
  std::vector<std::string> seen;
};
void answerRestoreWindow(Session& session, RestoreUser& user) {
  session.runtime.whenOpened[glimra::catalogue::RESTORE_WINDOW_TITLE] = [&user](ScriptedWindow& window) {
    window.onIdle = [&user](ScriptedWindow& w) {
      user.seen = w.rows(RESTORE_LIST);
      w.chooseRow(RESTORE_LIST, user.row);
      w.click(RESTORE_OK);
    };
  };
}

TEST_F(CatalogueTest, RestoreBringsBackTheChosenBackupAfterBackingUpTheFile) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, kBefore);
  remember(file);
  ASSERT_TRUE(backUpCollection(file.string(), glimra::datafile::posixFileSystem(), std::time(nullptr) - DAY).ok);
  writeCollection(file, kAfter);

  Session session;
  RestoreUser user{2, {}};
  answerRestoreWindow(session, user);
  session.runtime.messageAnswers.push_back(Button::Yes);  // replace it?
  std::vector<std::string> rows, tabs;
  session.act([](ScriptedWindow& w) { w.click(control::FILERESTORE); }).check([&](ScriptedWindow& w) {
    rows = w.rows(control::GLMLIST);
    tabs = tabTitles(w);
  });
  session.run();

  ASSERT_EQ(user.seen.size(), 2u);
  EXPECT_NE(user.seen[0].find("     3 ornaments"), std::string::npos) << "today's, the retired version left out";
  EXPECT_NE(user.seen[1].find("     2 ornaments"), std::string::npos) << user.seen[1];
  EXPECT_EQ(rows, (std::vector<std::string>{"Angel", "Star (Winter)"}));
  EXPECT_EQ(tabs, (std::vector<std::string>{"ALL", "Glass", "Wood"}));
  const auto backups = listBackups(file.string());
  ASSERT_EQ(backups.size(), 3u);
  EXPECT_EQ(recordsIn(backups[0].path), (std::vector<std::string>{"", "Star", "Bell", "Candle"}))
      << "the file as it was, backed up first";
  auto& messages = session.runtime.messages;
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].caption, "Restore from Backup");
  EXPECT_NE(messages[0].text.find("(2 ornaments)?"), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[1].text.find("is restored: 2 ornaments."), std::string::npos) << messages[1].text;
}

TEST_F(CatalogueTest, ADamagedBackupIsRefusedAndTheFileStaysAsItWas) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, kAfter);
  remember(file);
  const auto taken = backUpCollection(file.string(), glimra::datafile::posixFileSystem(), std::time(nullptr) - DAY);
  ASSERT_TRUE(taken.ok);
  std::string damaged = bytesOf(taken.path);
  for (std::size_t i = 1000; i < 1400 && i < damaged.size(); ++i) damaged[i] = static_cast<char>(i * 7);
  std::ofstream(taken.path, std::ios::binary | std::ios::trunc) << damaged;

  Session session;
  RestoreUser user{2, {}};
  answerRestoreWindow(session, user);
  session.runtime.messageAnswers.push_back(Button::Yes);
  std::vector<std::string> rows;
  session.act([](ScriptedWindow& w) { w.click(control::FILERESTORE); }).check([&](ScriptedWindow& w) {
    rows = w.rows(control::GLMLIST);
  });
  session.run();

  auto& messages = session.runtime.messages;
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[1].text.find("is damaged and cannot be restored"), std::string::npos) << messages[1].text;
  EXPECT_NE(messages[1].text.find("The collection was left as it was."), std::string::npos);
  EXPECT_EQ(messages[1].icon, glimra::runtime::MessageIcon::Exclamation);
  EXPECT_EQ(recordsIn(file), (std::vector<std::string>{"", "Star", "Bell", "Candle"})) << "as it was, once opened";
  EXPECT_EQ(rows, (std::vector<std::string>{"Bell", "Candle", "Star (Winter)"}));
  EXPECT_EQ(listBackups(file.string()).size(), 2u) << "nothing more was taken";
}

// The file no longer opens: the damaged-file window says so (closed here
// without a choice, no new file offered), and File › Restore from Backup
// brings it back, once the user agrees to go on without a backup of the
// damaged file.
TEST_F(CatalogueTest, ACollectionThatNoLongerOpensIsRestored) {
  const fs::path file = path("Tree.GLM");
  writeCollection(file, kBefore);
  remember(file);
  ASSERT_TRUE(backUpCollection(file.string()).ok);
  std::string bytes = bytesOf(file);
  for (std::size_t i = 0; i < 512; ++i) bytes[i] = 'x';
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;

  Session session;
  RestoreUser user{1, {}};
  answerRestoreWindow(session, user);
  session.runtime.messageAnswers = {Button::Yes, Button::Yes, Button::Ok};
  std::vector<std::string> rows;
  session.act([](ScriptedWindow& w) { w.click(control::FILERESTORE); }).check([&](ScriptedWindow& w) {
    rows = w.rows(control::GLMLIST);
  });
  session.run();

  const auto& opened = session.runtime.openedTitles;
  EXPECT_NE(std::find(opened.begin(), opened.end(), glimra::catalogue::DAMAGED_FILE_WINDOW_TITLE), opened.end());
  EXPECT_TRUE(session.runtime.fileDialogs.empty()) << "a damaged file is not offered as a new one";
  auto& messages = session.runtime.messages;
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].caption, glimra::catalogue::RESTORE_WINDOW_TITLE);
  EXPECT_NE(messages[1].text.find("does not open as a collection file"), std::string::npos) << messages[1].text;
  EXPECT_NE(messages[1].text.find("Restore without a backup?"), std::string::npos);
  EXPECT_NE(messages[2].text.find("is restored: 2 ornaments."), std::string::npos) << messages[2].text;
  EXPECT_EQ(rows, (std::vector<std::string>{"Angel", "Star (Winter)"}));
}

}  // namespace
}  // namespace catalogue_test
