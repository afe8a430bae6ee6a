// SPDX-License-Identifier: GPL-3.0-or-later
// The behaviour every implementation of Window shares, tested once over each
// of them: a driver gives the test the implementation's runtime, the user's
// actions it needs, and what the user sees of a sheet's tabs.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/runtime.h"

namespace window_behaviour {

class WindowDriver {
 public:
  virtual ~WindowDriver() = default;
  virtual glimra::runtime::Runtime& runtime() = 0;
  // The user clicks tab `tab` of sheet `sheet`.
  virtual void chooseTab(glimra::runtime::Window& window, int sheet, int tab) = 0;
  // The user presses a button or toolbar button.
  virtual void press(glimra::runtime::Window& window, int control) = 0;
  // Every event waiting now, in order.
  virtual std::vector<glimra::runtime::Event> drain(glimra::runtime::Window& window) = 0;
  // The titles of a sheet's tabs as they stand on the screen, and the title
  // of the one shown ("" when none).
  virtual std::vector<std::string> tabTitles(glimra::runtime::Window& window, int sheet) = 0;
  virtual std::string shownTab(glimra::runtime::Window& window, int sheet) = 0;
};

struct Implementation {
  const char* name;
  std::function<std::unique_ptr<WindowDriver>()> make;
  friend std::ostream& operator<<(std::ostream& out, const Implementation& i) { return out << i.name; }
};

using namespace glimra::runtime;

enum : int {
  FILEMENU = 1, FILENEW, FILEOPEN, FILESEP, FILEEXIT,
  SHEET = 10, ALLTAB = 11,
  GROUP = 40, FIRSTRADIO = 41,
  OK = 50,
  TOOLNEW = 60,  // the toolbar button of FILENEW
};

class WindowBehaviour : public ::testing::TestWithParam<Implementation> {
 protected:
  void SetUp() override {
    driver = GetParam().make();
    window = driver->runtime().open(declaration());
    ASSERT_EQ(window->accept().kind, EventKind::OpenWindow);
  }

  WindowDeclaration declaration() {
    WindowDeclaration w;
    w.title = "Behaviour";
    w.at = {-1, -1, 240, 140};
    auto item = [](int number, const char* text, int parent, ControlKind kind = ControlKind::MenuItem) {
      ControlDeclaration c{number, kind, text};
      c.parent = parent;
      return c;
    };
    w.controls = {
        {FILEMENU, ControlKind::Menu, "&File"},
        item(FILENEW, "&New", FILEMENU),
        item(FILEOPEN, "&Open", FILEMENU),
        item(FILESEP, "", FILEMENU, ControlKind::Separator),
        item(FILEEXIT, "E&xit", FILEMENU),
        {SHEET, ControlKind::Sheet, "", {2, 2, 160, 100}, Binding::to(SHEETVALUE)},
        item(ALLTAB, "ALL", SHEET, ControlKind::Tab),
        {GROUP, ControlKind::OptionGroup, "", {2, 110, 60, 14}, Binding::to(GROUPVALUE)},
        {OK, ControlKind::Button, "OK", {180, 110, 40, 14}},
        {TOOLNEW, ControlKind::ToolbarButton, "New"},
    };
    w.controls.back().command = FILENEW;
    for (int n = 0; n < 3; ++n) {
      ControlDeclaration radio{FIRSTRADIO + n, ControlKind::Radio, std::string(1, static_cast<char>('A' + n)),
                               {4 + 14 * n, 112, 13, 13}};
      radio.parent = GROUP;
      w.controls.push_back(radio);
    }
    return w;
  }

  std::int16_t SHEETVALUE = 1;
  std::int32_t GROUPVALUE = 0;
  std::unique_ptr<WindowDriver> driver;
  std::unique_ptr<Window> window;
};

}  // namespace window_behaviour
