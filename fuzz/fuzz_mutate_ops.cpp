// Damages a valid collection file and writes to it: a small generated
// collection (made once, in memory) is patched by the input — each 4 bytes
// set one byte of the file (3 bytes of offset, 1 byte of value), a trailing
// odd byte cuts the file short — and then opened with the collection's
// declaration and driven through adds, puts, deletes, a transaction, key
// walks and the integrity check. Whatever the damage, this must end in error
// codes, never in a crash, a hang or a read out of bounds, and every walk must
// move strictly onwards (walk_progress.h).
#include <cstddef>
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
constexpr std::size_t UNCOUNTED_STEPS = 400;  // per walk whose entries cannot be counted

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
    file.close();
    return fs.contents(PATH);
  }();
  return bytes;
}

void walk(DataFile& file, std::size_t keys) {
  for (std::size_t k = 0; k <= keys; k += 3) fuzzing::walkOnwards(file, k, true, UNCOUNTED_STEPS);
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
  {
    DataFile file(fs);
    file.declare(glimra::collection::glimraDeclaration(), &buffer);
    file.setName(PATH);
    if (file.open() == 0) {
      const std::size_t keys = file.declaration().keys.size();
      walk(file, keys);
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
        file.commit();
      }
      if (file.setKey(glimra::collection::GlKey::NAMEKEYKEY) == 0 && file.next() == 0) {
        buffer.NAME = "Renamed";
        file.put();
      }
      walk(file, keys);
      file.records();
      file.close();
    }
  }
  checkDataFile(fs, PATH);
  return 0;
}
