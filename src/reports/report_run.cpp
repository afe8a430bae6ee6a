// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/report_run.h"

#include "datafile/file_errors.h"

namespace glimra::reports {

ReportRun::ReportRun(const ReportDescriptor& report, datafile::DataFile& file, const collection::GlRecord& buffer,
                     const TextMeasure& measure)
    : report_(report), file_(file), buffer_(buffer), engine_(reportLayout(report), buffer, measure) {}

bool ReportRun::start() {
  RECORDSTOPROCESS = static_cast<std::int32_t>(file_.records());
  RECORDSPROCESSED = 0;
  PERCENTPROGRESS = 0;
  shownPercent_ = 0;
  printed_ = 0;
  file_.send("QUICKSCAN=on");
  scanning_ = true;
  if (file_.setKey(static_cast<std::size_t>(report_.key)) != 0 && onViewError) onViewError();
  if (!R_GETNEXTRECORD()) return false;
  engine_.open();
  return true;
}

bool ReportRun::printBatch() {
  for (std::int32_t i = 0; i < RECORDSPERCYCLE; ++i) {
    engine_.print(DETAIL_BAND);
    ++printed_;
    if (!R_GETNEXTRECORD()) return true;
  }
  return false;
}

void ReportRun::finish(bool completed) {
  if (scanning_) {
    file_.send("QUICKSCAN=off");
    scanning_ = false;
  }
  if (!completed) {
    engine_.close();
    return;
  }
  if (report_.totals) engine_.print(TOTALS_BAND);
  engine_.endReport();
}

bool ReportRun::R_GETNEXTRECORD() {
  // Until the next open the key still holds every retired version of a record
  // that was saved, deleted or left pending; only live ornaments are printed,
  // so each one appears once and the totals count it once.
  do {
    if (file_.next() != 0) {
      if (file_.errorCode() != datafile::FileError::RECORD_NOT_AVAILABLE && onFetchError) onFetchError();
      return false;
    }
    ++RECORDSPROCESSED;
    updatePercent();
  } while (!collection::isLiveOrnament(buffer_));
  return true;
}

void ReportRun::updatePercent() {
  if (PERCENTPROGRESS < 100) {
    // The integer part of the share, in whole-number arithmetic (exact, as the
    // decimal computation is).
    const std::int64_t percent =
        RECORDSTOPROCESS > 0 ? std::int64_t{RECORDSPROCESSED} * 100 / RECORDSTOPROCESS : 100;
    PERCENTPROGRESS = static_cast<std::uint8_t>(percent > 100 ? 100 : percent);
    if (PERCENTPROGRESS != shownPercent_) {
      shownPercent_ = PERCENTPROGRESS;
      if (onPercent) onPercent(PERCENTPROGRESS);
    }
  }
}

PageList runReport(ReportRun& run) {
  if (!run.start()) {
    run.finish(false);
    return PageList{};
  }
  while (!run.printBatch()) {
  }
  run.finish(true);
  return run.takePages();
}

}  // namespace glimra::reports
