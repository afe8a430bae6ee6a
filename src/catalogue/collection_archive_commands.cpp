// SPDX-License-Identifier: GPL-3.0-or-later
// What carries a collection's photos along when the collection itself goes
// elsewhere: File › Export Archive... (the collection and its photos as one
// .zip file), File › Open Existing File... on such an archive (unpacked where
// the user says, then opened), and Save File As... (the new file gets a photo
// folder of its own with every photo it refers to).
#include <filesystem>
#include <string>
#include <system_error>

#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "collection/collection_archive.h"
#include "collection/photo_check.h"
#include "collection/photo_store.h"
#include "program/back_up_first.h"
#include "program/file_dialog_start.h"

namespace glimra::catalogue {

using runtime::FileDialog;
using runtime::FileDialogKind;

namespace {

constexpr const char* EXPORT_ARCHIVE_TITLE = "Export Archive";
constexpr const char* UNPACK_ARCHIVE_TITLE = "Unpack Collection Archive";

std::string photoCount(std::size_t n) { return std::to_string(n) + (n == 1 ? " photo" : " photos"); }

}  // namespace

void DisplayGlimra::exportArchive() {
  if (!GLIMRA.isOpen()) return;
  // The archive holds the file as stored: an entered form is saved first.
  if (!leaveShownRecord()) return;
  const std::string name = std::filesystem::path(GLIMRAFILE.str()).stem().string() + ".zip";
  const auto chosen = runtime_.chooseFile(FileDialog{FileDialogKind::Save, EXPORT_ARCHIVE_TITLE, collection::ARCHIVE_FILTER,
                                                     program::fileDialogStart(runtime_, GLIMRAFILE.str(), name)});
  if (!chosen) return;
  const collection::ArchiveResult result =
      collection::exportCollectionArchive(GLIMRAFILE.str(), *chosen, program.fileSystem);
  std::string text;
  if (result.ok) {
    text = std::filesystem::path(GLIMRAFILE.str()).filename().string() + " and its " + photoCount(result.photos) +
           " were written to\n" + *chosen;
    if (result.missingPhotos)
      text += "\n\n" + photoCount(result.missingPhotos) +
              " the collection names could not be found in its photo folder and are not in the archive "
              "(glimra-file check lists them).";
  }
  runtime_.message(runtime::MessageBox{result.ok ? text : result.error, EXPORT_ARCHIVE_TITLE,
                                       result.ok ? runtime::MessageIcon::Information : runtime::MessageIcon::Exclamation,
                                       runtime::Ok, runtime::Ok});
}

bool DisplayGlimra::openArchive(const std::string& archivePath) {
  auto say = [&](const std::string& text, runtime::MessageIcon icon) {
    runtime_.message(runtime::MessageBox{text, UNPACK_ARCHIVE_TITLE, icon, runtime::Ok, runtime::Ok});
  };
  std::string error;
  const std::string name = collection::collectionNameInArchive(archivePath, &error);
  if (name.empty()) {
    say(error, runtime::MessageIcon::Exclamation);
    return false;
  }
  // Unpacked beside the archive unless the user says otherwise; a file the
  // unpacked collection replaces is asked about by the dialog and backed up.
  const std::string start = (std::filesystem::path(archivePath).parent_path() / name).string();
  const auto target = chooseCollectionFile(FileDialogKind::Save, UNPACK_ARCHIVE_TITLE, start);
  if (!target) return false;
  std::string backup;
  if (!program::backUpFirst(runtime_, program.fileSystem, *target, UNPACK_ARCHIVE_TITLE, "Go on without a backup?",
                            &backup))
    return false;
  std::error_code ec;
  const bool replacesCurrent = GLIMRA.isOpen() && std::filesystem::equivalent(GLIMRAFILE.str(), *target, ec);
  if (replacesCurrent) GLIMRA.close();
  const collection::ArchiveResult result = collection::unpackCollectionArchive(archivePath, *target);
  if (!result.ok) {
    say(result.error, runtime::MessageIcon::Exclamation);
    if (replacesCurrent) R_OPENGLIMRA();
    return false;
  }
  GLIMRAFILE = *target;
  damageOffered_.clear();
  GLIMRA.close();
  R_OPENGLIMRA();
  const std::string kept = backup.empty() ? std::string() : "\n\n" + program::keptInBackup(backup);
  if (result.missingPhotos)
    say("The collection is unpacked to\n" + *target + "\nbut " + photoCount(result.missingPhotos) +
            " it names were not in the archive." + kept,
        runtime::MessageIcon::Exclamation);
  else if (!backup.empty())
    say("The collection is unpacked to\n" + *target + kept, runtime::MessageIcon::Information);
  return true;
}

bool DisplayGlimra::carryPhotosTo(const std::string& target) {
  const std::string source = collection::photoFolderOf(GLIMRAFILE.str());
  const collection::CarriedPhotos carried =
      collection::carryPhotos(program.fileSystem, GLIMRAFILE.str(), {source}, collection::photoFolderOf(target));
  if (carried.error.empty()) return true;
  runtime_.message(runtime::MessageBox{"The photos cannot be copied beside " + target + ": " + carried.error +
                                           ".\n\nThe file was not saved under the new name.",
                                       "Save File As ...", runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
  return false;
}

}  // namespace glimra::catalogue
