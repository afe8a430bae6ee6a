// SPDX-License-Identifier: GPL-3.0-or-later
// The ornament's identity (its created stamp): every ornament written gets
// one no other record carries, older files whose ornaments share a stamp
// are given their own, and a collection that never had photos stays byte
// for byte what it was before photos existed.
#include <gtest/gtest.h>

#include <set>

#include "collection/backups.h"
#include "collection/csv_import.h"
#include "collection/generator.h"
#include "collection/photo_check.h"
#include "collection/photo_store.h"
#include "collection/sha256.h"
#include "datafile/temp_dir.h"
#include "photo_fixture.h"

namespace photo_test {
namespace {

using glimra::datafile::DataFile;
using glimra::datafile::posixFileSystem;
using glimra::datafile::testing::TempDir;

std::vector<OrnamentId> liveIdentities(const std::string& path) {
  GlRecord r;
  DataFile file;
  file.declare(glimraDeclaration(), &r);
  file.setName(path);
  std::vector<OrnamentId> ids;
  if (file.open(glimra::datafile::READ_ONLY_DENY_NONE) != 0) return ids;
  file.setFile();
  bool header = true;
  while (file.next() == 0) {
    if (!header && r.DELETED == 0) ids.push_back(identityOf(r));
    header = false;
  }
  return ids;
}

TEST(OrnamentIdentity, ANewStampIsTodayUnlessTheFileHoldsThatOrALaterOne) {
  TempDir dir;
  const std::string path = dir.file("c.GLM");
  makeCollection(posixFileSystem(), path, {"Angel", "Bell"});  // latest stamp 78500.1002
  GlRecord r;
  DataFile file;
  file.declare(glimraDeclaration(), &r);
  file.setName(path);
  ASSERT_EQ(file.open(glimra::datafile::READ_WRITE_DENY_WRITE), 0);
  const struct {
    OrnamentId wanted, fresh;
  } cases[] = {
      {{78501, 5}, {78501, 5}},          // later than all: taken as it is
      {{78500, 1002}, {78500, 1003}},    // taken already: the next hundredth
      {{78400, 9}, {78500, 1003}},       // a clock set back: after the latest
  };
  for (const auto& c : cases) {
    r.NAME = "kept";
    OrnamentId fresh;
    ASSERT_EQ(freshIdentity(file, r, c.wanted, &fresh), 0);
    EXPECT_EQ(fresh, c.fresh) << c.wanted.text();
    EXPECT_EQ(r.NAME.str(), "kept") << "the buffer is kept";
  }
  EXPECT_EQ(nextStamp({78500, 8'640'000}), (OrnamentId{78501, 1})) << "past the day's last hundredth";
}

TEST(OrnamentIdentity, ImportedRowsAndSharedOrMissingStampsGetStampsOfTheirOwn) {
  TempDir dir;
  const std::string path = dir.file("c.GLM");
  makeCollection(posixFileSystem(), path, {"Angel", "Bell"});
  std::vector<ImportRow> rows(3);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].fields = {{GlField::NAME, "Imported " + std::to_string(i)}};
  const ImportResult imported = importOrnaments(path, rows);
  ASSERT_TRUE(imported.ok) << imported.error;
  std::vector<OrnamentId> ids = liveIdentities(path);
  EXPECT_EQ(std::set<OrnamentId>(ids.begin(), ids.end()).size(), 5u) << "an import's rows share no stamp";

  // A file written before: three ornaments share one stamp, one has none.
  GlRecord r;
  DataFile file;
  file.declare(glimraDeclaration(), &r);
  file.setName(path);
  ASSERT_EQ(file.open(glimra::datafile::READ_WRITE_DENY_WRITE), 0);
  std::vector<StampedRecord> live;
  ASSERT_EQ(file.setFile(), 0);
  for (int n = 0; file.next() == 0; ++n) {
    if (n == 0) continue;
    if (n >= 3) setIdentity(r, n == 5 ? OrnamentId{} : ids[1]);  // two imported ones share Bell's
    ASSERT_EQ(file.put(), 0);
    live.push_back({identityOf(r), file.pointer()});
  }
  std::size_t restamped = 0;
  ASSERT_EQ(giveSharedStampsTheirOwn(file, r, live, &restamped), 0);
  EXPECT_EQ(restamped, 3u) << "two sharers and the one without a stamp";
  file.close();
  const std::vector<OrnamentId> after = liveIdentities(path);
  EXPECT_EQ(std::set<OrnamentId>(after.begin(), after.end()).size(), after.size());
  EXPECT_EQ(after[0], ids[0]);
  EXPECT_EQ(after[1], ids[1]) << "the first of the sharers keeps the stamp";
}

TEST(OrnamentIdentity, ACollectionWithoutPhotosStaysByteForByteAsBefore) {
  TempDir dir;
  ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  const std::string path = dir.file("Kügel.GLM");
  std::string error;
  ASSERT_EQ(generateCollectionFile(path, 300, 7, &error), 0) << error;
  // The same file as the generator wrote before ornaments had photos.
  EXPECT_EQ(sha256Hex(bytesOf(path)), "63503f4b5b1ac7e7a3d33e88c7fa83e31b5f7cbbf013a68c1284d6895c82c266");

  // Everything that looks for photos leaves such a file alone.
  const std::string before = bytesOf(path);
  EXPECT_TRUE(checkPhotos(posixFileSystem(), path).problems.empty());
  EXPECT_TRUE(packPhotos(path).ok);
  EXPECT_TRUE(backUpCollection(path).ok);
  PhotoIndex index;
  ASSERT_EQ(index.open(path, glimra::datafile::READ_WRITE_DENY_WRITE), 0);
  EXPECT_FALSE(index.present());
  EXPECT_EQ(index.replace(ornament(1), {}), 0);
  index.close();
  EXPECT_EQ(bytesOf(path), before);
  EXPECT_FALSE(std::filesystem::exists(photoFolderOf(path)));
}

}  // namespace
}  // namespace photo_test
