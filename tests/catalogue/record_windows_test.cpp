// SPDX-License-Identifier: GPL-3.0-or-later
// The description and lending windows from the main window: the heading names
// the shown entry, what is typed is kept and the ornament saved when the
// window closes (also when nothing was typed), the description takes exactly
// its 3,000 characters, dates are shown back in their picture, text the file
// cannot hold is refused, and the buttons are offered only for a stored
// ornament.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

namespace catalogue_test {
namespace {

using glimra::catalogue::DESCRIPTION_WINDOW_TITLE;
using glimra::catalogue::LIBRARIAN_WINDOW_TITLE;

enum { HEADING = 1, TEXTBOX = 2, LENTTO = 4, DATELENT = 6, GIVENTO = 8, DATEGIVEN = 10, OK_BUTTON = 12, DESCRIPTION_COUNT = 13 };

const std::vector<Ornament> kTree = {{"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}};

TEST_F(CatalogueTest, TheDescriptionWindowEditsExactlyTheFieldAndSavesOnClosing) {
  struct Case {
    const char* what;
    std::string typed;      // empty: nothing typed
    const char* refusal;    // the reason given, or null
    std::string stored;     // the description stored afterwards
    const char* count;      // the line under the box
  };
  const std::string full(3000, 'x');
  const Case cases[] = {
      {"nothing typed", "", nullptr, "", "0 of 3,000 characters used"},
      {"two lines", "Blown glass.\nA gift from Anna.", nullptr, "Blown glass.\r\nA gift from Anna.",
       "31 of 3,000 characters used"},
      {"3,000 characters", full, nullptr, full, "3,000 of 3,000 characters used"},
      // The box stops taking text at the limit: what fits is kept.
      {"3,001 characters", full + "y", nullptr, full, "3,000 of 3,000 characters used"},
      {"a line break that would pass the limit", std::string(2999, 'x') + "\nyz", nullptr, std::string(2999, 'x'),
       "2,999 of 3,000 characters used"},
      {"outside Windows-1252", "Glass \xe2\x98\x83", "", "", "0 of 3,000 characters used"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeCollection(path("Tree.GLM"), kTree);
    remember(path("Tree.GLM"));
    Session session;
    std::string heading, count;
    std::optional<std::string> refusal;
    session.runtime.whenOpened[DESCRIPTION_WINDOW_TITLE] = [&](ScriptedWindow& window) {
      window.onIdle = [&](ScriptedWindow& d) {
        heading = d.shownText(HEADING);
        if (!c.typed.empty()) refusal = d.type(TEXTBOX, c.typed);
        count = d.shownText(DESCRIPTION_COUNT);
        d.click(OK_BUTTON);
      };
    };
    bool undoAfter = false;
    session.act([](ScriptedWindow& w) { w.click(control::DESCRIPTION); })
        .check([&](ScriptedWindow& w) { undoAfter = w.isEnabled(control::UNDO); });
    session.run();
    EXPECT_EQ(heading, "Bell (Alpine)");
    if (c.refusal) {
      ASSERT_TRUE(refusal.has_value());
      if (*c.refusal) EXPECT_EQ(*refusal, c.refusal);
    } else {
      EXPECT_FALSE(refusal.has_value()) << *refusal;
    }
    EXPECT_EQ(storedRecord(path("Tree.GLM"), "Bell").DESCRIPTION.str(), c.stored);
    EXPECT_EQ(count, c.count);
    // Saved in every case: the previous version retired, a new one added.
    EXPECT_EQ(recordsIn(path("Tree.GLM")), (std::vector<std::string>{"", "Star", "Bell [deleted]", "Bell"}));
    EXPECT_TRUE(undoAfter);
  }
}

TEST_F(CatalogueTest, TheLendingWindowShowsDatesBackInTheirPicture) {
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  std::string heading, dateLent, dateGiven, image;
  std::optional<std::string> refusedName;
  session.runtime.whenOpened[LIBRARIAN_WINDOW_TITLE] = [&](ScriptedWindow& window) {
    window.onIdle = [&](ScriptedWindow& d) {
      heading = d.shownText(HEADING);
      image = d.declaration().controls.size() > 10 ? d.declaration().controls[1].icon : "";
      d.type(LENTTO, "Anna Berg");
      d.type(DATELENT, "1/2/24");
      d.type(GIVENTO, "Karl");
      d.type(DATEGIVEN, "12/24/2025");
      refusedName = d.type(GIVENTO, "Karl \xe2\x98\x83");
      dateLent = d.shownText(DATELENT);
      dateGiven = d.shownText(DATEGIVEN);
      d.click(OK_BUTTON);
    };
  };
  session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); })  // Star
      .act([](ScriptedWindow& w) { w.click(control::LIBRARIAN); });
  session.run();
  EXPECT_EQ(heading, "Star (Winter)");
  EXPECT_EQ(image, glimra::catalogue::PRESENT_IMAGE);
  EXPECT_EQ(dateLent, "01/02/24");
  EXPECT_EQ(dateGiven, "12/24/25");
  EXPECT_TRUE(refusedName.has_value());
  GlRecord star = storedRecord(path("Tree.GLM"), "Star");
  EXPECT_EQ(star.LENTTO.str(), "Anna Berg");
  EXPECT_EQ(star.GIVENTO.str(), "Karl");  // the refused text left the field as it was
  EXPECT_EQ(glimra::runtime::FieldValue(glimra::runtime::Binding::to(star.DATELENT), "d1").shown(), "01/02/24");
}

TEST_F(CatalogueTest, TheRecordWindowsAreOfferedOnlyForAStoredOrnament) {
  struct Seen {
    bool description, librarian;
    bool operator==(const Seen&) const = default;
  };
  auto seen = [](ScriptedWindow& w) { return Seen{w.isEnabled(control::DESCRIPTION), w.isEnabled(control::LIBRARIAN)}; };
  writeCollection(path("Tree.GLM"), kTree);
  remember(path("Tree.GLM"));
  Session session;
  Seen shown{}, adding{}, afterDrop{};
  session.check([&](ScriptedWindow& w) { shown = seen(w); })
      .act([](ScriptedWindow& w) { w.click(control::NEW); })
      .check([&](ScriptedWindow& w) {
        adding = seen(w);
        EXPECT_FALSE(w.click(control::DESCRIPTION));
      })
      .act([](ScriptedWindow& w) { w.click(control::SAVE); })  // nameless: dropped
      .check([&](ScriptedWindow& w) { afterDrop = seen(w); });
  session.run();
  EXPECT_EQ(shown, (Seen{true, true}));
  EXPECT_EQ(adding, (Seen{false, false}));
  EXPECT_EQ(afterDrop, (Seen{true, true}));

  // An empty file shows no ornament to describe.
  writeCollection(path("Empty.GLM"), {});
  remember(path("Empty.GLM"));
  Session empty;
  Seen onEmpty{true, true};
  empty.check([&](ScriptedWindow& w) { onEmpty = seen(w); });
  empty.run();
  EXPECT_EQ(onEmpty, (Seen{false, false}));
}

}  // namespace
}  // namespace catalogue_test
