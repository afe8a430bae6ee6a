// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/gl_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "collection/glimra_file.h"
#include "datafile/definition_stream.h"

namespace glimra::collection {
namespace {

TEST(GlRecord, ClearedRecordHasBlankTextsAndZeroNumbers) {
  GlRecord GL;
  GL.NAME = "Star";
  GL.DELETED = 1;
  GL.CREATEDDATE = 78500;
  GL.CHANGEDTIME = 42;
  GL.LISTBYSERIES = 7;
  GL.GIVENTO = std::string(35, 'x');
  GL.clear();

  const GlRecordImage image = toImage(GL);
  for (std::size_t i = 0; i < GL_RECORD_SIZE; ++i) {
    const bool numeric = i == 441 || (i >= 442 && i < 458) || i == 618;
    ASSERT_EQ(image[i], numeric ? '\0' : ' ') << "byte " << i;
  }
  EXPECT_EQ(GlRecord{}.NAME, "");  // a new buffer starts cleared
}

TEST(GlRecord, ImageRoundTripKeepsEveryByte) {
  GlRecord GL;
  GL.NAME = "Star";
  GL.GIVENTO = std::string(35, 'g');  // a full field stays full
  GL.CHANGEDDATE = -5;
  GL.DESCRIPTION = "long text";

  GlRecordImage CURRENTRECORD = toImage(GL);
  GlRecord CHG;
  fromImage(CHG, CURRENTRECORD);
  EXPECT_EQ(std::memcmp(&CHG, &GL, sizeof GL), 0);
  EXPECT_EQ(CHG.GIVENTO.clipped().size(), 35u);
  EXPECT_EQ(CHG.CHANGEDDATE, -5);
  // Longs are stored little-endian, and the group's bytes are its members'.
  EXPECT_EQ(std::string(CURRENTRECORD.data() + 450, 4), "\xFB\xFF\xFF\xFF");
  EXPECT_EQ(std::string(CHG.CHANGED.data(), 4), "\xFB\xFF\xFF\xFF");
  EXPECT_EQ(std::string(blankImage().data(), 3), "   ");
}

TEST(GlimraDeclaration, FieldsMatchTheRecordLayout) {
  const auto& d = glimraDeclaration();
  EXPECT_EQ(d.label, "GLIMRA");
  EXPECT_EQ(d.recordLength, 11729);
  ASSERT_EQ(d.fields.size(), 32u);
  // Every non-overlaying field follows the previous one without a gap.
  std::size_t next = 0;
  for (const auto& f : d.fields) {
    if (f.overlay) continue;
    EXPECT_EQ(f.offset, next) << f.name;
    next = f.offset + f.size;
  }
  EXPECT_EQ(next, GL_RECORD_SIZE);

  using datafile::FieldType;
  EXPECT_EQ(d.fields[GlField::NAME].name, "GL:NAME");
  EXPECT_EQ(d.fields[GlField::NAME].picture, "@s45");
  EXPECT_EQ(d.fields[GlField::SERIESNUM].size, 15);
  EXPECT_EQ(d.fields[GlField::VALUE].picture, "@N$9.2B");
  EXPECT_EQ(d.fields[GlField::PURDATE].picture, "@d1");
  EXPECT_EQ(d.fields[GlField::LIBRARIAN].picture, "@s8000");
  EXPECT_EQ(d.fields[GlField::DELETED].type, FieldType::BYTE);
  EXPECT_EQ(d.fields[GlField::CREATED].type, FieldType::GROUP);
  EXPECT_EQ(d.fields[GlField::CREATED].overlay, 0);
  EXPECT_EQ(d.fields[GlField::CHANGEDTIME].type, FieldType::LONG);
  EXPECT_EQ(d.fields[GlField::CHANGEDTIME].offset, 454);
  EXPECT_NE(d.fields[GlField::CHANGEDTIME].overlay, 0);
  EXPECT_EQ(d.fields[GlField::GIVENTO].name, "GL:GIVENTO");
}

TEST(GlimraDeclaration, KeysInDeclarationOrderWithTheirAttributes) {
  namespace KeyFlag = datafile::KeyFlag;
  const auto& keys = glimraDeclaration().keys;
  ASSERT_EQ(keys.size(), 22u);

  EXPECT_EQ(keys[GlKey::CREATEDKEY].name, "GL:CREATEDKEY");
  EXPECT_EQ(keys[GlKey::CREATEDKEY].flags, KeyFlag::DUP);
  ASSERT_EQ(keys[GlKey::CREATEDKEY].components.size(), 3u);
  EXPECT_EQ(keys[GlKey::CREATEDKEY].components[0].field, 18);
  EXPECT_EQ(keys[GlKey::CREATEDKEY].components[1].field, 19);
  EXPECT_EQ(keys[GlKey::CREATEDKEY].components[2].field, 16);
  EXPECT_EQ(keys[GlKey::DELETEKEY].flags, KeyFlag::DUP | KeyFlag::OPT);

  const struct { int key; const char* name; int field; } textKeys[] = {
      {GlKey::DATELENTKEY, "GL:DATELENTKEY", 28}, {GlKey::NAMEKEYKEY, "GL:NAMEKEYKEY", 0},
      {GlKey::SERIESKEYKEY, "GL:SERIESKEYKEY", 2}, {GlKey::MANUFKEY, "GL:MANUFKEY", 4},
      {GlKey::PURFROMKEY, "GL:PURFROMKEY", 12}, {GlKey::PURDATEKEY, "GL:PURDATEKEY", 10},
      {GlKey::CATEGORYKEY, "GL:CATEGORYKEY", 1}, {GlKey::SERIESNUMKEY, "GL:SERIESNUMKEY", 3},
      {GlKey::CUSTOM2KEY, "GL:CUSTOM2KEY", 13}, {GlKey::ARTISTKEY, "GL:ARTISTKEY", 6},
      {GlKey::CUSTOM3KEY, "GL:CUSTOM3KEY", 15}, {GlKey::CONDITIONKEY, "GL:CONDITIONKEY", 5},
      {GlKey::LOCATIONKEY, "GL:LOCATIONKEY", 9}, {GlKey::CUSTOM1KEY, "GL:CUSTOM1KEY", 11},
      {GlKey::PURPRICEKEY, "GL:PURPRICEKEY", 14}, {GlKey::VALUEKEY, "GL:VALUEKEY", 7},
      {GlKey::YEARKEY, "GL:YEARKEY", 8}, {GlKey::LENTOKEY, "GL:LENTOKEY", 29},
      {GlKey::GIVENTOKEY, "GL:GIVENTOKEY", 31}, {GlKey::DATEGIVENKEY, "GL:DATEGIVENKEY", 30},
  };
  for (const auto& c : textKeys) {
    const auto& k = keys[c.key];
    EXPECT_EQ(k.name, c.name);
    EXPECT_EQ(k.flags, KeyFlag::DUP | KeyFlag::NOCASE | KeyFlag::OPT) << c.name;
    ASSERT_EQ(k.components.size(), 1u) << c.name;
    EXPECT_EQ(k.components[0].field, c.field) << c.name;
    EXPECT_FALSE(k.components[0].descending);
  }
}

TEST(GlimraDeclaration, IsAcceptedAndSurvivesTheStoredForm) {
  const auto& declared = glimraDeclaration();
  EXPECT_EQ(datafile::validateDeclaration(declared), 0);
  const auto stored = datafile::decodeDefinition(datafile::encodeDefinition(declared));
  ASSERT_TRUE(stored.has_value());
  EXPECT_TRUE(datafile::sameStructure(*stored, declared));
  ASSERT_EQ(stored->fields.size(), declared.fields.size());
  for (std::size_t i = 0; i < declared.fields.size(); ++i) {
    EXPECT_EQ(stored->fields[i].name, declared.fields[i].name);
    EXPECT_EQ(stored->fields[i].picture, declared.fields[i].picture) << declared.fields[i].name;
  }
}

}  // namespace
}  // namespace glimra::collection
