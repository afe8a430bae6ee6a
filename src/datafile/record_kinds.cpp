// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/record_kinds.h"

#include <cctype>

namespace glimra::datafile {

Bytes kindPrefix(std::uint32_t table, std::uint8_t kind) {
  Bytes key(KIND_PREFIX_BYTES);
  putBigEndian32(key.data(), table);
  key[KIND_PREFIX_BYTES - 1] = kind;
  return key;
}

Bytes kindUpperBound(std::uint32_t table, std::uint8_t kind) {
  // Kind bytes that prefix walks use are below 0xFF, so kind + 1 never wraps.
  return kindPrefix(table, static_cast<std::uint8_t>(kind + 1));
}

bool hasKindPrefix(ByteView key, std::uint32_t table, std::uint8_t kind) {
  return key.size() >= KIND_PREFIX_BYTES && getBigEndian32(key.data()) == table && key[KIND_PREFIX_BYTES - 1] == kind;
}

Bytes dataRecordKey(std::uint32_t table, std::uint32_t recordNumber) {
  Bytes key = kindPrefix(table, RecordKind::DATA);
  key.resize(DATA_KEY_BYTES);
  putBigEndian32(key.data() + RECORD_NUMBER_AT, recordNumber);
  return key;
}

Bytes counterKey(std::uint32_t table, std::uint8_t counted) {
  Bytes key;
  writeCounterKey(key, table, counted);
  return key;
}

void writeCounterKey(Bytes& key, std::uint32_t table, std::uint8_t counted) {
  key.resize(KIND_PREFIX_BYTES + 1);
  putBigEndian32(key.data(), table);
  key[KIND_PREFIX_BYTES - 1] = RecordKind::COUNTER;
  key[KIND_PREFIX_BYTES] = counted;
}

Bytes definitionPieceKey(std::uint32_t table, std::uint16_t piece) {
  Bytes key = kindPrefix(table, RecordKind::DEFINITION);
  key.push_back(static_cast<std::uint8_t>(piece));
  key.push_back(static_cast<std::uint8_t>(piece >> 8));
  return key;
}

Bytes characterTablesKey(std::uint32_t table) {
  Bytes key = kindPrefix(table, RecordKind::CHARACTER_TABLES);
  key.push_back(0x01);
  return key;
}

Bytes memoPieceKey(std::uint32_t table, std::uint32_t recordNumber, std::uint8_t memo, std::uint16_t piece) {
  Bytes key = kindPrefix(table, RecordKind::MEMO);
  key.resize(MEMO_KEY_BYTES);
  putBigEndian32(key.data() + RECORD_NUMBER_AT, recordNumber);
  key[DATA_KEY_BYTES] = memo;
  key[DATA_KEY_BYTES + 1] = static_cast<std::uint8_t>(piece >> 8);
  key[DATA_KEY_BYTES + 2] = static_cast<std::uint8_t>(piece);
  return key;
}

Bytes tableNameKey(std::string_view name) {
  Bytes key;
  key.reserve(1 + name.size());
  key.push_back(RecordKind::TABLE_NAME);
  key.insert(key.end(), name.begin(), name.end());
  return key;
}

Bytes Counter::payload() const {
  Bytes bytes(COUNTER_PAYLOAD_BYTES);
  store(bytes.data());
  return bytes;
}

void Counter::store(std::uint8_t* out8) const {
  putU32(out8, count);
  putU32(out8 + 4, mark);
}

std::optional<Counter> Counter::parse(ByteView payload) {
  if (payload.size() < COUNTER_PAYLOAD_BYTES) return std::nullopt;
  return Counter{getU32(payload.data()), getU32(payload.data() + 4)};
}

TableAddress TableAddress::parse(std::string_view fileName, FileSystem* fileSystem) {
  TableAddress address;
  std::string_view path = fileName;
  const std::size_t mark = fileName.find("\\!");
  if (mark != std::string_view::npos) {
    path = fileName.substr(0, mark);
    for (char c : fileName.substr(mark + 2))
      address.table.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    address.tableNamed = true;
  }
  if (address.table.empty()) {
    address.table = "UNNAMED";
  }
  address.path = std::string(path);
  // An extension is a dot after the last directory separator.
  const std::size_t slash = address.path.find_last_of("/\\");
  const std::size_t dot = address.path.find_last_of('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (!extension && !(fileSystem && fileSystem->exists(address.path))) address.path += ".DAT";
  return address;
}

}  // namespace glimra::datafile
