// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace glimra::collection {
namespace {

namespace fs = std::filesystem;

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("glimra-settings-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const char* name) const { return (dir_ / name).string(); }
  static std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void put(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }

  fs::path dir_;
};

TEST_F(Settings, WriteThenReadCreatesFileAndFolder) {
  const std::string file = path("sub/dir/Glimra.INI");
  EXPECT_EQ(readSetting("CurrentFile", "GlimraFile", "", file), "");  // missing file: the default
  EXPECT_EQ(readSetting("CurrentFile", "GlimraFile", "none", file), "none");
  ASSERT_TRUE(writeSetting("CurrentFile  ", "GlimraFile ", "/home/ann/Tree.GLM   ", file + "  "));
  EXPECT_EQ(contents(file), "[CurrentFile]\nGlimraFile=/home/ann/Tree.GLM\n");
  EXPECT_EQ(readSetting("CurrentFile", "GlimraFile", "", file), "/home/ann/Tree.GLM");
  ASSERT_TRUE(writeSetting("CurrentFile", "GlimraFile", "/home/ann/Other.GLM", file));
  EXPECT_EQ(readSetting("CurrentFile", "GlimraFile", "", file), "/home/ann/Other.GLM");
  // The same value again leaves the file as it is (a rewrite replaces it).
  struct stat before {}, after {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  ASSERT_TRUE(writeSetting("CurrentFile", "GlimraFile", "/home/ann/Other.GLM", file));
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "sub/dir"), fs::directory_iterator{}), 1);
}

TEST_F(Settings, KeepsOtherSectionsKeysAndCommentsInOrder) {
  const std::string file = path("Glimra.INI");
  put(file,
      "; kept comment\r\n"
      "[Window]\r\n"
      "Left = 10\r\n"
      "Top=20\r\n"
      "\r\n"
      "[currentfile]\r\n"
      "Other=1\r\n"
      "GLIMRAFILE = \"C:\\Old.GLM\"  \r\n"
      "\r\n"
      "[Last]\r\n"
      "x=y\r\n");
  EXPECT_EQ(readSetting("Window", "left", "", file), "10");
  EXPECT_EQ(readSetting("CURRENTFILE", "GlimraFile", "", file), "C:\\Old.GLM");  // quotes removed
  EXPECT_EQ(readSetting("Window", "Missing", "dflt", file), "dflt");
  EXPECT_EQ(readSetting("Nowhere", "x", "dflt", file), "dflt");

  ASSERT_TRUE(writeSetting("CurrentFile", "GlimraFile", "/new/Tree.GLM", file));
  ASSERT_TRUE(writeSetting("Window", "Width", "300", file));
  ASSERT_TRUE(writeSetting("New", "Key", "v", file));
  EXPECT_EQ(contents(file),
            "; kept comment\r\n"
            "[Window]\r\n"
            "Left = 10\r\n"
            "Top=20\r\n"
            "Width=300\r\n"
            "\r\n"
            "[currentfile]\r\n"
            "Other=1\r\n"
            "GlimraFile=/new/Tree.GLM\r\n"
            "\r\n"
            "[Last]\r\n"
            "x=y\r\n"
            "\r\n"
            "[New]\r\n"
            "Key=v\r\n");
}

TEST_F(Settings, RefusesWritesThatWouldBreakTheFile) {
  const std::string file = path("Glimra.INI");
  put(file, "[A]\nk=v\n");
  std::string error;
  EXPECT_FALSE(writeSetting("A", "k", "line1\n[B]\nx=1", file, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(writeSetting("A", "k=2", "v", file));
  EXPECT_FALSE(writeSetting("A]", "k", "v", file));
  EXPECT_FALSE(writeSetting("", "k", "v", file));
  EXPECT_FALSE(writeSetting("A", "  ", "v", file));
  EXPECT_EQ(contents(file), "[A]\nk=v\n");
}

// What cannot be read reads as the default and is never replaced: a folder
// where the file should be, and a link that leads to itself. Every user meets
// both, root included.
TEST_F(Settings, UnreadableFileReadsAsDefaultAndIsNotReplaced) {
  const std::string folder = path("Folder.INI");
  fs::create_directories(folder);
  const std::string loop = path("Loop.INI");
  fs::create_symlink(loop, loop);
  for (const std::string& file : {folder, loop}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(readSetting("A", "k", "dflt", file), "dflt");
    std::string error;
    EXPECT_FALSE(writeSetting("A", "k", "v", file, &error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(fs::is_directory(folder));
  ASSERT_TRUE(fs::is_symlink(loop));
  EXPECT_EQ(fs::read_symlink(loop), loop);
}

// A file its user may not read. Root reads every file, so there the case
// cannot arise and the report says it was skipped.
TEST_F(Settings, FileWithoutReadPermissionReadsAsDefaultAndIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const std::string file = path("Glimra.INI");
  put(file, "[A]\nk=v\n");
  ::chmod(file.c_str(), 0);
  EXPECT_EQ(readSetting("A", "k", "dflt", file), "dflt");
  EXPECT_FALSE(writeSetting("A", "other", "1", file));
  ::chmod(file.c_str(), 0600);
  EXPECT_EQ(contents(file), "[A]\nk=v\n");
}

TEST_F(Settings, BareNameLivesInTheConfigFolder) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string savedValue = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  EXPECT_EQ(settingsPath(), (dir_ / "Glimra.INI").string());
  EXPECT_EQ(settingsPath("/elsewhere/x.ini"), "/elsewhere/x.ini");
  ASSERT_TRUE(writeSetting("CurrentFile", "GlimraFile", "/a/b.GLM", "Glimra.INI"));
  EXPECT_EQ(readSetting("CurrentFile", "GlimraFile", "", path("Glimra.INI")), "/a/b.GLM");

  const char* home = std::getenv("HOME");
  ::unsetenv("XDG_CONFIG_HOME");
  if (home) {
    EXPECT_EQ(settingsPath("Glimra.INI"), std::string(home) + "/.config/Glimra.INI");
  }
  if (saved) ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
}

}  // namespace
}  // namespace glimra::collection
