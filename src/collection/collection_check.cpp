// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/collection_check.h"

#include <algorithm>

#include "collection/csv_export.h"
#include "collection/glimra_file.h"
#include "collection/series_sizes.h"
#include "datafile/definition_stream.h"
#include "datafile/record_kinds.h"
#include "text/cp1252.h"

namespace glimra::collection {
namespace {

// The table a file name without "\!" opens: the collection's own.
const std::string& collectionTableName() {
  static const std::string name = datafile::TableAddress::parse("collection.GLM").table;
  return name;
}

// The declaration the program opens a table of a collection file with;
// nullptr for a table it does not know.
const datafile::TableDeclaration* declarationOf(const datafile::CheckedTable& table) {
  if (table.name == collectionTableName()) return &glimraDeclaration();
  if (table.name == SERIES_SIZES_TABLE) return &seriesSizesDeclaration();
  return nullptr;
}

std::string clipped(std::string_view stored) {
  return cp1252ToUtf8(stored.substr(0, stored.find_last_not_of(' ') + 1));
}

// Names an ornament by its name, read where the collection keeps it.
std::string ornamentName(const std::string& table, const datafile::TableDeclaration& layout,
                         datafile::ByteView image) {
  if (table != collectionTableName() || !isCollectionLayout(layout)) return {};
  const datafile::FieldDeclaration& name = glimraDeclaration().fields[GlField::NAME];
  if (image.size() < std::size_t{name.offset} + name.size) return {};
  return clipped(std::string_view(reinterpret_cast<const char*>(image.data()) + name.offset, name.size));
}

}  // namespace

bool isCollectionLayout(const datafile::TableDeclaration& layout) {
  const datafile::TableDeclaration& own = glimraDeclaration();
  std::size_t same = 0;
  for (std::size_t i = 0; i < own.fields.size() && i < layout.fields.size(); ++i)
    if (layout.fields[i].name == own.fields[i].name) ++same;
  return same * 2 > own.fields.size();
}

datafile::FileCheckReport checkCollectionFile(datafile::FileSystem& fileSystem, const std::string& path) {
  datafile::CheckPresentation presentation;
  presentation.recordName = ornamentName;
  presentation.displayText = [](std::string_view stored) { return cp1252ToUtf8(stored); };
  datafile::FileCheckReport report = datafile::checkDataFile(fileSystem, path, presentation);
  const bool collection =
      std::any_of(report.tableList.begin(), report.tableList.end(), [](const datafile::CheckedTable& t) {
        return t.name == collectionTableName() && t.layout && isCollectionLayout(*t.layout);
      });
  // A stored declaration that differs is the cause of whatever else the keys
  // show: it goes first.
  std::vector<std::string> declarations;
  for (const datafile::CheckedTable& table : report.tableList) {
    if (!table.layout) continue;
    if (const datafile::TableDeclaration* declared = collection ? declarationOf(table) : nullptr) {
      const std::string where = "table " + table.name + ": its stored declaration ";
      if (const std::string difference = datafile::structureDifference(*table.layout, *declared); !difference.empty())
        declarations.push_back(where + "is not the one the program opens it with: " + difference +
                               " (every command fails on it with Invalid Record Declaration, error 47)");
      else if (const std::string name = datafile::nameDifference(*table.layout, *declared); !name.empty())
        declarations.push_back(where + "is damaged: " + name);
    }
    if (isCollectionLayout(*table.layout) && table.records == 0)
      report.problems.push_back("table " + table.name + ": a collection without its header record");
  }
  report.problems.insert(report.problems.begin(), declarations.begin(), declarations.end());
  return report;
}

KeyRepair keyRepairFor(const datafile::FileCheckReport& report) {
  if (report.sound()) return KeyRepair::NotNeeded;
  if (!report.repairableByBuild()) return KeyRepair::Impossible;
  return report.disagreements.empty() ? KeyRepair::ByItself : KeyRepair::AskFirst;
}

std::string describeDisagreement(const datafile::KeyDisagreement& d) {
  // The field the key sorts by, as the form labels it; the key's own name
  // for a key over something the form does not show.
  std::string field = d.key;
  const datafile::TableDeclaration& own = glimraDeclaration();
  if (d.table == collectionTableName() && d.keyNumber < own.keys.size() &&
      own.keys[d.keyNumber].components.size() == 1) {
    const int sortedBy = own.keys[d.keyNumber].components[0].field;
    for (const CsvColumn& column : csvColumns())
      if (column.field == sortedBy) field = column.title;
  }
  const std::string ornament = d.recordName.empty() ? "Record " + std::to_string(d.recordNumber)
                                                    : d.recordName + " (record " + std::to_string(d.recordNumber) + ")";
  return ornament + ": " + field + " is \"" + d.recordValue + "\" in the record, " +
         (d.noEntry ? std::string("blank in its keys") : "\"" + d.entryValue + "\" in its key entry");
}

}  // namespace glimra::collection
