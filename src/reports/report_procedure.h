// SPDX-License-Identifier: GPL-3.0-or-later
// The sixteen report procedures, written once: ReportProcedure runs one
// report under its progress window "Generating Report", and ReportProcedures
// offers them to the main window's Reports menu.
//
// A run raises the collection file's use count (opening the file through
// CHECKOPEN when the count is 0) and lowers it when it leaves, closing the
// file when the count reaches 0; it sends "QUICKSCAN=on" / "off" around the
// record loop; it prints a batch of RECORDSPERCYCLE records per timer event,
// the timer firing as often as the window's loop allows, so Cancel is served
// between batches; a completed run hands its pages to the page output. A
// fetch that fails otherwise than at the end of the key shows warning 35 with
// the file label "Glimra", a walk that cannot be set up warning 36. On return
// GLOBALRESPONSE is 1 when the records were read to the end, else 2.
#pragma once

#include <cstdint>
#include <vector>

#include "program/program.h"
#include "program/report_menu.h"
#include "reports/layouts.h"
#include "reports/page.h"
#include "reports/text_measure.h"

namespace glimra::reports {

// Control numbers of the progress window.
namespace progress {
enum : int {
  PROGRESS_THERMOMETER = 1,
  PROGRESS_USERSTRING = 2,
  PROGRESS_PCTTEXT = 3,
  PROGRESS_CANCEL = 4,
};
}  // namespace progress

// Where the pages of a completed report go: the print preview (PreviewOutput),
// or a recorder in tests. Returns when the user has left it.
class PageOutput {
 public:
  virtual ~PageOutput() = default;
  virtual void present(const ReportDescriptor& report, const PageList& pages) = 0;
};

// The progress window as declared: caption "Progress..." until the run
// starts, the thermometer, the user string, the percentage text and Cancel.
runtime::WindowDeclaration progressWindowDeclaration(std::uint8_t& thermometer);

class ReportProcedure {
 public:
  ReportProcedure(program::Program& program, const ReportDescriptor& report, const TextMeasure& measure,
                  PageOutput& output);
  void run();

  // The locals of the procedure, left as the run ended, for tests.
  std::int32_t LOCALREQUEST = 0;
  std::int32_t LOCALRESPONSE = 0;
  std::int32_t FILESOPENED = 0;
  std::uint8_t RECORDSTATUS = 0;
  std::uint8_t PROGRESS_THERMOMETER = 0;

 private:
  void R_VALIDATERECORD(bool fetched);
  void R_PROCEDURERETURN();

  program::Program& program_;
  const ReportDescriptor& report_;
  const TextMeasure& measure_;
  PageOutput& output_;
};

class PreviewDevices;

class ReportProcedures final : public program::ReportMenu {
 public:
  // devices: what the Statistics window draws its chart with (none: the
  // window shows no chart).
  ReportProcedures(program::Program& program, const TextMeasure& measure, PageOutput& output,
                   PreviewDevices* devices = nullptr)
      : program_(program), measure_(measure), output_(output), devices_(devices) {}
  // The sixteen menu texts in order, with lines after the ninth, eleventh,
  // twelfth and fourteenth.
  std::vector<program::ReportMenuItem> items() const override;
  void run(int index) override;
  // The Statistics and Series windows and the wanted list of every series.
  std::vector<program::ReportMenuItem> overviewItems() const override;
  void runOverview(int index) override;
  bool offersValueHistory() const override { return true; }
  void showValueHistory(const program::ValueHistoryAccess& ornament) override;

 private:
  program::Program& program_;
  const TextMeasure& measure_;
  PageOutput& output_;
  PreviewDevices* devices_;
};

}  // namespace glimra::reports
