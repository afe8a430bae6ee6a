// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/collection_check.h"

#include "collection/glimra_file.h"

namespace glimra::collection {

bool isCollectionLayout(const datafile::TableDeclaration& layout) {
  const datafile::TableDeclaration& own = glimraDeclaration();
  if (layout.recordLength != own.recordLength || layout.fields.size() != own.fields.size()) return false;
  for (std::size_t i = 0; i < own.fields.size(); ++i)
    if (layout.fields[i].name != own.fields[i].name || layout.fields[i].offset != own.fields[i].offset) return false;
  return true;
}

datafile::FileCheckReport checkCollectionFile(datafile::FileSystem& fileSystem, const std::string& path) {
  datafile::FileCheckReport report = datafile::checkDataFile(fileSystem, path);
  for (const datafile::CheckedTable& table : report.tableList)
    if (table.layout && isCollectionLayout(*table.layout) && table.records == 0)
      report.problems.push_back("table " + table.name + ": a collection without its header record");
  return report;
}

}  // namespace glimra::collection
