// SPDX-License-Identifier: GPL-3.0-or-later
// Before the program rebuilds keys: a rebuild that loses nothing goes on after
// a backup; one that would keep a record's value where its key entry holds
// another asks first, showing the ornament and both values, and goes on only
// on Yes.
#include <gtest/gtest.h>

#include <functional>

#include "collection/backups.h"
#include "datafile/container.h"
#include "datafile/record_kinds.h"
#include "datafile/table_catalog.h"
#include "program/key_rebuild.h"
#include "program/program_fixture.h"
#include "runtime/scripted_runtime.h"

namespace program_test {
namespace {

using glimra::runtime::ScriptedRuntime;
namespace datafile = glimra::datafile;
namespace GlField = glimra::collection::GlField;
namespace GlKey = glimra::collection::GlKey;

// Changes the collection behind the record layer, as a damaged disk would.
void changeBehindTheEngine(const fs::path& path, const std::function<void(datafile::Container&, std::uint32_t)>& change) {
  int error = 0;
  auto os = datafile::posixFileSystem().open(path.string(), true, false, &error);
  ASSERT_TRUE(os);
  datafile::Container container(*os);
  ASSERT_EQ(container.open(), 0);
  container.refresh(true);
  change(container, *datafile::findTable(container, "UNNAMED"));
  container.commit();
}

class KeyRebuildTest : public CollectionFileTest {};

TEST_F(KeyRebuildTest, ARebuildThatWouldKeepADisagreeingValueAsksFirst) {
  const auto flipStockNumber = [](datafile::Container& c, std::uint32_t table) {
    // The last record is Star's: "S-3245" becomes "C-3245".
    datafile::TreeRecord r;
    ASSERT_TRUE(c.findLastLess(datafile::kindPrefix(table, datafile::RecordKind::DATA + 1), &r));
    r.bytes[r.keyLength + glimra::collection::glimraDeclaration().fields[GlField::CUSTOM1].offset] ^= 0x10;
    c.replace(r);
  };
  const auto loseAnEntry = [](datafile::Container& c, std::uint32_t table) {
    datafile::TreeRecord r;
    // The key of creation times holds every record: an entry that is missing was lost.
    ASSERT_TRUE(c.findFirstGreater(datafile::kindPrefix(table, GlKey::CREATEDKEY), &r));
    c.erase(r.key());
  };
  struct Case {
    const char* what;
    std::function<void(datafile::Container&, std::uint32_t)> damage;
    std::vector<glimra::runtime::Button> answers;
    bool asked;
    bool goesOn;
  };
  const Case cases[] = {
      {"sound", {}, {}, false, true},
      {"a key entry lost", loseAnEntry, {}, false, true},
      {"a record and its key entry disagree, No", flipStockNumber, {glimra::runtime::No}, true, false},
      {"a record and its key entry disagree, Yes", flipStockNumber, {glimra::runtime::Yes}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path file = path(std::string("Keys-") + std::to_string(&c - cases) + ".GLM");
    writeCollection(file, {{"Star", "", "", false, [](GlRecord& r) { r.CUSTOM1 = "S-3245"; }}});
    if (c.damage) changeBehindTheEngine(file, c.damage);
    ScriptedRuntime runtime;
    runtime.messageAnswers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(glimra::program::readyToRebuildKeys(runtime, datafile::posixFileSystem(), file.string(), "Rebuild Keys"),
              c.goesOn);
    ASSERT_EQ(runtime.messages.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      const std::string& text = runtime.messages[0].text;
      EXPECT_EQ(runtime.messages[0].caption, "Rebuild Keys");
      EXPECT_EQ(runtime.messages[0].defaultButton, glimra::runtime::No);
      EXPECT_NE(text.find("Star (record 3): Stock # is \"C-3245\" in the record, \"S-3245\" in its key entry"),
                std::string::npos)
          << text;
      EXPECT_NE(text.find("the backup taken first keeps those of the key entries"), std::string::npos) << text;
    }
    EXPECT_EQ(glimra::collection::listBackups(file.string()).size(), c.goesOn ? 1u : 0u)
        << "a backup before the rebuild, damaged keys and all; none when it does not go on";
  }
}

}  // namespace
}  // namespace program_test
