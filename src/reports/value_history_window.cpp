// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/value_history_window.h"

#include <algorithm>
#include <cstdio>

#include "text/cp1252.h"
#include "text/fixed_text.h"
#include "collection/glimra_file.h"
#include "text/picture.h"
#include "text/std_date.h"
#include "reports/line_chart.h"
#include "reports/statistics_report.h"

namespace glimra::reports {

using runtime::Binding;
using runtime::ControlDeclaration;
using runtime::EventKind;
using WindowControl = runtime::ControlKind;
using namespace value_history;
using collection::Valuation;

namespace {

constexpr int WINDOW_WIDTH = 620;
constexpr int LIST_X = 6;
constexpr int LIST_WIDTH = 330;
constexpr int DATE_CHARS = 10;
constexpr int KIND_CHARS = 20;
constexpr int AMOUNT_CHARS = 13;
constexpr int SOURCE_CHARS = 24;

std::string dateText(std::int32_t day) {
  static const collection::Picture picture = collection::Picture::parse("d1");
  return picture.format(std::to_string(day));
}

std::string amountShown(const std::string& stored) {
  static const collection::Picture picture = collection::Picture::parse("N$12.2");
  const std::string text = picture.format(stored);
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

std::string row(const std::string& date, const std::string& kind, const std::string& amount,
                const std::string& source, const std::string& note) {
  char text[400];
  std::snprintf(text, sizeof text, "%-*.*s %-*.*s %*.*s  %-*.*s %s", DATE_CHARS, DATE_CHARS, date.c_str(), KIND_CHARS,
                KIND_CHARS, kind.c_str(), AMOUNT_CHARS, AMOUNT_CHARS, amount.c_str(), SOURCE_CHARS, SOURCE_CHARS,
                source.c_str(), note.c_str());
  return text;
}

// The chart as the print preview names it.
const ReportDescriptor VALUE_HISTORY = {"VALUEHISTORYREPORT", "Value &History...", "value-history", -1,
                                        collection::GlField::NAME, "Value History", 1500,
                                        Family::Standard, collection::GlField::NAME, false};

}  // namespace

PageList valueHistoryPages(const std::string& heading, const collection::GlRecord& record,
                           const std::vector<Valuation>& valuations, const TextMeasure& measure) {
  ChartSeries value{"Value", VALUE_BAR, {}};
  for (const collection::HistoryPoint& p : collection::historyOf(record, valuations))
    value.points.push_back({p.date, p.millionths});
  return lineChartPages(collection::cp1252ToUtf8(heading), {value}, collection::today(), measure);
}

ValueHistoryWindow::ValueHistoryWindow(program::Program& program, const TextMeasure& measure, PageOutput& output,
                                       PreviewDevices* devices, const program::ValueHistoryAccess& ornament)
    : program_(program), measure_(measure), output_(output), devices_(devices), ornament_(ornament) {}

runtime::WindowDeclaration ValueHistoryWindow::declaration() {
  runtime::WindowDeclaration d;
  d.title = VALUE_HISTORY_WINDOW_TITLE;
  d.at = {-1, -1, WINDOW_WIDTH, 250};
  d.font = runtime::FontDeclaration{"Liberation Mono", 9};
  auto add = [&d](int number, WindowControl kind, std::string text, runtime::Rect at) {
    d.controls.push_back(ControlDeclaration{number, kind, std::move(text), at});
    return &d.controls.back();
  };
  add(HEADING, WindowControl::Text, "", {LIST_X, 6, LIST_WIDTH, 10})->flags = runtime::Bold;
  add(TITLES, WindowControl::Text, row("Date", "Kind", "Amount", "Source", "Note"), {LIST_X + 2, 20, LIST_WIDTH, 10});
  add(VALUATIONLIST, WindowControl::List, "", {LIST_X, 31, LIST_WIDTH, 190});
  add(ADD, WindowControl::Button, "&Add...", {LIST_X, 228, 60, 14});
  add(EDIT, WindowControl::Button, "&Edit...", {LIST_X + 66, 228, 60, 14});
  add(REMOVE, WindowControl::Button, "&Delete", {LIST_X + 132, 228, 60, 14});
  const int chartX = LIST_X + LIST_WIDTH + 8;
  add(CHART, WindowControl::Image, "", {chartX, 6, WINDOW_WIDTH - chartX - 6, 215})->flags = runtime::ScrollBars;
  add(PRINT, WindowControl::Button, "&Print...", {chartX, 228, 60, 14});
  add(CLOSE, WindowControl::Button, "Cl&ose", {WINDOW_WIDTH - 6 - 60, 228, 60, 14});
  return d;
}

void ValueHistoryWindow::refresh() {
  record = ornament_.record();
  valuations = ornament_.valuations();
  rows_->rows.clear();
  const std::vector<collection::HistoryPoint> points = collection::historyOf(record, valuations);
  purchaseShown_ = false;
  for (const collection::HistoryPoint& p : points)
    if (!p.stored && p.kind == collection::ValuationKind::Purchase) purchaseShown_ = true;
  // The purchase first (it is the first point of its date), then the valuations.
  if (purchaseShown_)
    rows_->rows.push_back(row(dateText(collection::storedDay(record.PURDATE.clipped())), "Purchase",
                              amountShown(record.PURPRICE.str()), record.PURFROM.str(), ""));
  for (const Valuation& v : valuations)
    rows_->rows.push_back(row(dateText(v.date), collection::kindName(v.kind), amountShown(v.amount), v.source, v.note));
  window_->setText(HEADING, ornament_.heading + "   Value: " + amountShown(record.VALUE.str()));
  window_->display(VALUATIONLIST);
  if (!rows_->rows.empty()) window_->selectRow(VALUATIONLIST, static_cast<int>(rows_->rows.size()));
  if (valuations.empty()) window_->disable(EDIT, REMOVE);
  else window_->enable(EDIT, REMOVE);

  pages_ = valueHistoryPages(ornament_.heading, record, valuations, measure_);
  images_ = devices_ && !pages_.pages.empty() ? devices_->croppedImages(pages_) : nullptr;
  window_->setPageImage(CHART, images_, images_ ? 1 : 0);
  if (images_) {
    // The whole chart in the room, its proportions kept.
    const runtime::Rect room = window_->geometry(CHART);
    const Rect extent = pages_.itemsExtent();  // what the cropped image shows
    const long long pageWidth = std::max(extent.w, 1), pageHeight = std::max(extent.h, 1);
    int width = std::max(room.width - 12, 40);
    int height = static_cast<int>(width * pageHeight / pageWidth);
    if (height > room.height - 12) {
      height = std::max(room.height - 12, 30);
      width = static_cast<int>(height * pageWidth / pageHeight);
    }
    window_->setImageDisplaySize(CHART, width, height);
  }
  if (pages_.pages.empty()) window_->disable(PRINT);
  else window_->enable(PRINT);
}

int ValueHistoryWindow::chosenValuation() const {
  const int chosen = window_->choice(VALUATIONLIST) - 1 - (purchaseShown_ ? 1 : 0);
  return chosen >= 0 && chosen < static_cast<int>(valuations.size()) ? chosen : -1;
}

bool ValueHistoryWindow::editValuation(Valuation& valuation, const std::string& title) {
  collection::FixedText<15> date;
  collection::FixedText<20> amount;
  collection::FixedText<collection::VALUATION_SOURCE_LENGTH> source;
  collection::FixedText<collection::VALUATION_NOTE_LENGTH> note;
  std::int32_t kind = static_cast<std::int32_t>(valuation.kind);
  date = valuation.date > 0 ? std::to_string(valuation.date) : std::string();
  amount = valuation.amount;
  source = valuation.source;
  note = valuation.note;

  runtime::WindowDeclaration d;
  d.title = title;
  d.at = {-1, -1, 280, 122};
  auto add = [&d](int number, WindowControl kind, std::string text, runtime::Rect at, Binding use = {},
                  std::string picture = {}) {
    d.controls.push_back(ControlDeclaration{number, kind, std::move(text), at, use, std::move(picture)});
    return &d.controls.back();
  };
  add(DATEPROMPT, WindowControl::Prompt, "&Date:", {8, 8, 50, 10});
  add(DATE, WindowControl::Entry, "", {60, 6, 60, 12}, Binding::to(date), "d1");
  add(AMOUNTPROMPT, WindowControl::Prompt, "&Amount:", {8, 24, 50, 10});
  add(AMOUNT, WindowControl::Entry, "", {60, 22, 70, 12}, Binding::to(amount), "N$9.2");
  add(KINDPROMPT, WindowControl::Prompt, "&Kind:", {8, 40, 50, 10});
  add(KIND, WindowControl::DropList, "", {60, 38, 110, 12}, Binding::to(kind));
  add(SOURCEPROMPT, WindowControl::Prompt, "&Source:", {8, 56, 50, 10});
  add(SOURCE, WindowControl::Entry, "", {60, 54, 212, 12}, Binding::to(source), "s40");
  add(NOTEPROMPT, WindowControl::Prompt, "&Note:", {8, 72, 50, 10});
  add(NOTE, WindowControl::Entry, "", {60, 70, 212, 12}, Binding::to(note), "s80");
  add(OK, WindowControl::Button, "OK", {166, 100, 50, 14})->flags = runtime::DefaultButton;
  add(CANCEL, WindowControl::Button, "Cancel", {222, 100, 50, 14});

  auto kinds = std::make_shared<TextRows>();
  for (const collection::ValuationKind k : collection::VALUATION_KINDS) kinds->rows.push_back(collection::kindName(k));
  auto window = program_.runtime.open(d);
  window->setListSource(KIND, kinds);
  auto refuse = [&](const std::string& text, int field) {
    program_.runtime.message(
        runtime::MessageBox{text, title, runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
    window->select(field);
  };
  bool accepted = false;
  for (;;) {
    const runtime::Event event = window->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      window->display();
      window->select(DATE);
    } else if (event.is(CANCEL, EventKind::Accepted)) {
      window->close();
    } else if (event.is(OK, EventKind::Accepted)) {
      const std::int32_t day = collection::storedDay(date.clipped());
      if (day == 0) {
        refuse("Type the date of the valuation.", DATE);
      } else if (day > collection::today()) {
        refuse("A valuation cannot be dated after today.", DATE);
      } else if (amount.isBlank()) {
        refuse("Type the amount of the valuation.", AMOUNT);
      } else {
        valuation.date = day;
        valuation.amount = amount.str();
        valuation.kind = kind >= 1 && kind <= 5 ? static_cast<collection::ValuationKind>(kind)
                                                : collection::ValuationKind::OwnEstimate;
        valuation.source = source.str();
        valuation.note = note.str();
        accepted = true;
        window->close();
      }
    }
  }
  return accepted;
}

void ValueHistoryWindow::change(std::vector<Valuation> changed) {
  ornament_.save(std::move(changed));  // a failure was told; the window shows the file as it is
  refresh();
}

void ValueHistoryWindow::run() {
  const auto window = program_.runtime.open(declaration());
  window_ = window.get();
  window_->setListSource(VALUATIONLIST, rows_);
  for (;;) {
    const runtime::Event event = window_->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      window_->display();
      refresh();
      window_->select(VALUATIONLIST);
    } else if (event.is(ADD, EventKind::Accepted)) {
      Valuation added;
      added.date = collection::today();
      added.kind = collection::ValuationKind::Appraisal;
      if (editValuation(added, "Add Valuation")) {
        std::vector<Valuation> changed = valuations;
        changed.push_back(added);
        change(std::move(changed));
      }
    } else if (event.is(EDIT, EventKind::Accepted) ||
               (event.control == VALUATIONLIST && event.kind == EventKind::Accepted)) {
      const int chosen = chosenValuation();
      if (chosen < 0) continue;
      Valuation edited = valuations[static_cast<std::size_t>(chosen)];
      if (editValuation(edited, "Edit Valuation") && !(edited == valuations[static_cast<std::size_t>(chosen)])) {
        std::vector<Valuation> changed = valuations;
        changed.erase(changed.begin() + chosen);
        changed.push_back(edited);  // the latest of its date once edited
        change(std::move(changed));
      }
    } else if (event.is(REMOVE, EventKind::Accepted)) {
      const int chosen = chosenValuation();
      if (chosen < 0) continue;
      std::vector<Valuation> changed = valuations;
      changed.erase(changed.begin() + chosen);
      change(std::move(changed));
    } else if (event.is(PRINT, EventKind::Accepted)) {
      if (!pages_.pages.empty()) output_.present(VALUE_HISTORY, pages_);
    } else if (event.is(CLOSE, EventKind::Accepted)) {
      window_->close();
    }
  }
  window_ = nullptr;
}

}  // namespace glimra::reports
