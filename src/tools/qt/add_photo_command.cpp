// SPDX-License-Identifier: GPL-3.0-or-later
// add-photo: images added as photos of one ornament from a script, as the
// program adds them: every file checked first (all or none), stored in the
// collection's photo folder, then the index changed in one transaction.
#include <QCoreApplication>

#include <charconv>
#include <clocale>
#include <iostream>

#include "collection/glimra_file.h"
#include "collection/ornament_photos.h"
#include "collection/qt/photo_images_qt.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "text/cp1252.h"
#include "tools/commands.h"

namespace glimra::tools {

using namespace glimra::datafile;

collection::ImageInspector* toolImageInspector() {
  // Qt finds its image plugins through the application object.
  static int argc = 1;
  static char program[] = "glimra-file";
  static char* argv[] = {program, nullptr};
  static QCoreApplication application(argc, argv);
  // Qt takes the system's locale; numbers are read and written as in C.
  static const bool numbersInC = std::setlocale(LC_NUMERIC, "C") != nullptr;
  (void)numbersInC;
  static collection::QtImageInspector inspector;
  return &inspector;
}

int addPhotoCommand(const Arguments& args) {
  const char* usage = "usage: glimra-file add-photo FILE RECORD IMAGE...";
  if (args.size() < 3) return fail(EXIT_USAGE, usage);
  for (const std::string& a : args)
    if (a.starts_with("-")) return fail(EXIT_USAGE, usage);
  const std::string& path = args[0];
  std::uint32_t record = 0;
  const std::string& number = args[1];
  if (std::from_chars(number.data(), number.data() + number.size(), record).ptr != number.data() + number.size() ||
      record == 0)
    return fail(EXIT_USAGE, "RECORD: a record number (as dump and find give it), not " + number);
  const std::vector<std::string> images(args.begin() + 2, args.end());

  collection::GlRecord buffer;
  DataFile file;
  file.declare(collection::glimraDeclaration(), &buffer);
  file.setName(path);
  if (file.open(READ_WRITE_DENY_WRITE) != 0) {
    const bool other = file.errorCode() == FileError::INVALID_RECORD_DECLARATION;
    return fail(EXIT_FAILED, path + ": " + describeError(file) + (other ? ": not a collection file" : ""));
  }
  // Every ornament its own identity before a photo refers to one.
  std::vector<collection::StampedRecord> live;
  std::uint32_t header = 0;
  if (file.setFile() == 0)
    while (file.next() == 0) {
      if (header == 0) header = file.pointer();
      else if (buffer.DELETED == 0) live.push_back({collection::identityOf(buffer), file.pointer()});
    }
  std::size_t restamped = 0;
  if (file.errorCode() != FileError::RECORD_NOT_AVAILABLE ||
      collection::giveSharedStampsTheirOwn(file, buffer, live, &restamped) != 0)
    return fail(EXIT_FAILED, path + ": " + describeError(file));
  if (file.get(record) != 0 || record == header || buffer.DELETED != 0)
    return fail(EXIT_FAILED, path + ": record " + number + " is no ornament of the collection" +
                                 (file.errorCode() ? " (" + describeError(file) + ")" : ""));
  const collection::OrnamentId id = collection::identityOf(buffer);
  const std::string name = collection::cp1252ToUtf8(buffer.NAME.clipped());

  collection::PhotoStore store(path);
  store.removeTemporaries();
  const collection::PhotoIntake intake = collection::takeInPhotos(store, *toolImageInspector(), images);
  if (!intake.ok) return fail(EXIT_FAILED, intake.error);

  collection::PhotoIndex index;
  std::vector<collection::PhotoEntry> photos;
  int error = index.open(path, READ_WRITE_DENY_WRITE);
  if (error == 0) error = index.photosOf(id, &photos);
  if (error == 0) error = index.ensureTable();
  if (error == 0) error = index.replace(id, collection::withPhotosAdded(photos, intake.photos));
  if (error != 0) return fail(EXIT_FAILED, path + ": the photo index: " + describeError(index.file()));
  std::cout << path << ": " << intake.photos.size() << (intake.photos.size() == 1 ? " photo" : " photos")
            << " added to \"" << name << "\" (record " << record << "), which now has " << photos.size() + intake.photos.size()
            << '\n';
  return EXIT_OK;
}

}  // namespace glimra::tools
