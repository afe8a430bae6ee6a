// SPDX-License-Identifier: GPL-3.0-or-later
// ReportRun: the record loop every report runs, written once for all sixteen.
//
// It reads the collection file in the order of the report's key, a batch of
// RECORDSPERCYCLE records at a time (so a window can serve its Cancel button
// between batches), prints one detail band per record through the report
// engine, and keeps the progress figures: records to process (every record of
// the file, whether the key holds it or not), records fetched and the integer
// percentage, which is not recomputed once it has reached 100.
//
// Use: start() sends "QUICKSCAN=on", positions at the start of the key and
// fetches the first record; when it returns true, call printBatch() until it
// returns true (the end was reached), then finish(true). To cancel, call
// finish(false) at any time after start(): nothing reaches the pages. finish()
// sends "QUICKSCAN=off" and prints the totals band of a report that has one
// (a report never opened prints nothing).
//
// The file is read into the caller's record buffer, the one the file is
// declared with; the file must be open. Records the key holds that are no
// live ornament (retired versions kept until the next open, nameless records)
// are read and counted for the progress but not printed. A fetch that fails with an error other
// than "Record Not Available" (the end of the key) calls onFetchError and ends
// the run as if the end had been reached.
#pragma once

#include <cstdint>
#include <functional>

#include "collection/gl_record.h"
#include "datafile/datafile.h"
#include "reports/layouts.h"
#include "reports/report_engine.h"

namespace glimra::reports {

class ReportRun {
 public:
  static constexpr std::int32_t RECORDSPERCYCLE = 25;

  ReportRun(const ReportDescriptor& report, datafile::DataFile& file, const collection::GlRecord& buffer,
            const TextMeasure& measure);

  // Prime: true when there is a first record to print (the report is then open).
  bool start();
  // One batch: prints up to RECORDSPERCYCLE records; true when the run reached the end.
  bool printBatch();
  // Ends the run: completed keeps the pages (the last one ended), otherwise
  // they are discarded.
  void finish(bool completed);
  // The finished pages of a completed run.
  PageList takePages() { return engine_.takePages(); }

  const ReportDescriptor& report() const { return report_; }
  std::int32_t RECORDSTOPROCESS = 0;
  std::int32_t RECORDSPROCESSED = 0;
  std::uint8_t PERCENTPROGRESS = 0;
  std::int32_t printed() const { return printed_; }

  // Called with the new percentage whenever its integer value changes.
  std::function<void(int percent)> onPercent;
  // Called when a fetch fails with an error other than the end of the key
  // (the file's errorCode() and errorText() tell which).
  std::function<void()> onFetchError;
  // Called when the walk through the key cannot be set up; the run still
  // tries to fetch the first record.
  std::function<void()> onViewError;

 private:
  // Fetches the next live ornament; true when one was fetched.
  bool R_GETNEXTRECORD();
  void updatePercent();

  const ReportDescriptor& report_;
  datafile::DataFile& file_;
  const collection::GlRecord& buffer_;
  ReportEngine engine_;
  int shownPercent_ = 0;
  std::int32_t printed_ = 0;
  bool scanning_ = false;
};

// Runs a whole report without a window: every batch in turn. Returns the
// pages (none when the key holds no record); progress as above.
PageList runReport(ReportRun& run);

}  // namespace glimra::reports
