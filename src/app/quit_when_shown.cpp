// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/quit_when_shown.h"

#include <sys/resource.h>

#include <QAbstractEventDispatcher>
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListView>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <string>

#include "catalogue/main_window_controls.h"
#include "catalogue/start_up.h"
#include "runtime/qt/qt_window.h"

namespace glimra::app {

namespace {

// Seconds since the process started (field 22 of /proc/self/stat, in clock
// ticks since boot, against the uptime).
double secondsSinceStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::size_t at = close + 2;
  for (int field = 3; field < 22 && at != std::string::npos; ++field) at = text.find(' ', at) + 1;
  const double startTicks = std::strtod(text.c_str() + at, nullptr);
  std::ifstream uptimeFile("/proc/uptime");
  double uptime = 0;
  uptimeFile >> uptime;
  return uptime - startTicks / double(sysconf(_SC_CLK_TCK));
}

// The peak resident memory of this program's own image (VmHWM), in kB. Not
// getrusage's ru_maxrss: that keeps the peak of the process that started us
// from before its exec, so a large parent shows through.
long peakKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// Written as the process ends, after the main window's way out (a backup
// still at work stopped, the collection closed).
void reportPeakAtExit() {
  std::fprintf(stderr, "glimra: peak at exit %ld kB\n", peakKilobytes());
  std::fflush(stderr);
}

QWidget* splashShown() {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->windowTitle() == QString::fromLatin1(catalogue::SPLASH_TITLE)) return top;
  return nullptr;
}

class ShownWatch : public QObject {
 public:
  ShownWatch(runtime::QtWindow& main, QString openNext)
      : QObject(main.frame()), main_(main), openNext_(std::move(openNext)) {
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { idle(); });
  }

 private:
  enum class Phase { Starting, Opening, OpenChosen, Done };

  // The program waits for the user with nothing over its main window but
  // the splash.
  bool listShown() const {
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* splash = splashShown();
    if (modal && modal != main_.frame() && modal != splash) return false;
    return splash || main_.waitsForUser();
  }

  void idle() {
    switch (phase_) {
      case Phase::Starting:
        if (!listShown()) return;
        report();
        if (openNext_.isEmpty()) return leave();
        phase_ = Phase::Opening;
        // As a user does: the splash clicked away, then File › Open.
        QTimer::singleShot(0, this, [this] {
          if (QWidget* splash = splashShown()) splash->close();
          if (QAction* open = main_.actionOf(catalogue::control::FILEOPEN)) return open->trigger();
          std::fprintf(stderr, "glimra: File > Open is not there to choose\n");
          leave();
        });
        return;
      case Phase::Opening:
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
          phase_ = Phase::OpenChosen;
          QTimer::singleShot(0, dialog, [dialog, name = openNext_] {
            dialog->selectFile(name);
            static_cast<QDialog*>(dialog)->accept();  // Open, as Enter presses it
          });
        }
        return;
      case Phase::OpenChosen:
        if (!listShown()) return;
        report();
        return leave();
      case Phase::Done:
        return;
    }
  }

  void report() const {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    const auto* list = qobject_cast<QListView*>(main_.widgetOf(catalogue::control::GLMLIST));
    const int rows = list && list->model() ? list->model()->rowCount() : 0;
    std::fprintf(stderr, "glimra: list shown: %d rows; %.3f s; cpu %.3f s; peak %ld kB\n", rows,
                 secondsSinceStart(), cpu, peakKilobytes());
    std::fflush(stderr);
  }

  // Leaves as the user's Exit does (the splash clicked away, then the main
  // window closed), so the program's own way out runs: a backup of the day
  // still at work is stopped and dropped, never counted half taken, and the
  // collection is closed.
  void leave() {
    phase_ = Phase::Done;
    QTimer::singleShot(0, this, [this] {
      if (QWidget* splash = splashShown()) splash->close();
      main_.close();
    });
  }

  runtime::QtWindow& main_;
  QString openNext_;
  Phase phase_ = Phase::Starting;
};

}  // namespace

void quitWhenShown(runtime::Window& main) {
  if (!qEnvironmentVariableIsSet("GLIMRA_QUIT_WHEN_SHOWN")) return;
  std::atexit(reportPeakAtExit);
  new ShownWatch(static_cast<runtime::QtWindow&>(main), qEnvironmentVariable("GLIMRA_OPEN_WHEN_SHOWN"));
}

}  // namespace glimra::app
