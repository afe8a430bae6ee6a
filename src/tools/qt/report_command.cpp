// SPDX-License-Identifier: GPL-3.0-or-later
// report: one of the sixteen reports of a collection file as a vector PDF,
// the same pages the Reports menu makes. Built only where Qt is: the pages are
// measured in the report font and painted through the report page painter.
//
// The collection file is opened for reading only and shared with a running
// program. The PDF is written to a temporary file beside OUT and renamed over
// it when complete. A report with no ornament to list writes no file.
#include <QGuiApplication>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "reports/layouts.h"
#include "reports/qt/page_painter.h"
#include "reports/qt/qt_text_measure.h"
#include "reports/report_run.h"
#include "tools/commands.h"

namespace glimra::tools {
namespace {

constexpr datafile::OpenMode READ_SHARED{0x40};

std::string reportNames() {
  std::string names;
  for (const auto& r : reports::reportDescriptors()) names += std::string(names.empty() ? "" : ", ") + r.name;
  return names;
}

// One line on stderr, redrawn when the figure moves; only on a terminal.
class ProgressLine {
 public:
  ProgressLine() : shown_(isatty(STDERR_FILENO) != 0) {}
  ~ProgressLine() { finish(); }
  // Ends the line, so what follows starts on a line of its own.
  void finish() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
  }
  void show(const char* stage, int percent) {
    if (!shown_) return;
    constexpr int WIDTH = 30;
    const int filled = percent * WIDTH / 100;
    std::fprintf(stderr, "\r%-10s [%s%s] %3d%%", stage, std::string(filled, '#').c_str(),
                 std::string(WIDTH - filled, '-').c_str(), percent);
    std::fflush(stderr);
    drawn_ = true;
  }

 private:
  bool shown_;
  bool drawn_ = false;
};

}  // namespace

int reportCommand(const Arguments& args) {
  const std::string usage = "usage: glimra-file report FILE REPORT --pdf OUT.pdf\n  REPORT: " + reportNames();
  std::string path, name, out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--pdf" && i + 1 < args.size()) {
      out = args[++i];
    } else if (args[i].rfind("--", 0) != 0 && path.empty()) {
      path = args[i];
    } else if (args[i].rfind("--", 0) != 0 && name.empty()) {
      name = args[i];
    } else {
      return fail(EXIT_USAGE, usage);
    }
  }
  if (path.empty() || name.empty() || out.empty()) return fail(EXIT_USAGE, usage);
  const reports::ReportDescriptor* report = reports::findReport(name);
  if (!report) return fail(EXIT_USAGE, "no report named '" + name + "'; the reports are: " + reportNames());

  // Text is measured and painted without a display; the toolkit's own notes
  // (about runtime folders and the like) stay off the terminal: the command
  // reports what went wrong itself.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  int argc = 1;
  char program[] = "glimra-file";
  char* argv[] = {program, nullptr};
  QGuiApplication application(argc, argv);

  collection::GlRecord GL;
  datafile::DataFile GLIMRA;
  GLIMRA.declare(collection::glimraDeclaration(), &GL);
  GLIMRA.setName(path);
  if (GLIMRA.open(READ_SHARED) != 0) return fail(EXIT_FAILED, path + ": " + datafile::describeError(GLIMRA));

  const reports::QtTextMeasure measure;
  reports::ReportRun run(*report, GLIMRA, GL, measure);
  ProgressLine progress;
  std::string fetchError;
  run.onPercent = [&](int percent) { progress.show("Reading", percent); };
  run.onFetchError = [&] { fetchError = datafile::describeError(GLIMRA); };
  reports::PageList pages = reports::runReport(run);
  GLIMRA.close();
  progress.finish();
  if (!fetchError.empty()) {
    std::cerr << "glimra-file: " << path << ": reading stopped after " << run.RECORDSPROCESSED
              << " records: " << fetchError << '\n';
    if (pages.pages.empty()) return EXIT_FAILED;
  }
  if (pages.pages.empty())
    return fail(EXIT_FAILED, path + ": no ornament to list in '" + name + "' (" + report->subtitle +
                                 "): no PDF written");

  const std::string error = reports::writePdf(pages, out, [&](std::size_t done) {
    progress.show("Writing", static_cast<int>(done * 100 / pages.pages.size()));
  });
  progress.finish();
  if (!error.empty()) return fail(EXIT_FAILED, error);
  std::cout << out << ": " << report->menuText << ", " << run.printed() << " ornaments on " << pages.pages.size()
            << (pages.pages.size() == 1 ? " page\n" : " pages\n");
  return fetchError.empty() ? EXIT_OK : EXIT_FAILED;
}

}  // namespace glimra::tools
