// SPDX-License-Identifier: GPL-3.0-or-later
// The definition stream: a table's declaration (fields, memos, keys) as it is
// stored in the file, cut into 512-byte pieces, written on CREATE and read back
// on OPEN. Numbers are little-endian; a string is its bytes and a zero byte,
// an empty string the two bytes 00 00, an absent one 00 01.
//
// Also the rules a declaration must keep to be usable at all (fields inside the
// record, keys over existing scalar fields, key entries within a tree record):
// a declaration or stored definition that breaks them is refused before any
// record is built from it, so a damaged file can never make the layer read
// outside a record image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "datafile/container.h"
#include "datafile/declaration.h"

namespace glimra::datafile {

constexpr std::uint16_t MAX_MEMO_SIZE = 64000;

Bytes encodeDefinition(const TableDeclaration& declaration);
// Reads a stream back; nullopt when it is cut short or malformed. The label and
// owner password are not part of the stream and come back empty.
std::optional<TableDeclaration> decodeDefinition(ByteView stream);

// True when the two agree in everything the stored form binds: the header
// numbers; each field's type, offset, element count, size, overlay and number;
// each memo's binary flag and (unless a BLOB) size; each key's flags but
// PRIMARY, its components' fields and directions. Names, pictures, decimals
// and string element lengths may differ.
bool sameStructure(const TableDeclaration& stored, const TableDeclaration& declared);
// The first thing sameStructure finds different, said for a user ("field 3
// (GL:SERIESNUM) is a LONG of 4 bytes at offset 40, the declaration has a
// STRING of 4 bytes at offset 40"); empty when the two agree.
std::string structureDifference(const TableDeclaration& stored, const TableDeclaration& declared);
// The first name that differs between two declarations of the same
// structure: a field's, a memo's or a key's; empty when all agree.
std::string nameDifference(const TableDeclaration& stored, const TableDeclaration& declared);

// A field type's name as declarations spell it ("STRING", "LONG" ...).
const char* fieldTypeName(FieldType type);

// 0 when the declaration can be used; 75 when a key component is an array;
// 47 when anything else is out of bounds (a field outside the record, a key
// over a missing field, too many keys, a key entry or record too long for the
// tree, a memo over 64000 bytes).
int validateDeclaration(const TableDeclaration& declaration);

// Length of a key's encoded components (without table, kind and record number).
std::size_t keyValueLength(const TableDeclaration& declaration, const KeyDeclaration& key);

}  // namespace glimra::datafile
