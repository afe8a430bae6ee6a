// SPDX-License-Identifier: GPL-3.0-or-later
// The wanted list: the numbers missing from each series, as a report in the
// style of the sixteen (title "Glimra - " with the subtitle "Wanted", heading
// box, separator lines, page numbers), laid out by the report engine so that
// the preview, the printer and a PDF show the same pages.
//
// One entry per series with a number missing: the series in bold, how many of
// its size are owned, its completeness, and the missing numbers as ranges
// ("2, 4-6, 9") wrapped below. Series with nothing missing are left out.
#pragma once

#include <vector>

#include "collection/series_completeness.h"
#include "reports/layouts.h"
#include "reports/page.h"
#include "reports/text_measure.h"

namespace glimra::reports {

// The wanted list as the preview and the tool name it.
const ReportDescriptor& wantedListReport();

// The pages of the wanted list of the given series (none when nothing is missing).
PageList wantedListPages(const std::vector<collection::SeriesCompleteness>& series, const TextMeasure& measure);

}  // namespace glimra::reports
