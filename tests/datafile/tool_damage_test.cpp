// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file on damaged collections: the verdict of check on each kind of
// damaged header, the writers' refusal to touch such a file (its bytes stay as
// they were), and dump printing what it can read before it reports the damage.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <sys/stat.h>

#include <filesystem>

#include "collection/glimra_file.h"
#include "datafile/container.h"
#include "datafile/locks.h"
#include "datafile/record_kinds.h"
#include "datafile_fixture.h"
#include "run_tool.h"

namespace glimra::datafile::testing {
namespace {

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

void putU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
}

// A collection table created and never given its header record.
std::string collectionWithoutHeaderRecord(const TempDir& dir) {
  const std::string path = dir.file("bare.GLM");
  std::vector<std::uint8_t> buffer(collection::glimraDeclaration().recordLength);
  DataFile file;
  file.declare(collection::glimraDeclaration(), buffer.data());
  file.setName(path);
  EXPECT_EQ(file.create(), 0);
  return fileBytes(path);
}

TEST(ToolDamage, CheckJudgesEachHeaderAndTheWritersLeaveADamagedFileAsItWas) {
  TempDir dir;
  const std::string base = dir.file("base.GLM");
  int code = -1;
  runTool("generate " + base + " --records 60 --seed 5", &code);
  ASSERT_EQ(code, 0);
  const std::string sound = fileBytes(base);
  const std::string bare = collectionWithoutHeaderRecord(dir);

  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    int checkCode;
    const char* verdict;
    int writerCode;  // of build and of pack
    const char* writerSays;
    bool engineRefuses = true;  // the record layer's pack as well (it knows nothing of collections)
  };
  const Case cases[] = {
      {"sound", [](std::string&) {}, 0, "sound: 1 table, 61 records", 0, "61 records", false},
      {"zeroed region table", [](std::string& b) { std::fill(b.begin() + 32, b.begin() + 512, '\0'); }, 1,
       "yet no region holds a page", 1, "damaged, left as it was"},
      {"impossible pending end", [](std::string& b) { putU32(b, 10, 0xFFFFFFFF); }, 1,
       "pendingEnd 4294967295 lies beyond the end of the file", 1, "damaged, left as it was"},
      {"end of data at 2 GiB", [](std::string& b) { putU32(b, 6, 0x80000000); }, 1,
       "dataEnd 2147483648 lies beyond the end of the file", 1, "damaged, left as it was"},
      {"end of data beyond the file", [](std::string& b) { b.resize(b.size() / 2 / 256 * 256); }, 1,
       "lies beyond the end of the file", 1, "damaged, left as it was"},
      {"root -1", [](std::string& b) { putU32(b, 28, 0xFFFFFFFF); }, 1, "no root, yet pages exist", 1,
       "damaged, left as it was"},
      {"a collection without its header record", [&](std::string& b) { b = bare; }, 1,
       "a collection without its header record", 1, "damaged, left as it was", false},
      {"empty file", [](std::string& b) { b.clear(); }, 0, "sound: 0 tables", 3, "holds no table", false},
  };
  const std::string path = dir.file("case.GLM");
  for (const Case& c : cases) {
    std::string bytes = sound;
    c.damage(bytes);
    writeBytes(path, bytes);
    std::string out = runTool("check " + path, &code);
    EXPECT_EQ(code, c.checkCode) << c.what << "\n" << out;
    EXPECT_NE(out.find(c.verdict), std::string::npos) << c.what << "\n" << out;
    for (const char* writer : {"build", "pack"}) {
      writeBytes(path, bytes);
      out = runTool(std::string(writer) + " " + path, &code);
      EXPECT_EQ(code, c.writerCode) << writer << ", " << c.what << "\n" << out;
      EXPECT_NE(out.find(c.writerSays), std::string::npos) << writer << ", " << c.what << "\n" << out;
      if (c.writerCode != 0) EXPECT_TRUE(fileBytes(path) == bytes) << writer << " changed the file: " << c.what;
    }
    // The engine's own pack, as a program calls it, refuses as well.
    if (c.engineRefuses) {
      writeBytes(path, bytes);
      DataFile file;
      file.setName(path);
      EXPECT_NE(file.pack(), 0) << c.what;
      EXPECT_TRUE(fileBytes(path) == bytes) << "the engine's pack changed the file: " << c.what;
    }
  }
}

