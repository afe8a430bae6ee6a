// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/table_catalog.h"

#include <algorithm>

#include "datafile/definition_stream.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile {

std::optional<std::uint32_t> findTable(Container& container, std::string_view name) {
  TreeRecord record;
  if (!container.find(tableNameKey(name), &record) || record.payload().size() < 4) return std::nullopt;
  return getBigEndian32(record.payload().data());
}

std::vector<TableEntry> listTables(Container& container) {
  std::vector<TableEntry> tables;
  const std::uint8_t mark = RecordKind::TABLE_NAME;
  forEachWithPrefix(container, ByteView(&mark, 1), [&](const TreeRecord& record) {
    if (record.payload().size() < 4) return;
    const ByteView key = record.key();
    tables.push_back({std::string(key.begin() + 1, key.end()), getBigEndian32(record.payload().data())});
  });
  return tables;
}

Bytes readDefinitionStream(Container& container, std::uint32_t table) {
  Bytes stream;
  const Bytes prefix = kindPrefix(table, RecordKind::DEFINITION);
  forEachWithPrefix(container, prefix, [&](const TreeRecord& record) {
    const ByteView key = record.key();
    if (key.size() != 7) return;
    const std::size_t piece = key[5] | (key[6] << 8);
    const std::size_t at = piece * DEFINITION_PIECE_SIZE;
    const std::size_t n = std::min(record.payload().size(), DEFINITION_PIECE_SIZE);
    if (stream.size() < at + n) stream.resize(at + n, 0);
    std::copy_n(record.payload().begin(), n, stream.begin() + at);
  });
  return stream;
}

std::optional<CharacterTables> readCharacterTables(Container& container, std::uint32_t table) {
  TreeRecord record;
  if (!container.find(characterTablesKey(table), &record)) return std::nullopt;
  CharacterTables tables;
  if (!tables.parse(record.payload())) return std::nullopt;
  return tables;
}

std::uint32_t writeNewTable(Container& container, std::string_view name, const TableDeclaration& declaration,
                            const CharacterTables& tables) {
  const std::uint32_t table = container.newRecordNumber();
  TreeRecord nameRecord;
  nameRecord.bytes = tableNameKey(name);
  nameRecord.keyLength = static_cast<std::uint16_t>(nameRecord.bytes.size());
  nameRecord.bytes.resize(nameRecord.bytes.size() + 4);
  putBigEndian32(nameRecord.bytes.data() + nameRecord.keyLength, table);
  container.insert(nameRecord);

  const Bytes stream = encodeDefinition(declaration);
  for (std::size_t at = 0, piece = 0; at < stream.size(); at += DEFINITION_PIECE_SIZE, ++piece) {
    TreeRecord record;
    record.bytes = definitionPieceKey(table, static_cast<std::uint16_t>(piece));
    record.keyLength = 7;
    const std::size_t n = std::min(stream.size() - at, DEFINITION_PIECE_SIZE);
    record.bytes.insert(record.bytes.end(), stream.begin() + at, stream.begin() + at + n);
    container.insert(record);
  }

  TreeRecord tablesRecord;
  tablesRecord.bytes = characterTablesKey(table);
  tablesRecord.keyLength = 6;
  const std::string payload = tables.serialize();
  tablesRecord.bytes.insert(tablesRecord.bytes.end(), payload.begin(), payload.end());
  container.insert(tablesRecord);

  auto counter = [&](std::uint8_t counted) {
    TreeRecord record;
    record.bytes = counterKey(table, counted);
    record.keyLength = 6;
    const Bytes zero = Counter{}.payload();
    record.bytes.insert(record.bytes.end(), zero.begin(), zero.end());
    container.insert(record);
  };
  for (std::size_t k = 0; k < declaration.keys.size(); ++k) counter(static_cast<std::uint8_t>(k));
  counter(RecordKind::DATA);
  return table;
}

bool removeTable(Container& container, std::string_view name) {
  const auto table = findTable(container, name);
  if (!table) return false;
  Bytes prefix(4);
  putBigEndian32(prefix.data(), *table);
  TreeRecord record;
  while (container.findFirstGreater(prefix, &record) && record.key().size() >= 4 &&
         std::equal(prefix.begin(), prefix.end(), record.key().begin()))
    container.eraseFound(record.key());
  container.erase(tableNameKey(name));
  return true;
}

}  // namespace glimra::datafile
