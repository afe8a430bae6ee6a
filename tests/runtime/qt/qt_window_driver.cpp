// SPDX-License-Identifier: GPL-3.0-or-later
// The window behaviour tests over the Qt windows on the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTabWidget>

#include "runtime/qt/qt_application.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/qt/qt_window.h"
#include "runtime/window_behaviour.h"

namespace window_behaviour {
namespace {

using namespace glimra::runtime;

class QtDriver final : public WindowDriver {
 public:
  Runtime& runtime() override { return runtime_; }
  void chooseTab(Window& window, int sheet, int tab) override {
    tabs(window, sheet)->setCurrentWidget(qt(window).widgetOf(tab));  // as a click on the tab
  }
  void press(Window& window, int control) override {
    if (auto* button = qobject_cast<QAbstractButton*>(qt(window).widgetOf(control))) button->click();
  }
  std::vector<Event> drain(Window& window) override {
    settle();
    std::vector<Event> events;
    while (qt(window).hasPendingEvent()) events.push_back(window.accept());
    return events;
  }
  std::vector<std::string> tabTitles(Window& window, int sheet) override {
    std::vector<std::string> titles;
    QTabWidget* widget = tabs(window, sheet);
    for (int i = 0; widget && i < widget->count(); ++i) titles.push_back(widget->tabText(i).toStdString());
    return titles;
  }
  std::string shownTab(Window& window, int sheet) override {
    QTabWidget* widget = tabs(window, sheet);
    return widget && widget->currentIndex() >= 0 ? widget->tabText(widget->currentIndex()).toStdString()
                                                 : std::string();
  }

 private:
  static QtWindow& qt(Window& window) { return static_cast<QtWindow&>(window); }
  static QTabWidget* tabs(Window& window, int sheet) { return qobject_cast<QTabWidget*>(qt(window).widgetOf(sheet)); }
  bool application_ = (testApplication(), true);  // before the runtime
  QtRuntime runtime_;
};

INSTANTIATE_TEST_SUITE_P(Qt, WindowBehaviour,
                         ::testing::Values(Implementation{"Qt", [] { return std::make_unique<QtDriver>(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace window_behaviour
