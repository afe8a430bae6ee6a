// SPDX-License-Identifier: GPL-3.0-or-later
// info and check: what a file holds, and whether it is sound.
#include <iostream>

#include "collection/collection_check.h"
#include "datafile/container.h"
#include "datafile/datafile.h"
#include "datafile/definition_stream.h"
#include "datafile/file_check.h"
#include "datafile/file_errors.h"
#include "datafile/record_kinds.h"
#include "datafile/table_catalog.h"
#include "tools/commands.h"

namespace glimra::tools {

using namespace glimra::datafile;

int checkCommand(const Arguments& args) {
  if (args.size() != 1) return fail(EXIT_USAGE, "usage: glimra-file check FILE");
  const std::string path = TableAddress::parse(args[0], &posixFileSystem()).path;
  const FileCheckReport report = collection::checkCollectionFile(posixFileSystem(), path);
  if (report.openError) return fail(EXIT_FAILED, openFailure(path, report));
  for (const std::string& problem : report.problems) std::cout << path << ": " << problem << '\n';
  std::cout << path << ": " << report.summary() << '\n';
  if (!report.sound()) return EXIT_DAMAGED;
  return checkPhotosOf(path);
}

namespace {

std::string keyFlags(std::uint8_t flags) {
  std::string out;
  auto add = [&](std::uint8_t bit, const char* name) {
    if (flags & bit) out += out.empty() ? name : std::string(",") + name;
  };
  add(KeyFlag::DUP, "DUP");
  add(KeyFlag::OPT, "OPT");
  add(KeyFlag::NOCASE, "NOCASE");
  add(KeyFlag::PRIMARY, "PRIMARY");
  add(KeyFlag::INDEX, "INDEX");
  add(KeyFlag::DYNAMIC, "DYNAMIC");
  return out.empty() ? "-" : out;
}

}  // namespace

int infoCommand(const Arguments& args) {
  if (args.size() != 1) return fail(EXIT_USAGE, "usage: glimra-file info FILE");
  const std::string path = TableAddress::parse(args[0], &posixFileSystem()).path;
  if (!posixFileSystem().exists(path)) return fail(EXIT_FAILED, path + ": File Not Found (2)");
  int error = 0;
  auto file = posixFileSystem().open(path, false, false, &error);
  if (!file) return fail(EXIT_FAILED, path + ": " + osErrorText(error));
  std::vector<TableEntry> tables;
  try {
    Container container(*file);
    if (int rc = container.open()) return fail(exitCodeFor(rc), path + ": " + errorTextFor(rc) + " (" + std::to_string(rc) + ")");
    container.refresh(false);
    const FileHeader& h = container.header();
    std::uint64_t size = 0;
    file->size(&size);
    std::cout << "file            " << path << "\n"
              << "size            " << size << " bytes\n"
              << "end of data     " << container.endOfData() << "\n"
              << "change count    " << h.changeCount << "\n"
              << "last number     " << h.lastRecordNumber << "\n"
              << "root page       " << h.rootPage << "\n"
              << "regions        ";
    for (int c = 1; c < 60; ++c)
      if (h.regionEnd[c] > h.regionStart[c]) std::cout << " " << c << ":" << (h.regionEnd[c] - h.regionStart[c]) / c;
    std::cout << "  (class:pages)\n";
    tables = listTables(container);
  } catch (const InternalError& e) {
    return fail(EXIT_DAMAGED, path + ": " + DATA_CORRUPTION_TEXT + " (" + std::to_string(e.number) + ")");
  } catch (const OsFailure& e) {
    return fail(EXIT_FAILED, path + ": " + osErrorText(e.code));
  }
  file.reset();
  for (const TableEntry& entry : tables) {
    DataFile table;
    table.setName(path + "\\!" + entry.name);
    if (table.open(READ_ONLY_DENY_NONE) != 0) {
      std::cout << "\ntable " << entry.name << " (number " << entry.number << "): " << describeError(table) << "\n";
      continue;
    }
    const TableDeclaration& d = table.declaration();
    std::cout << "\ntable " << entry.name << " (number " << entry.number << ")\n"
              << "  record length " << d.recordLength << ", " << d.fields.size() << " fields, " << d.memos.size()
              << " memos, " << d.keys.size() << " keys, " << table.records() << " records"
              << (table.characterTables().oem ? ", OEM text" : "") << "\n";
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
      const FieldDeclaration& f = d.fields[i];
      std::cout << "  field " << i << "  " << f.name << "  " << fieldTypeName(f.type) << "  offset " << f.offset
                << "  size " << f.size;
      if (f.elements > 1) std::cout << "  elements " << f.elements;
      if (f.overlay) std::cout << "  overlay";
      if (!f.picture.empty()) std::cout << "  " << f.picture;
      std::cout << "\n";
    }
    for (const MemoDeclaration& m : d.memos)
      std::cout << "  memo  " << m.name << "  size " << m.size << "  flags " << m.flags << "\n";
    for (std::size_t k = 0; k < d.keys.size(); ++k) {
      const KeyDeclaration& key = d.keys[k];
      std::cout << "  key " << k << "  " << key.name << "  " << keyFlags(key.flags) << "  (";
      for (std::size_t c = 0; c < key.components.size(); ++c)
        std::cout << (c ? ", " : "") << (key.components[c].descending ? "-" : "") << key.components[c].field;
      std::cout << ")  " << table.records(k) << " entries\n";
    }
  }
  return EXIT_OK;
}

}  // namespace glimra::tools
