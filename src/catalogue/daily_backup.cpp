// SPDX-License-Identifier: GPL-3.0-or-later
// The day's backup of the open collection, as the main window follows it:
// started when the file is opened (its copy is the file as opened, before the
// load purges what was deleted), followed on the window's timer, and told in
// the status bar ("Taking today's backup..." and then how it ended). The user works meanwhile: a save waits
// at most for the copy of the file's bytes, the check runs on the copy. A
// copy that fails its check because the file itself is damaged brings the
// damaged-file window, which offers to mend it; any other failure is said in the
// status bar, and the next open tries again. Leaving the program drops a
// backup still at work (no half backup is counted).
#include <filesystem>

#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "text/cp1252.h"

namespace glimra::catalogue {

namespace {

constexpr int DAILY_BACKUP_STATUS = 1;  // the status bar's zone
constexpr int POLL_HUNDREDTHS = 20;     // how often a running backup is looked at

}  // namespace

void DisplayGlimra::startDailyBackup() {
  const std::string path = GLIMRAFILE.str();
  // A file known to be damaged is not copied and checked again at every
  // reload, nor is one whose backup is at work already.
  if (damageOffered_ == path || (dailyBackup_.running() && dailyBackup_.path() == path)) return;
  if (!collection::dailyBackupDue(path)) return;
  if (!dailyBackupInBackground) {
    dailyBackup_.start(path, program.fileSystem);
    if (const auto result = dailyBackup_.wait()) dailyBackupDone(*result, path, false);
    return;
  }
  dailyBackupAsked_ = true;
  dailyBackupTurn();
}

void DisplayGlimra::dailyBackupTurn() {
  runtime::Window& w = *window_;
  if (const auto result = dailyBackup_.finished()) dailyBackupDone(*result, dailyBackup_.path(), true);
  if (dailyBackup_.running()) return;  // the timer looks again
  const std::string path = GLIMRAFILE.str();
  if (dailyBackupAsked_ && damageOffered_ != path && collection::dailyBackupDue(path)) {
    dailyBackupAsked_ = false;
    dailyBackup_.start(path, program.fileSystem);
    w.setStatusText(DAILY_BACKUP_STATUS, "Taking today's backup...");
    w.setTimer(POLL_HUNDREDTHS);
    return;
  }
  dailyBackupAsked_ = false;
  w.setTimer(0);
}

void DisplayGlimra::dailyBackupDone(const collection::BackupResult& result, const std::string& path,
                                    bool tellDamage) {
  runtime::Window& w = *window_;
  if (result.stopped) return;
  const bool shown = path == GLIMRAFILE.str();
  const std::string which =
      shown ? "Today's backup" : "Today's backup of " + std::filesystem::path(path).filename().string();
  std::string status;
  if (result.ok) {
    status = which + " is taken.";
  } else if (result.damage && shown) {
    // The file itself is damaged. The ornaments stay shown; the
    // damaged-file window says what can be done, once per file and session.
    status = which + " found the file damaged.";
    if (damageOffered_ != path) {
      damage_ = *result.damage;
      damagePath_ = path;
      if (tellDamage) w.post(control::DAMAGEDFILE, runtime::EventKind::Accepted);
    }
  } else {
    status = which + " failed: " + result.error + ".";
  }
  w.setStatusText(DAILY_BACKUP_STATUS, collection::utf8ToCp1252ForDisplay(status));
}

}  // namespace glimra::catalogue
