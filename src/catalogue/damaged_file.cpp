// SPDX-License-Identifier: GPL-3.0-or-later
// The damaged-file window and what its choices do. It comes up once per file
// and session when the open, or the first open of a day (whose backup checks
// the file), finds the collection file damaged: it says what is wrong and
// offers Repair (the keys rebuilt from the records, after a backup) when the
// keys alone are damaged, Restore from the newest good backup, named with its
// date and ornaments, and Open Another File; Close leaves things as they are.
// A repair shows a notice while it runs; its Cancel brings the window back.
// The main window stays usable whatever is chosen: with the file shown when
// it opened, empty when it did not.
#include "catalogue/damaged_file.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

#include "catalogue/display_glimra.h"
#include "collection/backups.h"
#include "collection/collection_check.h"
#include "datafile/file_errors.h"
#include "datafile/key_build.h"
#include "program/back_up_first.h"
#include "program/key_rebuild.h"
#include "text/cp1252.h"

namespace glimra::catalogue {

using runtime::ControlDeclaration;
using runtime::ControlKind;
using runtime::EventKind;

namespace {

std::string ornamentCount(long n) { return std::to_string(n) + (n == 1 ? " ornament" : " ornaments"); }

}  // namespace

std::string damageSummary(const datafile::FileCheckReport& report, const std::string& fileName) {
  if (collection::keyRepairFor(report) == collection::KeyRepair::AskFirst)
    return "The index of " + fileName + " no longer matches the ornaments stored in it, and for " +
           ornamentCount(static_cast<long>(report.disagreements.size())) +
           " the index and the ornament hold different values: which one is right cannot be told (Details lists "
           "them). Repair keeps the values stored with the ornaments and rebuilds the index from them, after a "
           "backup that keeps the index's values.";
  if (report.repairableByBuild())
    return "The index of " + fileName +
           ", which keeps its ornaments in order for the lists and the reports, no longer matches the ornaments "
           "stored in it. The ornaments themselves are probably intact: Repair rebuilds the index from them, "
           "after a backup of the file as it is.";
  if (report.openError != 0 || report.noHeader)
    return fileName +
           " can no longer be read as a collection: the part of the file that says where everything lies in it "
           "is damaged. Glimra cannot repair this; a backup brings the collection back as it was then.";
  return "Parts of " + fileName +
         " are damaged: some of its pages or ornaments cannot be read as they were written. Glimra cannot repair "
         "this safely; a backup brings the collection back as it was then.";
}

std::string damageDetails(const datafile::FileCheckReport& report) {
  std::string text = "File check: " + report.summary() + ".";
  if (report.openError != 0)
    text += "\nThe check could not open the file: " + datafile::errorTextFor(report.openError) + " (" +
            std::to_string(report.openError) + ").";
  if (!report.problems.empty()) text += "\n";
  for (std::size_t i = 0; i < report.problems.size() && i < DAMAGE_DETAILS_SHOWN; ++i)
    text += "\n- " + report.problems[i];
  if (report.problems.size() > DAMAGE_DETAILS_SHOWN)
    text += "\n… and " + std::to_string(report.problems.size() - DAMAGE_DETAILS_SHOWN) +
            " more (glimra-file check lists them all).";
  if (!report.disagreements.empty()) {
    text += "\n\nWhere the index and an ornament disagree:";
    for (std::size_t i = 0; i < report.disagreements.size() && i < DAMAGE_DETAILS_SHOWN; ++i)
      text += "\n- " + collection::describeDisagreement(report.disagreements[i]);
    if (report.disagreements.size() > DAMAGE_DETAILS_SHOWN)
      text += "\n… and " + std::to_string(report.disagreements.size() - DAMAGE_DETAILS_SHOWN) + " more.";
  }
  if (report.repairableByBuild())
    text += "\n\nEvery problem lies in the keys, which are rebuilt from the records.";
  return text;
}

namespace {

enum DamagedFileControl : int {
  DAMAGE_HEADING = 1, DAMAGE_SUMMARY, DAMAGE_REPAIR, DAMAGE_REPAIR_NOTE, DAMAGE_RESTORE, DAMAGE_RESTORE_NOTE,
  DAMAGE_OPEN, DAMAGE_OPEN_NOTE, DAMAGE_DETAILS, DAMAGE_CLOSE
};

constexpr const char* REPAIR_CAPTION = "Repair";

}  // namespace

DisplayGlimra::DamageChoice DisplayGlimra::DAMAGEDFILEWINDOW(const datafile::FileCheckReport& report,
                                                            const collection::Backup* backup) {
  const std::string fileName =
      collection::utf8ToCp1252ForDisplay(std::filesystem::path(GLIMRAFILE.str()).filename().string());
  runtime::WindowDeclaration window;
  window.title = DAMAGED_FILE_WINDOW_TITLE;
  auto& c = window.controls;
  ControlDeclaration heading{DAMAGE_HEADING, ControlKind::Text, fileName + " is damaged", {8, 6, 284, 10}};
  heading.flags = runtime::Bold;
  c.push_back(heading);
  ControlDeclaration summary{DAMAGE_SUMMARY, ControlKind::Text, damageSummary(report, fileName), {8, 20, 284, 42}};
  summary.flags = runtime::Wrapped;
  c.push_back(summary);

  // One row per choice: its button, and beside it what it does.
  const bool repairable = report.repairableByBuild();
  int y = 68;
  auto row = [&](int button, const char* text, int note, std::string says, unsigned flags) {
    ControlDeclaration b{button, ControlKind::Button, text, {8, y, 96, 14}};
    b.flags = flags;
    c.push_back(b);
    c.push_back({note, ControlKind::Text, std::move(says), {110, y + 3, 182, 10}});
    y += 20;
  };
  // Where the index and ornaments disagree a good backup may hold the values
  // as they were: then it is the choice offered first.
  const bool disagreeing = collection::keyRepairFor(report) == collection::KeyRepair::AskFirst;
  const bool repairFirst = repairable && !(disagreeing && backup);
  if (repairable)
    row(DAMAGE_REPAIR, "&Repair", DAMAGE_REPAIR_NOTE,
        disagreeing ? "Keep the ornaments' values and rebuild the index, after a backup."
                    : "Rebuild the index from the ornaments, after a backup.",
        repairFirst ? static_cast<unsigned>(runtime::DefaultButton) : 0u);
  if (backup)
    row(DAMAGE_RESTORE, "Restore from &Backup", DAMAGE_RESTORE_NOTE,
        "The backup of " + backup->taken + ": " + ornamentCount(backup->ornaments) + ".",
        repairFirst ? 0u : static_cast<unsigned>(runtime::DefaultButton));
  else
    row(DAMAGE_RESTORE, "Restore from &Backup", DAMAGE_RESTORE_NOTE, "There is no good backup of this file.",
        runtime::Disabled);
  row(DAMAGE_OPEN, "&Open Another File...", DAMAGE_OPEN_NOTE, "Leave this file as it is and open another.", 0);
  c.push_back({DAMAGE_DETAILS, ControlKind::Button, "&Details...", {8, y + 6, 60, 14}});
  c.push_back({DAMAGE_CLOSE, ControlKind::Button, "Close", {242, y + 6, 50, 14}});
  window.at = {-1, -1, 300, y + 26};

  auto w = runtime_.open(window);
  DamageChoice choice = DamageChoice::None;
  for (;;) {
    const runtime::Event event = w->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      w->select(repairFirst ? DAMAGE_REPAIR : backup ? DAMAGE_RESTORE : DAMAGE_OPEN);
    } else if (event.is(DAMAGE_DETAILS, EventKind::Accepted)) {
      runtime_.message(runtime::MessageBox{damageDetails(report), "Details", runtime::MessageIcon::Information,
                                           runtime::Ok, runtime::Ok});
    } else if (event.kind == EventKind::Accepted) {
      if (event.control == DAMAGE_REPAIR) choice = DamageChoice::Repair;
      if (event.control == DAMAGE_RESTORE) choice = DamageChoice::Restore;
      if (event.control == DAMAGE_OPEN) choice = DamageChoice::OpenAnother;
      if (choice != DamageChoice::None || event.control == DAMAGE_CLOSE) w->close();
    }
  }
  return choice;
}

