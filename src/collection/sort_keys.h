// The derived sort keys of a record: NAMEKEY (the name, then the series in
// parentheses) and SERIESKEY (the series, then the name in parentheses). The
// list of the main window shows and sorts by them.
//
// Invariants: the name and series lose their trailing blanks but keep their
// leading blanks and letter case; a blank series gives NAMEKEY = name and
// SERIESKEY = " (name)", so entries without a series sort first by series;
// both keys are cut after 80 characters and padded with blanks.
#pragma once

#include "collection/gl_record.h"

namespace glimra::collection {

// Sets NAMEKEY and SERIESKEY of the record from its NAME and SERIES.
void buildKeys(GlRecord& record);

}  // namespace glimra::collection
