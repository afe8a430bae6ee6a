// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/report_procedure.h"

#include <string>
#include <string_view>
#include <utility>

#include "collection/standard_warning.h"
#include "program/check_open.h"
#include "program/messages.h"
#include "reports/report_run.h"
#include "reports/series_window.h"
#include "reports/statistics_window.h"
#include "reports/value_history_window.h"
#include "text/picture.h"

namespace glimra::reports {

using runtime::ControlDeclaration;
using WindowControl = runtime::ControlKind;
using runtime::EventKind;

namespace {

ControlDeclaration control(int number, WindowControl kind, const char* text, runtime::Rect at, unsigned flags = 0) {
  ControlDeclaration c;
  c.number = number;
  c.kind = kind;
  c.text = text;
  c.at = at;
  c.flags = flags;
  return c;
}

}  // namespace

runtime::WindowDeclaration progressWindowDeclaration(std::uint8_t& thermometer) {
  using namespace progress;
  runtime::WindowDeclaration d;
  d.title = "Progress...";
  d.at = runtime::Rect{-1, -1, 142, 59};
  d.flags = runtime::CentreOnScreen;
  ControlDeclaration bar = control(PROGRESS_THERMOMETER, WindowControl::Progress, "", {15, 15, 111, 12});
  bar.use = runtime::Binding::to(thermometer);
  bar.low = 0;
  bar.high = 100;
  d.controls = {
      bar,
      control(PROGRESS_USERSTRING, WindowControl::Text, "", {0, 3, 141, 10}, runtime::Centred),
      control(PROGRESS_PCTTEXT, WindowControl::Text, "0% Completed", {0, 30, 141, 10}, runtime::Centred),
      control(PROGRESS_CANCEL, WindowControl::Button, "Cancel", {45, 42, 50, 15}),
  };
  return d;
}

ReportProcedure::ReportProcedure(program::Program& program, const ReportDescriptor& report,
                                 const TextMeasure& measure, PageOutput& output)
    : program_(program), report_(report), measure_(measure), output_(output) {}

void ReportProcedure::run() {
  // The control numbers are spelled progress::… here: the procedure's own
  // PROGRESS_THERMOMETER is the variable the bar shows.
  runtime::Runtime& runtime = program_.runtime;
  datafile::DataFile& GLIMRA = program_.GLIMRA;
  ReportRun report(report_, GLIMRA, program_.GL, measure_);

  LOCALREQUEST = program_.GLOBALREQUEST;
  LOCALRESPONSE = program::REQUEST_CANCELLED;
  program_.GLOBALREQUEST = 0;
  program_.GLOBALRESPONSE = 0;
  if (program_.GLIMRA_USED == 0) program::CHECKOPEN(runtime, GLIMRA);
  ++program_.GLIMRA_USED;
  FILESOPENED = 1;

  PROGRESS_THERMOMETER = 0;
  const auto window = runtime.open(progressWindowDeclaration(PROGRESS_THERMOMETER));
  runtime::Window& w = *window;
  w.display(progress::PROGRESS_THERMOMETER);
  w.setText(progress::PROGRESS_PCTTEXT, "0% Completed");
  w.setCaption("Generating Report");
  w.setText(progress::PROGRESS_USERSTRING, "");
  // The batch of RECORDSPERCYCLE keeps the window responsive; the timer only
  // hands the loop back to the user between batches, without a wait.
  w.setTimer(runtime::Window::IDLE_TIMER);

  const collection::Picture percentPicture = collection::Picture::parse("N3");
  report.onPercent = [&](int percent) {
    PROGRESS_THERMOMETER = static_cast<std::uint8_t>(percent);
    w.display(progress::PROGRESS_THERMOMETER);
    w.setText(progress::PROGRESS_PCTTEXT, percentPicture.format(std::to_string(percent)) + "% Completed");
  };
  report.onFetchError = [&] {
    program::STANDARDWARNING(runtime, GLIMRA, collection::Warning::RECORD_RETRIEVAL_ERROR, "Glimra");
  };
  report.onViewError = [&] { program::STANDARDWARNING(runtime, GLIMRA, collection::Warning::VIEW_OPEN_ERROR); };

  bool printing = false;
  for (;;) {
    const runtime::Event event = w.accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      R_VALIDATERECORD(report.start());
      if (RECORDSTATUS == 1) {
        w.close();
        continue;
      }
      printing = true;
    } else if (event.kind == EventKind::Timer && printing) {
      LOCALRESPONSE = report.printBatch() ? program::REQUEST_COMPLETED : program::REQUEST_CANCELLED;
      if (LOCALRESPONSE == program::REQUEST_COMPLETED) {
        printing = false;
        w.setTimer(0);
        w.close();
      }
    } else if (event.is(progress::PROGRESS_CANCEL, EventKind::Accepted)) {
      // A timer event already waiting prints nothing more.
      printing = false;
      LOCALRESPONSE = program::REQUEST_CANCELLED;
      w.close();
    }
  }
  w.setTimer(0);

