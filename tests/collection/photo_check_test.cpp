// SPDX-License-Identifier: GPL-3.0-or-later
// Checking the photo index against the photo folder, and the pack that tidies
// both: each kind of problem found and named with its ornament; pack takes out
// the entries of ornaments that are gone and moves files nobody refers to
// aside, deleting nothing.
#include <gtest/gtest.h>

#include "collection/photo_check.h"
#include "collection/photo_store.h"
#include "collection/sha256.h"
#include "datafile/temp_dir.h"
#include "photo_fixture.h"

namespace photo_test {
namespace {

using glimra::datafile::posixFileSystem;
using glimra::datafile::testing::TempDir;

class PhotoCheck : public ::testing::Test {
 protected:
  // Angel (record 3) has photos a and b, Bell (4) has c; Candle (5) is
  // deleted but its photo d is still in the index.
  void SetUp() override {
    makeCollection(posixFileSystem(), collection_, {"Angel", "Bell", "Candle"});
    for (const char* name : {"a", "b", "c", "d"}) writeBytes(dir_.file(std::string(name) + ".jpg"), std::string("IMG ") + name);
    addPhotos(posixFileSystem(), collection_, ornament(1), {dir_.file("a.jpg"), dir_.file("b.jpg")});
    addPhotos(posixFileSystem(), collection_, ornament(2), {dir_.file("c.jpg")});
    addPhotos(posixFileSystem(), collection_, ornament(3), {dir_.file("d.jpg")});
    GlRecord r;
    glimra::datafile::DataFile file;
    file.declare(glimraDeclaration(), &r);
    file.setName(collection_);
    ASSERT_EQ(file.open(glimra::datafile::READ_WRITE_DENY_WRITE), 0);
    ASSERT_EQ(file.get(5), 0);
    r.DELETED = 1;
    ASSERT_EQ(file.put(), 0);
  }
  std::string stored(const char* name) const {
    return folder_ + "/" + sha256Hex(std::string("IMG ") + name) + ".jpg";
  }

  TempDir dir_;
  std::string collection_ = dir_.file("Kügel.GLM");
  std::string folder_ = dir_.file("Kügel.photos");
};

TEST_F(PhotoCheck, FindsEachProblemAndNamesItsOrnament) {
  std::filesystem::remove(stored("a"));
  std::filesystem::permissions(stored("c"), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  writeBytes(stored("c"), "IMG c, edited and saved over");
  writeBytes(folder_ + "/holiday.jpg", "IMG a stranger");

  const PhotoCheckReport report = checkPhotos(posixFileSystem(), collection_);
  ASSERT_EQ(report.error, 0) << report.message;
  std::vector<std::string> found;
  for (const PhotoProblem& p : report.problems) found.push_back(p.text());
  const std::string a = sha256Hex("IMG a") + ".jpg", c = sha256Hex("IMG c") + ".jpg", d = sha256Hex("IMG d") + ".jpg";
  EXPECT_EQ(found, (std::vector<std::string>{
                       "photo 1 of \"Angel\" (record 3): the file " + a + " is missing",
                       "photo 1 of \"Bell\" (record 4): the file " + c + " no longer holds the photo it was stored with",
                       "photo 1 of the ornament 78500.1003, which no longer exists: the entry names the file " + d +
                           " (pack removes the entry)",
                       "the file " + d + " belongs to no ornament (pack moves it into unused)",
                       "the file holiday.jpg belongs to no ornament (pack moves it into unused)",
                   }));
  EXPECT_FALSE(report.sound()) << "a missing or changed photo is damage";
  EXPECT_EQ(report.photos, 4u);
  EXPECT_EQ(report.ornaments, 3u);
}

TEST_F(PhotoCheck, PackRemovesEntriesOfGoneOrnamentsAndMovesUnreferencedFilesAsideDeletingNothing) {
  writeBytes(folder_ + "/holiday.jpg", "IMG a stranger");
  writeBytes(folder_ + "/" + PHOTO_TEMPORARY_PREFIX + "123-1", "half a photo");
  const PhotoCheckReport before = checkPhotos(posixFileSystem(), collection_);
  EXPECT_TRUE(before.sound()) << "tidying is no damage";
  EXPECT_EQ(before.problems.size(), 3u);

  const PhotoPackResult packed = packPhotos(collection_);
  ASSERT_TRUE(packed.ok) << packed.error;
  EXPECT_EQ(packed.entriesRemoved, 1u);
  EXPECT_EQ(packed.filesMoved, 2u);
  const std::string unused = folder_ + "/" + UNUSED_PHOTOS_FOLDER;
  EXPECT_EQ(storedFileNames(unused), (std::vector<std::string>{sha256Hex("IMG d") + ".jpg", "holiday.jpg"}));
  EXPECT_EQ(bytesOf(unused + "/holiday.jpg"), "IMG a stranger");
  EXPECT_EQ(storedFileNames(folder_).size(), 3u) << "a, b and c stay";
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/" + PHOTO_TEMPORARY_PREFIX + "123-1"));

  const PhotoCheckReport after = checkPhotos(posixFileSystem(), collection_);
  EXPECT_TRUE(after.problems.empty()) << after.problems.front().text();
  EXPECT_EQ(photosOf(posixFileSystem(), collection_, ornament(1)).size(), 2u);
}

}  // namespace
}  // namespace photo_test
