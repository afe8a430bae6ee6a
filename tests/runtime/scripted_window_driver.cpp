// SPDX-License-Identifier: GPL-3.0-or-later
// The window behaviour tests over the scripted windows.
#include <gtest/gtest.h>

#include "runtime/scripted_runtime.h"
#include "window_behaviour.h"

namespace window_behaviour {
namespace {

using namespace glimra::runtime;

class ScriptedDriver final : public WindowDriver {
 public:
  Runtime& runtime() override { return runtime_; }
  void chooseTab(Window& window, int, int tab) override { scripted(window).chooseTab(tab); }
  void press(Window& window, int control) override { scripted(window).click(control); }
  std::vector<Event> drain(Window& window) override {
    std::vector<Event> events;
    while (scripted(window).hasPendingEvent()) events.push_back(window.accept());
    return events;
  }
  std::vector<std::string> tabTitles(Window& window, int sheet) override {
    std::vector<std::string> titles;
    for (int tab : scripted(window).tabs(sheet)) titles.push_back(scripted(window).shownText(tab));
    return titles;
  }
  std::string shownTab(Window& window, int sheet) override {
    const int tab = scripted(window).currentTab(sheet);
    return tab ? scripted(window).shownText(tab) : std::string();
  }

 private:
  static ScriptedWindow& scripted(Window& window) { return static_cast<ScriptedWindow&>(window); }
  ScriptedRuntime runtime_;
};

INSTANTIATE_TEST_SUITE_P(Scripted, WindowBehaviour,
                         ::testing::Values(Implementation{"Scripted", [] { return std::make_unique<ScriptedDriver>(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace window_behaviour
