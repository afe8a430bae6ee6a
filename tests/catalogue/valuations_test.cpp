// SPDX-License-Identifier: GPL-3.0-or-later
// The value history from the main window: a new Value saved records an own
// estimate, a history saved sets Value to its latest amount, each is one
// undoable save, and the record's Value and the latest valuation agree after
// save, undo, delete and its undo, copy and a reopen. A collection whose
// values never change gets no history table at all.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"
#include "text/std_date.h"
#include "collection/valuations.h"

namespace catalogue_test {
namespace {

using glimra::collection::Valuation;
using glimra::collection::ValuationKind;
using glimra::collection::ValuationTable;

const std::vector<Ornament> kTree = {{"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}};
constexpr int STAR = 2;  // rows on the ALL tab: Bell (Alpine), Star (Winter)

// Every live ornament whose Value is not the amount of its latest valuation.
std::string outOfStep(const fs::path& path) {
  std::string out;
  ValuationTable table;
  EXPECT_EQ(table.open(path.string(), glimra::datafile::READ_ONLY_DENY_NONE), 0);
  GlRecord r;
  glimra::datafile::DataFile file;
  file.declare(glimra::collection::glimraDeclaration(), &r);
  file.setName(path.string());
  EXPECT_EQ(file.open(glimra::datafile::READ_ONLY_DENY_NONE), 0);
  file.setFile();
  while (file.next() == 0) {
    if (!glimra::collection::isLiveOrnament(r)) continue;
    std::vector<Valuation> history;
    EXPECT_EQ(table.valuationsOf(glimra::collection::identityOf(r), &history), 0);
    if (!history.empty() && !glimra::collection::sameAmount(r.VALUE.clipped(), history.back().amount))
      out += r.NAME.str() + ": " + r.VALUE.str() + " / " + history.back().amount + "; ";
  }
  return out;
}

// The shown ornament's history as "kind amount" words.
std::string historyText(DisplayGlimra& program) {
  std::string text;
  for (const Valuation& v : program.valuationsOfShownOrnament())
    text += std::string(glimra::collection::kindName(v.kind)) + " " + v.amount.substr(v.amount.find_first_not_of(' ')) + "; ";
  return text;
}

class ValuationsTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    writeCollection(path("Tree.GLM"), kTree);
    remember(path("Tree.GLM"));
  }
};

TEST_F(ValuationsTest, ValueAndTheLatestValuationAgreeThroughSaveUndoDeleteCopyAndReopen) {
  std::vector<std::string> seen;
  const std::int32_t today = glimra::collection::today();
  {
    Session s;
    auto look = [&](ScriptedWindow& w) {
      seen.push_back(w.shownText(control::GL_VALUE) + " | " + historyText(s.program));
      EXPECT_EQ(outOfStep(path("Tree.GLM")), "");
    };
    auto typeValue = [](const char* value) {
      return [value](ScriptedWindow& w) {
        w.focus(control::GL_VALUE);
        w.type(control::GL_VALUE, value);
      };
    };
    s.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, STAR); })
        .act(typeValue("25"))
        .act([](ScriptedWindow& w) { w.click(control::SAVE); })
        .check(look)
        .act(typeValue("30"))
        .act([](ScriptedWindow& w) { w.click(control::SAVE); })
        .check(look)
        .act([](ScriptedWindow& w) { w.click(control::UNDO); })
        .check(look)
        .check([&](ScriptedWindow&) {
          // An older appraisal leaves Value alone; an insurance valuation of
          // today, entered last, is the latest and becomes Value.
          std::vector<Valuation> history = s.program.valuationsOfShownOrnament();
          history.push_back(Valuation{today - 400, "40.00", ValuationKind::Appraisal, "Smith & Co", ""});
          EXPECT_TRUE(s.program.saveValuations(history));
          history.push_back(Valuation{today, "55.00", ValuationKind::Insurance, "", "policy 12"});
          EXPECT_TRUE(s.program.saveValuations(history));
        })
        .check(look)
        .act([](ScriptedWindow& w) { w.click(control::UNDO); })
        .check(look)
        .act([](ScriptedWindow& w) { w.click(control::GLMDELETE); })
        .act([](ScriptedWindow& w) { w.click(control::UNDO); })
        .check(look)
        .act([](ScriptedWindow& w) { w.click(control::GLMDUPLICATE); })
        .act([](ScriptedWindow& w) {
          w.focus(control::GL_NAME);
          w.type(control::GL_NAME, "Star copy");
        })
        .act([](ScriptedWindow& w) { w.click(control::SAVE); })
        .check(look);  // the copy: the Value, no history of its own
    s.run();
  }
  {
    Session s;
    s.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, STAR); })
        .check([&](ScriptedWindow& w) {
          seen.push_back(w.shownText(control::GL_VALUE) + " | " + historyText(s.program));
          EXPECT_EQ(outOfStep(path("Tree.GLM")), "");
        });
    s.run();
  }
  const std::string estimate25 = "Own estimate 25.00; ";
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "$25.00 | " + estimate25,
                      "$30.00 | " + estimate25 + "Own estimate 30.00; ",
                      "$25.00 | " + estimate25,  // the save undone, its estimate with it
                      "$55.00 | Appraisal 40.00; " + estimate25 + "Insurance 55.00; ",
                      "$25.00 | Appraisal 40.00; " + estimate25,
                      "$25.00 | Appraisal 40.00; " + estimate25,  // delete undone
                      "$25.00 | ",                                // the copy
                      "$25.00 | Appraisal 40.00; " + estimate25,  // reopened
                  }));
}

TEST_F(ValuationsTest, SavesThatLeaveEveryValueAloneWriteNoHistoryTable) {
  Session s;
  s.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, STAR); })
      .act([](ScriptedWindow& w) {
        w.focus(control::GL_NAME);
        w.type(control::GL_NAME, "Comet");
      })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .act([](ScriptedWindow& w) { w.click(control::GLMDUPLICATE); })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })
      .act([](ScriptedWindow& w) { w.click(control::GLMDELETE); })
      .act([](ScriptedWindow& w) { w.click(control::UNDO); });
  s.run();
  ValuationTable table;
  ASSERT_EQ(table.open(path("Tree.GLM").string(), glimra::datafile::READ_ONLY_DENY_NONE), 0);
  EXPECT_FALSE(table.present());
}

}  // namespace
}  // namespace catalogue_test
