// SPDX-License-Identifier: GPL-3.0-or-later
// The current collection file: opening and loading it (R_OPENGLIMRA) and the
// File menu's commands Create New File, Open Existing File and Save File As.
// Every step that can fail is reported under a caption naming the step and
// the remaining steps still run; R_OPENGLIMRA decides at the end, falling back
// to "Create New File" when no file could be opened.
#include <filesystem>
#include <string>
#include <system_error>

#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "program/back_up_first.h"
#include "program/messages.h"
#include "collection/backups.h"
#include "collection/csv_export.h"
#include "collection/settings.h"
#include "collection/std_date.h"
#include "datafile/file_errors.h"

namespace glimra::catalogue {

using runtime::EventKind;
using runtime::FileDialog;
using runtime::FileDialogKind;
using namespace control;

namespace {

constexpr datafile::OpenMode COLLECTION_OPEN_MODE = datafile::READ_WRITE_DENY_WRITE;

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
    // A file that is there but cannot be used (damaged, locked by another
    // program, not a collection file) is named to the user before the program
    // offers a new one; a missing file or no file at all needs no words.
    if (!GLIMRAFILE.isBlank() && GLIMRA.errorCode() != datafile::FileError::FILE_NOT_FOUND)
      CHECKERROR(runtime_, GLIMRA, "Can't Open File");
    showNoFile();
    w.post(FILENEW, EventKind::Accepted);
    return;
  }
  // The first open of a day backs the file up; when that fails the file is
  // used only if the user says so.
  if (collection::dailyBackupDue(GLIMRAFILE.str()) &&
      !program::backUpFirst(runtime_, program.fileSystem, GLIMRAFILE.str(), "Daily Backup",
                            "Open it without today's backup?")) {
    GLIMRA.close();
    showNoFile();
    return;
  }
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
                                                              const std::string& start) {
  auto chosen = runtime_.chooseFile(FileDialog{kind, title, COLLECTION_FILE_FILTER, start});
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
  const auto chosen = chooseCollectionFile(FileDialogKind::Save, "Create a New File", GLIMRAFILE.str());
  if (!chosen) return;
  // A file that is there is emptied: it is backed up first.
  if (!program::backUpFirst(runtime_, program.fileSystem, *chosen, "Create a New File")) return;
  GLIMRAFILE = *chosen;
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
  if (GLIMRA.createComplete(COLLECTION_OPEN_MODE, addHeaderRecord, &failed) != 0) {
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
}

void DisplayGlimra::openExistingFile() {
  const auto chosen = chooseCollectionFile(FileDialogKind::Open, "Open a Different File", GLIMRAFILE.str());
  if (!chosen) return;
  GLIMRAFILE = *chosen;
  GLIMRA.close();
  R_OPENGLIMRA();
}

void DisplayGlimra::saveFileAs() {
  const auto chosen = chooseCollectionFile(FileDialogKind::Save, "Save File As ...", CHANGEFILE.str());
  if (!chosen) return;
  // Copying a file onto itself would empty it; choosing the current file
  // simply carries on with it. A file that the copy replaces is backed up.
  std::error_code sameFileError;
  const bool sameFile = std::filesystem::equivalent(GLIMRAFILE.str(), *chosen, sameFileError);
  if (!sameFile && !program::backUpFirst(runtime_, program.fileSystem, *chosen, "Save File As ...")) return;
  CHANGEFILE = *chosen;
  GLIMRA.close();
  CHECKERROR(runtime_, GLIMRA, "Can't Close File");
  GLIMRA.setName(GLIMRAFILE.str());
  if (!sameFile) {
    GLIMRA.copy(CHANGEFILE.str());
    CHECKERROR(runtime_, GLIMRA, "Can't Copy File");
  }
  GLIMRAFILE = CHANGEFILE;
  R_OPENGLIMRA();
}

void DisplayGlimra::exportToCsv() {
  const char* title = "Export to CSV";
  std::filesystem::path start(GLIMRAFILE.str());
  start.replace_extension(".csv");
  const auto chosen = runtime_.chooseFile(FileDialog{FileDialogKind::Save, title, "CSV|*.csv|ALL|*.*", start.string()});
  if (!chosen) return;
  const collection::CsvExport result = collection::exportCollectionCsv(GLIMRAFILE.str(), *chosen);
  if (result.ok)
    runtime_.message(runtime::MessageBox{std::to_string(result.ornaments) +
                                             (result.ornaments == 1 ? " ornament" : " ornaments") + " exported to\n" +
                                             *chosen,
                                         title, runtime::MessageIcon::Information, runtime::Ok, runtime::Ok});
  else
    runtime_.message(runtime::MessageBox{"Nothing was exported.\n" + result.error, title,
                                         runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
}

}  // namespace glimra::catalogue
