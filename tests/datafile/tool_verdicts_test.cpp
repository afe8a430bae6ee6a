// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file's verdicts on faults that used to slip through: each fault made
// by hand on a small generated collection, then check's verdict and exit
// code, and what build does with it. check calls nothing sound that a command
// of ours cannot open or that an add would fail on; build never makes a
// disagreeing record value permanent unasked; a file that is there but is not
// a sound collection is damaged (1), only one that cannot be opened at all is
// 3.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "datafile/container.h"
#include "datafile/datafile.h"
#include "datafile/record_kinds.h"
#include "datafile/table_catalog.h"
#include "run_tool.h"
#include "temp_dir.h"

namespace glimra::datafile::testing {
namespace {

namespace GlField = collection::GlField;

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

// Opens the file behind the record layer, hands its container and the
// collection table's number to `change`, and commits what it changed.
void changeBehindTheEngine(const std::string& path, const std::function<void(Container&, std::uint32_t)>& change) {
  int error = 0;
  auto os = posixFileSystem().open(path, true, false, &error);
  ASSERT_TRUE(os) << path;
  Container container(*os);
  ASSERT_EQ(container.open(), 0);
  container.refresh(true);
  const auto table = findTable(container, "UNNAMED");
  ASSERT_TRUE(table);
  change(container, *table);
  container.commit();
}

// Edits the byte `from` bytes after `name` begins in the table's stored
// declaration (the name is looked for as stored, with its closing zero).
void editDeclaration(Container& c, std::uint32_t table, const std::string& name, long from,
                     const std::function<void(std::uint8_t&)>& edit) {
  const Bytes stream = readDefinitionStream(c, table);
  const std::string text(stream.begin(), stream.end());
  const std::size_t found = text.find(name + '\0');
  ASSERT_NE(found, std::string::npos) << name;
  const std::size_t at = found + from;
  TreeRecord piece;
  ASSERT_TRUE(c.find(definitionPieceKey(table, std::uint16_t(at / DEFINITION_PIECE_SIZE)), &piece));
  edit(piece.bytes[piece.keyLength + at % DEFINITION_PIECE_SIZE]);
  c.replace(piece);
}

// Flips one bit of the first Stock # that begins "S-", as a disk might:
// "S-3245" becomes "C-3245". Gives back the ornament's name and the value.
void flipStockNumber(Container& c, std::uint32_t table, std::string* name, std::string* stock) {
  const FieldDeclaration& custom1 = collection::glimraDeclaration().fields[GlField::CUSTOM1];
  const FieldDeclaration& named = collection::glimraDeclaration().fields[GlField::NAME];
  TreeRecord r;
  Bytes at = kindPrefix(table, RecordKind::DATA);
  while (c.findFirstGreater(at, &r) && r.key()[4] == RecordKind::DATA) {
    at.assign(r.key().begin(), r.key().end());
    std::uint8_t* image = &r.bytes[r.keyLength];
    if (image[custom1.offset] != 'S') continue;
    image[custom1.offset] ^= 0x10;
    std::string text(reinterpret_cast<char*>(image) + named.offset, named.size);
    *name = text.erase(text.find_last_not_of(' ') + 1);
    text.assign(reinterpret_cast<char*>(image) + custom1.offset + 1, custom1.size - 1);
    *stock = text.erase(text.find_last_not_of(' ') + 1);
    c.replace(r);
    return;
  }
  FAIL() << "no Stock # to change";
}

void putU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
}

std::uint32_t getU32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | std::uint8_t(bytes[at + i]);
  return value;
}

// The first byte of filler after a page's stored bytes.
std::size_t firstFillerByte(const std::string& bytes) {
  for (int c = 1; c < 60; ++c)
    for (std::uint32_t unit = getU32(bytes, 32 + 4 * c); unit < getU32(bytes, 272 + 4 * c); unit += c) {
      const std::size_t page = 512 + std::size_t(unit) * 256;
      const std::size_t stored = std::uint8_t(bytes[page + 4]) | std::uint8_t(bytes[page + 5]) << 8;
      if (stored < std::size_t(c) * 256) return page + stored;
    }
  return 0;
}

// A collection of 40 made-up ornaments, the fixture of every fault.
std::string generatedCollection(const TempDir& dir, const std::string& name) {
  const std::string path = dir.file(name);
  int code = -1;
  const std::string out = runTool("generate " + path + " --records 40 --seed 5", &code);
  EXPECT_EQ(code, 0) << out;
  return path;
}

