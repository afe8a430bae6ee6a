// SPDX-License-Identifier: GPL-3.0-or-later
// The photo index: which photos each ornament has, in which order, and what
// is known of each. A second table, PHOTOS, of the collection file, beside
// the collection's own table (which is never touched: a program that reads
// only it sees the file as before). The photos themselves are files in the
// collection's photo folder (photo_store.h); an entry names its file by the
// SHA-256 of the content and the file's type.
//
// One record per photo of an ornament, keyed by the ornament's identity (its
// created stamp, ornament_identity.h) and the photo's position (1, 2, …; the
// first is the one shown for the ornament). A file without the table has no
// photos; the table is created the first time a photo is added, so a
// collection that never had one stays byte for byte what it was.
//
// Opened beside the program's open collection (read/write, deny write), the
// table joins that open: one handle, its locks and its transaction, so a
// change of an ornament's photos and a change of its record commit together.
// Failures come back as the data file's error codes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "collection/ornament_identity.h"
#include "collection/ornament_table.h"
#include "collection/packed_int.h"
#include "datafile/datafile.h"
#include "text/fixed_text.h"

namespace glimra::collection {

// What a photo shows. Stored as its number.
enum class PhotoRole : std::uint8_t { Front = 1, Back, Box, Mark, Receipt, Other };
inline constexpr PhotoRole PHOTO_ROLES[] = {PhotoRole::Front, PhotoRole::Back,    PhotoRole::Box,
                                            PhotoRole::Mark,  PhotoRole::Receipt, PhotoRole::Other};
// "Front", "Back", "Box", "Mark", "Receipt", "Other".
const char* roleName(PhotoRole role);
// The role a name means (any letter case); Other for an unknown one.
PhotoRole roleNamed(std::string_view name);

// One photo of an ornament, as the program works with it.
struct PhotoEntry {
  std::string hash;          // SHA-256 of the file's content, 64 lower-case hex digits
  std::string type;          // the file's type as its extension: "jpg", "png", "webp" …
  PhotoRole role = PhotoRole::Other;
  int rotation = 0;          // quarter turns clockwise for display (0 … 3); the file is never turned
  std::string caption;       // Windows-1252, as all record text (at most PHOTO_CAPTION_LENGTH)
  std::int32_t width = 0;    // pixels, upright as the camera's orientation says
  std::int32_t height = 0;
  std::uint32_t bytes = 0;   // the file's length
  std::string originalName;  // the name the file had when added (UTF-8, without its folder)
  std::int32_t addedDate = 0;  // standard date and time it was added
  std::int32_t addedTime = 0;

  // The store's name of the file: hash "." type.
  std::string fileName() const { return hash + "." + type; }
  bool operator==(const PhotoEntry&) const = default;
};

inline constexpr std::size_t PHOTO_CAPTION_LENGTH = 80;
inline constexpr std::size_t PHOTO_TYPE_LENGTH = 8;
inline constexpr std::size_t PHOTO_ORIGINAL_NAME_LENGTH = 120;

// The stored record.
struct PhotoRecord {
  PackedInt<std::int32_t> ORNAMENTDATE;  // the ornament's identity
  PackedInt<std::int32_t> ORNAMENTTIME;
  PackedInt<std::int32_t> POSITION;      // 1, 2, … within the ornament
  FixedText<64> HASH;
  FixedText<PHOTO_TYPE_LENGTH> TYPE;
  std::uint8_t ROLE;
  std::uint8_t ROTATION;
  FixedText<PHOTO_CAPTION_LENGTH> CAPTION;
  PackedInt<std::int32_t> WIDTH;
  PackedInt<std::int32_t> HEIGHT;
  PackedInt<std::uint32_t> BYTES;
  FixedText<PHOTO_ORIGINAL_NAME_LENGTH> ORIGINALNAME;
  PackedInt<std::int32_t> ADDEDDATE;
  PackedInt<std::int32_t> ADDEDTIME;
};
static_assert(sizeof(PhotoRecord) == 306);

inline constexpr const char* PHOTOS_TABLE = "PHOTOS";
const datafile::TableDeclaration& photoIndexDeclaration();

// The photos of one ornament with its identity (a whole-file listing).
struct OrnamentPhotoList {
  OrnamentId ornament;
  std::vector<PhotoEntry> photos;
};

// The table's record and what the program works with.
struct PhotoIndexFormat {
  using Record = PhotoRecord;
  using Entry = PhotoEntry;
  static constexpr const char* TABLE = PHOTOS_TABLE;
  static const datafile::TableDeclaration& declaration() { return photoIndexDeclaration(); }
  static PhotoEntry entryOf(const PhotoRecord& record);
  static void fill(PhotoRecord& record, OrnamentId ornament, std::int32_t position, const PhotoEntry& entry);
};

class PhotoIndex : public OrnamentTable<PhotoIndexFormat> {
 public:
  explicit PhotoIndex(datafile::FileSystem& fileSystem = datafile::posixFileSystem()) : OrnamentTable(fileSystem) {}

  // The ornament's photos in order.
  int photosOf(OrnamentId ornament, std::vector<PhotoEntry>* photos) { return listOf(ornament, photos); }
  // Every ornament that has photos, in identity order.
  int all(std::vector<OrnamentPhotoList>* lists) {
    return allInto<OrnamentPhotoList, &OrnamentPhotoList::photos>(lists);
  }
  // The ornament's photos become `photos`, in that order (none removes them
  // all); see replaceList.
  int replace(OrnamentId ornament, const std::vector<PhotoEntry>& photos) { return replaceList(ornament, photos); }
};

// A UTF-8 text cut to at most `limit` bytes without splitting a character.
std::string cutUtf8(std::string_view text, std::size_t limit);

}  // namespace glimra::collection
