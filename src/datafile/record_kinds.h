// SPDX-License-Identifier: GPL-3.0-or-later
// The kinds of records a table keeps in the one tree of a data file, and the
// bytes of their keys and payloads.
//
// Every key but the table-name record (0xFE + name) and the transaction marker
// (the single byte 0xFF) starts with the table number (4 bytes, big-endian)
// and a kind byte, so all records of a table are contiguous and, within a
// table, all entries of one key, all data records and all memo pieces are.
// Numbers inside keys are big-endian so that byte order is numeric order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datafile/bytes.h"
#include "datafile/os_file.h"

namespace glimra::datafile {

namespace RecordKind {
constexpr std::uint8_t LAST_KEY = 0xF2;  // key entries use kind bytes 0x00..0xF2
constexpr std::uint8_t DATA = 0xF3;
constexpr std::uint8_t COUNTER = 0xF6;
constexpr std::uint8_t DEFINITION = 0xFA;
constexpr std::uint8_t CHARACTER_TABLES = 0xFB;
constexpr std::uint8_t MEMO = 0xFC;
constexpr std::uint8_t TABLE_NAME = 0xFE;
constexpr std::uint8_t TRANSACTION_MARKER = 0xFF;
}  // namespace RecordKind

// Key lengths: every table's key starts with the table number and the kind
// byte; a data record's key adds the record number; a memo piece's the record
// number, the memo number and the piece number (big-endian).
constexpr std::size_t KIND_PREFIX_BYTES = 5;
constexpr std::size_t RECORD_NUMBER_AT = KIND_PREFIX_BYTES;
constexpr std::size_t DATA_KEY_BYTES = KIND_PREFIX_BYTES + 4;
constexpr std::size_t MEMO_KEY_BYTES = DATA_KEY_BYTES + 1 + 2;
constexpr std::size_t COUNTER_PAYLOAD_BYTES = 8;

constexpr std::size_t MAX_KEYS = RecordKind::LAST_KEY + 1;
constexpr std::size_t DEFINITION_PIECE_SIZE = 512;
constexpr std::size_t MEMO_PIECE_SIZE = 256;
constexpr std::size_t MAX_RECORD_BYTES = 15093;  // key + payload of one tree record

// table number (4) + kind byte: the prefix shared by every record of one kind.
Bytes kindPrefix(std::uint32_t table, std::uint8_t kind);
// The smallest key above every key that starts with kindPrefix(table, kind).
Bytes kindUpperBound(std::uint32_t table, std::uint8_t kind);
// Whether key starts with table number + kind byte.
bool hasKindPrefix(ByteView key, std::uint32_t table, std::uint8_t kind);

Bytes dataRecordKey(std::uint32_t table, std::uint32_t recordNumber);
Bytes counterKey(std::uint32_t table, std::uint8_t counted);  // counted: DATA or a key number
void writeCounterKey(Bytes& key, std::uint32_t table, std::uint8_t counted);  // the same into key
Bytes definitionPieceKey(std::uint32_t table, std::uint16_t piece);
Bytes characterTablesKey(std::uint32_t table);
Bytes memoPieceKey(std::uint32_t table, std::uint32_t recordNumber, std::uint8_t memo, std::uint16_t piece);
Bytes tableNameKey(std::string_view name);

// The payload of a counter record: entry count and mark (both little-endian).
struct Counter {
  std::uint32_t count = 0;
  std::uint32_t mark = 0;
  Bytes payload() const;
  void store(std::uint8_t* out8) const;  // the 8 payload bytes
  static std::optional<Counter> parse(ByteView payload);
};

// A file name as the program gives it: "path\!table" names a table inside the
// file at path; without the "\!" part the table is "UNNAMED". A path without
// an extension gets ".DAT", unless a file of that very name exists (given a
// file system to look in): a name is taken as given when that file exists.
// The table name is upper-cased.
struct TableAddress {
  std::string path;
  std::string table;
  bool tableNamed = false;  // the name had a "\!" part
  static TableAddress parse(std::string_view fileName, FileSystem* fileSystem = nullptr);
};

}  // namespace glimra::datafile
