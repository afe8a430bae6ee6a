// SPDX-License-Identifier: GPL-3.0-or-later
// The current collection file: opening and loading it (R_OPENGLIMRA) and the
// File menu's commands Create New File, Open Existing File and Save File As.
// Every step that can fail is reported under a caption naming the step and
// the remaining steps still run; R_OPENGLIMRA decides at the end, falling back
// to "Create New File" when no file could be opened (after saying which file
// and why), or offering what can be done when the file is damaged. Every
// command that leaves the file asks before an unsaved edit is dropped.
#include <filesystem>
#include <string>
#include <system_error>

#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "program/back_up_first.h"
#include "program/file_dialog_start.h"
#include "program/messages.h"
#include "catalogue/csv_import_window.h"
#include "collection/backups.h"
#include "collection/collection_archive.h"
#include "collection/collection_check.h"
#include "collection/csv_export.h"
#include "collection/csv_import.h"
#include "collection/open_failure.h"
#include "collection/photo_store.h"
#include "collection/settings.h"
#include "text/std_date.h"
#include "datafile/file_errors.h"

namespace glimra::catalogue {

using runtime::EventKind;
using runtime::FileDialog;
using runtime::FileDialogKind;
using namespace control;

namespace {

constexpr datafile::OpenMode COLLECTION_OPEN_MODE = datafile::READ_WRITE_DENY_WRITE;

// After a file that was there has been replaced: what it holds now, and
// where the collection it held is kept.
void tellReplaced(runtime::Runtime& runtime, const std::string& path, const char* holdsNow, const std::string& backup,
                  const char* caption) {
  runtime.message(runtime::MessageBox{path + "\n" + holdsNow + "\n\n" + program::keptInBackup(backup), caption,
                                      runtime::MessageIcon::Information, runtime::Ok, runtime::Ok});
}

}  // namespace

void DisplayGlimra::R_OPENGLIMRA() {
  runtime::Window& w = *window_;
  w.setCaption(std::string(NAMESTRING.raw()) + " (" + GLIMRAFILE.str() + ")");
  // Whatever was pending or recorded belongs to the file shown before.
  PENDINGADD = 0;
  RECORDCHANGED = 0;
  clearUndoHistory();
  CURRENTTEXT = "ALL";
  LISTBYSERIES = 0;
  w.display(control::LISTBYSERIES);
  SHEET = 1;
  CURRENTTAB = ALL;
  w.select(ALL);
  bindActiveList(ActiveList::View::All);
  removeFindTab();  // its matches belong to the lists before the reload
  destroyCategoryTabs();
  CATEGORYQUEUE.removeAll();

  GLIMRA.setName(GLIMRAFILE.str());
  if (GLIMRA.open(COLLECTION_OPEN_MODE) != 0) {
    showNoFile();
    openFailed();
    return;
  }
  // The day's backup copies the file as it was opened, before the load
  // purges what was deleted; its check runs behind the shown ornaments.
  startDailyBackup();
  editingCommands(true);
  collection::writeSetting("CurrentFile", "GlimraFile", GLIMRAFILE.clipped());
  loadLists(true);
  createCategoryTabs();
  w.setListSource(GL_CATEGORY, CATEGORYQUEUE.source(&CategoryEntry::CATEGORY));
  w.display(GLMLIST);
  w.selectRow(GLMLIST, 1);
  if (ALLQUEUE.empty()) {
    showEmptyForm();
  } else {
    R_DISPLAYSELECTION();
  }
  // Damage the day's backup found (when it ran to its end here) is told
  // once the ornaments are shown.
  if (damage_) w.post(DAMAGEDFILE, EventKind::Accepted);
}

void DisplayGlimra::openFailed() {
  runtime::Window& w = *window_;
  const std::string path = GLIMRAFILE.str();
  if (GLIMRAFILE.isBlank()) {
    w.post(FILENEW, EventKind::Accepted);
    return;
  }
  const collection::OpenFailure failure =
      collection::describeOpenFailure(program.fileSystem, path, GLIMRA.errorCode(), GLIMRA.errorText(),
                                      GLIMRA.fileErrorCode(), GLIMRA.fileErrorText());
  if (failure.kind == collection::OpenFailureKind::Damaged) {
    // A damaged file is not replaced by a new one: the user is told what
    // can be done with it (once, not again at every reload).
    if (damageOffered_ != path) {
      damage_ = failure.report;
      damagePath_ = path;
      w.post(DAMAGEDFILE, EventKind::Accepted);
    }
    return;
  }
  // A file that is not there needs no words; any other is named with what
  // it is, before a new file is offered.
  if (failure.kind != collection::OpenFailureKind::Missing)
    runtime_.message(runtime::MessageBox{failure.text, "Can't Open File", runtime::MessageIcon::Exclamation,
                                         runtime::Ok, runtime::Ok});
  w.post(FILENEW, EventKind::Accepted);
}

void DisplayGlimra::showNoFile() {
  // Nothing is open: the list and the form show nothing of the file shown
  // before, and the editing commands wait for a file.
  ALLQUEUE.removeAll();
  TABQUEUE.removeAll();
  window_->display(GLMLIST);
  showEmptyForm();
  editingCommands(false);
}

std::optional<std::string> DisplayGlimra::chooseCollectionFile(FileDialogKind kind, const char* title,
                                                              const std::string& start, const char* filters) {
  auto chosen = runtime_.chooseFile(FileDialog{kind, title, filters, start});
  if (chosen && chosen->size() > GLIMRAFILE.size) {
    runtime_.message(runtime::MessageBox{
        "The name of this file is longer than " + std::to_string(GLIMRAFILE.size) + " characters:\n" + *chosen +
            "\nPlease choose a shorter name or a folder nearer the top.",
        title, runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
    return std::nullopt;
  }
  return chosen;
}

void DisplayGlimra::createNewFile() {
  if (!askBeforeDroppingWork()) return;
  // The dialog starts in the collection's folder (the documents folder the
  // first time), with no name: a file that is there, least of all one that
  // could not be opened, is never offered as the name of a new one.
  const auto chosen = chooseCollectionFile(FileDialogKind::Save, "Create a New File",
                                           program::fileDialogStart(runtime_, GLIMRAFILE.str()));
  if (!chosen) return;
  // A file that is there is emptied: it is backed up first.
  std::string backup;
  if (!program::backUpFirst(runtime_, program.fileSystem, *chosen, "Create a New File", "Go on without a backup?",
                            &backup))
    return;
  GLIMRAFILE = *chosen;
  damageOffered_.clear();
  GLIMRA.close();
  GLIMRA.setName(GLIMRAFILE.str());
  auto addHeaderRecord = [&] {
    GL.clear();
    GL.CREATEDDATE = collection::today();
    GL.CREATEDTIME = collection::now();
    GL.CHANGED = GL.CREATED;
    return GLIMRA.add();
  };
  // The new file appears whole, with its header record, or not at all: a
  // crash or a failed step leaves whatever the name showed before. When a
  // step fails, its error is shown and the steps after it still run, each
  // showing its own.
  using Step = datafile::DataFile::CreateStep;
  Step failed{};
  const bool created = GLIMRA.createComplete(COLLECTION_OPEN_MODE, addHeaderRecord, &failed) == 0;
  if (!created) {
    if (failed == Step::Create || failed == Step::Finish) {
      CHECKERROR(runtime_, GLIMRA, "Can't Create File");
      GLIMRA.open(COLLECTION_OPEN_MODE);
    }
    if (failed != Step::Fill) {
      CHECKERROR(runtime_, GLIMRA, "Can't Open New File");
      addHeaderRecord();
    }
    CHECKERROR(runtime_, GLIMRA, "Can't Add First Record");
    GLIMRA.close();
  }
  R_OPENGLIMRA();
  if (created && !backup.empty())
    tellReplaced(runtime_, *chosen, "now holds a new, empty collection.", backup, "Create a New File");
}

void DisplayGlimra::openExistingFile() {
  if (!askBeforeDroppingWork()) return;
  const auto chosen = chooseCollectionFile(FileDialogKind::Open, "Open a Different File",
                                           program::fileDialogStart(runtime_, GLIMRAFILE.str()), OPEN_FILE_FILTER);
  if (!chosen) return;
  // A collection archive is unpacked first, where the user says.
  if (collection::looksLikeArchive(*chosen)) {
    openArchive(*chosen);
    return;
  }
  GLIMRAFILE = *chosen;
  damageOffered_.clear();  // a file chosen again is looked at again
  GLIMRA.close();
  R_OPENGLIMRA();
}

void DisplayGlimra::saveFileAs() {
  if (!askBeforeDroppingWork()) return;
  const auto chosen = chooseCollectionFile(FileDialogKind::Save, "Save File As ...",
                                           program::fileDialogStart(runtime_, GLIMRAFILE.str()));
  if (!chosen) return;
  // Copying a file onto itself would empty it; choosing the current file
  // simply carries on with it. A file that the copy replaces is backed up.
  std::error_code sameFileError;
  const bool sameFile = std::filesystem::equivalent(GLIMRAFILE.str(), *chosen, sameFileError);
  std::string backup;
  if (!sameFile && !program::backUpFirst(runtime_, program.fileSystem, *chosen, "Save File As ...",
                                         "Go on without a backup?", &backup))
    return;
  // The photos first: the new file refers to them from its first moment.
  if (!sameFile && !carryPhotosTo(*chosen)) return;
  CHANGEFILE = *chosen;
  GLIMRA.close();
  CHECKERROR(runtime_, GLIMRA, "Can't Close File");
  GLIMRA.setName(GLIMRAFILE.str());
  bool copied = true;
  if (!sameFile) {
    copied = GLIMRA.copy(CHANGEFILE.str()) == 0;
    CHECKERROR(runtime_, GLIMRA, "Can't Copy File");
  }
  GLIMRAFILE = CHANGEFILE;
  damageOffered_.clear();
  R_OPENGLIMRA();
  if (copied && !backup.empty())
    tellReplaced(runtime_, *chosen, "now holds a copy of this collection.", backup, "Save File As ...");
}

void DisplayGlimra::exportToCsv() {
  const char* title = "Export to CSV";
  const std::string name = std::filesystem::path(GLIMRAFILE.str()).stem().string() + ".csv";
  const auto chosen = runtime_.chooseFile(FileDialog{FileDialogKind::Save, title, "CSV|*.csv|ALL|*.*",
                                                     program::fileDialogStart(runtime_, GLIMRAFILE.str(), name)});
  if (!chosen) return;
  // With photos the Photos column names them; a copy beside the CSV file lets
  // the two travel together.
  bool copyPhotos = false;
  if (collectionHasPhotos()) {
    const std::string folder = std::filesystem::path(collection::csvPhotoFolderOf(*chosen)).filename().string();
    const runtime::Button answer = runtime_.message(runtime::MessageBox{
        "Copy the photos into a folder beside the CSV file?\n\nYes: they are copied into the folder \"" + folder +
            "\" and the Photos column names them there, so the CSV file and its photos can go elsewhere "
            "together.\nNo: the Photos column names them where the collection keeps them.",
        title, runtime::MessageIcon::Question, runtime::Yes | runtime::No | runtime::Cancel, runtime::No});
    if (answer == runtime::Cancel) return;
    copyPhotos = answer == runtime::Yes;
  }
  const collection::CsvExport result = collection::exportCollectionCsv(GLIMRAFILE.str(), *chosen, copyPhotos);
  if (result.ok)
    runtime_.message(runtime::MessageBox{std::to_string(result.ornaments) +
                                             (result.ornaments == 1 ? " ornament" : " ornaments") + " exported to\n" +
                                             *chosen +
                                             (result.photoFolder.empty()
                                                  ? std::string()
                                                  : "\n\nTheir " + std::to_string(result.photos) +
                                                        (result.photos == 1 ? " photo was" : " photos were") +
                                                        " copied to\n" + result.photoFolder),
                                         title, runtime::MessageIcon::Information, runtime::Ok, runtime::Ok});
  else
    runtime_.message(runtime::MessageBox{"Nothing was exported.\n" + result.error, title,
                                         runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
}

void DisplayGlimra::importFromCsv() {
  if (!GLIMRA.isOpen() || !askBeforeDroppingWork()) return;
  const char* title = IMPORT_WINDOW_TITLE;
  const auto chosen = runtime_.chooseFile(FileDialog{FileDialogKind::Open, title, "CSV|*.csv|Text|*.txt|ALL|*.*",
                                                     program::fileDialogStart(runtime_, GLIMRAFILE.str())});
  if (!chosen) return;
  auto say = [&](const std::string& text, runtime::MessageIcon icon) {
    runtime_.message(runtime::MessageBox{text, title, icon, runtime::Ok, runtime::Ok});
  };
  std::string error;
  auto bytes = collection::readCsvFile(*chosen, &error);
  if (!bytes) return say("Nothing was imported.\n" + error, runtime::MessageIcon::Exclamation);
  CsvImportWindow mapping(runtime_, *chosen, std::move(*bytes));
  if (const std::string problem = mapping.problem(); !problem.empty())
    return say("Nothing was imported.\n" + problem, runtime::MessageIcon::Exclamation);
  std::optional<collection::ImportPlan> plan = mapping.run();
  if (!plan) return;
  if (!plan->refused.empty()) {
    const std::string refusals = collection::describeRefusals(*plan, 12);
    if (plan->rows.empty())
      return say("Nothing was imported: no row can be taken.\n\n" + refusals, runtime::MessageIcon::Exclamation);
    const std::size_t good = plan->rows.size();
    const runtime::Button answer = runtime_.message(runtime::MessageBox{
        std::to_string(plan->refusedRows) + (plan->refusedRows == 1 ? " row holds" : " rows hold") +
            " cells that cannot be imported:\n\n" + refusals + "\nImport the " + std::to_string(good) +
            (good == 1 ? " good row" : " good rows") + " and leave the others out? No imports nothing.",
        title, runtime::MessageIcon::Question, runtime::Yes | runtime::No, runtime::No});
    if (answer != runtime::Yes) return;
  }
  if (plan->rows.empty()) return say("Nothing was imported: the file holds no ornament.", runtime::MessageIcon::Exclamation);
  importOrnaments(std::move(plan->rows), *chosen);
}

void DisplayGlimra::importOrnaments(std::vector<collection::ImportRow> rows, const std::string& source) {
  enum : int { PROGRESS_TEXT = 1, PROGRESS_BAR, PROGRESS_COUNT, PROGRESS_CANCEL };
  const char* title = IMPORT_WINDOW_TITLE;
  // An import adds to the whole file at once: a backup first, or the user's word.
  if (!backUpCurrentFile(title)) return;
  std::uint8_t percent = 0;
  runtime::WindowDeclaration d;
  d.title = "Importing";
  d.at = {-1, -1, 170, 66};
  auto& c = d.controls;
  c.push_back({PROGRESS_TEXT, runtime::ControlKind::Text,
               "Importing " + std::to_string(rows.size()) + (rows.size() == 1 ? " ornament" : " ornaments"),
               {0, 4, 170, 10}});
  c.back().flags = runtime::Centred;
  c.push_back({PROGRESS_BAR, runtime::ControlKind::Progress, "", {15, 16, 140, 12}, runtime::Binding::to(percent)});
  c.push_back({PROGRESS_COUNT, runtime::ControlKind::Text, "", {0, 32, 170, 10}});
  c.back().flags = runtime::Centred;
  c.push_back({PROGRESS_CANCEL, runtime::ControlKind::Button, "Cancel", {60, 46, 50, 14}});

  // Photos the rows name are taken into the photo store first, all or none;
  // their index entries go in with the rows.
  collection::PhotoIndex photos(program.fileSystem);
  if (collection::rowsHavePhotos(rows)) {
    auto refuse = [&](const std::string& why) {
      runtime_.message(runtime::MessageBox{"Nothing was imported.\n" + why, title, runtime::MessageIcon::Exclamation,
                                           runtime::Ok, runtime::Ok});
    };
    if (!program.images) return refuse("The rows name photos, and this build of the program reads no images.");
    collection::PhotoStore store(GLIMRAFILE.str(), program.fileSystem);
    store.removeTemporaries();
    if (const std::string refused = collection::takeInImportPhotos(store, *program.images, source, rows);
        !refused.empty())
      return refuse(refused);
    if (photos.open(GLIMRAFILE.str(), COLLECTION_OPEN_MODE) != 0 || photos.ensureTable() != 0)
      return refuse("The photo index cannot be written: " + fileErrorMessage(photos.file()));
  }
  // The rows go in through the record buffer, in one transaction: batches
  // between the window's turns keep Cancel answering.
  constexpr std::size_t BATCH = 200;
  collection::OrnamentImport run(GLIMRA, GL, std::move(rows), &photos);
  enum class Outcome { Running, Done, Cancelled, Failed } outcome = Outcome::Running;
  std::string error;
  auto window = runtime_.open(d);
  runtime::Window& w = *window;
  w.setTimer(runtime::Window::IDLE_TIMER);
  for (;;) {
    const runtime::Event event = w.accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      if (run.begin() != 0) {
        error = fileErrorMessage(GLIMRA);
        outcome = Outcome::Failed;
        w.close();
      }
    } else if (event.kind == EventKind::Timer && outcome == Outcome::Running) {
      if (run.addNext(BATCH) != 0 || (run.allAdded() && run.commit() != 0)) {
        error = run.error();
        outcome = Outcome::Failed;
        w.close();
        continue;
      }
      percent = static_cast<std::uint8_t>(run.added() * 100 / std::max<std::size_t>(run.total(), 1));
      w.display(PROGRESS_BAR);
      w.setText(PROGRESS_COUNT, std::to_string(run.added()) + " of " + std::to_string(run.total()));
      if (run.allAdded()) {
        outcome = Outcome::Done;
        w.close();
      }
    } else if (event.is(PROGRESS_CANCEL, EventKind::Accepted)) {
      w.close();
    }
  }
  w.setTimer(0);
  if (outcome == Outcome::Running) {
    run.cancel();
    outcome = Outcome::Cancelled;
  }
  window.reset();
  photos.close();

  if (outcome == Outcome::Done) {
    // Reopened as after a report: the lists, the category tabs and the form
    // come from the file, and the history of the file before is emptied.
    GLIMRA.close();
    R_OPENGLIMRA();
    runtime_.message(runtime::MessageBox{std::to_string(run.total()) +
                                             (run.total() == 1 ? " ornament" : " ornaments") + " imported from\n" +
                                             source,
                                         title, runtime::MessageIcon::Information, runtime::Ok, runtime::Ok});
    return;
  }
  // The record buffer carried the rows: show the record shown before again.
  if (ALLQUEUE.empty())
    showEmptyForm();
  else
    R_DISPLAYSELECTION();
  runtime_.message(runtime::MessageBox{outcome == Outcome::Cancelled
                                           ? std::string("The import was cancelled: nothing was imported.")
                                           : "Nothing was imported.\n" + error,
                                       title, runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
}

}  // namespace glimra::catalogue
