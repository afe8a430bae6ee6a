// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests of the program layer and above share: a temporary
// directory that is also the settings directory, and small collection files
// written record by record and read back.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "collection/glimra_file.h"
#include "collection/settings.h"
#include "collection/sort_keys.h"
#include "datafile/datafile.h"

namespace program_test {

namespace fs = std::filesystem;
using glimra::collection::GlRecord;

struct Ornament {
  std::string name;
  std::string series;
  std::string category;
  bool deleted = false;
  std::function<void(GlRecord&)> more = {};  // fills further fields
};

// Writes a collection file: its header record, then the ornaments in order.
inline void writeCollection(const fs::path& path, const std::vector<Ornament>& ornaments) {
  GlRecord record;
  glimra::datafile::DataFile file;
  file.declare(glimra::collection::glimraDeclaration(), &record);
  file.setName(path.string());
  ASSERT_EQ(file.create(), 0) << file.errorText();
  ASSERT_EQ(file.open(), 0) << file.errorText();
  record.clear();
  record.CREATEDDATE = 78500;
  record.CHANGEDDATE = 78500;
  ASSERT_EQ(file.add(), 0);
  for (const Ornament& o : ornaments) {
    record.clear();
    record.NAME = o.name;
    record.SERIES = o.series;
    record.CATEGORY = o.category;
    record.DELETED = o.deleted ? 1 : 0;
    if (o.more) o.more(record);
    glimra::collection::buildKeys(record);
    ASSERT_EQ(file.add(), 0) << file.errorText();
  }
  file.close();
}

// Every record of a collection file in physical order (header first), as
// "name" or "name [deleted]".
inline std::vector<std::string> recordsIn(const fs::path& path,
                                          glimra::datafile::FileSystem& fileSystem = glimra::datafile::posixFileSystem()) {
  GlRecord record;
  glimra::datafile::DataFile file(fileSystem);
  file.declare(glimra::collection::glimraDeclaration(), &record);
  file.setName(path.string());
  std::vector<std::string> names;
  if (file.open() != 0) return {"<cannot open: " + file.errorText() + ">"};
  file.setFile();
  while (file.next() == 0) names.push_back(record.NAME.str() + (record.DELETED ? " [deleted]" : ""));
  file.close();
  return names;
}

// A temporary directory that is also the settings directory, and holds the
// backups under data/.
class CollectionFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = fs::temp_directory_path() / ("glimra-cat-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);  // backups go there
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path path(const std::string& name) const { return dir_ / name; }
  void remember(const fs::path& file) {
    ASSERT_TRUE(glimra::collection::writeSetting("CurrentFile", "GlimraFile", file.string()));
  }
  std::string remembered() const { return glimra::collection::readSetting("CurrentFile", "GlimraFile", "<none>"); }
  bool settingsExist() const { return fs::exists(dir_ / "Glimra.INI"); }

  fs::path dir_;
};

}  // namespace program_test
