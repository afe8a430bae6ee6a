// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file from the outside: check finds each kind of damage and passes a
// sound file, generate is deterministic, and the exit codes are as documented.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "datafile/record_kinds.h"
#include "datafile_fixture.h"
#include "run_tool.h"

namespace glimra::datafile {
namespace {

using namespace testing;

// A sound file of 40 items, then one change made behind the record layer.
// Damage of keys alone is mended by build; any other leaves both writers
// refusing, the file's bytes as they were.
struct Damage {
  const char* what;
  std::function<void(DataFile&, Container&)> apply;
  const char* reported;
  bool buildMends = false;
};

TEST(ToolCheck, FindsEachKindOfDamage) {
  const Damage cases[] = {
      {"nothing", [](DataFile&, Container&) {}, "sound: 1 table, 40 records"},
      {"missing key entry",
       [](DataFile& f, Container& c) {
         TreeRecord r;
         ASSERT_TRUE(c.findFirstGreater(kindPrefix(f.tableNumber(), NUMBERKEY), &r));
         c.erase(r.key());
       },
       "key IT:NUMBERKEY: no entry for record", true},
      {"stray key entry",
       [](DataFile& f, Container& c) {
         TreeRecord r;
         r.bytes = kindPrefix(f.tableNumber(), NAMEKEY);
         for (char ch : std::string("ZZZZZZZZ")) r.bytes.push_back(ch);
         r.bytes.insert(r.bytes.end(), {0, 0, 0, 2});
         r.keyLength = static_cast<std::uint16_t>(r.bytes.size());
         c.insert(r);
       },
       "matches no record", true},
      {"wrong count",
       [](DataFile& f, Container& c) {
         TreeRecord r;
         r.bytes = counterKey(f.tableNumber(), RecordKind::DATA);
         r.keyLength = 6;
         const Bytes payload = Counter{41, 0}.payload();
         r.bytes.insert(r.bytes.end(), payload.begin(), payload.end());
         c.replace(r);
       },
       "counter says 41 records, the table holds 40"},
      {"short record image",
       [](DataFile& f, Container& c) {
         TreeRecord r;
         ASSERT_TRUE(c.findFirstGreater(kindPrefix(f.tableNumber(), RecordKind::DATA), &r));
         r.bytes.pop_back();
         c.replace(r);
       },
       "image of 23 bytes, the record has 24"},
      {"record of an unknown table",
       [](DataFile&, Container& c) {
         TreeRecord r;
         r.bytes = dataRecordKey(999, 1);
         r.keyLength = 9;
         c.insert(r);
       },
       "belongs to no table"},
  };
  for (const Damage& d : cases) {
    TempDir dir;
    const TableDeclaration declaration = itemDeclaration();
    Item buffer{};
    DataFile file;
    file.declare(declaration, &buffer);
    file.setName(dir.file("items.dat"));
    ASSERT_EQ(file.create(), 0);
    ASSERT_EQ(file.open(), 0);
    for (int i = 0; i < 40; ++i) {
      buffer = item("n" + std::to_string(i % 7), i, i, i % 2 ? std::to_string(i) : "");
      ASSERT_EQ(file.add(), 0);
    }
    d.apply(file, *file.container());
    file.container()->commit();
    ASSERT_EQ(file.close(), 0);
    int code = -1;
    std::string out = runTool("check " + dir.file("items.dat"), &code);
    const bool sound = std::string(d.what) == "nothing";
    EXPECT_EQ(code, sound ? 0 : 1) << d.what << "\n" << out;
    EXPECT_NE(out.find(d.reported), std::string::npos) << d.what << "\n" << out;
    if (sound) continue;
    const std::string damaged = fileBytes(dir.file("items.dat"));
    out = runTool("pack " + dir.file("items.dat"), &code);
    EXPECT_EQ(code, 1) << d.what << "\n" << out;
    EXPECT_NE(out.find("damaged, left as it was"), std::string::npos) << d.what << "\n" << out;
    EXPECT_TRUE(fileBytes(dir.file("items.dat")) == damaged) << d.what << ": pack changed the file";
    out = runTool("build " + dir.file("items.dat"), &code);
    if (d.buildMends) {
      EXPECT_EQ(code, 0) << d.what << "\n" << out;
      out = runTool("check " + dir.file("items.dat"), &code);
      EXPECT_EQ(code, 0) << d.what << ": mended by build\n" << out;
    } else {
      EXPECT_EQ(code, 1) << d.what << "\n" << out;
      EXPECT_TRUE(fileBytes(dir.file("items.dat")) == damaged) << d.what << ": build changed the file";
    }
  }
}

TEST(ToolCheck, DamagedBytesOnDiskAreReportedNotCrashedOn) {
  TempDir dir;
  const std::string path = dir.file("gen.GLM");
  int code = -1;
  runTool("generate " + path + " --records 60 --seed 5", &code);
  ASSERT_EQ(code, 0);
  std::vector<char> bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(bytes.size(), 4096u);
  // Scribble over the middle of the data, and separately cut the file short.
  std::vector<char> scribbled = bytes;
  for (std::size_t i = 1000; i < 1400; ++i) scribbled[i] = static_cast<char>(i * 7);
  std::ofstream(path, std::ios::binary).write(scribbled.data(), static_cast<std::streamsize>(scribbled.size()));
  std::string out = runTool("check " + path, &code);
  EXPECT_EQ(code, 1) << out;
  std::ofstream(path, std::ios::binary).write(bytes.data(), 3000);
  out = runTool("check " + path, &code);
  EXPECT_EQ(code, 1) << out;
  std::ofstream(path, std::ios::binary).write(bytes.data(), 100);
  out = runTool("check " + path, &code);
  EXPECT_EQ(code, 1) << out;
  EXPECT_NE(out.find("too short for the 512 bytes"), std::string::npos) << out;
}

TEST(ToolCheck, GenerateIsDeterministicAndUsageErrorsAreReported) {
  TempDir dir;
  int code = -1;
  runTool("generate " + dir.file("a.GLM") + " --records 150 --seed 9", &code);
  ASSERT_EQ(code, 0);
  runTool("generate " + dir.file("b.GLM") + " --records 150 --seed 9", &code);
  ASSERT_EQ(code, 0);
  runTool("generate " + dir.file("c.GLM") + " --records 150 --seed 10", &code);
  ASSERT_EQ(code, 0);
  const std::string a = runTool("dump " + dir.file("a.GLM"), &code);
  EXPECT_EQ(a, runTool("dump " + dir.file("b.GLM"), &code));
  EXPECT_NE(a, runTool("dump " + dir.file("c.GLM"), &code));
  EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 151);
  EXPECT_NE(a.find("\"GL:NAMEKEY\":\""), std::string::npos);
  const std::string csv = runTool("dump " + dir.file("a.GLM") + " --csv", &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(csv.rfind("record,GL:NAME,GL:CATEGORY,", 0), 0u) << csv.substr(0, 200);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 152) << "a header line, then one per record (no newlines in text)";

  struct Usage {
    const char* arguments;
    int code;
  } usages[] = {
      {"", 2},
      {"--help", 0},
      {"frobnicate x", 2},
      {"check", 2},
      {"dump", 2},
      {"generate x.GLM", 2},
      {"generate x.GLM --records many", 2},
  };
  for (const Usage& u : usages) {
    runTool(u.arguments, &code);
    EXPECT_EQ(code, u.code) << u.arguments;
  }
  const std::string missing = runTool("check " + dir.file("none.GLM"), &code);
  EXPECT_EQ(code, 3);
  EXPECT_NE(missing.find("File Not Found"), std::string::npos) << missing;
  runTool("dump " + dir.file("none.GLM"), &code);
  EXPECT_EQ(code, 3);
  const std::string info = runTool("info " + dir.file("a.GLM"), &code);
  EXPECT_EQ(code, 0);
  EXPECT_NE(info.find("key 3  GL:NAMEKEYKEY  DUP,OPT,NOCASE"), std::string::npos) << info;
}

}  // namespace
}  // namespace glimra::datafile