void DisplayGlimra::offerDamageChoices() {
  const std::string path = GLIMRAFILE.str();
  std::optional<datafile::FileCheckReport> report;
  report.swap(damage_);
  // Damage found in a file the window has left since is not told.
  if (!report || damagePath_ != path || damageOffered_ == path) return;
  damageOffered_ = path;
  // The newest backup that passes the check (one taken before a repair may
  // carry the same damage).
  std::optional<collection::Backup> good;
  for (const collection::Backup& backup : collection::listBackups(path))
    if (backup.ornaments >= 0 && collection::checkCollectionFile(program.fileSystem, backup.path).sound()) {
      good = backup;
      break;
    }
  switch (DAMAGEDFILEWINDOW(*report, good ? &*good : nullptr)) {
    case DamageChoice::Repair: repairDamagedFile(*report); break;
    case DamageChoice::Restore: restoreBackup(*good, false); break;
    case DamageChoice::OpenAnother: openExistingFile(); break;
    case DamageChoice::None: break;
  }
}

void DisplayGlimra::repairDamagedFile(const datafile::FileCheckReport& report) {
  const std::string path = GLIMRAFILE.str();
  const std::string name = std::filesystem::path(path).filename().string();
  auto tell = [&](const std::string& text, runtime::MessageIcon icon) {
    runtime_.message(runtime::MessageBox{text, REPAIR_CAPTION, icon, runtime::Ok, runtime::Ok});
  };
  // Where key entries and records disagree the rebuild keeps the records'
  // values for good: only on the user's word, with the list in front of them.
  if (collection::keyRepairFor(report) == collection::KeyRepair::AskFirst &&
      runtime_.message(runtime::MessageBox{program::disagreementQuestion(path, report), REPAIR_CAPTION,
                                           runtime::MessageIcon::Exclamation, runtime::Yes | runtime::No,
                                           runtime::No}) != runtime::Yes)
    return;
  GLIMRA.close();
  // The rebuild rewrites every key: a backup first (its keys may carry the
  // same damage; its records are whole), or the user's word.
  std::string backup;
  if (!program::backUpFirst(runtime_, program.fileSystem, path, REPAIR_CAPTION, "Repair it without a backup?",
                            &backup, true)) {
    R_OPENGLIMRA();
    return;
  }
  // The rebuild takes a while on a large collection: a notice says what is
  // going on (looked at about once a second, so that the window keeps
  // painting), and its Cancel stops the rebuild and brings the damaged-file
  // window back.
  auto notice = runtime_.showWaitNotice("Repairing " + name + ": its index is rebuilt from its ornaments…",
                                        REPAIR_CAPTION);
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastLook = Clock::now() - std::chrono::seconds(1);
  datafile::BuildSettings settings;
  settings.fullBuild = true;
  settings.progressInterval = 100;
  settings.progress = [&](const datafile::BuildStatus& status) {
    if (status.finished || Clock::now() - lastLook < std::chrono::seconds(1)) return datafile::BuildAnswer::Continue;
    lastLook = Clock::now();
    return notice->cancelled() ? datafile::BuildAnswer::Stop : datafile::BuildAnswer::Continue;
  };
  const int built = GLIMRA.buildFile(settings);
  notice.reset();
  if (built == datafile::FileError::BUILD_CANCELLED) {
    damage_ = report;
    damagePath_ = path;
    damageOffered_.clear();
    R_OPENGLIMRA();  // which offers the window again
    return;
  }
  const std::string error = built != 0 ? fileErrorMessage(GLIMRA) : std::string();
  const datafile::FileCheckReport after = collection::checkCollectionFile(program.fileSystem, path);
  const bool repaired = built == 0 && after.sound();
  if (repaired) damageOffered_.clear();  // damage found later is told again
  R_OPENGLIMRA();
  if (repaired)
    tell(name + " is repaired: its index was rebuilt from its " +
             ornamentCount(static_cast<long>(ALLQUEUE.count())) + "." +
             (backup.empty() ? std::string() : "\n\n" + program::keptInBackup(backup)),
         runtime::MessageIcon::Information);
  else
    tell(name + " could not be repaired: " + (built != 0 ? error : after.summary()) +
             ".\n\nFile › Restore from Backup brings back an earlier state of it.",
         runtime::MessageIcon::Exclamation);
}

}  // namespace glimra::catalogue
