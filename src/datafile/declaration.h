// SPDX-License-Identifier: GPL-3.0-or-later
// A table as a program declares it to the data-file layer: its label, record
// layout, memos and keys. The layer writes this into the file as the table's
// definition stream on CREATE and checks it against the stored one on OPEN.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glimra::datafile {

enum class FieldType : std::uint8_t {
  BYTE = 1,
  SHORT = 2,
  USHORT = 3,
  DATE = 4,
  TIME = 5,
  LONG = 6,
  ULONG = 7,
  SREAL = 8,
  REAL = 9,
  DECIMAL = 10,
  PDECIMAL = 11,
  BFLOAT4 = 13,
  BFLOAT8 = 14,
  STRING = 18,
  CSTRING = 19,
  PSTRING = 20,
  GROUP = 22,
};

struct FieldDeclaration {
  FieldType type = FieldType::STRING;
  std::uint16_t offset = 0;      // in the record image
  std::string name;              // with its prefix, e.g. "GL:NAME"
  std::uint16_t elements = 1;    // product of the dimensions; 1 for a plain field
  std::uint16_t size = 0;        // bytes, all elements
  std::uint16_t overlay = 0;     // non-zero when it lies over an earlier field
  std::string picture;           // display picture, e.g. "@s45" (string types)
  std::uint8_t decimals = 0;     // DECIMAL / PDECIMAL: declared decimal places
};

struct MemoDeclaration {
  std::string externalName;
  std::string name;
  std::uint16_t size = 0;
  std::uint16_t flags = 0;  // 0x02 binary, 0x04 BLOB
};

// Key flags as stored in the definition.
namespace KeyFlag {
constexpr std::uint8_t DUP = 0x01;
constexpr std::uint8_t OPT = 0x02;
constexpr std::uint8_t NOCASE = 0x04;
constexpr std::uint8_t OTHER = 0x08;
constexpr std::uint8_t PRIMARY = 0x10;
constexpr std::uint8_t INDEX = 0x20;
constexpr std::uint8_t DYNAMIC = 0x40;
}  // namespace KeyFlag

struct KeyComponent {
  std::uint16_t field = 0;  // position in the field list, from 0
  bool descending = false;
};

struct KeyDeclaration {
  std::string externalName;
  std::string name;  // e.g. "GL:NAMEKEYKEY"
  std::uint8_t flags = 0;
  std::vector<KeyComponent> components;
};

struct TableDeclaration {
  std::string label;  // e.g. "GLIMRA"
  std::uint16_t recordLength = 0;
  std::vector<FieldDeclaration> fields;
  std::vector<MemoDeclaration> memos;
  std::vector<KeyDeclaration> keys;
  std::string ownerPassword;  // empty: the file is not enciphered
  bool oem = false;           // a new file stores its text in the OEM character set
};

}  // namespace glimra::datafile
