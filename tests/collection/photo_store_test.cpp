// SPDX-License-Identifier: GPL-3.0-or-later
// The photo store and index: a photo is stored once, under the SHA-256 of its
// content, whoever adds it; a file that is no photo is refused with its name
// and nothing is added; and a crash at any write or flush of adding,
// removing or reordering photos leaves the index as it was or as it was
// meant to be, never naming a file that is not there whole.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "collection/photo_store.h"
#include "collection/sha256.h"
#include "datafile/fault_file.h"
#include "datafile/temp_dir.h"
#include "photo_fixture.h"

namespace photo_test {
namespace {

using glimra::datafile::FaultFileSystem;
using glimra::datafile::UnflushedWrites;
using glimra::datafile::testing::TempDir;

TEST(PhotoStore, TheSamePhotoAddedTwiceIsStoredOnceUnderItsContentsHash) {
  TempDir dir;
  const std::string collection = dir.file("Kügel.GLM");
  makeCollection(glimra::datafile::posixFileSystem(), collection, {"Angel", "Bell"});
  writeBytes(dir.file("front.jpg"), "IMG front of the angel");
  writeBytes(dir.file("copy of front.jpg"), "IMG front of the angel");
  addPhotos(glimra::datafile::posixFileSystem(), collection, ornament(1), {dir.file("front.jpg")});
  addPhotos(glimra::datafile::posixFileSystem(), collection, ornament(1), {dir.file("copy of front.jpg")});
  addPhotos(glimra::datafile::posixFileSystem(), collection, ornament(2), {dir.file("front.jpg")});

  const std::string folder = dir.file("Kügel.photos");
  const std::string name = sha256Hex("IMG front of the angel") + ".jpg";
  EXPECT_EQ(storedFileNames(folder), std::vector<std::string>{name});
  EXPECT_EQ(bytesOf(folder + "/" + name), "IMG front of the angel");
  struct stat st {};
  ASSERT_EQ(::stat((folder + "/" + name).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u) << "an original is stored read-only";

  const auto angel = photosOf(glimra::datafile::posixFileSystem(), collection, ornament(1));
  ASSERT_EQ(angel.size(), 2u);
  EXPECT_EQ(angel[0].role, PhotoRole::Front) << "the first photo of an ornament shows its front";
  EXPECT_EQ(angel[1].role, PhotoRole::Other);
  EXPECT_EQ(angel[1].originalName, "copy of front.jpg");
  EXPECT_EQ(angel[0].fileName(), name);
  EXPECT_EQ(angel[1].fileName(), name);
  EXPECT_EQ(photosOf(glimra::datafile::posixFileSystem(), collection, ornament(2)).size(), 1u);
}

TEST(PhotoStore, AFileThatIsNoPhotoIsRefusedByNameAndNothingIsAdded) {
  TempDir dir;
  const std::string collection = dir.file("tree.GLM");
  makeCollection(glimra::datafile::posixFileSystem(), collection, {"Angel"});
  writeBytes(dir.file("good.jpg"), "IMG good");
  writeBytes(dir.file("notes.txt"), "shopping list");
  // Larger than a photo may be, without writing its bytes.
  std::filesystem::resize_file((writeBytes(dir.file("huge.jpg"), "IMG"), dir.file("huge.jpg")), PHOTO_MAX_BYTES + 1);
  struct Case {
    std::vector<std::string> files;
    std::string named, why;
  } cases[] = {
      {{dir.file("good.jpg"), dir.file("notes.txt")}, "notes.txt", "it is not an image"},
      {{dir.file("missing.jpg")}, "missing.jpg", "there is no such file"},
      {{dir.file("good.jpg"), dir.file("huge.jpg")}, "huge.jpg", "101 MB large; a photo may have at most 100 MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    FakeImages images;
    PhotoStore store(collection);
    const PhotoIntake intake = takeInPhotos(store, images, c.files);
    EXPECT_FALSE(intake.ok);
    EXPECT_NE(intake.error.find(dir.file(c.named)), std::string::npos) << intake.error;
    EXPECT_NE(intake.error.find(c.why), std::string::npos) << intake.error;
    EXPECT_NE(intake.error.find("No photo was added"), std::string::npos);
    EXPECT_TRUE(intake.photos.empty());
    EXPECT_TRUE(storedFileNames(store.folder()).empty()) << "nothing is stored before every file is checked";
  }
}

// One photo change as the program makes it, on a collection whose ornament
// 1 has photos A and B.
enum class Change { Add, Remove, Reorder };

void makeChange(FaultFileSystem& disk, Change change) {
  PhotoIndex index(disk);
  ASSERT_EQ(index.open("c.GLM", glimra::datafile::READ_WRITE_DENY_WRITE), 0);
  std::vector<PhotoEntry> photos;
  ASSERT_EQ(index.photosOf(ornament(1), &photos), 0);
  switch (change) {
    case Change::Add: {
      FakeImages images(disk);
      PhotoStore store("c.GLM", disk);
      const PhotoIntake intake = takeInPhotos(store, images, {"new.jpg"});
      if (!intake.ok) return;  // the crash struck while storing: the index is not touched
      photos = withPhotosAdded(photos, intake.photos);
      break;
    }
    case Change::Remove: photos.erase(photos.begin()); break;
    case Change::Reorder: ASSERT_TRUE(movePhoto(photos, 1, 0)); break;
  }
  index.replace(ornament(1), photos);
}

TEST(PhotoStore, ACrashAtEveryStepOfAPhotoChangeLeavesTheOldOrTheNewListAndEveryFileWhole) {
  FaultFileSystem planted;
  makeCollection(planted, "c.GLM", {"Angel", "Bell"});
  planted.setContents("a.jpg", {'I', 'M', 'G', 'a'});
  planted.setContents("b.jpg", {'I', 'M', 'G', 'b'});
  addPhotos(planted, "c.GLM", ornament(1), {"a.jpg", "b.jpg"});
  const std::vector<std::string> before = {"IMGa", "IMGb"};
  std::vector<std::uint8_t> added(100000, 'x');
  added[0] = 'I', added[1] = 'M', added[2] = 'G';
  planted.setContents("new.jpg", added);

  const struct {
    Change change;
    std::vector<std::string> after;
  } changes[] = {
      {Change::Add, {"IMGa", "IMGb", std::string(added.begin(), added.end())}},
      {Change::Remove, {"IMGb"}},
      {Change::Reorder, {"IMGb", "IMGa"}},
  };
  const std::vector<std::string> files = {"c.GLM", "a.jpg", "b.jpg", "new.jpg",
                                          "c.photos/" + sha256Hex("IMGa") + ".jpg",
                                          "c.photos/" + sha256Hex("IMGb") + ".jpg"};
  for (const auto& c : changes) {
    for (const UnflushedWrites reboot :
         {UnflushedWrites::Dropped, UnflushedWrites::Kept, UnflushedWrites::TornAtSectors}) {
      bool reachedEnd = false;
      std::uint64_t cut = 0;
      for (; !reachedEnd; ++cut) {
        SCOPED_TRACE(::testing::Message() << "change " << int(c.change) << ", cut after step " << cut);
        FaultFileSystem disk;
        for (const std::string& f : files) disk.setContents(f, planted.contents(f));
        disk.plan.crashAfter = cut;
        makeChange(disk, c.change);
        reachedEnd = !disk.crashed();
        disk.reboot(reboot, static_cast<std::uint32_t>(cut) + 3);

        const auto photos = photosOf(disk, "c.GLM", ornament(1));
        std::vector<std::string> contents;
        for (const PhotoEntry& e : photos) {
          const std::string path = "c.photos/" + e.fileName();
          ASSERT_TRUE(disk.exists(path)) << "the index names " << path << ", which is not there";
          const auto bytes = disk.contents(path);
          contents.emplace_back(bytes.begin(), bytes.end());
          EXPECT_EQ(sha256Hex(contents.back()), e.hash) << "the file is not whole";
        }
        ASSERT_TRUE(contents == before || contents == c.after) << contents.size() << " photos";
        if (reachedEnd) ASSERT_TRUE(contents == c.after) << "the change is not there at its end";
      }
      // Storing a file is several steps (write, flush, rename, folder flush)
      // before the commit's own.
      EXPECT_GE(cut, c.change == Change::Add ? 8u : 4u) << "steps cut";
    }
  }
}

}  // namespace
}  // namespace photo_test
