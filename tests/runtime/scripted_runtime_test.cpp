// SPDX-License-Identifier: GPL-3.0-or-later
// The scripted runtime driving a small procedure written the way the
// program's procedures are: one loop over accept() and a switch on
// (control, event).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/queue.h"
#include "runtime/scripted_runtime.h"

namespace {

using namespace glimra::runtime;
using glimra::collection::FixedText;

#pragma pack(push, 1)
struct Row {
  FixedText<12> NAME;
  void clear() { NAME.clear(); }
};
#pragma pack(pop)

enum : int { FILEMENU = 1, FILEEXIT = 2, SHEET = 3, ALLTAB = 4, ADD = 10, LIST = 20, NAME = 30, DATE = 31 };

// A small list-and-form procedure.
struct ListProcedure {
  Runtime& runtime;
  Queue<Row> ROWS;
  FixedText<10> NAMEFIELD{};
  FixedText<8> DATEFIELD{};
  std::vector<std::string> log;

  WindowDeclaration declaration() {
    WindowDeclaration w;
    w.title = "Rows";
    w.at = {-1, -1, 200, 120};
    w.controls = {
        {FILEMENU, ControlKind::Menu, "&File"},
        {FILEEXIT, ControlKind::MenuItem, "E&xit", {}, {}, {}, {}, {}, {}, FILEMENU},
        {SHEET, ControlKind::Sheet, "", {2, 2, 100, 100}},
        {ALLTAB, ControlKind::Tab, "ALL", {}, {}, {}, {}, {}, {}, SHEET},
        {ADD, ControlKind::Button, "&Add", {110, 2, 40, 14}},
        {LIST, ControlKind::List, "", {4, 16, 96, 80}},
        {NAME, ControlKind::Entry, "", {110, 20, 60, 12}, Binding::to(NAMEFIELD), "s10"},
        {DATE, ControlKind::Entry, "", {110, 36, 60, 12}, Binding::to(DATEFIELD), "d1"},
    };
    return w;
  }

