// SPDX-License-Identifier: GPL-3.0-or-later
// The standard warnings as the user sees them through the runtime, and
// CHECKOPEN's handling of a file that is missing, open already or unusable.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>

#include "collection/expected_warnings.h"
#include "datafile/fault_file.h"
#include "program/check_open.h"
#include "program/messages.h"
#include "program/program_fixture.h"
#include "runtime/scripted_runtime.h"

namespace program_test {
namespace {

using glimra::collection::testing::expectedWarning;
using glimra::collection::testing::ExpectedWarning;
using glimra::program::CHECKOPEN;
using glimra::program::STANDARDWARNING;
using glimra::runtime::ScriptedRuntime;
using glimra::runtime::Button;
using glimra::runtime::MessageIcon;
using glimra::runtime::ProgramHalted;

// A collection file object whose last operation failed with "File Not Found".
struct MissingFile {
  GlRecord record;
  glimra::datafile::DataFile file;
  explicit MissingFile(const std::string& name) {
    file.declare(glimra::collection::glimraDeclaration(), &record);
    file.setName(name);
    file.open();
  }
};

TEST(StandardWarning, ShowsEachWarningAndHaltsOnTheFatalOnes) {
  const std::string T1 = "/data/Tree.GLM";
  struct Case {
    int id;
    Button answer;
    std::string text1;
    MessageIcon icon;
    unsigned buttons;
    bool halts;  // false: returns result
    int result;
  };
  const Case cases[] = {
      {1, glimra::runtime::Ok, T1, MessageIcon::Information, glimra::runtime::Ok, true, 0},
      {2, glimra::runtime::Yes, T1, MessageIcon::Exclamation, glimra::runtime::Yes | glimra::runtime::No, false, 2},
      {2, glimra::runtime::No, T1, MessageIcon::Exclamation, glimra::runtime::Yes | glimra::runtime::No, true, 0},
      {3, glimra::runtime::Ok, T1, MessageIcon::Information, glimra::runtime::Ok, true, 0},
      {4, glimra::runtime::Ok, T1, MessageIcon::Information, glimra::runtime::Ok, true, 0},
      {5, glimra::runtime::Ok, T1, MessageIcon::Information, glimra::runtime::Ok, true, 0},
      {30, glimra::runtime::Ok, T1, MessageIcon::Information, glimra::runtime::Ok, false, 1},
      {35, glimra::runtime::Ok, "Glimra", MessageIcon::Information, glimra::runtime::Ok, false, 1},
      {36, glimra::runtime::Ok, "", MessageIcon::Information, glimra::runtime::Ok, false, 1},
  };
  MissingFile missing("/nonexistent-dir/Tree.GLM");
  ASSERT_EQ(missing.file.errorCode(), 2);
  for (const Case& c : cases) {
    SCOPED_TRACE("warning " + std::to_string(c.id) + " answered " + std::to_string(c.answer));
    ScriptedRuntime runtime;
    runtime.messageAnswers.push_back(c.answer);
    int result = -1;
    bool halted = false;
    try {
      result = STANDARDWARNING(runtime, missing.file, c.id, c.text1);
    } catch (const ProgramHalted&) {
      halted = true;
    }
    const ExpectedWarning expected = expectedWarning(c.id, "File Not Found (2)", c.text1);
    ASSERT_GE(runtime.messages.size(), 1u);
    const auto& box = runtime.messages[0];
    EXPECT_EQ(box.caption, expected.caption);
    EXPECT_EQ(box.text, expected.text);
    EXPECT_EQ(box.icon, c.icon);
    EXPECT_EQ(box.buttons, c.buttons);
    EXPECT_EQ(box.defaultButton, c.buttons & glimra::runtime::Yes ? glimra::runtime::Yes : glimra::runtime::Ok);
    EXPECT_EQ(halted, c.halts);
    if (halted) {
      ASSERT_EQ(runtime.messages.size(), 2u);
      EXPECT_EQ(runtime.messages[1].caption, "Halt");
      EXPECT_EQ(runtime.messages[1].text, expected.halt);
      EXPECT_EQ(runtime.messages[1].icon, MessageIcon::Stop);
      EXPECT_EQ(runtime.exitCodes, std::vector<int>{0});
    } else {
      EXPECT_EQ(runtime.messages.size(), 1u);
      EXPECT_EQ(result, c.result);
    }
  }
}

TEST(StandardWarning, FileSystemErrorNamesTheOperatingSystemsError) {
  glimra::datafile::FaultFileSystem disk;
  glimra::datafile::FaultPlan plan;
  plan.failWrite = 1;
  disk.plan = plan;
  GlRecord record;
  glimra::datafile::DataFile file(disk);
  file.declare(glimra::collection::glimraDeclaration(), &record);
  file.setName("Tree.GLM");
  ASSERT_EQ(file.create(), 90);
  ScriptedRuntime runtime;
  STANDARDWARNING(runtime, file, 30, "Tree.GLM");
  ASSERT_EQ(runtime.messages.size(), 1u);
  EXPECT_EQ(runtime.messages[0].text,
            expectedWarning(30, file.fileErrorText() + " (" + file.fileErrorCode() + ")", "Tree.GLM").text);
  EXPECT_EQ(runtime.messages[0].text.find("File System Error"), std::string::npos);
}

class CheckOpenTest : public CollectionFileTest {};

TEST_F(CheckOpenTest, OpensCreatesOrEndsTheProgram) {
  struct Case {
    const char* label;
    std::function<void(const fs::path&)> prepare;
    std::optional<std::uint8_t> create;
    std::vector<std::string> captions;  // message boxes shown, in order
    bool halts;
  };
  const Case cases[] = {
      {"present", [](const fs::path& p) { writeCollection(p, {{"Star", "", ""}}); }, std::nullopt, {}, false},
      {"missing, created", [](const fs::path&) {}, 1, {}, false},
      {"missing, not to be created", [](const fs::path&) {}, 0, {"File Creation Error", "Halt"}, true},
      {"missing", [](const fs::path&) {}, std::nullopt, {"File Access Error", "Halt"}, true},
      {"not a collection file", [](const fs::path& p) { std::ofstream(p) << std::string(5000, 'x'); }, 1,
       {"File Access Error", "Halt"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const fs::path file = path(std::string("Check-") + std::to_string(&c - cases) + ".GLM");
    c.prepare(file);
    ScriptedRuntime runtime;
    GlRecord record;
    glimra::datafile::DataFile data;
    data.declare(glimra::collection::glimraDeclaration(), &record);
    data.setName(file.string());
    bool halted = false;
    try {
      CHECKOPEN(runtime, data, c.create);
    } catch (const ProgramHalted&) {
      halted = true;
    }
    std::vector<std::string> captions;
    for (const auto& m : runtime.messages) captions.push_back(m.caption);
    EXPECT_EQ(captions, c.captions);
    EXPECT_EQ(halted, c.halts);
    if (c.halts) {
      EXPECT_EQ(runtime.messages.back().text, c.captions[0] == "File Access Error" ? "Disk Error" : "File Creation Error!");
    }
    EXPECT_EQ(data.isOpen(), !c.halts);
    if (!c.halts) {
      // Already open: returns at once.
      CHECKOPEN(runtime, data, c.create);
      EXPECT_TRUE(data.isOpen());
      EXPECT_EQ(runtime.messages.size(), 0u);
    }
  }
}

}  // namespace
}  // namespace program_test