TEST(ToolVerdicts, EachFaultIsReportedAsDamageAndBuildLeavesItAsItWas) {
  TempDir dir;
  const std::string base = generatedCollection(dir, "base.GLM");
  int code = -1;
  std::string name, stock;

  struct Fault {
    const char* what;
    std::function<void(const std::string& path)> make;
    int checkCode;
    std::string verdict;  // in check's output
    int buildCode;
    std::string buildSays;
    bool addSaysNoRoom = false;  // the engine's add fails, saying why
  };
  const Fault faults[] = {
      {"a field's type in the stored declaration (STRING to CSTRING)",
       [](const std::string& p) {
         changeBehindTheEngine(p, [](Container& c, std::uint32_t t) {
           editDeclaration(c, t, "GL:CATEGORY", -3, [](std::uint8_t& type) { type ^= 0x01; });
         });
       },
       1, "is not the one the program opens it with: field 1 (GL:CATEGORY) is a CSTRING", 1,
       "damaged, left as it was"},
      {"the length of a field no key uses, in the stored declaration",
       [](const std::string& p) {
         changeBehindTheEngine(p, [](Container& c, std::uint32_t t) {
           // After the name: its zero, the element count (u16), then the size (u16).
           editDeclaration(c, t, "GL:LIBRARIAN", 12 + 1 + 2, [](std::uint8_t& size) { size ^= 0x01; });
         });
       },
       1, "(GL:LIBRARIAN) is a STRING of", 1, "damaged, left as it was"},
      {"one bit of a record's Stock #",
       [&](const std::string& p) {
         changeBehindTheEngine(p, [&](Container& c, std::uint32_t t) { flipStockNumber(c, t, &name, &stock); });
       },
       1, "its key entry holds \"S", 1, "which value is right cannot be told"},
      {"one bit of a blank Lent To (a key that leaves out blanks holds no entry for it)",
       [](const std::string& p) {
         changeBehindTheEngine(p, [](Container& c, std::uint32_t t) {
           const FieldDeclaration& lentTo = collection::glimraDeclaration().fields[GlField::LENTTO];
           TreeRecord r;
           ASSERT_TRUE(c.findLastLess(kindPrefix(t, RecordKind::DATA + 1), &r));
           ASSERT_EQ(r.bytes[r.keyLength + lentTo.offset], ' ');
           r.bytes[r.keyLength + lentTo.offset] ^= 0x10;  // "0"
           c.replace(r);
         });
       },
       1, "holds \"0\", the key holds no entry for it", 1, "which value is right cannot be told"},
      {"the last record number at its limit",
       [](const std::string& p) {
         std::string b = fileBytes(p);
         b[20] = char(0xFD), b[21] = b[22] = b[23] = char(0xFF);
         writeBytes(p, b);
       },
       1, "its last record number FDFFFFFF leaves no room for another record", 1, "damaged, left as it was", true},
      {"the last record number past its limit",
       [](const std::string& p) {
         std::string b = fileBytes(p);
         b[20] = b[21] = b[22] = b[23] = char(0xFF);
         writeBytes(p, b);
       },
       1, "its last record number FFFFFFFF leaves no room", 1, "damaged, left as it was", true},
      {"a page that names another offset as its own",
       [](const std::string& p) {
         std::string b = fileBytes(p);
         putU32(b, 512, 512 + 256 * 40);
         writeBytes(p, b);
       },
       1, "it names offset 10752 as its own, it lies at 512", 1, "damaged, left as it was"},
      {"a byte of a stored key name",
       [](const std::string& p) {
         changeBehindTheEngine(p, [](Container& c, std::uint32_t t) {
           editDeclaration(c, t, "GL:NAMEKEYKEY", 12, [](std::uint8_t& y) { y ^= 0x01; });
         });
       },
       1, "is damaged: key 3 is named \"GL:NAMEKEYKEX\", the declaration names it \"GL:NAMEKEYKEY\"", 1,
       "damaged, left as it was"},
      {"the header's own offset",
       [](const std::string& p) {
         std::string b = fileBytes(p);
         putU32(b, 0, 0x200);
         writeBytes(p, b);
       },
       1, "header: it gives its own offset as 512, not 0", 1, "damaged, left as it was"},
      {"the header's size",
       [](const std::string& p) {
         std::string b = fileBytes(p);
         b[5] = 0x03;
         writeBytes(p, b);
       },
       1, "header: it gives its size as 768 bytes, not 512", 1, "damaged, left as it was"},
      {"the header's magic",
       [](const std::string& p) {
         std::string b = fileBytes(p);
         b.replace(14, 4, "XXXX");
         writeBytes(p, b);
       },
       1, "its magic bytes are 58 58 58 58", 1, "damaged, left as it was"},
      {"an impossible region table",
       [](const std::string& p) {
         std::string b = fileBytes(p);
         putU32(b, 272 + 4, 0xFFFFFF);  // region 1 ends where no header can address
         writeBytes(p, b);
       },
       1, "region 1 ends beyond what the header can address", 1, "damaged, left as it was"},
      {"the file cut to 63 bytes", [](const std::string& p) { writeBytes(p, fileBytes(p).substr(0, 63)); }, 1,
       "the file is 63 bytes long, too short", 1, "damaged, left as it was"},
      {"a byte of a page's filler (carries no meaning: not looked at)",
       [](const std::string& p) {
         std::string b = fileBytes(p);
         const std::size_t at = firstFillerByte(b);
         ASSERT_GT(at, 512u);
         b[at] = 'Z';
         writeBytes(p, b);
       },
       0, "sound: 1 table, 41 records", 0, "built, 41 records"},
      {"no file at all", [](const std::string& p) { std::filesystem::remove(p); }, 3, "File Not Found (2)", 3,
       "File Not Found"},
  };
  const std::string path = dir.file("fault.GLM");
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.what);
    std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
    f.make(path);
    const std::string damaged = fileBytes(path);
    std::string out = runTool("check " + path, &code);
    EXPECT_EQ(code, f.checkCode) << out;
    EXPECT_NE(out.find(f.verdict), std::string::npos) << out;
    out = runTool("build " + path + " --no-backup", &code);
    EXPECT_EQ(code, f.buildCode) << out;
    EXPECT_NE(out.find(f.buildSays), std::string::npos) << out;
    if (f.buildCode != 0) {
      EXPECT_TRUE(fileBytes(path) == damaged) << "build changed the file";
    }
    if (f.addSaysNoRoom) {
      collection::GlRecord record;
      DataFile file;
      file.declare(collection::glimraDeclaration(), &record);
      file.setName(path);
      ASSERT_EQ(file.open(), 0);
      EXPECT_EQ(file.add(), 90);
      EXPECT_EQ(file.fileErrorCode(), "1173");
      EXPECT_NE(file.fileErrorText().find("last record number leaves no room for another record"), std::string::npos)
          << file.fileErrorText();
      file.close();
      EXPECT_TRUE(fileBytes(path) == damaged) << "the refused add changed the file";
    }
  }
}