  void run() {
    auto window = runtime.open(declaration());
    window->setListSource(LIST, ROWS.source(&Row::NAME));
    window->alertKey(LIST, Key::Insert);
    for (;;) {
      const Event e = window->accept();
      if (e.closes()) {
        log.push_back("close");
        break;
      }
      if (e.kind == EventKind::OpenWindow) {
        log.push_back("open");
        window->selectRow(LIST, 1);
      } else if (e.is(LIST, EventKind::AlertKey) && e.key == Key::Insert) {
        window->post(ADD, EventKind::Accepted);
      } else if (e.is(ADD, EventKind::Accepted)) {
        const Button answer = runtime.message({"Add a row named " + NAMEFIELD.str() + "?", "Add", MessageIcon::Question,
                                               Yes | No, Yes});
        if (answer == Yes) {
          ROWS.buffer.NAME = NAMEFIELD.str();
          ROWS.append();
          window->display(LIST);
          log.push_back("added " + NAMEFIELD.str());
        } else {
          log.push_back("not added");
        }
      } else if (e.is(LIST, EventKind::NewSelection)) {
        log.push_back("row " + std::to_string(window->choice(LIST)));
      } else if (e.is(NAME, EventKind::Selected)) {
        log.push_back("edit start");
      } else if (e.is(FILEEXIT, EventKind::Accepted)) {
        log.push_back("exit");
        break;
      }
    }
  }
};

TEST(ScriptedRuntime, DrivesAProcedureByPostedEventsAndQueuedAnswers) {
  ScriptedRuntime runtime;
  ListProcedure procedure{runtime};
  procedure.NAMEFIELD = "Star";
  runtime.messageAnswers = {Yes, No};
  // The user acts once the procedure waits in its loop.
  int step = 0;
  runtime.whenOpened["Rows"] = [&step](ScriptedWindow& w) {
    w.onIdle = [&step](ScriptedWindow& idle) {
      if (step++ == 0) {
        idle.pressKey(LIST, Key::Insert);  // an alert key: the procedure posts Add
        idle.pressKey(LIST, Key::Delete);  // not an alert key: nothing
        idle.click(ADD);
      } else if (step == 2) {
        idle.chooseRow(LIST, 1);
        idle.chooseRow(LIST, 1);  // the same row again raises nothing
        idle.focus(NAME);
      }
    };
  };
  procedure.run();

  EXPECT_EQ(procedure.log,
            (std::vector<std::string>{"open", "added Star", "not added", "row 1", "edit start", "close"}));
  ASSERT_EQ(runtime.messages.size(), 2u);
  EXPECT_EQ(runtime.messages[0].text, "Add a row named Star?");
  EXPECT_EQ(runtime.messages[0].caption, "Add");
  EXPECT_EQ(procedure.ROWS.count(), 1);
}

TEST(ScriptedRuntime, UserActionsRespectEnabledStateAndMenuItemsEndTheLoop) {
  ScriptedRuntime runtime;
  ListProcedure procedure{runtime};
  runtime.whenOpened["Rows"] = [](ScriptedWindow& w) {
    w.disable(ADD, LIST);
    EXPECT_FALSE(w.click(ADD));
    EXPECT_FALSE(w.isEnabled(LIST));
    w.enable(ADD);
    w.disable(FILEMENU);
    EXPECT_FALSE(w.click(FILEEXIT)) << "an item of a disabled menu";
    w.enable(FILEMENU);
    EXPECT_TRUE(w.click(FILEEXIT));
  };
  procedure.run();
  EXPECT_EQ(procedure.log, (std::vector<std::string>{"open", "exit"}));
}

TEST(ScriptedRuntime, TypedTextGoesThroughThePictureOrIsRefused) {
  ScriptedRuntime runtime;
  ListProcedure procedure{runtime};
  auto window = runtime.open(procedure.declaration());
  auto& w = *runtime.window("Rows");

  EXPECT_EQ(w.type(DATE, "1/2/24"), std::nullopt);
  const std::string stored = procedure.DATEFIELD.str();
  EXPECT_FALSE(stored.empty());
  EXPECT_EQ(w.shownText(DATE), "01/02/24");

  struct Case {
    int control;
    const char* typed;
  } refused[] = {{DATE, "13/45/24"}, {DATE, "tomorrow"}, {NAME, "\xE2\x82\xAC ok"} /* € fits */, {NAME, "\xE2\x98\x83"}};
  for (const auto& c : refused) {
    const std::string before = c.control == DATE ? procedure.DATEFIELD.str() : procedure.NAMEFIELD.str();
    const auto reason = w.type(c.control, c.typed);
    if (std::string(c.typed) == "\xE2\x82\xAC ok") {
      EXPECT_EQ(reason, std::nullopt);
      EXPECT_EQ(procedure.NAMEFIELD.str(), "\x80 ok") << "stored as Windows-1252";
      continue;
    }
    ASSERT_TRUE(reason.has_value()) << c.typed;
    EXPECT_FALSE(reason->empty());
    const std::string after = c.control == DATE ? procedure.DATEFIELD.str() : procedure.NAMEFIELD.str();
    EXPECT_EQ(after, before) << c.typed << ": the variable keeps its value";
  }
  EXPECT_EQ(w.shownText(DATE), "01/02/24");
}

TEST(ScriptedRuntime, TextBoxStoresLineBreaksAsTheRecordsKeepThem) {
  ScriptedRuntime runtime;
  FixedText<8> DESCRIPTION{};
  WindowDeclaration d;
  d.title = "Review";
  d.controls = {{1, ControlKind::TextBox, "", {}, Binding::to(DESCRIPTION)}};
  auto window = runtime.open(d);
  auto& w = *runtime.window("Review");
  EXPECT_EQ(w.type(1, "a\nb\r\nc"), std::nullopt);
  EXPECT_EQ(DESCRIPTION.raw(), std::string("a\r\nb\r\nc", 7) + " ");
  // The box stops taking text at its limit, and never takes half a line break.
  EXPECT_EQ(w.type(1, "1234\n5678"), std::nullopt);
  EXPECT_EQ(DESCRIPTION.raw(), "1234\r\n56") << "10 bytes stored do not fit in 8: the first 8 are taken";
  EXPECT_EQ(w.type(1, "1234567\nx"), std::nullopt);
  EXPECT_EQ(DESCRIPTION.raw(), "1234567 ");
}

TEST(ScriptedRuntime, RecordsDialogsSoundsAndHalt) {
  ScriptedRuntime runtime;
  runtime.fileAnswers = {std::string("/tmp/a.GLM")};
  const FileDialog open{FileDialogKind::Open, "Open Existing File", "Glimra|*.GLM|ALL|*.*", ""};
  EXPECT_EQ(runtime.chooseFile(open), std::optional<std::string>("/tmp/a.GLM"));
  EXPECT_EQ(runtime.chooseFile(open), std::nullopt) << "no answer left: cancelled";
  EXPECT_EQ(runtime.fileDialogs.size(), 2u);

  runtime.beep(ExclamationSound);
  runtime.beep(QuestionSound);
  EXPECT_EQ(runtime.sounds, (std::vector<int>{48, 32}));

  EXPECT_THROW(runtime.halt("Invalid File!"), ProgramHalted);
  ASSERT_EQ(runtime.messages.size(), 1u);
  EXPECT_EQ(runtime.messages[0], (MessageBox{"Invalid File!", "Halt", MessageIcon::Stop, Ok, Ok}));
  EXPECT_EQ(runtime.exitCodes, (std::vector<int>{0}));

  std::vector<int> exits;
  runtime.setExitPath([&](int code) { exits.push_back(code); });
  runtime.halt("Disk Error");
  EXPECT_EQ(exits, (std::vector<int>{0}));
}

}  // namespace
