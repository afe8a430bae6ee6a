// SPDX-License-Identifier: GPL-3.0-or-later
// A collection's photos travel with every copy of it: a backup holds them
// (an unchanged photo is a hard link, not written again), a restore brings
// them back before the file refers to them, and the archive carries file and
// photos byte for byte to another place, refusing an archive that is not one
// of ours whole.
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include "collection/backups.h"
#include "collection/collection_archive.h"
#include "collection/csv_export.h"
#include "collection/csv_import.h"
#include "collection/photo_check.h"
#include "collection/photo_store.h"
#include "collection/sha256.h"
#include "datafile/temp_dir.h"
#include "photo_fixture.h"

namespace photo_test {
namespace {

using glimra::datafile::posixFileSystem;
using glimra::datafile::testing::TempDir;

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Every file of a photo folder with its bytes.
std::map<std::string, std::string> photoFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const std::string& name : storedFileNames(folder)) files[name] = bytesOf(folder + "/" + name);
  return files;
}

class PhotoCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
    makeCollection(posixFileSystem(), collection_, {"Angel", "Bell"});
    writeBytes(dir_.file("a.jpg"), "IMG angel front");
    writeBytes(dir_.file("b.jpg"), "IMG angel back");
    writeBytes(dir_.file("c.jpg"), "IMG bell");
    addPhotos(posixFileSystem(), collection_, ornament(1), {dir_.file("a.jpg"), dir_.file("b.jpg")});
  }
  TempDir dir_;
  std::string collection_ = dir_.file("Kügel.GLM");
  std::string folder_ = dir_.file("Kügel.photos");
};

TEST_F(PhotoCopies, ABackupHoldsThePhotosAndLinksThoseThatDidNotChange) {
  const BackupResult first = backUpCollection(collection_, posixFileSystem(), 1796904000);
  ASSERT_TRUE(first.ok) << first.error;
  EXPECT_EQ(photoFiles(photoFolderOf(first.path)), photoFiles(folder_));

  addPhotos(posixFileSystem(), collection_, ornament(2), {dir_.file("c.jpg")});
  const BackupResult second = backUpCollection(collection_, posixFileSystem(), 1796904000 + 3600);
  ASSERT_TRUE(second.ok) << second.error;
  EXPECT_EQ(photoFiles(photoFolderOf(second.path)), photoFiles(folder_));
  const std::string unchanged = "/" + sha256Hex("IMG angel front") + ".jpg";
  const std::string added = "/" + sha256Hex("IMG bell") + ".jpg";
  EXPECT_EQ(inodeOf(photoFolderOf(second.path) + unchanged), inodeOf(photoFolderOf(first.path) + unchanged))
      << "an unchanged photo is linked, not written again";
  EXPECT_EQ(inodeOf(photoFolderOf(second.path) + added), inodeOf(folder_ + added))
      << "a new photo is linked from the collection on the same file system";

  // Restored: the photos the backup refers to come back before the file does.
  std::filesystem::remove_all(folder_);
  StagedRestore staged = stageRestore(first.path, collection_);
  ASSERT_TRUE(staged.ok) << staged.error;
  EXPECT_EQ(photoFiles(folder_), photoFiles(photoFolderOf(first.path)));
  ASSERT_EQ(finishRestore(staged), "");
  EXPECT_TRUE(checkPhotos(posixFileSystem(), collection_).problems.empty());
  EXPECT_EQ(photosOf(posixFileSystem(), collection_, ornament(1)).size(), 2u);
}

TEST_F(PhotoCopies, AnArchiveCarriesTheFileAndItsPhotosByteForByte) {
  const std::string zip = dir_.file("moving.zip");
  const ArchiveResult written = exportCollectionArchive(collection_, zip);
  ASSERT_TRUE(written.ok) << written.error;
  EXPECT_EQ(written.photos, 2u);
  EXPECT_TRUE(looksLikeArchive(zip));

  std::filesystem::create_directories(dir_.file("elsewhere"));
  const std::string target = dir_.file("elsewhere/Kügel.GLM");
  std::string error;
  EXPECT_EQ(collectionNameInArchive(zip, &error), "Kügel.GLM") << error;
  const ArchiveResult unpacked = unpackCollectionArchive(zip, target);
  ASSERT_TRUE(unpacked.ok) << unpacked.error;
  EXPECT_EQ(unpacked.photos, 2u);
  EXPECT_EQ(unpacked.missingPhotos, 0u);
  EXPECT_EQ(bytesOf(target), bytesOf(collection_));
  EXPECT_EQ(photoFiles(photoFolderOf(target)), photoFiles(folder_));
  EXPECT_TRUE(checkPhotos(posixFileSystem(), target).problems.empty());
}

