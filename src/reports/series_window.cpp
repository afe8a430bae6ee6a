// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/series_window.h"

#include <algorithm>
#include <cstdio>

#include "datafile/file_errors.h"
#include "reports/wanted_list.h"
#include "text/cp1252.h"

namespace glimra::reports {

using runtime::Binding;
using runtime::ControlDeclaration;
using runtime::EventKind;
using WindowControl = runtime::ControlKind;
using namespace series;

namespace {

constexpr int BAR_CELLS = 10;

std::string clippedTo(const std::string& text, std::size_t width) {
  return text.size() <= width ? text : text.substr(0, width - 1) + "\x85";
}

void tell(runtime::Runtime& runtime, const std::string& text, runtime::MessageIcon icon) {
  runtime.message(runtime::MessageBox{text, SERIES_WINDOW_TITLE, icon, runtime::Ok, runtime::Ok});
}

}  // namespace

std::string seriesRow(const collection::SeriesCompleteness& s, bool marked) {
  char owned[32], percent[8];
  std::snprintf(owned, sizeof owned, "%d of %d", s.ownedWithinSize, s.size);
  if (s.size > 0)
    std::snprintf(percent, sizeof percent, "%d%%", s.percent());
  else
    std::snprintf(percent, sizeof percent, "-");
  std::string bar;
  const int filled = s.size > 0 ? s.percent() * BAR_CELLS / 100 : 0;
  for (int i = 0; i < BAR_CELLS; ++i) bar += i < filled ? '\x95' : '\xB7';  // bullets and middle dots
  char row[160];
  std::snprintf(row, sizeof row, "%c %-30s %12s %5s  %s", marked ? '*' : ' ', clippedTo(s.series, 30).c_str(),
                s.size > 0 ? owned : "", percent, bar.c_str());
  return row;
}

SeriesWindow::SeriesWindow(program::Program& program, const TextMeasure& measure, PageOutput& output)
    : program_(program), measure_(measure), output_(output), sizes_(program.fileSystem) {}

runtime::WindowDeclaration SeriesWindow::declaration() {
  runtime::WindowDeclaration d;
  d.title = SERIES_WINDOW_TITLE;
  d.at = {-1, -1, 316, 252};
  d.font = runtime::FontDeclaration{"Liberation Mono", 9};
  char headings[128];
  std::snprintf(headings, sizeof headings, "  %-30s %12s  %s", "Series", "Owned", "Complete");
  d.controls = {
      {HEADINGS, WindowControl::Text, headings, {6, 4, 304, 9}},
      {SERIESLIST, WindowControl::List, "", {6, 14, 304, 140}},
      {OWNEDTEXT, WindowControl::Text, "", {6, 158, 304, 9}},
      {MISSINGTEXT, WindowControl::Text, "", {6, 169, 304, 9}},
      {NOTESTEXT, WindowControl::Text, "", {6, 180, 304, 9}},
      {COMPLETEBAR, WindowControl::Progress, "", {6, 194, 150, 11}},
      {SIZEPROMPT, WindowControl::Prompt, "Si&ze:", {166, 196, 26, 9}},
      {SIZE, WindowControl::Entry, "", {194, 194, 40, 12}},
      {SETSIZE, WindowControl::Button, "&Set Size", {240, 193, 70, 14}},
      {MARK, WindowControl::Button, "&Mark for List", {6, 230, 84, 15}},
      {WANTED, WindowControl::Button, "&Wanted List...", {96, 230, 84, 15}},
      {CLOSE, WindowControl::Button, "&Close", {260, 230, 50, 15}},
  };
  for (ControlDeclaration& c : d.controls) {
    if (c.number == HEADINGS) c.flags = runtime::Bold;
    if (c.number == COMPLETEBAR) c.use = Binding::to(COMPLETE);
    if (c.number == SIZE) {
      c.use = Binding::to(ENTEREDSIZE);
      c.picture = "n5";
      c.tip = "The number of pieces in the series; 0 takes the highest number owned";
    }
  }
  return d;
}

bool SeriesWindow::load() {
  std::string error;
  tally_ = collection::SeriesTally{};
  const std::string path = program_.GLIMRA.name();
  // Sizes are written through the main window's open of the file.
  const datafile::OpenMode mode =
      program_.GLIMRA.isOpen() ? program_.GLIMRA.openMode() : datafile::READ_ONLY_DENY_NONE;
  if (collection::tallySeries(program_.fileSystem, path, &tally_, &error) == 0) {
    if (sizes_.open(path, mode) == 0) return true;
    error = path + ": the series sizes: " + datafile::describeError(sizes_.file());
  }
  tell(program_.runtime, "The series cannot be read.\n\n" + error, runtime::MessageIcon::Exclamation);
  return false;
}

void SeriesWindow::refresh(int row) {
  collection::SeriesSizeMap entered;
  if (sizes_.read(&entered) != 0)
    tell(program_.runtime, "The entered series sizes cannot be read: " + datafile::describeError(sizes_.file()),
         runtime::MessageIcon::Exclamation);
  SERIES = tally_.result(entered);
  rows_->rows.clear();
  for (const auto& s : SERIES) rows_->rows.push_back(seriesRow(s, MARKED.count(collection::seriesKey(s.series)) > 0));
  window_->display(SERIESLIST);
  if (!SERIES.empty()) window_->selectRow(SERIESLIST, std::clamp(row, 1, static_cast<int>(SERIES.size())));
  showChosen();
}

const collection::SeriesCompleteness* SeriesWindow::chosen() const {
  const int row = window_->choice(SERIESLIST);
  return row >= 1 && row <= static_cast<int>(SERIES.size()) ? &SERIES[static_cast<std::size_t>(row - 1)] : nullptr;
}

void SeriesWindow::showChosen() {
  const collection::SeriesCompleteness* s = chosen();
  if (!s) {
    window_->setText(OWNEDTEXT, SERIES.empty() ? "No ornament of this collection belongs to a series." : "");
    window_->setText(MISSINGTEXT, "");
    window_->setText(NOTESTEXT, "");
    window_->disable(SIZEPROMPT, MARK);
    COMPLETE = 0;
    ENTEREDSIZE = 0;
    window_->display(COMPLETEBAR, SIZE);
    return;
  }
  window_->enable(SIZEPROMPT, MARK);
  const std::string owned = collection::rangesText(collection::rangesOf(s->owned));
  window_->setText(OWNEDTEXT, "Owned:   " + (owned.empty() ? std::string("none by number") : owned));
  std::string missing = s->size == 0 ? "no size known: enter the number of pieces"
                        : s->missing.empty() ? "none, the series is complete"
                                             : collection::rangesText(s->missing);
  window_->setText(MISSINGTEXT, "Missing: " + missing);
  std::string notes = s->enteredSize > 0 ? "Size entered: " + std::to_string(s->enteredSize)
                                         : "Size: the highest number owned";
  if (s->beyondSize > 0) notes += "; " + std::to_string(s->beyondSize) + " owned beyond it";
  if (!s->otherNumbers.empty()) {
    std::string other;
    for (const auto& n : s->otherNumbers) other += (other.empty() ? "" : ", ") + n;
    notes += "; not whole numbers: " + other;
  }
  if (s->unnumbered > 0) notes += "; " + std::to_string(s->unnumbered) + " without a number";
  if (s->duplicates > 0) notes += "; " + std::to_string(s->duplicates) + (s->duplicates == 1 ? " duplicate" : " duplicates");
  window_->setText(NOTESTEXT, notes);
  COMPLETE = static_cast<std::uint8_t>(std::max(0, s->percent()));
  ENTEREDSIZE = s->enteredSize;
  window_->display(COMPLETEBAR, SIZE);
  window_->setText(MARK, MARKED.count(collection::seriesKey(s->series)) ? "Un&mark" : "&Mark for List");
}

void SeriesWindow::enterSize() {
  const collection::SeriesCompleteness* s = chosen();
  if (!s) return;
  const int row = window_->choice(SERIESLIST);
  if (ENTEREDSIZE < 0 || ENTEREDSIZE > collection::MAX_SERIES_NUMBER) {
    tell(program_.runtime, "A series size is a whole number from 1 to 99999, or 0 for none.",
         runtime::MessageIcon::Exclamation);
    return;
  }
  if (sizes_.enter(s->series, ENTEREDSIZE) != 0) {
    tell(program_.runtime,
         "The size of " + collection::cp1252ToUtf8(s->series) +
             " could not be saved; the sizes stay as they were.\n\n" + datafile::describeError(sizes_.file()),
         runtime::MessageIcon::Exclamation);
  }
  refresh(row);
}

void SeriesWindow::printWanted() {
  std::vector<collection::SeriesCompleteness> listed;
  for (const auto& s : SERIES)
    if (MARKED.empty() || MARKED.count(collection::seriesKey(s.series))) listed.push_back(s);
  const PageList pages = wantedListPages(listed, measure_);
  if (pages.pages.empty()) {
    tell(program_.runtime,
         MARKED.empty() ? "No series has a number missing." : "No series marked for the list has a number missing.",
         runtime::MessageIcon::Information);
    return;
  }
  output_.present(wantedListReport(), pages);
}

void SeriesWindow::run() {
  if (!load()) return;
  const auto window = program_.runtime.open(declaration());
  window_ = window.get();
  window_->setListSource(SERIESLIST, rows_);
  for (;;) {
    const runtime::Event event = window_->accept();
    if (event.closes()) break;
    switch (event.kind) {
      case EventKind::OpenWindow:
        refresh(1);
        window_->select(SERIESLIST);
        break;
      case EventKind::NewSelection:
        if (event.control == SERIESLIST) showChosen();
        break;
      case EventKind::Accepted:
        if (event.control == SETSIZE) enterSize();
        if (event.control == MARK) {
          if (const auto* s = chosen()) {
            const std::string key = collection::seriesKey(s->series);
            if (!MARKED.erase(key)) MARKED.insert(key);
            refresh(window_->choice(SERIESLIST));
          }
        }
        if (event.control == WANTED) printWanted();
        if (event.control == CLOSE) window_->close();
        break;
      default:
        break;
    }
  }
  sizes_.close();
  window_ = nullptr;
}

void printWantedList(program::Program& program, const TextMeasure& measure, PageOutput& output) {
  std::vector<collection::SeriesCompleteness> all;
  std::string error;
  if (collection::readSeriesCompleteness(program.fileSystem, program.GLIMRA.name(), &all, &error) != 0) {
    program.runtime.message(runtime::MessageBox{"The series cannot be read.\n\n" + error, "Wanted List",
                                                runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
    return;
  }
  const PageList pages = wantedListPages(all, measure);
  if (pages.pages.empty()) {
    program.runtime.message(runtime::MessageBox{"No series has a number missing.", "Wanted List",
                                                runtime::MessageIcon::Information, runtime::Ok, runtime::Ok});
    return;
  }
  output.present(wantedListReport(), pages);
}

}  // namespace glimra::reports
