// SPDX-License-Identifier: GPL-3.0-or-later
// ReportEngine: prints the bands of one layout into laid-out pages.
//
// The engine is created from a layout and the record buffer its fields are
// bound to; each print() of the detail band reads the buffer as it is at that
// moment. Pages are laid out once, as items in thousandths of an inch, with the
// measure it is given; a page painter draws them later on any device.
//
// Rules the engine keeps:
//  - A page begins with its page header and page footer, the footer carrying
//    the page number (from 1).
//  - Detail and totals bands flow down the detail area. A band that does not
//    fit in what is left of the page starts a new page. A band taller than the
//    whole detail area starts on a fresh page and is split between its rows:
//    an item that would cross the bottom of the area moves, with everything
//    below it, to the top of the next page; nothing is lost.
//  - A description grows its band downward by as many lines as its wrapped
//    text needs beyond the control's own height, and moves what lies below it.
//  - Text wider than its box shows from its start and is cut at the box's
//    edge (right-aligned text too); text sized to its content is never cut.
//    A number sized to its content is as wide as the widest text its picture
//    shows, so right-aligned amounts line up in a column.
//  - Each sum adds up its field over the detail bands printed, and only
//    those, as an amount; text that is not a number counts as 0.
//  - print() before open() or after close() does nothing; close() discards
//    the pages not yet taken, the unfinished one included.
#pragma once

#include <cstdint>
#include <vector>

#include "collection/gl_record.h"
#include "reports/layout.h"
#include "reports/page.h"
#include "reports/text_measure.h"
#include "text/picture.h"

namespace glimra::reports {

inline constexpr int DETAIL_BAND = -1;
inline constexpr int TOTALS_BAND = -2;

class ReportEngine {
 public:
  // The layout is copied; record and measure must outlive the engine.
  ReportEngine(const Layout& layout, const collection::GlRecord& record, const TextMeasure& measure);
  ReportEngine(const ReportEngine&) = delete;
  ReportEngine& operator=(const ReportEngine&) = delete;

  // Starts a report; its first page is numbered firstPage (a report printed
  // after another keeps counting).
  void open(int firstPage = 1);
  bool isOpen() const { return open_; }
  // Prints band DETAIL_BAND or TOTALS_BAND (a layout without totals prints
  // nothing for it).
  void print(int band);
  // Ends the last page: it joins the finished pages.
  void endReport();
  // Hands over the finished pages (the engine keeps none of them).
  PageList takePages();
  // Discards everything not taken and stops printing.
  void close();

  // The number of the page being filled (0 before the first band).
  int pageNumber() const { return pageNumber_; }
  // Finished pages so far.
  std::size_t finishedPages() const { return pages_.pages.size(); }

 private:
  struct Prepared {
    const Control* control;
    collection::Picture picture;
    std::uint16_t style;
    int sumIndex;  // Sum: its running sum in sums_; -1 otherwise
    int widestNumber;  // a number's widest shown text, for a control sized to its content
  };
  struct PreparedBand {
    std::int32_t height = 0;
    std::vector<Prepared> controls;
  };

  PreparedBand prepare(const std::vector<Control>& controls, std::int32_t height);
  // Lays out the controls of a band into out (band-relative positions, out
  // emptied first) and returns the band's height after growing.
  std::int32_t layBand(const PreparedBand& band, Page& out);
  std::string valueOf(const Prepared& p) const;
  void addText(Page& page, const Prepared& p, const Rect& box, std::string_view utf8);
  void addLines(Page& page, const Prepared& p, const Rect& box, std::string_view utf8, std::int32_t* grownBy);
  void startPage();
  void finishPage();
  void placeScratch(std::int32_t height);
  void placeFixed(const PreparedBand& band, const Rect& area);

  Layout layout_;
  const collection::GlRecord& record_;
  const TextMeasure& measure_;
  PreparedBand header_, footer_, detail_, totals_;
  std::vector<std::int64_t> sums_;  // per control of the totals band, in millionths

  bool open_ = false;
  bool pageStarted_ = false;
  int pageNumber_ = 0;
  std::int32_t cursor_ = 0;  // from the top of the detail area
  Page current_;
  Page scratch_;       // the band being placed
  Page fixedScratch_;  // a page header or footer being placed
  PageList pages_;
};

}  // namespace glimra::reports