  // QUICKSCAN off, the totals band, the last page ended (a cancelled run's
  // pages are discarded here).
  report.finish(LOCALRESPONSE == program::REQUEST_COMPLETED);
  if (LOCALRESPONSE == program::REQUEST_COMPLETED) {
    const PageList pages = report.takePages();
    if (!pages.pages.empty()) output_.present(report_, pages);
  }
  R_PROCEDURERETURN();
}

void ReportProcedure::R_VALIDATERECORD(bool fetched) {
  LOCALRESPONSE = fetched ? program::REQUEST_COMPLETED : program::REQUEST_CANCELLED;
  RECORDSTATUS = LOCALRESPONSE == program::REQUEST_CANCELLED ? 1 : 0;
}

void ReportProcedure::R_PROCEDURERETURN() {
  if (FILESOPENED) {
    if (--program_.GLIMRA_USED == 0) program_.GLIMRA.close();
    FILESOPENED = 0;
  }
  program_.GLOBALRESPONSE = LOCALRESPONSE != 0 ? LOCALRESPONSE : program::REQUEST_CANCELLED;
}

namespace {

// The end of each report's menu text with its mnemonic marked: a letter of
// the word that tells the reports apart, each letter used once in the menu
// (S, E and W are the overview items').
constexpr std::pair<const char*, const char*> MNEMONICS[] = {
    {"JUSTNAMEREPORT", "&Name"},
    {"JUSTSERIESREPORT", "Se&ries"},
    {"JUSTCATEGORYREPORT", "&Category"},
    {"JUSTMANUFREPORT", "&Manufacturer"},
    {"JUSTYEARREPORT", "&Year"},
    {"JUSTLOCATIONREPORT", "L&ocation"},
    {"JUSTCUSTOM1REPORT", "S&tock #"},
    {"JUSTCUSTOM2REPORT", "Custom&1"},
    {"JUSTCUSTOM3REPORT", "Custom&2"},
    {"NAMEREPORT", "All &Fields Included"},
    {"NAMEREVIEWREPORT", "Descr&iption Included"},
    {"JUSTVALUEREPORT", "&Value - Totals"},
    {"JUSTLENTTOREPORT", "&Lent To"},
    {"JUSTLENTDATEREPORT", "&Date Lent"},
    {"JUSTGIVENTOREPORT", "&Given To"},
    {"JUSTGIVENDATEREPORT", "D&ate Given"},
};

// The menu text with the mnemonic of its report marked.
std::string withMnemonic(const ReportDescriptor& report) {
  std::string text = report.menuText;
  for (const auto& [procedure, marked] : MNEMONICS) {
    if (std::string_view(procedure) != report.procedure) continue;
    std::string plain = marked;
    plain.erase(plain.find('&'), 1);
    if (text.ends_with(plain)) text.replace(text.size() - plain.size(), plain.size(), marked);
  }
  return text;
}

}  // namespace

std::vector<program::ReportMenuItem> ReportProcedures::items() const {
  std::vector<program::ReportMenuItem> items;
  for (const ReportDescriptor& r : reportDescriptors()) {
    const std::string procedure = r.procedure;
    const bool line = procedure == "JUSTCUSTOM3REPORT" || procedure == "NAMEREVIEWREPORT" ||
                      procedure == "JUSTVALUEREPORT" || procedure == "JUSTLENTDATEREPORT";
    items.push_back(program::ReportMenuItem{withMnemonic(r), line});
  }
  return items;
}

void ReportProcedures::run(int index) {
  const auto& reports = reportDescriptors();
  if (index < 0 || index >= static_cast<int>(reports.size())) return;
  ReportProcedure(program_, reports[static_cast<std::size_t>(index)], measure_, output_).run();
}

namespace {
enum Overview : int { STATISTICS_WINDOW, SERIES_WINDOW, WANTED_LIST };
}  // namespace

std::vector<program::ReportMenuItem> ReportProcedures::overviewItems() const {
  return {{"&Statistics..."}, {"S&eries..."}, {"Print &Wanted List"}};
}

void ReportProcedures::runOverview(int index) {
  switch (index) {
    case STATISTICS_WINDOW: StatisticsWindow(program_, measure_, output_, devices_).run(); break;
    case SERIES_WINDOW: SeriesWindow(program_, measure_, output_).run(); break;
    case WANTED_LIST: printWantedList(program_, measure_, output_); break;
    default: break;
  }
}

void ReportProcedures::showValueHistory(const program::ValueHistoryAccess& ornament) {
  ValueHistoryWindow(program_, measure_, output_, devices_, ornament).run();
}

}  // namespace glimra::reports
