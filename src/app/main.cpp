// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: checks that there is a screen to show the window on, starts
// the windowing runtime with the program's pictures and help pages, makes the
// state every window shares, and runs the catalogue until its main window
// closes.
//
// The command line: `glimra FILE` opens that collection and remembers it as
// the current file, as Open Existing File does (a desktop opens a .GLM file
// this way); --help and --version answer and leave.
//
// GLIMRA_SCREENSHOT=path.png makes the program save a picture of its main
// window once the splash has gone and then close, for documentation;
// GLIMRA_QUIT_WHEN_SHOWN makes it leave once the list is shown, for timing
// (quit_when_shown.h).
#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/quit_when_shown.h"
#include "catalogue/display_glimra.h"
#include "catalogue/qt/photo_side.h"
#include "catalogue/start_up.h"
#include "collection/backups.h"
#include "collection/settings.h"
#include "glimra_version.h"
#include "program/program.h"
#include "collection/qt/photo_images_qt.h"
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

const char* USAGE =
    "usage: glimra [FILE]\n"
    "\n"
    "Opens the catalogue of an ornament collection: FILE (a .GLM collection\n"
    "file) when given, which then becomes the file opened next time; otherwise\n"
    "the collection used last.\n"
    "\n"
    "  --help     this text\n"
    "  --version  the program's version and license\n";

// What the command line asks: 0 or an exit code when it is already answered.
int readCommandLine(int argc, char** argv, bool* leave) {
  *leave = false;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(USAGE, stdout);
      *leave = true;
      return 0;
    }
    if (a == "--version") {
      std::printf("Glimra %s\n%s", PROGRAM_VERSION, VERSION_NOTICE);
      *leave = true;
      return 0;
    }
    if ((a.rfind("-", 0) == 0 && a != "-") || !file.empty()) {
      std::fprintf(stderr, "glimra: unknown argument '%s'\n\n%s", a.c_str(), USAGE);
      *leave = true;
      return 2;
    }
    file = a;
  }
  if (file.empty()) return 0;
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(file, error);
  if (error || !std::filesystem::is_regular_file(path, error)) {
    std::fprintf(stderr, "glimra: %s: there is no such file\n", file.c_str());
    *leave = true;
    return 1;
  }
  constexpr std::size_t longest = decltype(program::Program::GLIMRAFILE)::size;
  if (path.string().size() > longest) {
    std::fprintf(stderr, "glimra: %s: the name is longer than %zu characters\n", file.c_str(), longest);
    *leave = true;
    return 1;
  }
  // The catalogue opens the remembered file at start-up, and remembers the
  // file it opened: naming the file here is the same as choosing it.
  std::string why;
  if (!collection::writeSetting("CurrentFile", "GlimraFile", path.string(), collection::SETTINGS_FILE_NAME, &why)) {
    std::fprintf(stderr, "glimra: %s\n", why.c_str());
    *leave = true;
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool leave = false;
  const int answered = readCommandLine(argc, argv, &leave);
  if (leave) return answered;
  if (!hasScreen()) {
    std::fprintf(stderr,
                 "glimra: there is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                 "Start it from a desktop session, or under a virtual X server:\n"
                 "    xvfb-run -a glimra\n");
    return 1;
  }
  static int qtArgc = 1;
  static char name[] = "glimra";
  static char* qtArgv[] = {name, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Glimra"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/app-icon.svg")));

  // Backups killed on the way (a crash, a kill) left their temporaries.
  collection::removeAbandonedBackupTemporaries();
  collection::readCurrencySetting();
  runtime::QtRuntime runtime;
  program::Program shared(runtime);
  // Photo files are read with Qt's image readers.
  collection::QtImageInspector photoImages;
  shared.images = &photoImages;
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
  reports::ReportProcedures reportProcedures(shared, reportMeasure, previewOutput, &previewDevices);
  main.reports = &reportProcedures;
  main.onWindowOpened = [](runtime::Window& window) {
    finishMainWindow(window);
    app::quitWhenShown(window);
  };
  // The photo beside the form and the viewer, with pictures made in the
  // background and kept in the user's cache.
  collection::PhotoCache photoCache;
  catalogue::PhotoSide photoSide(main, photoCache);
  catalogue::runGlimra(runtime, main);
  return 0;
}
