// SPDX-License-Identifier: GPL-3.0-or-later
// The declaration of the collection file GLIMRA as the data-file layer is given
// it: label, the record layout of GlRecord (32 fields, groups and their members
// each counted) and the 22 keys, all in declaration order.
//
// Invariants: field offsets and sizes agree with GlRecord; key components name
// fields by their position in the field list (from 0); every key allows
// duplicates; all keys but CREATEDKEY and DELETEKEY are case-insensitive; all
// keys but CREATEDKEY leave out records whose key value is blank.
#pragma once

#include <string_view>

#include "collection/gl_record.h"
#include "datafile/declaration.h"

namespace glimra::collection {

// Positions of the fields in the declaration (from 0), for key components and
// for anything that names a field by number.
namespace GlField {
enum : int {
  NAME = 0, CATEGORY, SERIES, SERIESNUM, MANUF, CONDITION, ARTIST, VALUE, YEAR, LOCATION,
  PURDATE, CUSTOM1, PURFROM, CUSTOM2, PURPRICE, CUSTOM3, DELETED, CREATED, CREATEDDATE,
  CREATEDTIME, CHANGED, CHANGEDDATE, CHANGEDTIME, SERIESKEY, NAMEKEY, LISTBYSERIES,
  DESCRIPTION, LIBRARIAN, DATELENT, LENTTO, DATEGIVEN, GIVENTO,
  COUNT
};
}  // namespace GlField

// Positions of the keys in the declaration (from 0): the data-file layer
// numbers the file's keys in this order.
namespace GlKey {
enum : int {
  CREATEDKEY = 0, DELETEKEY, DATELENTKEY, NAMEKEYKEY, SERIESKEYKEY, MANUFKEY, PURFROMKEY,
  PURDATEKEY, CATEGORYKEY, SERIESNUMKEY, CUSTOM2KEY, ARTISTKEY, CUSTOM3KEY, CONDITIONKEY,
  LOCATIONKEY, CUSTOM1KEY, PURPRICEKEY, VALUEKEY, YEARKEY, LENTOKEY, GIVENTOKEY, DATEGIVENKEY,
  COUNT
};
}  // namespace GlKey

// The table's label.
inline constexpr const char* GLIMRA_LABEL = "GLIMRA";

// The declaration of the collection table, built once. The external name of
// the file is not part of it: the caller gives that when it opens the file.
const datafile::TableDeclaration& glimraDeclaration();

// All bytes of the text field at position `field` (GlField) of a record, and
// the same set from a value (cut after the field's size, blank-padded). The
// field must be a text field.
std::string_view fieldText(const GlRecord& record, int field);
void setFieldText(GlRecord& record, int field, std::string_view value);

}  // namespace glimra::collection
