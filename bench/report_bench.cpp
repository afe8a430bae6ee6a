// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-report-bench: how fast reports are laid out and how much memory
// their pages take, on generated collections of 1,000, 10,000 and 100,000
// ornaments, for the standard layout (by name) and the all-fields layout.
//
// Each run reads the collection through the report's key in batches of 25,
// lays out every page with the real report font and keeps the pages, as the
// Reports menu does before it shows them. It prints records per second (the
// goal: 20,000 for the standard layout) in CPU time, since the wall clock of
// a shared machine counts other programs' turns too; the growth of the
// process's peak memory during the run and the bytes the pages hold, per
// record (the goal: under 1 KB beyond the records themselves). Collections are generated once
// into the temporary folder and reused.
//
// With --preview it measures the print preview instead, for 1,000 and 100,000
// ornaments of the standard layout: the time from opening the preview on the
// finished pages until its first view (page 1 fitted to the window) has been
// drawn, then until a 10 × 10 grid of thumbnails has been drawn, and the
// growth of the process's peak memory while the preview is open.
//
// Usage: glimra-report-bench [--records N] [--layout name|name-all] [--preview]
// (without options: every size and both layouts).
#include <QApplication>
#include <QSpinBox>
#include <QTimer>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "collection/generator.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "reports/layouts.h"
#include "reports/print_preview.h"
#include "reports/qt/preview_devices.h"
#include "reports/qt/qt_text_measure.h"
#include "reports/report_run.h"
#include "runtime/qt/qt_page_images.h"
#include "runtime/qt/qt_runtime.h"

namespace {

namespace fs = std::filesystem;
using namespace glimra;

std::string collectionOf(std::size_t count) {
  const fs::path file = fs::temp_directory_path() / ("glimra-report-bench-" + std::to_string(count) + ".GLM");
  if (!fs::exists(file)) {
    std::string error;
    if (collection::generateCollectionFile(file.string(), count, 1, &error) != 0) {
      std::fprintf(stderr, "cannot generate %s: %s\n", file.c_str(), error.c_str());
      std::exit(1);
    }
  }
  return file.string();
}

// A line of /proc/self/status in kilobytes ("VmHWM", "VmRSS").
long statusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
  return -1;
}

// Starts a new peak: the kernel sets the peak back to the current size.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
  std::size_t pages = 0;
  double seconds = 0;
  double cpu = 0;
  long peakGrowthKb = 0;
  std::size_t pageBytes = 0;
};

// One run of a report over the collection at path; the pages are handed to
// `keep` when given.
Figures runOnce(const reports::ReportDescriptor& report, const std::string& path,
                const reports::TextMeasure& measure, reports::PageList* keep = nullptr) {
  collection::GlRecord GL;
  datafile::DataFile GLIMRA;
  GLIMRA.declare(collection::glimraDeclaration(), &GL);
  GLIMRA.setName(path);
  if (GLIMRA.open(datafile::OpenMode{0x40}) != 0) {
    std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), GLIMRA.errorText().c_str());
    std::exit(1);
  }
  resetPeak();
  const long before = statusKilobytes("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = cpuSeconds();
  reports::ReportRun run(report, GLIMRA, GL, measure);
  reports::PageList pages = reports::runReport(run);
  Figures f;
  f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.cpu = cpuSeconds() - cpuStart;
  f.peakGrowthKb = statusKilobytes("VmHWM") - before;
  f.pages = pages.pages.size();
  f.pageBytes = pages.bytesHeld();
  GLIMRA.close();
  if (keep) *keep = std::move(pages);
  return f;
}

// Opens the preview on the pages, draws its first view, then a 10 × 10 grid,
// and leaves; prints the figures.
void previewOnce(std::size_t records, const reports::PageList& pages) {
  runtime::QtRuntime runtime;
  reports::QtPreviewDevices devices;
  reports::ReportPreview preview(runtime, devices.images(pages), {}, "bench.pdf");
  resetPeak();
  const long before = statusKilobytes("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  double firstView = 0, grid = 0;
  int step = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == QStringLiteral("Report Preview")) window = w;
    if (!window) return;
    const auto seconds = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    if (step == 0) {
      window->grab();  // draws what the screen shows
      firstView = seconds();
      for (QSpinBox* spin : window->findChildren<QSpinBox*>())
        if (spin->toolTip().startsWith(QStringLiteral("Select the number"))) spin->setValue(10);
    } else {
      window->grab();
      grid = seconds();
      window->close();
      driver.stop();
    }
    ++step;
  });
  driver.start(0);
  preview.run();
  const long peakGrowthKb = statusKilobytes("VmHWM") - before;
  std::printf("%9zu %7zu %14.3f %14.3f %15.1f %15.1f\n", records, pages.pages.size(), firstView, grid,
              static_cast<double>(peakGrowthKb) / 1024.0, static_cast<double>(runtime::pageCacheBytes()) / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> sizes = {1'000, 10'000, 100'000};
  std::vector<std::string> layouts = {"name", "name-all"};
  bool previewing = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--preview") {
      previewing = true;
      sizes = {1'000, 100'000};
    } else if (option == "--records" && i + 1 < argc) {
      sizes = {static_cast<std::size_t>(std::atol(argv[++i]))};
    } else if (option == "--layout" && i + 1 < argc) {
      layouts = {argv[++i]};
    }
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  int qtArgc = 1;
  char name[] = "glimra-report-bench";
  char* qtArgv[] = {name, nullptr};
  QApplication application(qtArgc, qtArgv);
  const reports::QtTextMeasure measure;

  if (previewing) {
    std::printf("%9s %7s %14s %14s %15s %15s\n", "records", "pages", "first view s", "10x10 grid s",
                "peak growth MiB", "page cache MiB");
    for (std::size_t size : sizes) {
      reports::PageList pages;
      runOnce(*reports::findReport("name"), collectionOf(size), measure, &pages);
      previewOnce(size, pages);
    }
    return 0;
  }

  std::printf("%-9s %9s %7s %9s %9s %13s %12s %11s\n", "layout", "records", "pages", "wall s", "CPU s",
              "records/CPU s", "peak B/rec", "page B/rec");
  for (const std::string& layout : layouts) {
    const reports::ReportDescriptor* report = reports::findReport(layout);
    if (!report) {
      std::fprintf(stderr, "no report named %s\n", layout.c_str());
      return 2;
    }
    for (std::size_t size : sizes) {
      const std::string path = collectionOf(size);
      runOnce(*report, collectionOf(std::min<std::size_t>(size, 1'000)), measure);  // warm the font caches
      const Figures f = runOnce(*report, path, measure);
      const double perSecond = static_cast<double>(size) / f.cpu;
      std::printf("%-9s %9zu %7zu %9.3f %9.3f %13.0f %12.0f %11.0f", layout.c_str(), size, f.pages, f.seconds, f.cpu,
                  perSecond, 1024.0 * static_cast<double>(f.peakGrowthKb) / static_cast<double>(size),
                  static_cast<double>(f.pageBytes) / static_cast<double>(size));
      if (layout == "name") std::printf("  %.2fx the 20,000 records/s goal", perSecond / 20'000.0);
      std::printf("\n");
    }
  }
  return 0;
}