// A key entry and its record one bit apart: check names the ornament with
// both values; build leaves the file as it was unless told to keep the
// records' values, and then says where the backup with the entries' values
// is; that backup shows the same disagreement.
TEST(ToolVerdicts, BuildKeepsADisagreeingRecordValueOnlyWhenTold) {
  TempDir dir;
  const std::string path = generatedCollection(dir, "flip.GLM");
  int code = -1;
  std::string name, stock;
  changeBehindTheEngine(path, [&](Container& c, std::uint32_t t) { flipStockNumber(c, t, &name, &stock); });
  const std::string damaged = fileBytes(path);
  const std::string line = name + " (record ";
  const std::string values = "Stock # is \"C" + stock + "\" in the record, \"S" + stock + "\" in its key entry";

  std::string out = runTool("check " + path, &code);
  EXPECT_EQ(code, 1) << out;
  EXPECT_NE(out.find("(" + name + ") holds \"C" + stock + "\", its key entry holds \"S" + stock + "\""),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("1 where a key entry and its record disagree"), std::string::npos) << out;

  out = runTool("build " + path, &code);
  EXPECT_EQ(code, 1) << out;
  EXPECT_NE(out.find(line), std::string::npos) << out;
  EXPECT_NE(out.find(values), std::string::npos) << out;
  EXPECT_NE(out.find("--accept-records"), std::string::npos) << out;
  EXPECT_TRUE(fileBytes(path) == damaged) << "build changed the file";

  out = runTool("build " + path + " --accept-records", &code);
  EXPECT_EQ(code, 0) << out;
  const std::size_t at = out.find(": backup ");
  ASSERT_NE(at, std::string::npos) << out;
  const std::string backup = out.substr(at + 9, out.find(" (it keeps the key entries' values)", at) - at - 9);
  EXPECT_NE(out.find("(it keeps the key entries' values)"), std::string::npos) << out;
  out = runTool("check " + path, &code);
  EXPECT_EQ(code, 0) << out;
  out = runTool("find " + path + " C" + stock, &code);
  EXPECT_EQ(code, 0) << "the record's value is the one kept\n" << out;
  out = runTool("check '" + backup + "'", &code);
  EXPECT_EQ(code, 1) << backup << "\n" << out;
  EXPECT_NE(out.find("its key entry holds \"S" + stock + "\""), std::string::npos) << out;
}

}  // namespace
}  // namespace glimra::datafile::testing
