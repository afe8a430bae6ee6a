// SPDX-License-Identifier: GPL-3.0-or-later
// The photos of a collection file: `photos` lists them, and what `check` and
// `pack` do with them beside the file itself.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "collection/photo_check.h"
#include "collection/photo_store.h"
#include "datafile/datafile.h"
#include "text/cp1252.h"
#include "text/std_date.h"
#include "tools/commands.h"

namespace glimra::tools {

using namespace glimra::datafile;

namespace {

std::string stampText(std::int32_t date, std::int32_t time) {
  if (date < 4) return "";
  const collection::CalendarDate d = collection::daysToDate(date);
  const auto t = collection::numberToTime(time);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", d.year, d.month, d.day, t ? t->hour : 0,
                t ? t->minute : 0);
  return text;
}

bool hasPhotos(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(collection::photoFolderOf(path), ec);
}

}  // namespace

int photosCommand(const Arguments& args) {
  const char* usage = "usage: glimra-file photos FILE [--json]";
  std::string path;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (a.starts_with("-") || !path.empty())
      return fail(EXIT_USAGE, usage);
    else
      path = a;
  }
  if (path.empty()) return fail(EXIT_USAGE, usage);
  const collection::CollectionPhotos photos = collection::readCollectionPhotos(posixFileSystem(), path);
  if (photos.error) return fail(EXIT_FAILED, photos.message);
  const std::string folder = std::filesystem::path(collection::photoFolderOf(path)).filename().string();
  std::size_t count = 0;
  for (const collection::OrnamentPhotoList& list : photos.lists) {
    const auto owner = photos.owners.find(list.ornament);
    const bool exists = owner != photos.owners.end();
    const std::string name = exists ? owner->second.name : "";
    int position = 0;
    for (const collection::PhotoEntry& e : list.photos) {
      ++position;
      ++count;
      const std::string caption = collection::cp1252ToUtf8(e.caption);
      if (json) {
        std::cout << "{\"record\":" << (exists ? std::to_string(owner->second.record) : "null")
                  << ",\"ornament\":" << (exists ? jsonString(name) : "null")
                  << ",\"identity\":" << jsonString(list.ornament.text()) << ",\"position\":" << position
                  << ",\"role\":" << jsonString(collection::roleName(e.role))
                  << ",\"file\":" << jsonString(folder + "/" + e.fileName()) << ",\"width\":" << e.width
                  << ",\"height\":" << e.height << ",\"bytes\":" << e.bytes << ",\"rotation\":" << e.rotation * 90
                  << ",\"caption\":" << jsonString(caption) << ",\"original\":" << jsonString(e.originalName)
                  << ",\"added\":" << jsonString(stampText(e.addedDate, e.addedTime)) << "}\n";
        continue;
      }
      std::cout << (exists ? std::to_string(owner->second.record) + " \"" + name + "\""
                           : "(no ornament " + list.ornament.text() + ")")
                << " " << position << " " << collection::roleName(e.role) << " " << folder << "/" << e.fileName()
                << " " << e.width << "x" << e.height << " " << e.bytes << " bytes";
      if (e.rotation) std::cout << " turned " << e.rotation * 90;
      if (!caption.empty()) std::cout << " \"" << caption << "\"";
      if (!e.originalName.empty()) std::cout << " (" << e.originalName << ")";
      std::cout << '\n';
    }
  }
  if (!json) std::cerr << path << ": " << count << (count == 1 ? " photo" : " photos") << '\n';
  return EXIT_OK;
}

#ifndef GLIMRA_FILE_PHOTOS
collection::ImageInspector* toolImageInspector() { return nullptr; }
#endif

int checkPhotosOf(const std::string& path) {
  const collection::PhotoCheckReport report = collection::checkPhotos(posixFileSystem(), path);
  if (report.error) return fail(EXIT_FAILED, report.message);
  if (report.photos == 0 && report.files == 0 && !hasPhotos(path)) return EXIT_OK;
  for (const collection::PhotoProblem& p : report.problems) std::cout << path << ": " << p.text() << '\n';
  std::cout << path << ": photos: " << report.summary() << '\n';
  return report.sound() ? EXIT_OK : EXIT_DAMAGED;
}

int packPhotosOf(const std::string& path) {
  if (!hasPhotos(path)) return EXIT_OK;
  const collection::PhotoPackResult result = collection::packPhotos(path);
  if (!result.ok) return fail(EXIT_FAILED, path + ": photos: " + result.error);
  std::cout << path << ": photos: " << result.entriesRemoved
            << (result.entriesRemoved == 1 ? " entry" : " entries") << " of removed ornaments taken out, "
            << result.filesMoved << (result.filesMoved == 1 ? " file" : " files") << " nobody refers to moved into "
            << collection::photoFolderOf(path) << "/" << collection::UNUSED_PHOTOS_FOLDER << '\n';
  return EXIT_OK;
}

}  // namespace glimra::tools
