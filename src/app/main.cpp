// Program entry: checks that there is a screen to show the window on, starts
// the windowing runtime with the program's pictures and help pages, makes the
// state every window shares, and runs the catalogue until its main window
// closes. The command line is not read.
//
// GLIMRA_SCREENSHOT=path.png makes the program save a picture of its main
// window once the splash has gone and then close, for documentation.
#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "catalogue/display_glimra.h"
#include "catalogue/start_up.h"
#include "program/program.h"
#include "reports/print_preview.h"
#include "reports/qt/preview_devices.h"
#include "reports/qt/qt_text_measure.h"
#include "reports/report_procedure.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/qt/qt_window.h"

namespace {

using namespace glimra;

bool hasScreen() {
  return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
         qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

// What only the real screen needs once the main window is open.
void finishMainWindow(runtime::Window& window) {
  auto& qtWindow = static_cast<runtime::QtWindow&>(window);
  const QString screenshot = qEnvironmentVariable("GLIMRA_SCREENSHOT");
  if (screenshot.isEmpty()) return;
  // The splash closes after five seconds; the picture is taken after it.
  QTimer::singleShot(6500, qtWindow.frame(), [&window, &qtWindow, screenshot] {
    const bool saved = qtWindow.frame()->grab().save(screenshot);
    std::fprintf(stderr, saved ? "glimra: saved %s\n" : "glimra: could not save %s\n", qPrintable(screenshot));
    window.close();
  });
}

}  // namespace

int main() {
  if (!hasScreen()) {
    std::fprintf(stderr,
                 "glimra: there is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                 "Start it from a desktop session, or under a virtual X server:\n"
                 "    xvfb-run -a scripts/run\n");
    return 1;
  }
  static int argc = 1;
  static char name[] = "glimra";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Glimra"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/app-icon.svg")));

  runtime::QtRuntime runtime;
  program::Program shared(runtime);
  catalogue::DisplayGlimra main(shared);
  runtime.setExitPath([&shared](int code) {
    shared.closeFiles();
    std::exit(code);
  });
  // The Reports menu: each report measured in the report font; its pages go
  // to the print preview, and from there to the system's print dialog.
  const reports::QtTextMeasure reportMeasure;
  reports::QtPreviewDevices previewDevices;
  reports::PreviewOutput previewOutput(shared, previewDevices);
  reports::ReportProcedures reportProcedures(shared, reportMeasure, previewOutput);
  main.reports = &reportProcedures;
  main.onWindowOpened = finishMainWindow;
  catalogue::runGlimra(runtime, main);
  return 0;
}
