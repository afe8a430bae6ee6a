// SPDX-License-Identifier: GPL-3.0-or-later
// Opens arbitrary bytes as a data file and walks everything in it: the
// integrity check over every page and record, then every table through the
// record layer (record order and every key, both ways, each record read by
// its pointer), the text search over its stored pages, then one add, put and
// delete. Whatever the bytes, this must end in error codes, never in a crash,
// a hang or a read out of bounds, and every walk must move strictly onwards
// (walk_progress.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datafile/container.h"
#include "datafile/datafile.h"
#include "datafile/fault_file.h"
#include "datafile/file_check.h"
#include "datafile/table_catalog.h"
#include "datafile/text_search.h"
#include "walk_progress.h"

namespace {

using namespace glimra::datafile;

std::vector<std::string> tableNames(FaultFileSystem& fs, const std::string& path) {
  std::vector<std::string> names;
  int error = 0;
  auto file = fs.open(path, false, false, &error);
  if (!file) return names;
  try {
    Container container(*file);
    if (container.open() != 0) return names;
    container.refresh(false);
    for (const TableEntry& t : listTables(container))
      if (names.size() < 4) names.push_back(t.name);
  } catch (const InternalError&) {
  } catch (const OsFailure&) {
  }
  return names;
}

void walkTable(FaultFileSystem& fs, const std::string& name) {
  DataFile file(fs);
  file.setName(name);
  if (file.open(OpenMode{0x22}) != 0) return;
  const std::size_t keys = file.declaration().keys.size();
  std::vector<std::uint32_t> pointers;
  const fuzzing::WalkBounds bounds(file);
  for (std::size_t k = 0; k <= keys; ++k) {
    for (bool forward : {true, false})
      fuzzing::walkOnwards(file, k, forward, bounds, k == keys && forward ? &pointers : nullptr);
    if (k < keys) file.records(k);
  }
  file.records();
  for (std::uint32_t p : pointers) file.get(p);
  if (file.setKey(0) == 0 && file.next() == 0) file.getByKey(0);
  // The text search reads the stored pages its own way.
  std::vector<std::uint32_t> matches;
  TextSearch search;
  search.text = "a";
  search.ignoreCase = true;
  findText(file, search, &matches);
  search.text = "  A";
  search.ignoreCase = false;
  search.skipWhenSetAt = 0;
  findText(file, search, &matches);

  // Writing into a damaged file must fail cleanly too.
  if (file.add() == 0) {
    if (!file.record().empty()) file.record()[0] ^= 0x5A;
    file.put();
    file.erase();
  }
  file.close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FaultFileSystem fs;
  const std::string path = "fuzz.dat";
  fs.setContents(path, std::vector<std::uint8_t>(data, data + size));
  checkDataFile(fs, path);
  for (const std::string& table : tableNames(fs, path)) walkTable(fs, path + "\\!" + table);
  return 0;
}