TEST_F(PhotoCopies, ACsvExportNamesThePhotosAndAnImportTakesThemBack) {
  std::filesystem::create_directories(dir_.file("out"));
  const std::string csv = dir_.file("out/wish list.csv");
  const CsvExport exported = exportCollectionCsv(collection_, csv, true);
  ASSERT_TRUE(exported.ok) << exported.error;
  EXPECT_EQ(exported.photos, 2u);
  EXPECT_EQ(exported.photoFolder, dir_.file("out/wish list photos"));
  EXPECT_EQ(bytesOf(dir_.file("out/wish list photos/Angel 1.jpg")), "IMG angel front");
  const std::string text = bytesOf(csv);
  EXPECT_NE(text.find(",Photos\r\n"), std::string::npos);
  EXPECT_NE(text.find(",wish list photos/Angel 1.jpg; wish list photos/Angel 2.jpg\r\n"), std::string::npos) << text;

  // Taken back into another collection: the same photos, stored there.
  const std::string other = dir_.file("Other.GLM");
  makeCollection(posixFileSystem(), other, {});
  const CsvTable table = readCsv(text, CsvEncoding::Utf8, ',');
  ImportPlan plan = planImport(table, guessMapping(table.rows[0], table.columns), true);
  ASSERT_EQ(plan.rows.size(), 2u);
  FakeImages images;
  const ImportResult imported = importOrnaments(other, plan.rows, {}, posixFileSystem(), &images, csv);
  ASSERT_TRUE(imported.ok) << imported.error;
  const CollectionPhotos photos = readCollectionPhotos(posixFileSystem(), other);
  ASSERT_EQ(photos.lists.size(), 1u);
  EXPECT_EQ(photos.owners.at(photos.lists[0].ornament).name, "Angel");
  EXPECT_EQ(photoFiles(photoFolderOf(other)), photoFiles(folder_));

  // A row naming a file that is no photo imports nothing.
  plan.rows[1].photoFiles = {"../a.jpg", "wish list.csv"};
  const ImportResult refused = importOrnaments(other, plan.rows, {}, posixFileSystem(), &images, csv);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("wish list.csv cannot be added"), std::string::npos) << refused.error;
  EXPECT_EQ(readCollectionPhotos(posixFileSystem(), other).owners.size(), 2u) << "no ornament was added";
}

// An archive written entry by entry, as another program could.
void writeZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  archive* zip = archive_write_new();
  archive_write_set_format_zip(zip);
  ASSERT_EQ(archive_write_open_filename(zip, path.c_str()), ARCHIVE_OK);
  for (const auto& [name, bytes] : entries) {
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, name.c_str());
    archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_write_header(zip, e);
    archive_write_data(zip, bytes.data(), bytes.size());
    archive_entry_free(e);
  }
  archive_write_close(zip);
  archive_write_free(zip);
}

TEST_F(PhotoCopies, AnArchiveThatIsNoWholeCollectionIsRefusedAndNothingIsReplaced) {
  const std::string glm = bytesOf(collection_);
  const std::string photo = "IMG angel front";
  const std::string photoName = "Kügel.photos/" + sha256Hex(photo) + ".jpg";
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> entries;
    std::string says;
  } cases[] = {
      {"no collection", {{photoName, photo}}, "holds no collection file"},
      {"two collections", {{"Kügel.GLM", glm}, {"Other.GLM", glm}}, "more than one collection file"},
      {"a photo that is not what its name says", {{"Kügel.GLM", glm}, {photoName, "IMG something else"}},
       "does not hold the photo its name says"},
      {"a damaged collection file", {{"Kügel.GLM", glm.substr(0, glm.size() / 2)}}, "no sound collection file"},
  };
  const std::string target = dir_.file("target/Kügel.GLM");
  std::filesystem::create_directories(dir_.file("target"));
  writeBytes(target, "what was there before");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string zip = dir_.file("bad.zip");
    writeZip(zip, c.entries);
    const ArchiveResult result = unpackCollectionArchive(zip, target);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(c.says), std::string::npos) << result.error;
    EXPECT_EQ(bytesOf(target), "what was there before");
    for (const auto& entry : std::filesystem::directory_iterator(dir_.file("target")))
      EXPECT_TRUE(entry.path().filename() == "Kügel.GLM" || entry.path().filename() == "Kügel.photos")
          << "left behind: " << entry.path();
  }
  // Entries outside the collection's shape are never written anywhere.
  const std::string zip = dir_.file("odd.zip");
  writeZip(zip, {{"Kügel.GLM", glm}, {"../escape.txt", "x"}, {"Kügel.photos/../../escape2.txt", "x"},
                 {"notes/readme.txt", "x"}, {photoName, photo}});
  const ArchiveResult odd = unpackCollectionArchive(zip, target);
  ASSERT_TRUE(odd.ok) << odd.error;
  EXPECT_EQ(odd.skipped, 3u);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("escape.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("escape2.txt")));
  EXPECT_EQ(odd.missingPhotos, 1u) << "Angel's back is not in this archive";
}

}  // namespace
}  // namespace photo_test
