// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/photo_index.h"

#include <cctype>
#include <cstddef>

#include "datafile/file_errors.h"

namespace glimra::collection {
namespace {

constexpr std::size_t ORNAMENTKEY = 0;

datafile::FieldDeclaration field(datafile::FieldType type, std::size_t offset, const char* name, std::size_t size) {
  datafile::FieldDeclaration f;
  f.type = type;
  f.offset = static_cast<std::uint16_t>(offset);
  f.name = name;
  f.size = static_cast<std::uint16_t>(size);
  if (type == datafile::FieldType::STRING) f.picture = "@s" + std::to_string(size);
  return f;
}

#define PH_FIELD(type, member) \
  field(datafile::FieldType::type, offsetof(PhotoRecord, member), "PH:" #member, sizeof(PhotoRecord::member))

datafile::TableDeclaration buildDeclaration() {
  datafile::TableDeclaration t;
  t.label = PHOTOS_TABLE;
  t.recordLength = sizeof(PhotoRecord);
  t.fields = {PH_FIELD(LONG, ORNAMENTDATE), PH_FIELD(LONG, ORNAMENTTIME), PH_FIELD(LONG, POSITION),
              PH_FIELD(STRING, HASH),       PH_FIELD(STRING, TYPE),       PH_FIELD(BYTE, ROLE),
              PH_FIELD(BYTE, ROTATION),     PH_FIELD(STRING, CAPTION),    PH_FIELD(LONG, WIDTH),
              PH_FIELD(LONG, HEIGHT),       PH_FIELD(ULONG, BYTES),       PH_FIELD(STRING, ORIGINALNAME),
              PH_FIELD(LONG, ADDEDDATE),    PH_FIELD(LONG, ADDEDTIME)};
  datafile::KeyDeclaration key;
  key.name = "PH:ORNAMENTKEY";
  key.flags = 0;  // unique: one photo per position of an ornament
  key.components = {datafile::KeyComponent{0, false}, datafile::KeyComponent{1, false},
                    datafile::KeyComponent{2, false}};
  t.keys = {key};
  return t;
}

#undef PH_FIELD

}  // namespace

const char* roleName(PhotoRole role) {
  switch (role) {
    case PhotoRole::Front: return "Front";
    case PhotoRole::Back: return "Back";
    case PhotoRole::Box: return "Box";
    case PhotoRole::Mark: return "Mark";
    case PhotoRole::Receipt: return "Receipt";
    case PhotoRole::Other: break;
  }
  return "Other";
}

PhotoRole roleNamed(std::string_view name) {
  for (PhotoRole role : PHOTO_ROLES) {
    const std::string_view known = roleName(role);
    if (known.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(name[i])) == std::tolower(static_cast<unsigned char>(known[i]));
    if (same) return role;
  }
  return PhotoRole::Other;
}

std::string cutUtf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  std::size_t end = limit;
  // Back off continuation bytes so that the cut falls before a character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

const datafile::TableDeclaration& photoIndexDeclaration() {
  static const datafile::TableDeclaration declaration = buildDeclaration();
  return declaration;
}

PhotoEntry entryOf(const PhotoRecord& r) {
  PhotoEntry e;
  e.hash = r.HASH.str();
  e.type = r.TYPE.str();
  e.role = r.ROLE >= 1 && r.ROLE <= 6 ? static_cast<PhotoRole>(r.ROLE) : PhotoRole::Other;
  e.rotation = r.ROTATION & 3;
  e.caption = r.CAPTION.str();
  e.width = r.WIDTH;
  e.height = r.HEIGHT;
  e.bytes = r.BYTES;
  e.originalName = r.ORIGINALNAME.str();
  e.addedDate = r.ADDEDDATE;
  e.addedTime = r.ADDEDTIME;
  return e;
}

void fillRecord(PhotoRecord& r, OrnamentId ornament, std::int32_t position, const PhotoEntry& e) {
  r.ORNAMENTDATE = ornament.date;
  r.ORNAMENTTIME = ornament.time;
  r.POSITION = position;
  r.HASH = e.hash;
  r.TYPE = e.type;
  r.ROLE = static_cast<std::uint8_t>(e.role);
  r.ROTATION = static_cast<std::uint8_t>(e.rotation & 3);
  r.CAPTION = e.caption;
  r.WIDTH = e.width;
  r.HEIGHT = e.height;
  r.BYTES = e.bytes;
  r.ORIGINALNAME = cutUtf8(e.originalName, PHOTO_ORIGINAL_NAME_LENGTH);
  r.ADDEDDATE = e.addedDate;
  r.ADDEDTIME = e.addedTime;
}

PhotoIndex::PhotoIndex(datafile::FileSystem& fileSystem) : file_(fileSystem) {
  file_.declare(photoIndexDeclaration(), &PH);
}

int PhotoIndex::open(const std::string& collectionPath, datafile::OpenMode mode) {
  close();
  mode_ = mode;
  file_.setName(collectionPath + "\\!" + PHOTOS_TABLE);
  const int error = file_.open(mode);
  absent_ = error == datafile::FileError::FILE_NOT_FOUND;
  return absent_ ? 0 : error;
}

void PhotoIndex::close() {
  if (file_.isOpen()) file_.close();
  absent_ = false;
}

int PhotoIndex::photosOf(OrnamentId ornament, std::vector<PhotoEntry>* photos) {
  photos->clear();
  if (absent_) return 0;
  fillRecord(PH, ornament, 0, PhotoEntry{});
  if (file_.setKeyFromBuffer(ORNAMENTKEY) != 0) return file_.errorCode();
  while (file_.next() == 0) {
    if (OrnamentId{PH.ORNAMENTDATE, PH.ORNAMENTTIME} != ornament) return 0;
    photos->push_back(entryOf(PH));
  }
  return file_.errorCode() == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : file_.errorCode();
}

int PhotoIndex::all(std::vector<OrnamentPhotoList>* lists) {
  lists->clear();
  if (absent_) return 0;
  if (file_.setKey(ORNAMENTKEY) != 0) return file_.errorCode();
  while (file_.next() == 0) {
    const OrnamentId id{PH.ORNAMENTDATE, PH.ORNAMENTTIME};
    if (lists->empty() || lists->back().ornament != id) lists->push_back(OrnamentPhotoList{id, {}});
    lists->back().photos.push_back(entryOf(PH));
  }
  return file_.errorCode() == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : file_.errorCode();
}

int PhotoIndex::ensureTable() {
  if (!absent_) return 0;
  if (file_.create() != 0) return file_.errorCode();
  if (file_.open(mode_) != 0) return file_.errorCode();
  absent_ = false;
  return 0;
}

int PhotoIndex::removeAll(OrnamentId ornament) {
  for (;;) {
    fillRecord(PH, ornament, 0, PhotoEntry{});
    if (file_.setKeyFromBuffer(ORNAMENTKEY) != 0) return file_.errorCode();
    if (file_.next() != 0)
      return file_.errorCode() == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : file_.errorCode();
    if (OrnamentId{PH.ORNAMENTDATE, PH.ORNAMENTTIME} != ornament) return 0;
    if (file_.erase() != 0) return file_.errorCode();
  }
}

int PhotoIndex::addAll(OrnamentId ornament, const std::vector<PhotoEntry>& photos) {
  std::int32_t position = 0;
  for (const PhotoEntry& photo : photos) {
    fillRecord(PH, ornament, ++position, photo);
    if (file_.add() != 0) return file_.errorCode();
  }
  return 0;
}

int PhotoIndex::replace(OrnamentId ornament, const std::vector<PhotoEntry>& photos) {
  // A table that is not there holds no photos; adding needs ensureTable first.
  if (absent_) return photos.empty() ? 0 : datafile::FileError::FILE_NOT_FOUND;
  const bool own = !file_.inTransaction();
  if (own && file_.logout() != 0) return file_.errorCode();
  int error = removeAll(ornament);
  if (error == 0) error = addAll(ornament, photos);
  if (own) {
    if (error != 0) {
      file_.rollback();
      return error;
    }
    return file_.commit();
  }
  return error;
}

}  // namespace glimra::collection
