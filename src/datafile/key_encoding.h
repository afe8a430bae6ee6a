// SPDX-License-Identifier: GPL-3.0-or-later
// Key values: how each field type is encoded so that an unsigned byte-wise
// comparison of the encoded bytes gives the declared order, and how a key entry
// (table number, key number, encoded components, record number) is built from
// a record image.
//
// Invariants: an encoded component has exactly its field's size; a descending
// component is the bitwise inverse of its ascending form; text is folded to
// upper case (case-insensitive keys) and mapped through the file's collating
// weights, after conversion to OEM when the file stores OEM text. The record
// image given here is always in the Windows character set.
#pragma once

#include <cstdint>
#include <optional>

#include "datafile/character_tables.h"
#include "datafile/container.h"
#include "datafile/declaration.h"

namespace glimra::datafile {

// Writes the encoded form of one field value (size bytes at value) to out.
void encodeComponent(FieldType type, const std::uint8_t* value, std::size_t size, bool descending,
                     bool caseInsensitive, const CharacterTables& tables, std::uint8_t* out);

// The field value an encoded component was made from, as far as the
// encoding keeps it: the inverse of encodeComponent, for showing what a key
// entry holds. Text comes back in the case the key folded it to; a weight
// that several characters share gives the first of them.
void decodeComponent(FieldType type, const std::uint8_t* encoded, std::size_t size, bool descending,
                     const CharacterTables& tables, std::uint8_t* out);

// Whether a field value counts as empty for a key that leaves out empty
// values: all spaces (STRING, GROUP), a zero first byte (CSTRING, PSTRING),
// all zero bytes (any other type).
bool isEmptyValue(FieldType type, const std::uint8_t* value, std::size_t size);

class KeyEncoder {
 public:
  // The declaration must have passed validateDeclaration().
  KeyEncoder(const TableDeclaration& declaration, const CharacterTables& tables)
      : declaration_(declaration), tables_(tables) {}

  // table number + key number + encoded components (the probe for positioning).
  Bytes keyValue(std::uint32_t table, std::size_t keyNumber, const std::uint8_t* image) const;

  // The full key entry of a record, or nullopt when an OPT key leaves it out.
  std::optional<TreeRecord> entry(std::uint32_t table, std::size_t keyNumber, const std::uint8_t* image,
                                  std::uint32_t recordNumber) const;

  // Whether every component of the key is empty in the image.
  bool allComponentsEmpty(std::size_t keyNumber, const std::uint8_t* image) const;

 private:
  std::size_t keyValueLength(std::size_t keyNumber) const;
  void writeKeyValue(std::uint32_t table, std::size_t keyNumber, const std::uint8_t* image, std::uint8_t* out) const;

  const TableDeclaration& declaration_;
  const CharacterTables& tables_;
};

// Converts the text of a record image between the Windows and the OEM
// character set, as a file with the OEM flag stores it: every STRING, CSTRING
// (up to its first zero byte) and PSTRING (its counted bytes) field that does
// not overlay another field.
void convertRecordText(const TableDeclaration& declaration, std::uint8_t* image, bool toOem);

// The record number an entry points to: the last 4 bytes of its key (keys
// with duplicates) or its payload.
std::optional<std::uint32_t> entryRecordNumber(const TreeRecord& entry);

}  // namespace glimra::datafile
