// What the catalogue tests share: a temporary directory that also holds the
// settings file, small collection files written record by record, a way to
// read a file back, and a session that runs the program on the scripted
// runtime through a list of steps taken whenever the main window waits for
// the user.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "catalogue/start_up.h"
#include "collection/glimra_file.h"
#include "collection/settings.h"
#include "collection/sort_keys.h"
#include "datafile/datafile.h"
#include "runtime/scripted_runtime.h"

namespace catalogue_test {

namespace fs = std::filesystem;
using glimra::catalogue::DisplayGlimra;
using glimra::collection::GlRecord;
using glimra::runtime::ScriptedRuntime;
using glimra::runtime::ScriptedWindow;
namespace control = glimra::catalogue::control;

struct Ornament {
  std::string name;
  std::string series;
  std::string category;
  bool deleted = false;
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
    glimra::collection::buildKeys(record);
    ASSERT_EQ(file.add(), 0) << file.errorText();
  }
  file.close();
}

// Every record of a collection file in physical order (header first), as
// "name" or "name [deleted]".
inline std::vector<std::string> recordsIn(const fs::path& path) {
  GlRecord record;
  glimra::datafile::DataFile file;
  file.declare(glimra::collection::glimraDeclaration(), &record);
  file.setName(path.string());
  std::vector<std::string> names;
  if (file.open() != 0) return {"<cannot open: " + file.errorText() + ">"};
  file.setFile();
  while (file.next() == 0) names.push_back(record.NAME.str() + (record.DELETED ? " [deleted]" : ""));
  file.close();
  return names;
}

// A temporary directory that is also the settings directory.
class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = fs::temp_directory_path() / ("glimra-cat-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
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

// Runs the program on the scripted runtime. Each step runs when the main
// window has nothing left to do; a step that acts as the user (`act`) hands
// control back to the window, checks (`check`) run straight on. When the
// steps are used up the window closes.
class Session {
 public:
  // The program reaches its collection file through `fileSystem`.
  explicit Session(glimra::datafile::FileSystem& fileSystem = glimra::datafile::posixFileSystem())
      : program(runtime, fileSystem) {}

  ScriptedRuntime runtime;
  DisplayGlimra program;

  Session& act(std::function<void(ScriptedWindow&)> step) {
    steps_.push_back({std::move(step), true});
    return *this;
  }
  Session& check(std::function<void(ScriptedWindow&)> step) {
    steps_.push_back({std::move(step), false});
    return *this;
  }
  void run() {
    runtime.whenOpened[glimra::catalogue::MAIN_WINDOW_TITLE] = [this](ScriptedWindow& window) {
      window.onIdle = [this](ScriptedWindow& w) {
        while (!steps_.empty()) {
          Step step = std::move(steps_.front());
          steps_.pop_front();
          step.run(w);
          if (step.acts) return;
        }
      };
    };
    glimra::catalogue::runGlimra(runtime, program);
  }

 private:
  struct Step {
    std::function<void(ScriptedWindow&)> run;
    bool acts;
  };
  std::deque<Step> steps_;
};

}  // namespace catalogue_test
