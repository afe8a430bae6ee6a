// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/ornament_photos.h"

#include <filesystem>

#include "text/std_date.h"

namespace glimra::collection {
namespace {

std::string megabytes(std::uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

}  // namespace

PhotoIntake takeInPhotos(PhotoStore& store, ImageInspector& images, const std::vector<std::string>& paths) {
  PhotoIntake intake;
  std::vector<ImageFacts> facts;
  for (const std::string& path : paths) {
    auto refuse = [&](const std::string& why) {
      intake.error = "The photo " + path + " cannot be added: " + why + ".\nNo photo was added.";
      return intake;
    };
    datafile::FileSystem& disk = store.fileSystem();
    if (!disk.exists(path)) return refuse("there is no such file");
    int error = 0;
    std::uint64_t bytes = 0;
    auto file = disk.open(path, false, false, &error);
    if (file) error = file->size(&bytes);
    if (error != 0) return refuse("it cannot be read (" + datafile::osErrorText(error) + ")");
    if (bytes > PHOTO_MAX_BYTES)
      return refuse("it is " + megabytes(bytes) + " large; a photo may have at most " + megabytes(PHOTO_MAX_BYTES));
    ImageFacts f = images.inspect(path);
    if (!f.ok) return refuse(f.problem);
    facts.push_back(std::move(f));
  }
  const std::int32_t date = today();
  const std::int32_t time = now();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    StoredPhoto stored;
    std::string why;
    if (store.store(paths[i], facts[i].type, &stored, &why) != 0) {
      intake.photos.clear();
      intake.error = "The photo " + paths[i] + " cannot be added: " + why + ".\nNo photo was added.";
      return intake;
    }
    PhotoEntry e;
    e.hash = stored.hash;
    e.type = facts[i].type;
    e.width = facts[i].width;
    e.height = facts[i].height;
    e.bytes = static_cast<std::uint32_t>(stored.bytes);
    e.originalName = cutUtf8(std::filesystem::path(paths[i]).filename().string(), PHOTO_ORIGINAL_NAME_LENGTH);
    e.addedDate = date;
    e.addedTime = time;
    intake.photos.push_back(std::move(e));
  }
  intake.ok = true;
  return intake;
}

std::vector<PhotoEntry> withPhotosAdded(std::vector<PhotoEntry> photos, const std::vector<PhotoEntry>& added) {
  const bool first = photos.empty();
  for (const PhotoEntry& e : added) photos.push_back(e);
  if (first && !photos.empty()) photos.front().role = PhotoRole::Front;
  return photos;
}

bool movePhoto(std::vector<PhotoEntry>& photos, std::size_t from, std::size_t to) {
  if (from >= photos.size() || to >= photos.size()) return false;
  PhotoEntry moving = std::move(photos[from]);
  photos.erase(photos.begin() + static_cast<std::ptrdiff_t>(from));
  photos.insert(photos.begin() + static_cast<std::ptrdiff_t>(to), std::move(moving));
  return true;
}

}  // namespace glimra::collection
