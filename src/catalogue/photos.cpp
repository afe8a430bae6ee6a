// SPDX-License-Identifier: GPL-3.0-or-later
// The photos of the ornament shown: listing them, and adding, removing,
// reordering them and setting role, caption and display rotation, each as
// one operation of the undo history.
//
// Photos belong to the ornament's identity (its created stamp), so they
// follow it through saves, undo and delete with its undo; a copy starts
// without photos of its own. The files are taken into the collection's
// photo store before the index refers to them, and the index changes in one
// transaction of the collection file. Undo puts the ornament's list back as
// it was before the change (the files stay in the store, so a removed photo
// comes back whole). Changes are offered while a stored ornament is shown;
// they leave the form (and any edit in it) alone.
#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "collection/ornament_photos.h"
#include "collection/photo_store.h"
#include "program/messages.h"

namespace glimra::catalogue {

using collection::OrnamentId;
using collection::PhotoEntry;
using namespace control;

namespace {

constexpr const char* ADD_PHOTOS_CAPTION = "Add Photos";
constexpr datafile::OpenMode COLLECTION_OPEN_MODE = datafile::READ_WRITE_DENY_WRITE;

}  // namespace

bool DisplayGlimra::photosOffered() const { return recordWindowsOffered(); }

OrnamentId DisplayGlimra::shownOrnament() const {
  if (!photosOffered()) return {};
  GlRecord shown;
  collection::fromImage(shown, CURRENTRECORD);
  return collection::identityOf(shown);
}

std::vector<PhotoEntry> DisplayGlimra::photosOfShownOrnament() {
  std::vector<PhotoEntry> photos;
  const OrnamentId id = shownOrnament();
  if (id.isNull()) return photos;
  collection::PhotoIndex index(program.fileSystem);
  if (index.open(GLIMRAFILE.str(), COLLECTION_OPEN_MODE) != 0 || index.photosOf(id, &photos) != 0) photos.clear();
  return photos;
}

bool DisplayGlimra::collectionHasPhotos() {
  collection::PhotoIndex index(program.fileSystem);
  return index.open(GLIMRAFILE.str(), datafile::READ_ONLY_DENY_NONE) == 0 && index.present() &&
         index.file().records() > 0;
}

std::string DisplayGlimra::photoPath(const PhotoEntry& photo) const {
  return collection::PhotoStore(GLIMRAFILE.str(), program.fileSystem).pathOf(photo.fileName());
}

bool DisplayGlimra::addPhotos(const std::vector<std::string>& files) {
  if (!photosOffered() || files.empty()) return false;
  auto say = [&](const std::string& text) {
    runtime_.message(runtime::MessageBox{text, ADD_PHOTOS_CAPTION, runtime::MessageIcon::Exclamation, runtime::Ok,
                                         runtime::Ok});
    return false;
  };
  if (!program.images) return say("This build of the program reads no images: no photo was added.");
  collection::PhotoStore store(GLIMRAFILE.str(), program.fileSystem);
  store.removeTemporaries();
  const collection::PhotoIntake intake = collection::takeInPhotos(store, *program.images, files);
  if (!intake.ok) return say(intake.error);
  const std::vector<PhotoEntry> before = photosOfShownOrnament();
  return changePhotos(collection::withPhotosAdded(before, intake.photos), "Can't Add Photos");
}

bool DisplayGlimra::removePhoto(std::size_t index) {
  std::vector<PhotoEntry> photos = photosOfShownOrnament();
  if (index >= photos.size()) return false;
  photos.erase(photos.begin() + static_cast<std::ptrdiff_t>(index));
  return changePhotos(std::move(photos), "Can't Remove Photo");
}

bool DisplayGlimra::movePhoto(std::size_t from, std::size_t to) {
  std::vector<PhotoEntry> photos = photosOfShownOrnament();
  if (from == to || !collection::movePhoto(photos, from, to)) return false;
  return changePhotos(std::move(photos), "Can't Move Photo");
}

bool DisplayGlimra::setPhotoRole(std::size_t index, collection::PhotoRole role) {
  std::vector<PhotoEntry> photos = photosOfShownOrnament();
  if (index >= photos.size() || photos[index].role == role) return false;
  photos[index].role = role;
  return changePhotos(std::move(photos), "Can't Change Photo");
}

bool DisplayGlimra::setPhotoCaption(std::size_t index, std::string_view caption) {
  std::vector<PhotoEntry> photos = photosOfShownOrnament();
  const std::string text(collection::clipTrailingBlanks(caption));
  if (index >= photos.size() || photos[index].caption == text) return false;
  if (text.size() > collection::PHOTO_CAPTION_LENGTH) {
    runtime_.message(runtime::MessageBox{"A caption holds at most " + std::to_string(collection::PHOTO_CAPTION_LENGTH) +
                                             " characters; this one has " + std::to_string(text.size()) + ".",
                                         "Photo Caption", runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
    return false;
  }
  photos[index].caption = text;
  return changePhotos(std::move(photos), "Can't Change Photo");
}

bool DisplayGlimra::setPhotoRotation(std::size_t index, int quarterTurns) {
  std::vector<PhotoEntry> photos = photosOfShownOrnament();
  const int rotation = ((quarterTurns % 4) + 4) % 4;
  if (index >= photos.size() || photos[index].rotation == rotation) return false;
  photos[index].rotation = rotation;
  return changePhotos(std::move(photos), "Can't Change Photo");
}

bool DisplayGlimra::changePhotos(std::vector<PhotoEntry> photos, std::string_view caption) {
  const OrnamentId id = shownOrnament();
  if (id.isNull()) return false;
  collection::PhotoIndex index(program.fileSystem);
  std::vector<PhotoEntry> before;
  int error = index.open(GLIMRAFILE.str(), COLLECTION_OPEN_MODE);
  if (error == 0) error = index.photosOf(id, &before);
  if (error == 0 && !photos.empty()) error = index.ensureTable();
  if (error == 0) error = index.replace(id, photos);
  if (error != 0) {
    CHECKERROR(runtime_, index.file(), caption);
    return false;
  }
  photoUndoStates_.push_back(PhotoUndoState{id, std::move(before)});
  UndoEntry undo;
  undo.clear();
  undo.ACTION = UndoAction::PhotosChanged;
  undo.POINTER = CURRENTPOINTER;
  undo.SORTKEY = CURRENTSORTKEY;
  undo.KEYTYPE = CURRENTKEYTYPE;
  undo.PHOTOSTATE = static_cast<std::int32_t>(photoUndoStates_.size());
  pushUndo(undo);
  // Closed before anyone is told: while this open holds the table, another
  // open of it is refused and would read no photos at all.
  index.close();
  if (onPhotosChanged) onPhotosChanged(id);
  return true;
}

bool DisplayGlimra::undoPhotoChange(const UndoEntry& undo) {
  runtime::Window& w = *window_;
  if (undo.PHOTOSTATE < 1 || static_cast<std::size_t>(undo.PHOTOSTATE) > photoUndoStates_.size()) return true;
  const PhotoUndoState& state = photoUndoStates_[static_cast<std::size_t>(undo.PHOTOSTATE) - 1];
  collection::PhotoIndex index(program.fileSystem);
  int error = index.open(GLIMRAFILE.str(), COLLECTION_OPEN_MODE);
  if (error == 0) error = index.replace(state.ornament, state.before);
  if (error != 0) {
    CHECKERROR(runtime_, index.file(), "Can't Undo Photo Change");
    return false;
  }
  // The ornament is selected again; when it is the one shown, the form (and
  // an edit in it) stays as it is.
  if (CURRENTPOINTER != undo.POINTER) {
    CURRENTSORTKEY = undo.SORTKEY;
    CURRENTKEYTYPE = undo.KEYTYPE;
    w.display(GLMLIST);
    R_SELECTCURRENTENTRY();
    R_DISPLAYSELECTION();
  }
  index.close();
  if (onPhotosChanged) onPhotosChanged(state.ornament);
  return true;
}

}  // namespace glimra::catalogue
