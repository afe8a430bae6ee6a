// SPDX-License-Identifier: GPL-3.0-or-later
// build, pack and import rewrite or add to a whole collection, so each takes a
// checked backup first: when none can be taken the file is left as it was,
// unless --no-backup.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "collection/backups.h"
#include "datafile/run_tool.h"
#include "datafile/temp_dir.h"

namespace {

using glimra::datafile::testing::fileBytes;
using glimra::datafile::testing::runTool;
using glimra::datafile::testing::TempDir;

TEST(ToolBackup, BuildPackAndImportTakeABackupFirstUnlessTold) {
  TempDir dir;
  const std::string path = dir.file("Shelf.GLM");
  ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  int code = -1;
  runTool("generate " + path + " --records 30 --seed 4", &code);
  ASSERT_EQ(code, 0);
  const std::string csv = dir.file("more.csv");
  std::ofstream(csv) << "Name,Category\nBell,Glass\n";
  struct Case {
    std::string command;
    std::size_t backups;  // afterwards
  };
  const Case cases[] = {{"build", 1},
                        {"pack", 2},
                        {"import --csv " + csv, 3},
                        {"build --full --no-backup", 3},
                        {"pack --no-backup", 3},
                        {"import --csv " + csv + " --no-backup", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string before = fileBytes(path);
    std::string command = c.command;
    command.insert(command.find(' ') == std::string::npos ? command.size() : command.find(' '), " " + path);
    const std::string out = runTool(command, &code);
    EXPECT_EQ(code, 0) << out;
    const auto list = glimra::collection::listBackups(path);
    ASSERT_EQ(list.size(), c.backups) << out;
    if (command.find("--no-backup") == std::string::npos) {
      EXPECT_EQ(fileBytes(list[0].path), before) << "the state before the command";
      EXPECT_NE(out.find("backup " + list[0].path), std::string::npos) << out;
    }
  }

  // No backup, no change: the backups folder cannot be made.
  std::ofstream(dir.file("blocker")) << "a file";
  ::setenv("XDG_DATA_HOME", dir.file("blocker").c_str(), 1);
  const std::string before = fileBytes(path);
  for (const std::string& command : {"build " + path, "pack " + path, "import " + path + " --csv " + csv}) {
    SCOPED_TRACE(command);
    const std::string out = runTool(command, &code);
    EXPECT_EQ(code, 3) << out;
    EXPECT_NE(out.find("no backup could be taken: The backup folder"), std::string::npos) << out;
    EXPECT_EQ(fileBytes(path), before);
  }
  ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
}

}  // namespace
