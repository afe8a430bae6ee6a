// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/glimra_file.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

#include "collection/gl_record.h"

namespace glimra::collection {
namespace {

using datafile::FieldDeclaration;
using datafile::FieldType;
using datafile::KeyComponent;
using datafile::KeyDeclaration;
using datafile::TableDeclaration;
namespace KeyFlag = datafile::KeyFlag;

FieldDeclaration field(FieldType type, std::size_t offset, const char* name, std::size_t size,
                       const char* picture = "", bool overlay = false) {
  FieldDeclaration f;
  f.type = type;
  f.offset = static_cast<std::uint16_t>(offset);
  f.name = name;
  f.elements = 1;
  f.size = static_cast<std::uint16_t>(size);
  f.overlay = overlay ? 1 : 0;
  f.picture = picture;
  return f;
}

// A text field whose picture is the one its entry control shows it through;
// a text that is never shown gets a plain text picture of its full size.
FieldDeclaration text(std::size_t offset, const char* name, std::size_t size,
                      std::string picture = {}) {
  if (picture.empty()) picture = "@s" + std::to_string(size);
  FieldDeclaration f = field(FieldType::STRING, offset, name, size);
  f.picture = std::move(picture);
  return f;
}

KeyDeclaration key(const char* name, std::uint8_t flags, std::initializer_list<int> fields) {
  KeyDeclaration k;
  k.name = name;
  k.flags = flags;
  for (int f : fields) k.components.push_back(KeyComponent{static_cast<std::uint16_t>(f), false});
  return k;
}

#define GL_OFFSET(member) offsetof(GlRecord, member)
#define GL_SIZE(member) sizeof(GlRecord::member)

TableDeclaration buildDeclaration() {
  TableDeclaration t;
  t.label = GLIMRA_LABEL;
  t.recordLength = static_cast<std::uint16_t>(GL_RECORD_SIZE);
  auto& f = t.fields;
  f.push_back(text(GL_OFFSET(NAME), "GL:NAME", GL_SIZE(NAME), "@s45"));
  f.push_back(text(GL_OFFSET(CATEGORY), "GL:CATEGORY", GL_SIZE(CATEGORY), "@s30"));
  f.push_back(text(GL_OFFSET(SERIES), "GL:SERIES", GL_SIZE(SERIES), "@s35"));
  // 15 bytes are stored; the entry control accepts 5.
  f.push_back(text(GL_OFFSET(SERIESNUM), "GL:SERIESNUM", GL_SIZE(SERIESNUM), "@s5"));
  f.push_back(text(GL_OFFSET(MANUF), "GL:MANUF", GL_SIZE(MANUF), "@s35"));
  f.push_back(text(GL_OFFSET(CONDITION), "GL:CONDITION", GL_SIZE(CONDITION), "@s18"));
  f.push_back(text(GL_OFFSET(ARTIST), "GL:ARTIST", GL_SIZE(ARTIST), "@s30"));
  f.push_back(text(GL_OFFSET(VALUE), "GL:VALUE", GL_SIZE(VALUE), "@N$9.2B"));
  f.push_back(text(GL_OFFSET(YEAR), "GL:YEAR", GL_SIZE(YEAR), "@s20"));
  f.push_back(text(GL_OFFSET(LOCATION), "GL:LOCATION", GL_SIZE(LOCATION), "@s18"));
  f.push_back(text(GL_OFFSET(PURDATE), "GL:PURDATE", GL_SIZE(PURDATE), "@d1"));
  f.push_back(text(GL_OFFSET(CUSTOM1), "GL:CUSTOM1", GL_SIZE(CUSTOM1), "@s35"));
  f.push_back(text(GL_OFFSET(PURFROM), "GL:PURFROM", GL_SIZE(PURFROM), "@s35"));
  f.push_back(text(GL_OFFSET(CUSTOM2), "GL:CUSTOM2", GL_SIZE(CUSTOM2), "@s35"));
  f.push_back(text(GL_OFFSET(PURPRICE), "GL:PURPRICE", GL_SIZE(PURPRICE), "@N$9.2B"));
  f.push_back(text(GL_OFFSET(CUSTOM3), "GL:CUSTOM3", GL_SIZE(CUSTOM3), "@s35"));
  f.push_back(field(FieldType::BYTE, GL_OFFSET(DELETED), "GL:DELETED", 1));
  f.push_back(field(FieldType::GROUP, GL_OFFSET(CREATED), "GL:CREATED", 8));
  f.push_back(field(FieldType::LONG, GL_OFFSET(CREATEDDATE), "GL:CREATEDDATE", 4, "", true));
  f.push_back(field(FieldType::LONG, GL_OFFSET(CREATEDTIME), "GL:CREATEDTIME", 4, "", true));
  f.push_back(field(FieldType::GROUP, GL_OFFSET(CHANGED), "GL:CHANGED", 8));
  f.push_back(field(FieldType::LONG, GL_OFFSET(CHANGEDDATE), "GL:CHANGEDDATE", 4, "", true));
  f.push_back(field(FieldType::LONG, GL_OFFSET(CHANGEDTIME), "GL:CHANGEDTIME", 4, "", true));
  f.push_back(text(GL_OFFSET(SERIESKEY), "GL:SERIESKEY", GL_SIZE(SERIESKEY)));
  f.push_back(text(GL_OFFSET(NAMEKEY), "GL:NAMEKEY", GL_SIZE(NAMEKEY)));
  f.push_back(field(FieldType::BYTE, GL_OFFSET(LISTBYSERIES), "GL:LISTBYSERIES", 1));
  f.push_back(text(GL_OFFSET(DESCRIPTION), "GL:DESCRIPTION", GL_SIZE(DESCRIPTION)));
  f.push_back(text(GL_OFFSET(LIBRARIAN), "GL:LIBRARIAN", GL_SIZE(LIBRARIAN)));
  f.push_back(text(GL_OFFSET(DATELENT), "GL:DATELENT", GL_SIZE(DATELENT), "@d1"));
  f.push_back(text(GL_OFFSET(LENTTO), "GL:LENTTO", GL_SIZE(LENTTO), "@s35"));
  f.push_back(text(GL_OFFSET(DATEGIVEN), "GL:DATEGIVEN", GL_SIZE(DATEGIVEN), "@d1"));
  f.push_back(text(GL_OFFSET(GIVENTO), "GL:GIVENTO", GL_SIZE(GIVENTO), "@s35"));

  constexpr std::uint8_t DUP = KeyFlag::DUP;
  constexpr std::uint8_t OPT = KeyFlag::OPT;
  constexpr std::uint8_t TEXT_KEY = KeyFlag::DUP | KeyFlag::NOCASE | KeyFlag::OPT;
  auto& k = t.keys;
  k.push_back(key("GL:CREATEDKEY", DUP,
                  {GlField::CREATEDDATE, GlField::CREATEDTIME, GlField::DELETED}));
  k.push_back(key("GL:DELETEKEY", DUP | OPT, {GlField::DELETED}));
  k.push_back(key("GL:DATELENTKEY", TEXT_KEY, {GlField::DATELENT}));
  k.push_back(key("GL:NAMEKEYKEY", TEXT_KEY, {GlField::NAME}));
  k.push_back(key("GL:SERIESKEYKEY", TEXT_KEY, {GlField::SERIES}));
  k.push_back(key("GL:MANUFKEY", TEXT_KEY, {GlField::MANUF}));
  k.push_back(key("GL:PURFROMKEY", TEXT_KEY, {GlField::PURFROM}));
  k.push_back(key("GL:PURDATEKEY", TEXT_KEY, {GlField::PURDATE}));
  k.push_back(key("GL:CATEGORYKEY", TEXT_KEY, {GlField::CATEGORY}));
  k.push_back(key("GL:SERIESNUMKEY", TEXT_KEY, {GlField::SERIESNUM}));
  k.push_back(key("GL:CUSTOM2KEY", TEXT_KEY, {GlField::CUSTOM2}));
  k.push_back(key("GL:ARTISTKEY", TEXT_KEY, {GlField::ARTIST}));
  k.push_back(key("GL:CUSTOM3KEY", TEXT_KEY, {GlField::CUSTOM3}));
  k.push_back(key("GL:CONDITIONKEY", TEXT_KEY, {GlField::CONDITION}));
  k.push_back(key("GL:LOCATIONKEY", TEXT_KEY, {GlField::LOCATION}));
  k.push_back(key("GL:CUSTOM1KEY", TEXT_KEY, {GlField::CUSTOM1}));
  k.push_back(key("GL:PURPRICEKEY", TEXT_KEY, {GlField::PURPRICE}));
  k.push_back(key("GL:VALUEKEY", TEXT_KEY, {GlField::VALUE}));
  k.push_back(key("GL:YEARKEY", TEXT_KEY, {GlField::YEAR}));
  k.push_back(key("GL:LENTOKEY", TEXT_KEY, {GlField::LENTTO}));
  k.push_back(key("GL:GIVENTOKEY", TEXT_KEY, {GlField::GIVENTO}));
  k.push_back(key("GL:DATEGIVENKEY", TEXT_KEY, {GlField::DATEGIVEN}));
  return t;
}

#undef GL_OFFSET
#undef GL_SIZE

}  // namespace

const datafile::TableDeclaration& glimraDeclaration() {
  static const TableDeclaration declaration = buildDeclaration();
  return declaration;
}

std::string_view fieldText(const GlRecord& record, int field) {
  const auto& f = glimraDeclaration().fields.at(static_cast<std::size_t>(field));
  return std::string_view(reinterpret_cast<const char*>(&record) + f.offset, f.size);
}

void setFieldText(GlRecord& record, int field, std::string_view value) {
  const auto& f = glimraDeclaration().fields.at(static_cast<std::size_t>(field));
  char* bytes = reinterpret_cast<char*>(&record) + f.offset;
  const std::size_t n = std::min<std::size_t>(value.size(), f.size);
  std::memcpy(bytes, value.data(), n);
  std::memset(bytes + n, ' ', f.size - n);
}

}  // namespace glimra::collection
