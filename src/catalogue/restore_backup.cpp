// SPDX-License-Identifier: GPL-3.0-or-later
// Restore from Backup: a window listing the backups of the current collection
// file, newest first, with the time each was taken and the ornaments it
// holds; the chosen one replaces the file, after the file as it is has been
// backed up itself, and the file is opened again, which reloads the lists
// and the tabs.
//
// The chosen backup is copied beside the file and checked before anything
// else happens: a damaged backup is refused with the reason, and the file
// stays as it was. The restore works also while no file is open (one that is
// damaged fails to open), as long as the file has backups.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "collection/backups.h"
#include "program/back_up_first.h"
#include "text/cp1252.h"

namespace glimra::catalogue {

using runtime::ControlDeclaration;
using runtime::ControlKind;
using runtime::EventKind;
using runtime::WindowDeclaration;

namespace {

enum RestoreWindowControl : int { RESTORE_HEADING = 1, RESTORE_LIST, RESTORE_NOTE, RESTORE_OK, RESTORE_CANCEL };

// "2026-12-10 16:32:12     25 ornaments" (text of the list is Windows-1252;
// these rows are plain ASCII).
std::string backupRow(const collection::Backup& backup) {
  std::string count = backup.ornaments < 0 ? "cannot be read"
                                           : std::to_string(backup.ornaments) +
                                                 (backup.ornaments == 1 ? " ornament" : " ornaments");
  return backup.taken + "     " + count;
}

std::string ornamentsText(long n) {
  return n < 0 ? "ornaments unknown" : std::to_string(n) + (n == 1 ? " ornament" : " ornaments");
}

}  // namespace

int DisplayGlimra::RESTOREWINDOW(const std::vector<collection::Backup>& backups) {
  const std::string fileName = std::filesystem::path(GLIMRAFILE.str()).filename().string();
  WindowDeclaration window;
  window.title = RESTORE_WINDOW_TITLE;
  window.at = {-1, -1, 232, 164};
  auto& c = window.controls;
  c.push_back({RESTORE_HEADING, ControlKind::Text,
               "Backups of " + collection::utf8ToCp1252ForDisplay(fileName) + ", newest first:", {8, 6, 216, 10}});
  c.push_back({RESTORE_LIST, ControlKind::List, "", {8, 18, 216, 100}});
  c.push_back({RESTORE_NOTE, ControlKind::Text, "The collection as it is now is backed up first.", {8, 122, 216, 10}});
  ControlDeclaration ok{RESTORE_OK, ControlKind::Button, "&Restore", {118, 142, 50, 14}};
  ok.flags = runtime::DefaultButton;
  c.push_back(ok);
  c.push_back({RESTORE_CANCEL, ControlKind::Button, "Cancel", {174, 142, 50, 14}});

  std::vector<std::string> rows;
  for (const collection::Backup& backup : backups) rows.push_back(backupRow(backup));
  auto w = runtime_.open(window);
  w->setListSource(RESTORE_LIST, std::make_shared<runtime::TextRows>(std::move(rows)));
  int chosen = 0;
  for (;;) {
    const runtime::Event event = w->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      w->display(RESTORE_LIST);
      w->selectRow(RESTORE_LIST, 1);
      w->select(RESTORE_LIST);
    } else if (event.is(RESTORE_OK, EventKind::Accepted)) {
      chosen = w->choice(RESTORE_LIST);
      if (chosen != 0) w->close();
    } else if (event.is(RESTORE_CANCEL, EventKind::Accepted)) {
      w->close();
    }
  }
  return chosen;
}

void DisplayGlimra::restoreFromBackup() {
  const std::string path = GLIMRAFILE.str();
  auto tell = [&](const std::string& text, runtime::MessageIcon icon) {
    runtime_.message(runtime::MessageBox{text, RESTORE_WINDOW_TITLE, icon, runtime::Ok, runtime::Ok});
  };
  if (GLIMRAFILE.isBlank()) {
    tell("No collection file is chosen yet: open one, then restore it.", runtime::MessageIcon::Information);
    return;
  }
  const std::vector<collection::Backup> backups = collection::listBackups(path);
  if (backups.empty()) {
    tell("There is no backup of\n" + path + "\nyet.", runtime::MessageIcon::Information);
    return;
  }
  // The file is opened again afterwards: an edit is saved first (so that
  // the backup of the file as it is holds it), or left, as the user says.
  if (GLIMRA.isOpen() && !askBeforeDroppingWork()) return;
  const int chosen = RESTOREWINDOW(backups);
  if (chosen == 0) return;
  restoreBackup(backups[static_cast<std::size_t>(chosen - 1)], true);
}

void DisplayGlimra::restoreBackup(const collection::Backup& backup, bool confirm) {
  const std::string path = GLIMRAFILE.str();
  auto tell = [&](const std::string& text, runtime::MessageIcon icon) {
    runtime_.message(runtime::MessageBox{text, RESTORE_WINDOW_TITLE, icon, runtime::Ok, runtime::Ok});
  };
  if (confirm && runtime_.message(runtime::MessageBox{
                     "Replace\n" + path + "\nby its backup of " + backup.taken + " (" +
                         ornamentsText(backup.ornaments) + ")?\n\nThe collection as it is now is backed up first.",
                     RESTORE_WINDOW_TITLE, runtime::MessageIcon::Question, runtime::Yes | runtime::No,
                     runtime::No}) != runtime::Yes)
    return;
  const collection::StagedRestore staged = collection::stageRestore(backup.path, path, program.fileSystem);
  if (!staged.ok) {
    tell(staged.error + "\n\nThe collection was left as it was.", runtime::MessageIcon::Exclamation);
    return;
  }
  // The file as it is is kept, also when only its keys are damaged (its
  // records are whole).
  std::string taken;
  if (!program::backUpFirst(runtime_, program.fileSystem, path, RESTORE_WINDOW_TITLE, "Restore without a backup?",
                            &taken, true)) {
    collection::discardRestore(staged, program.fileSystem);
    return;
  }
  GLIMRA.close();
  const std::string failure = collection::finishRestore(staged, program.fileSystem);
  if (!failure.empty()) tell(failure, runtime::MessageIcon::Exclamation);
  if (failure.empty()) damageOffered_.clear();  // a file put back whole is looked at afresh
  R_OPENGLIMRA();
  if (failure.empty() && GLIMRA.isOpen())
    tell("The backup of " + backup.taken + " is restored: " + ornamentsText(static_cast<long>(ALLQUEUE.count())) +
             "." + (taken.empty() ? std::string() : "\n\n" + program::keptInBackup(taken)),
         runtime::MessageIcon::Information);
}

bool DisplayGlimra::backUpCurrentFile(std::string_view caption) {
  return program::backUpFirst(runtime_, program.fileSystem, GLIMRAFILE.str(), caption);
}

}  // namespace glimra::catalogue
