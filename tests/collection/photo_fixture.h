// SPDX-License-Identifier: GPL-3.0-or-later
// What the photo tests share: an image inspector that reads no image (a file
// is an "image" when it starts with "IMG"), small collections whose
// ornaments carry distinct created stamps, and photos added the way the
// program adds them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "collection/ornament_photos.h"
#include "collection/photo_index.h"
#include "collection/sort_keys.h"
#include "datafile/datafile.h"

namespace photo_test {

using namespace glimra::collection;
namespace fs = std::filesystem;

class FakeImages final : public ImageInspector {
 public:
  explicit FakeImages(glimra::datafile::FileSystem& disk = glimra::datafile::posixFileSystem()) : disk_(disk) {}
  ImageFacts inspect(const std::string& path) override {
    std::string head(3, '\0');
    int error = 0;
    std::size_t got = 0;
    if (auto file = disk_.open(path, false, false, &error)) file->readAt(0, head.data(), 3, &got);
    ImageFacts facts;
    if (head != "IMG") {
      facts.problem = "it is not an image";
      return facts;
    }
    facts.ok = true;
    facts.type = "jpg";
    facts.width = 40;
    facts.height = 30;
    return facts;
  }

 private:
  glimra::datafile::FileSystem& disk_;
};

inline std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A collection of `names` (header record first), ornament i created at
// 78500.(1000 + i); deleted ones flagged.
inline void makeCollection(glimra::datafile::FileSystem& disk, const std::string& path,
                           const std::vector<std::string>& names, const std::vector<std::string>& deleted = {}) {
  GlRecord r;
  glimra::datafile::DataFile file(disk);
  file.declare(glimraDeclaration(), &r);
  file.setName(path);
  ASSERT_EQ(file.create(), 0);
  ASSERT_EQ(file.open(glimra::datafile::READ_WRITE_DENY_WRITE), 0);
  r.clear();
  r.CREATEDDATE = 78500;
  ASSERT_EQ(file.add(), 0);
  int i = 0;
  for (const std::string& name : names) {
    r.clear();
    r.NAME = name;
    r.CREATEDDATE = 78500;
    r.CREATEDTIME = 1000 + ++i;
    r.DELETED = std::find(deleted.begin(), deleted.end(), name) != deleted.end();
    buildKeys(r);
    ASSERT_EQ(file.add(), 0);
  }
}

inline OrnamentId ornament(int i) { return OrnamentId{78500, 1000 + i}; }

// Adds photo files to the ornament as the program does: taken in, then the
// index changed in one transaction.
inline void addPhotos(glimra::datafile::FileSystem& disk, const std::string& collection, OrnamentId id,
                      const std::vector<std::string>& files) {
  FakeImages images(disk);
  PhotoStore store(collection, disk);
  const PhotoIntake intake = takeInPhotos(store, images, files);
  ASSERT_TRUE(intake.ok) << intake.error;
  PhotoIndex index(disk);
  std::vector<PhotoEntry> photos;
  ASSERT_EQ(index.open(collection, glimra::datafile::READ_WRITE_DENY_WRITE), 0);
  ASSERT_EQ(index.photosOf(id, &photos), 0);
  ASSERT_EQ(index.ensureTable(), 0);
  ASSERT_EQ(index.replace(id, withPhotosAdded(photos, intake.photos)), 0);
}

inline std::vector<PhotoEntry> photosOf(glimra::datafile::FileSystem& disk, const std::string& collection,
                                        OrnamentId id) {
  PhotoIndex index(disk);
  std::vector<PhotoEntry> photos;
  EXPECT_EQ(index.open(collection, glimra::datafile::READ_ONLY_DENY_NONE), 0);
  EXPECT_EQ(index.photosOf(id, &photos), 0);
  return photos;
}

}  // namespace photo_test
