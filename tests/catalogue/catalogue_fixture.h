// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "program/program_fixture.h"
#include "collection/glimra_file.h"
#include "collection/settings.h"
#include "collection/sort_keys.h"
#include "datafile/container.h"
#include "datafile/datafile.h"
#include "datafile/record_kinds.h"
#include "runtime/scripted_runtime.h"

namespace catalogue_test {

namespace fs = std::filesystem;
using glimra::catalogue::DisplayGlimra;
using glimra::collection::GlRecord;
using glimra::runtime::ScriptedRuntime;
using glimra::runtime::ScriptedWindow;
namespace control = glimra::catalogue::control;

using program_test::Ornament;
using program_test::recordsIn;
using program_test::writeCollection;

// The titles of the sheet's tabs, left to right.
inline std::vector<std::string> tabTitles(ScriptedWindow& w) {
  std::vector<std::string> titles;
  for (int tab : w.tabs(control::SHEET)) titles.push_back(w.text(tab));
  return titles;
}

// A temporary directory that is also the settings directory.
using CatalogueTest = program_test::CollectionFileTest;

// Runs the program on the scripted runtime. Each step runs when the main
// window has nothing left to do; a step that acts as the user (`act`) hands
// control back to the window, checks (`check`) run straight on. When the
// steps are used up the window closes.
class Session {
 public:
  // The program reaches its collection file through `fileSystem`.
  explicit Session(glimra::datafile::FileSystem& fileSystem = glimra::datafile::posixFileSystem())
      : shared(runtime, fileSystem), program(shared) {
    program.dailyBackupInBackground = false;  // a script has no idle turns to follow it on
  }

  ScriptedRuntime runtime;
  glimra::program::Program shared;  // what every window shares
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

// Removes one key entry behind the record layer: the records stay whole, the
// key no longer matches them (damage a key rebuild mends).
inline void damageKeys(const fs::path& file) {
  GlRecord record;
  glimra::datafile::DataFile data;
  data.declare(glimra::collection::glimraDeclaration(), &record);
  data.setName(file.string());
  ASSERT_EQ(data.open(), 0);
  glimra::datafile::Container& container = *data.container();
  glimra::datafile::TreeRecord entry;
  // An entry of the key of creation times, which holds every record: a lost
  // entry there is plain key damage that a rebuild mends by itself.
  ASSERT_TRUE(container.findFirstGreater(
      glimra::datafile::kindPrefix(data.tableNumber(), glimra::collection::GlKey::CREATEDKEY), &entry));
  container.erase(entry.key());
  container.commit();
  data.close();
}

// A collection file's record by name (not deleted), read back from disk.
inline GlRecord storedRecord(const fs::path& path, const std::string& name) {
  GlRecord record;
  glimra::datafile::DataFile file;
  file.declare(glimra::collection::glimraDeclaration(), &record);
  file.setName(path.string());
  GlRecord found;
  found.clear();
  if (file.open() != 0) return found;
  file.setFile();
  while (file.next() == 0)
    if (!record.DELETED && record.NAME.str() == name) found = record;
  file.close();
  return found;
}

}  // namespace catalogue_test
