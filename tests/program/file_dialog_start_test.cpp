// SPDX-License-Identifier: GPL-3.0-or-later
// Where file dialogs start: beside the collection, with the name they offer,
// or in the user's documents folder while no collection names a folder that
// is there.
#include "program/file_dialog_start.h"

#include <gtest/gtest.h>

#include "program/program_fixture.h"
#include "runtime/scripted_runtime.h"

namespace program_test {
namespace {

TEST_F(CollectionFileTest, FileDialogsStartBesideTheCollectionOrInTheDocumentsFolder) {
  glimra::runtime::ScriptedRuntime runtime;
  runtime.documents = "/home/anna/Documents";
  const std::string tree = path("Tree.GLM").string();
  struct Case {
    const char* what;
    std::string collection, name, start;
  };
  const Case cases[] = {
      {"beside the collection", tree, "", dir_.string()},
      {"a name offered there", tree, "Glimra Sorted by Name.pdf", path("Glimra Sorted by Name.pdf").string()},
      {"no collection yet", "", "", "/home/anna/Documents"},
      {"its folder is gone", (dir_ / "gone" / "Tree.GLM").string(), "Tree.csv", "/home/anna/Documents/Tree.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(glimra::program::fileDialogStart(runtime, c.collection, c.name), c.start);
  }
}

}  // namespace
}  // namespace program_test
