// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/statistics_window.h"

#include <algorithm>
#include <cstdio>

#include "collection/glimra_file.h"
#include "datafile/file_errors.h"
#include "program/file_dialog_start.h"

namespace glimra::reports {

using runtime::Binding;
using runtime::ControlDeclaration;
using runtime::EventKind;
using WindowControl = runtime::ControlKind;
using namespace statistics;
using collection::GroupColumn;

namespace {

// The table's columns in characters of the fixed-pitch font: the name, then
// the four figures right-aligned.
constexpr int NAME_CHARS = 26;
constexpr int COUNT_CHARS = 7;
constexpr int AMOUNT_CHARS = 15;
constexpr int LIST_X = 6;
// Wide enough for the chart beside the table to read at about 80 dots an inch.
constexpr int WINDOW_WIDTH = 640;
constexpr int SCROLL_BAR_ROOM = 12;  // the chart's vertical scroll bar and frame, in dialog units
constexpr int LIST_PADDING = 2;  // the list's own margin before the text, in dialog units

const char* const COLUMN_TITLES[] = {"", "Count", "Value", "Purchase Price", "Gain"};

std::string clippedTo(const std::string& text, std::size_t width) {
  return text.size() <= width ? text : text.substr(0, width - 1) + "\x85";
}

}  // namespace

std::string statisticsRow(const collection::GroupTotals& g, bool total) {
  const std::string name = total ? "Total" : g.name.empty() ? "(none)" : g.name;
  char row[160];
  std::snprintf(row, sizeof row, "%-*s %*lld %*s %*s %*s", NAME_CHARS, clippedTo(name, NAME_CHARS).c_str(),
                COUNT_CHARS, static_cast<long long>(g.count), AMOUNT_CHARS, collection::amountText(g.value).c_str(),
                AMOUNT_CHARS, collection::amountText(g.paid).c_str(), AMOUNT_CHARS,
                collection::amountText(g.gain()).c_str());
  return row;
}

StatisticsWindow::StatisticsWindow(program::Program& program, const TextMeasure& measure, PageOutput& output,
                                   PreviewDevices* devices)
    : program_(program), measure_(measure), output_(output), devices_(devices) {}

runtime::WindowDeclaration StatisticsWindow::declaration() {
  runtime::WindowDeclaration d;
  d.title = STATISTICS_WINDOW_TITLE;
  d.at = {-1, -1, WINDOW_WIDTH, 290};
  d.font = runtime::FontDeclaration{"Liberation Mono", 9};
  // Adds a control and gives it back for its further settings.
  auto add = [&d](int number, WindowControl kind, std::string text, runtime::Rect at, int parent = 0) {
    d.controls.push_back(ControlDeclaration{number, kind, std::move(text), at});
    d.controls.back().parent = parent;
    return &d.controls.back();
  };
  add(GROUPBYPROMPT, WindowControl::Prompt, "Group by:", {LIST_X, 6, 40, 9});
  add(GROUPBY, WindowControl::OptionGroup, "", {48, 2, 276, 16})->use = Binding::to(GROUPING);
  const char* const radios[] = {"&Category", "&Manufacturer", "&Year Made", "&Location", "S&eries"};
  const int radioX[] = {50, 102, 170, 226, 278};
  const int radioWidth[] = {50, 66, 54, 50, 42};
  for (int i = 0; i < 5; ++i)
    add(BYCATEGORY + i, WindowControl::Radio, radios[i], {radioX[i], 5, radioWidth[i], 10}, GROUPBY);

  // The heading buttons stand over their columns.
  int chars = 0;
  const int widths[] = {NAME_CHARS, COUNT_CHARS, AMOUNT_CHARS, AMOUNT_CHARS, AMOUNT_CHARS};
  for (int i = 0; i < 5; ++i) {
    add(NAMEHEADING + i, WindowControl::Button, COLUMN_TITLES[i],
        {LIST_X + LIST_PADDING + 4 * chars, 22, 4 * widths[i], 13});
    chars += widths[i] + 1;
  }
  const int listWidth = 4 * chars + 2 * LIST_PADDING + 10;
  add(GROUPLIST, WindowControl::List, "", {LIST_X, 36, listWidth, 206});
  auto* totals = add(TOTALS, WindowControl::Text, "", {LIST_X + LIST_PADDING, 245, listWidth, 9});
  totals->flags = runtime::Bold;
  add(NOTE, WindowControl::Text, "", {LIST_X, 257, listWidth, 9});
  const int chartX = LIST_X + listWidth + 8;
  add(CHART, WindowControl::Image, "", {chartX, 4, WINDOW_WIDTH - chartX - 6, 238})->flags = runtime::ScrollBars;
  add(CHARTPAGEPROMPT, WindowControl::Prompt, "C&hart page:", {chartX, 247, 50, 9});
  auto* page = add(CHARTPAGE, WindowControl::SpinBox, "", {chartX + 52, 245, 36, 12});
  page->use = Binding::to(CHARTPAGENUMBER);
  page->low = 1;
  page->high = 1;
  add(PRINT, WindowControl::Button, "&Print...", {LIST_X, 271, 70, 14});
  add(SAVEPDF, WindowControl::Button, "Save as P&DF...", {LIST_X + 76, 271, 80, 14});
  add(CLOSE, WindowControl::Button, "Cl&ose", {WINDOW_WIDTH - 6 - 60, 271, 60, 14});
  return d;
}

collection::Grouping StatisticsWindow::grouping() const {
  const int chosen = std::clamp<int>(GROUPING, 1, static_cast<int>(collection::GROUPING_COUNT));
  return collection::groupingNames()[static_cast<std::size_t>(chosen - 1)].grouping;
}

void StatisticsWindow::rebuild() {
  const collection::Grouping by = grouping();
  shown = figures.of(by);
  collection::sortGroups(shown, sortColumn, descending);
  rows_->rows.clear();
  for (const auto& g : shown) rows_->rows.push_back(statisticsRow(g, false));
  window_->display(GROUPLIST);
  if (!shown.empty()) window_->selectRow(GROUPLIST, 1);
  window_->setText(TOTALS, statisticsRow(figures.total, true));

  // The headings: the grouping's name, and the sorted column marked.
  for (int i = 0; i < 5; ++i) {
    std::string title = i == 0 ? collection::groupingNames()[static_cast<std::size_t>(by)].heading : COLUMN_TITLES[i];
    if (static_cast<int>(sortColumn) == i) title += descending ? " v" : " ^";
    window_->setText(NAMEHEADING + i, title);
  }

  auto next = std::make_shared<StatisticsPages>(statisticsPages(shown, by, measure_));
  const int chartPages = static_cast<int>(next->chartPages());
  // The chart cut to its area, so that it reads at the window's size.
  std::shared_ptr<const runtime::PageImages> images = devices_ ? devices_->croppedImages(next->pages) : nullptr;
  // The old pages stay until the window shows the new ones.
  std::swap(pages_, next);
  std::swap(images_, images);
  window_->setRange(CHARTPAGE, 1, std::max(1, chartPages));
  CHARTPAGENUMBER = 1;
  window_->display(CHARTPAGE);
  if (chartPages > 1) {
    window_->enable(CHARTPAGEPROMPT, CHARTPAGE);
  } else {
    window_->disable(CHARTPAGEPROMPT, CHARTPAGE);
  }
  showChartPage();
}

void StatisticsWindow::showChartPage() {
  const int chartPages = static_cast<int>(pages_->chartPages());
  if (chartPages == 0) {
    window_->setPageImage(CHART, nullptr, 0);
    return;
  }
  CHARTPAGENUMBER = std::clamp(CHARTPAGENUMBER, 1, chartPages);
  window_->setPageImage(CHART, images_, CHARTPAGENUMBER);
  // As wide as the room, as tall as the page then is: the bars scroll.
  if (images_) {
    const runtime::Rect room = window_->geometry(CHART);
    const int width = std::max(room.width - SCROLL_BAR_ROOM, 40);
    window_->setImageDisplaySize(
        CHART, width, static_cast<int>(static_cast<long long>(width) * images_->pageHeight() / images_->pageWidth()));
  }
}

void StatisticsWindow::sortBy(GroupColumn column) {
  if (column == sortColumn) {
    descending = !descending;
  } else {
    sortColumn = column;
    descending = column != GroupColumn::Name;  // the largest figures first
  }
  rebuild();
}

void StatisticsWindow::saveAsPdf() {
  if (!devices_) return;
  runtime::FileDialog dialog;
  dialog.kind = runtime::FileDialogKind::Save;
  dialog.title = "Save as PDF";
  dialog.filters = "PDF|*.pdf";
  dialog.path = program::fileDialogStart(program_.runtime, program_.GLIMRAFILE.str(), "Glimra Statistics.pdf");
  const std::optional<std::string> path = program_.runtime.chooseFile(dialog);
  if (!path) return;
  const std::string failure = devices_->savePdf(pages_->pages, *path);
  runtime::MessageBox box;
  box.caption = STATISTICS_WINDOW_TITLE;
  if (failure.empty()) {
    box.text = "The statistics were saved as " + *path + ".";
  } else {
    box.text = "The statistics could not be saved as " + *path + ".\n\n" + failure;
    box.icon = runtime::MessageIcon::Exclamation;
  }
  program_.runtime.message(box);
}

void StatisticsWindow::run() {
  {
    collection::GlRecord buffer;
    datafile::DataFile file(program_.fileSystem);
    file.declare(collection::glimraDeclaration(), &buffer);
    file.setName(program_.GLIMRA.name());
    if (file.open(datafile::READ_ONLY_DENY_NONE) != 0 ||
        collection::readCollectionStatistics(file, buffer, &figures) != 0) {
      program_.runtime.message(runtime::MessageBox{
          "The statistics cannot be read.\n\n" + file.name() + ": " + datafile::describeError(file),
          STATISTICS_WINDOW_TITLE, runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
      return;
    }
  }
  const auto window = program_.runtime.open(declaration());
  window_ = window.get();
  window_->setListSource(GROUPLIST, rows_);
  for (;;) {
    const runtime::Event event = window_->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      window_->display();
      const std::int64_t odd = figures.notNumbers;
      window_->setText(NOTE, odd == 0 ? std::string()
                                      : std::to_string(odd) + (odd == 1 ? " amount that is" : " amounts that are") +
                                            " not a number counted as 0.");
      rebuild();
      window_->select(GROUPLIST);
    } else if (event.is(GROUPBY, EventKind::Accepted)) {
      rebuild();
    } else if (event.kind == EventKind::Accepted && event.control >= NAMEHEADING && event.control <= GAINHEADING) {
      sortBy(static_cast<GroupColumn>(event.control - NAMEHEADING));
    } else if (event.control == CHARTPAGE &&
               (event.kind == EventKind::NewSelection || event.kind == EventKind::Accepted)) {
      showChartPage();
    } else if (event.is(PRINT, EventKind::Accepted)) {
      output_.present(statisticsReport(), pages_->pages);
    } else if (event.is(SAVEPDF, EventKind::Accepted)) {
      saveAsPdf();
    } else if (event.is(CLOSE, EventKind::Accepted)) {
      window_->close();
    }
  }
  window_ = nullptr;
}

}  // namespace glimra::reports
