// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file find: the matches in the find tab's order with their record
// numbers, exit 0 / 1 / 2, and the file only read.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "datafile_fixture.h"
#include "run_tool.h"

namespace glimra::datafile::testing {
namespace {

using collection::GlRecord;

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ToolFind, ListsMatchesInTheFindTabsOrderAndAnswersWithItsExitCode) {
  TempDir dir;
  const std::string path = dir.file("FIND.GLM");
  std::map<std::string, std::uint32_t> number;  // by name
  {
    GlRecord GL;
    DataFile file;
    file.declare(collection::glimraDeclaration(), &GL);
    file.setName(path);
    ASSERT_EQ(file.create(), 0);
    ASSERT_EQ(file.open(OpenMode{0x22}), 0);
    GL.DESCRIPTION = "chip";  // the header record is never searched
    ASSERT_EQ(file.add(), 0);
    const struct {
      const char* name;
      const char* nameKey;
      const char* seriesKey;
      const char* description;
      bool retired;
    } records[] = {
        {"Owl", "Owl (Woods)", "Woods (Owl)", "a small chip", false},
        {"Angel", "", " (Angel)", "CHIP shop", false},
        {"Bell", "Bell (Tin)", "Tin (Bell)", "Chipmunk Co.", false},
        {"Acorn", "Acorn (Woods)", "Woods (Acorn)", "chip", true},
        {"\xC9toile", "\xC9toile (Ciel)", "Ciel (\xC9toile)", "painted in \xE9t\xE9", false},
    };
    for (const auto& r : records) {
      GL.clear();
      GL.NAME = r.name;
      GL.NAMEKEY = r.nameKey;
      GL.SERIESKEY = r.seriesKey;
      GL.DESCRIPTION = r.description;
      GL.DELETED = r.retired;
      ASSERT_EQ(file.add(), 0);
      number[r.name] = file.pointer();
    }
  }
  const std::string before = bytesOf(path);
  auto line = [&](const char* name, const std::string& sortKey) {
    return std::to_string(number[name]) + "\t" + sortKey + "\n";
  };
  const std::string angel = line("Angel", " (Angel)"), bell = line("Bell", "Bell (Tin)"),
                    owl = line("Owl", "Owl (Woods)");
  const struct {
    std::string arguments;
    int exitCode;
    std::string output;
  } cases[] = {
      {"chip", 0, owl},
      {"chip --ignore-case", 0, angel + bell + owl},
      {"--ignore-case CHIP", 0, angel + bell + owl},
      {"' chip'", 0, owl},       // a leading blank counts
      {"'chip   '", 0, owl},     // trailing blanks do not
      {"'\xC3\xA9t\xC3\xA9' --ignore-case", 0, line("\xC9toile", "\xC3\x89toile (Ciel)")},
      {"--json --ignore-case 'chip s'", 0,
       "{\"record\":" + std::to_string(number["Angel"]) +
           ",\"sortKey\":\" (Angel)\",\"name\":\"Angel\",\"keyType\":2}\n"},
      {"Chipmunks", 1, ""},
      {"chip --whole-word", 2, "glimra-file: usage: glimra-file find FILE TEXT [--ignore-case] [--json]\n"},
      {"'   '", 2, "glimra-file: the text to find is blank\n"},
      {"123456789012345678901", 2, "glimra-file: the text to find is longer than 20 characters\n"},
      {"'\xE2\x98\x83'", 2,
       "glimra-file: the text to find: The character \"\xE2\x98\x83\" (U+2603) cannot be stored in a collection "
       "file.\n"},
  };
  for (const auto& c : cases) {
    int code = -1;
    const std::string out = runTool("find " + path + " " + c.arguments, &code);
    EXPECT_EQ(code, c.exitCode) << c.arguments;
    EXPECT_EQ(out, c.output) << c.arguments;
  }
  EXPECT_EQ(bytesOf(path), before);
}

TEST(ToolFind, FilesItCannotSearchAreErrorsWithTheirReason) {
  TempDir dir;
  {
    Item buffer;
    const TableDeclaration items = itemDeclaration();
    DataFile file;
    file.declare(items, &buffer);
    file.setName(dir.file("ITEMS.DAT"));
    ASSERT_EQ(file.create(), 0);
  }
  std::ofstream(dir.file("JUNK.GLM")) << "not a data file";
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {dir.file("MISSING.GLM"), "File Not Found (2)"},
      {dir.file("ITEMS.DAT"), "Invalid Record Declaration (47): not a collection file"},
      {dir.file("JUNK.GLM"), "Invalid Data File (36)"},
  };
  for (const auto& c : cases) {
    int code = -1;
    const std::string out = runTool("find " + c.file + " star", &code);
    EXPECT_EQ(code, 2) << c.file;
    EXPECT_EQ(out, "glimra-file: " + c.file + ": " + c.message + "\n") << c.file;
  }
}

}  // namespace
}  // namespace glimra::datafile::testing
