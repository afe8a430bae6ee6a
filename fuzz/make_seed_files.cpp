// SPDX-License-Identifier: GPL-3.0-or-later
// Writes small data files into a directory as a seed corpus for the fuzz
// targets: tables with keys of several kinds, memos, OEM text, several tables
// in one file, deleted and rewritten records.
#include <cstdio>
#include <cstring>
#include <string>

#include "datafile/datafile.h"

namespace {

using namespace glimra::datafile;

#pragma pack(push, 1)
struct Item {
  char name[6];
  std::int32_t number;
  double amount;
  char code[3];
};
#pragma pack(pop)

TableDeclaration declaration(bool oem, bool memos) {
  TableDeclaration t;
  t.recordLength = sizeof(Item);
  t.oem = oem;
  t.fields = {{FieldType::STRING, 0, "S:NAME", 1, 6, 0, "@s6"},
              {FieldType::LONG, 6, "S:NUMBER", 1, 4},
              {FieldType::REAL, 10, "S:AMOUNT", 1, 8},
              {FieldType::CSTRING, 18, "S:CODE", 1, 3, 0, "@s3"}};
  t.keys = {{"", "S:NAMEKEY", KeyFlag::DUP | KeyFlag::NOCASE, {{0, false}}},
            {"", "S:NUMBERKEY", 0, {{1, false}}},
            {"", "S:MIXKEY", KeyFlag::DUP | KeyFlag::OPT, {{3, false}, {2, true}}}};
  if (memos) t.memos = {{"", "S:NOTE", 400, 0}, {"", "S:BLOB", 0, 0x04}};
  return t;
}

bool write(const std::string& name, bool oem, bool memos, int records, const char* table = nullptr) {
  const TableDeclaration d = declaration(oem, memos);
  Item buffer{};
  DataFile file;
  file.declare(d, &buffer);
  file.setName(table ? name + "\\!" + table : name);
  if (file.create() != 0 || file.open() != 0) return false;
  for (int i = 0; i < records; ++i) {
    std::snprintf(buffer.name, sizeof buffer.name, "%c%c\xE9%d", 'a' + i % 26, 'A' + i % 5, i % 10);
    buffer.number = i * 37 - 50;
    buffer.amount = i * 1.25 - 3;
    std::snprintf(buffer.code, sizeof buffer.code, "%c", i % 3 ? 'k' + i % 4 : 0);
    if (memos) {
      file.memo(0).assign(400, ' ');
      std::memset(file.memo(0).data(), 'm', static_cast<std::size_t>(i * 40 % 400));
      file.memo(1).assign(static_cast<std::size_t>(i * 90), static_cast<std::uint8_t>(i));
    }
    if (file.add() != 0) return false;
  }
  if (records > 3) {
    file.get(file.pointer() - 2);
    buffer.number += 1000;
    file.put();
    file.get(file.pointer() - 1);
    file.erase();
  }
  return file.close() == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seed_files DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = write(dir + "/empty.dat", false, false, 0) && write(dir + "/few.dat", false, false, 5) &&
            write(dir + "/memos.dat", false, true, 6) && write(dir + "/oem.dat", true, false, 8) &&
            write(dir + "/split.dat", false, false, 120) && write(dir + "/tables.dat", false, false, 4, "one") &&
            write(dir + "/tables.dat", false, true, 3, "two");
  if (!ok) std::fprintf(stderr, "make_seed_files: a seed file could not be written\n");
  return ok ? 0 : 1;
}
