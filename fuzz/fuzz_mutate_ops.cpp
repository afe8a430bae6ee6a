// SPDX-License-Identifier: GPL-3.0-or-later
// Damages a valid collection file and writes to it: a small generated
// collection (made once, in memory) is patched by the input — each 4 bytes
// set one byte of the file (3 bytes of offset, 1 byte of value), a trailing
// odd byte cuts the file short — and then opened with the collection's
// declaration and driven through adds, puts, deletes, a transaction, key
// walks and the integrity check. A second table of the file, NOTES, holds
// text memos and BLOBs of one and of many pieces: it is opened beside the
// collection and its memos are added, changed in the middle, shrunk, grown
// and deleted, alone and inside the collection's transaction. Whatever the
// damage, this must end in error codes, never in a crash, a hang or a read
// out of bounds, and every walk must move strictly onwards (walk_progress.h).
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/generator.h"
#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "datafile/fault_file.h"
#include "datafile/file_check.h"
#include "walk_progress.h"

namespace {

using namespace glimra::datafile;
using glimra::collection::GlRecord;

const std::string PATH = "fuzz.GLM";
const std::string NOTES = PATH + "\\!NOTES";

// NOTES: a number, a text memo of 1000 bytes and a BLOB.
const TableDeclaration& notesDeclaration() {
  static const TableDeclaration declaration = [] {
    TableDeclaration t;
    t.label = "NOTES";
    t.recordLength = 4;
    t.fields = {{FieldType::LONG, 0, "NO:NUMBER", 1, 4}};
    t.memos = {{"", "NO:TEXT", 1000, 0}, {"", "NO:BLOB", 0, 0x04}};
    t.keys = {{"", "NO:NUMBERKEY", KeyFlag::DUP, {{0, false}}}};
    return t;
  }();
  return declaration;
}

// Memos of shape n: text and BLOB lengths across the 256-byte pieces.
void setMemos(DataFile& notes, std::uint32_t n) {
  static constexpr std::size_t sizes[] = {0, 1, 255, 256, 257, 700, 1000, 2600};
  notes.memo(0).assign(1000, ' ');
  const std::size_t text = std::min<std::size_t>(1000, sizes[n % 8]);
  for (std::size_t i = 0; i < text; ++i) notes.memo(0)[i] = std::uint8_t('a' + (n + i) % 26);
  notes.memo(1).resize(sizes[(n / 8) % 8]);
  for (std::size_t i = 0; i < notes.memo(1).size(); ++i) notes.memo(1)[i] = std::uint8_t(n * 31 + i);
}

const std::vector<GlRecord>& ornaments() {
  static const std::vector<GlRecord> records = glimra::collection::generateOrnaments(24, 17);
  return records;
}

// A sound collection file of 16 ornaments, one of them deleted afterwards.
const std::vector<std::uint8_t>& baseFile() {
  static const std::vector<std::uint8_t> bytes = [] {
    FaultFileSystem fs;
    GlRecord buffer;
    DataFile file(fs);
    file.declare(glimra::collection::glimraDeclaration(), &buffer);
    file.setName(PATH);
    file.create();
    file.open();
    file.logout();
    for (std::size_t i = 0; i < 16; ++i) {
      buffer = ornaments()[i];
      file.add();
    }
    file.commit();
    if (file.get(3) == 0) file.erase();
    std::int32_t number = 0;
    DataFile notes(fs);
    notes.declare(notesDeclaration(), &number);
    notes.setName(NOTES);
    notes.create();
    notes.open();
    for (std::uint32_t n = 0; n < 10; ++n) {
      number = std::int32_t(n);
      setMemos(notes, n * 9);
      notes.add();
    }
    notes.close();
    file.close();
    return fs.contents(PATH);
  }();
  return bytes;
}

void walk(DataFile& file, std::size_t keys) {
  const fuzzing::WalkBounds bounds(file);
  for (std::size_t k = 0; k <= keys; k += 3) fuzzing::walkOnwards(file, k, true, bounds);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes = baseFile();
  if (bytes.empty()) return 0;
  std::size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    const std::size_t offset = (data[i] | (data[i + 1] << 8) | (std::size_t(data[i + 2]) << 16)) % bytes.size();
    bytes[offset] = data[i + 3];
  }
  if (i < size) bytes.resize(bytes.size() * data[i] / 256);

  FaultFileSystem fs;
  fs.setContents(PATH, bytes);
  GlRecord buffer;
  std::int32_t number = 0;
  {
    DataFile file(fs);
    file.declare(glimra::collection::glimraDeclaration(), &buffer);
    file.setName(PATH);
    DataFile notes(fs);
    notes.declare(notesDeclaration(), &number);
    notes.setName(NOTES);
    if (file.open() == 0) {
      const std::size_t keys = file.declaration().keys.size();
      walk(file, keys);
      // NOTES beside the collection: memos added, changed in the middle,
      // grown, shrunk, deleted; then again inside the transaction below.
      const bool notesOpen = notes.open() == 0;
      auto changeNotes = [&](std::uint32_t round) {
        if (!notesOpen) return;
        walk(notes, 1);
        number = std::int32_t(round);
        setMemos(notes, round * 7 + 3);
        notes.add();
        for (std::uint32_t n = 0; n < 4; ++n) {
          if (notes.setFile() != 0) break;
          for (std::uint32_t step = 0; step <= n + round; ++step)
            if (notes.next() != 0) break;
          if (notes.pointer() == 0) continue;
          if (n == 0 && !notes.memo(1).empty()) {
            notes.memo(1)[notes.memo(1).size() / 2] ^= 0xFF;
            notes.memo(0)[300] = 'Q';
          } else if (n == 3) {
            notes.erase();
            continue;
          } else {
            setMemos(notes, n * 13 + round);
          }
          notes.put();
        }
      };
      changeNotes(0);
      buffer = ornaments()[16];
      file.add();
      const std::uint32_t added = file.pointer();
      for (std::uint32_t p : {1u, 2u, 5u, added}) {
        if (file.get(p) != 0) continue;
        buffer.VALUE = "99.5";
        buffer.DELETED = 1;
        file.put();
      }
      if (file.get(7) == 0) file.erase();
      if (file.logout() == 0) {
        for (std::size_t r = 17; r < 20; ++r) {
          buffer = ornaments()[r];
          file.add();
        }
        if (file.get(2) == 0) file.erase();
        changeNotes(1);
        file.commit();
      }
      if (file.setKey(glimra::collection::GlKey::NAMEKEYKEY) == 0 && file.next() == 0) {
        buffer.NAME = "Renamed";
        file.put();
      }
      walk(file, keys);
      file.records();
      notes.close();
      file.close();
    }
  }
  checkDataFile(fs, PATH);
  return 0;
}
