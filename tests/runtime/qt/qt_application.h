// SPDX-License-Identifier: GPL-3.0-or-later
// The one QApplication of the runtime tests, made on first use. Without a
// display the tests use Qt's offscreen platform.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>

inline QApplication& testApplication() {
  static QApplication* application = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "runtime_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);  // lives as long as the process
  }();
  return *application;
}

// Lets Qt deliver what is queued (paints, posted events) for a moment.
inline void settle(int milliseconds = 20) {
  QElapsedTimer clock;
  clock.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  } while (clock.elapsed() < milliseconds);
}
