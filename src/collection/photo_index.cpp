// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/photo_index.h"

#include <cctype>
#include <cstddef>


namespace glimra::collection {
namespace {

#define PH_FIELD(type, member)                                                           \
  ornamentTableField(datafile::FieldType::type, offsetof(PhotoRecord, member), "PH:" #member, \
                     sizeof(PhotoRecord::member))

datafile::TableDeclaration buildDeclaration() {
  datafile::TableDeclaration t;
  t.label = PHOTOS_TABLE;
  t.recordLength = sizeof(PhotoRecord);
  t.fields = {PH_FIELD(LONG, ORNAMENTDATE), PH_FIELD(LONG, ORNAMENTTIME), PH_FIELD(LONG, POSITION),
              PH_FIELD(STRING, HASH),       PH_FIELD(STRING, TYPE),       PH_FIELD(BYTE, ROLE),
              PH_FIELD(BYTE, ROTATION),     PH_FIELD(STRING, CAPTION),    PH_FIELD(LONG, WIDTH),
              PH_FIELD(LONG, HEIGHT),       PH_FIELD(ULONG, BYTES),       PH_FIELD(STRING, ORIGINALNAME),
              PH_FIELD(LONG, ADDEDDATE),    PH_FIELD(LONG, ADDEDTIME)};
  t.keys = {ornamentTableKey("PH:ORNAMENTKEY")};
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

PhotoEntry PhotoIndexFormat::entryOf(const PhotoRecord& r) {
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

void PhotoIndexFormat::fill(PhotoRecord& r, OrnamentId ornament, std::int32_t position, const PhotoEntry& e) {
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

}  // namespace glimra::collection