TEST(ToolDamage, DumpPrintsWhatItCanReadThenReportsTheDamagedPage) {
  TempDir dir;
  const std::string path = dir.file("gen.GLM");
  int code = -1;
  runTool("generate " + path + " --records 60 --seed 5", &code);
  ASSERT_EQ(code, 0);
  // A leaf of data records that does not hold the first record.
  std::int32_t victim = -1;
  std::size_t lost = 0;
  {
    int error = 0;
    auto os = posixFileSystem().open(path, false, false, &error);
    ASSERT_TRUE(os);
    Container container(*os);
    ASSERT_EQ(container.open(), 0);
    container.refresh(false);
    container.walkPages([&](const Container::PageInfo& page) {
      if (victim >= 0 || page.level != 0) return;
      std::size_t data = 0;
      bool first = false;
      for (const TreeRecord& r : page.records) {
        if (r.keyLength != 9 || r.key()[4] != RecordKind::DATA) continue;
        ++data;
        first = first || getBigEndian32(r.key().data() + 5) == 1;
      }
      if (data > 0 && !first) {
        victim = page.reference;
        lost = data;
      }
    });
  }
  ASSERT_GE(victim, 0);
  std::string bytes = fileBytes(path);
  const std::size_t at = std::size_t(victim) * 256 + 512;
  bytes[at + 4] = char(0xFF);  // its stored size no longer fits its class
  bytes[at + 5] = char(0x7F);
  writeBytes(path, bytes);

  const std::string out = runTool("dump " + path, &code);
  EXPECT_EQ(code, 1) << out;
  std::size_t printed = 0;
  for (std::size_t p = out.find("{\"record\":"); p != std::string::npos; p = out.find("{\"record\":", p + 1)) ++printed;
  EXPECT_EQ(printed, 61 - lost) << out.substr(out.size() > 600 ? out.size() - 600 : 0);
  EXPECT_NE(out.find("warning: the file is damaged: " + std::to_string(61 - lost) + " records dumped"), std::string::npos)
      << out.substr(out.size() > 600 ? out.size() - 600 : 0);
  EXPECT_NE(out.find("its counter names 61"), std::string::npos);
}

TEST(ToolDamage, AWriterSaysItWaitsAndGivesUpAfterItsLimit) {
  TempDir dir;
  const std::string path = dir.file("held.GLM");
  int code = -1;
  runTool("generate " + path + " --records 20 --seed 2", &code);
  ASSERT_EQ(code, 0);
  const std::string before = fileBytes(path);
  // Another program's writer lock, held by this process while the tool runs.
  int error = 0;
  auto holder = posixFileSystem().open(path, true, false, &error);
  ASSERT_TRUE(holder);
  ASSERT_EQ(holder->lock(lock_bytes::kWriter, 1, true), 0);
  const std::string out = runTool("build " + path + " --wait 2", &code);
  EXPECT_EQ(code, 3) << out;
  EXPECT_NE(out.find("Waiting for another program to finish writing " + path + "\u2026"), std::string::npos) << out;
  EXPECT_NE(out.find("File Is Already Locked (32)"), std::string::npos) << out;
  EXPECT_TRUE(fileBytes(path) == before);
  holder->unlock(lock_bytes::kWriter, 1);
  runTool("build " + path + " --wait 2", &code);
  EXPECT_EQ(code, 0) << "the lock is gone";
}

// What is not a collection file is named for what it is, by every command,
// and none of them waits on a pipe; a name without an extension is taken as
// given when that file exists.
TEST(ToolDamage, EveryCommandNamesWhatItWasGivenInsteadOfAFile) {
  TempDir dir;
  const std::string fifo = dir.file("pipe.GLM");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir.file("folder.GLM");
  std::filesystem::create_directory(folder);
  int code = -1;
  struct Case {
    std::string path;
    const char* says;
  } cases[] = {{fifo, "Not a regular file"}, {folder, "Is a directory"}};
  for (const Case& c : cases)
    for (const char* command : {"info", "check", "dump", "build", "pack"}) {
      const std::string out = runTool(std::string(command) + " " + c.path, &code);
      EXPECT_EQ(code, 3) << command << " " << c.path << "\n" << out;
      EXPECT_NE(out.find(c.says), std::string::npos) << command << " " << c.path << "\n" << out;
    }

  const std::string plain = dir.file("plain");
  runTool("generate " + dir.file("made.GLM") + " --records 9 --seed 1", &code);
  ASSERT_EQ(code, 0);
  const std::string again = runTool("generate " + dir.file("made.GLM") + " --records 5 --seed 1", &code);
  ASSERT_EQ(code, 0) << "a new collection replaces the one of that name: " << again;
  std::filesystem::rename(dir.file("made.GLM"), plain);
  for (const char* command : {"info", "check", "dump", "build", "pack"}) {
    const std::string out = runTool(std::string(command) + " " + plain, &code);
    EXPECT_EQ(code, 0) << command << "\n" << out;
  }
  EXPECT_FALSE(std::filesystem::exists(plain + ".DAT"));
}

}  // namespace
}  // namespace glimra::datafile::testing
