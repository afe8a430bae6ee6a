// SPDX-License-Identifier: GPL-3.0-or-later
// The tables of a data file, seen through its container: finding a table by
// name, listing all tables, reading a table's stored definition and character
// tables, writing a new table's fixed records, and removing a table with all
// of its records. Shared by DataFile (CREATE, OPEN, COPY) and the checker.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datafile/character_tables.h"
#include "datafile/container.h"
#include "datafile/declaration.h"

namespace glimra::datafile {

struct TableEntry {
  std::string name;
  std::uint32_t number = 0;
};

std::optional<std::uint32_t> findTable(Container& container, std::string_view name);
std::vector<TableEntry> listTables(Container& container);

// The definition stream of a table, its pieces joined in piece order (a
// missing piece reads as 512 zero bytes).
Bytes readDefinitionStream(Container& container, std::uint32_t table);
// The table's stored character tables, or nullopt when it has none.
std::optional<CharacterTables> readCharacterTables(Container& container, std::uint32_t table);

// Writes the records of a new table: its name, definition pieces, character
// tables and one counter per key and for the data. Returns the table number.
std::uint32_t writeNewTable(Container& container, std::string_view name, const TableDeclaration& declaration,
                            const CharacterTables& tables);

// Removes every record of the table and its name record; false when absent.
bool removeTable(Container& container, std::string_view name);

// Visits every record whose key starts with prefix, in key order. The visitor
// may not change the tree.
template <class Visit>
void forEachWithPrefix(Container& container, ByteView prefix, Visit&& visit) {
  TreeRecord record;
  Bytes probe(prefix.begin(), prefix.end());
  while (container.findFirstGreater(probe, &record)) {
    const ByteView key = record.key();
    if (key.size() < prefix.size() || !std::equal(prefix.begin(), prefix.end(), key.begin())) break;
    visit(record);
    probe.assign(key.begin(), key.end());
  }
}

}  // namespace glimra::datafile
