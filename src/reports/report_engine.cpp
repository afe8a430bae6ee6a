// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/report_engine.h"

#include <algorithm>
#include <string>

#include "collection/glimra_file.h"
#include "text/cp1252.h"
#include "text/fixed_text.h"

namespace glimra::reports {
namespace {

std::string_view fieldBytes(const collection::GlRecord& record, int field) {
  const auto& declared = collection::glimraDeclaration().fields.at(static_cast<std::size_t>(field));
  return std::string_view(reinterpret_cast<const char*>(&record) + declared.offset, declared.size);
}

std::string_view trimmed(std::string_view text, bool leadingToo) {
  text = collection::clipTrailingBlanks(text);
  if (leadingToo)
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

// The length of the UTF-8 sequence that starts with byte c.
std::size_t sequenceLength(unsigned char c) {
  if (c >= 0xF0) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC0) return 2;
  return 1;
}

// The widest text a number picture shows: as many nines as fit.
std::string widestNumber(const collection::Picture& picture) {
  std::string widest;
  for (std::string nines = "9";; nines += '9') {
    std::string number = nines;
    const collection::Deformatted typed = picture.deformat(number + ".99");
    if (!typed.ok && !picture.deformat(number).ok) break;
    const std::string shown(trimmed(picture.format(typed.ok ? typed.value : number), true));
    if (static_cast<int>(shown.size()) > picture.width()) break;
    widest = shown;
  }
  return widest;
}

}  // namespace

int FixedPitchMeasure::charWidth(const LayoutFont& font) {
  const int base = font.points * 1000 / 160;  // 0.45 of the font's size
  return font.bold ? base * 11 / 10 : base;
}

int FixedPitchMeasure::width(std::string_view utf8, const LayoutFont& font) const {
  int chars = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++chars;
  return chars * charWidth(font);
}

LineMetrics FixedPitchMeasure::line(const LayoutFont& font) const {
  const int size = font.points * 1000 / 72;
  return LineMetrics{size * 9 / 10, size * 115 / 100};
}

std::uint16_t PageList::styleIndex(const ItemStyle& style) {
  for (std::size_t i = 0; i < styles.size(); ++i)
    if (styles[i] == style) return static_cast<std::uint16_t>(i);
  styles.push_back(style);
  return static_cast<std::uint16_t>(styles.size() - 1);
}

void PageList::append(PageList&& more) {
  for (Page& page : more.pages) {
    for (PageItem& item : page.items) item.style = styleIndex(more.styles[item.style]);
    pages.push_back(std::move(page));
  }
  more.pages.clear();
}

std::size_t PageList::bytesHeld() const {
  std::size_t bytes = pages.capacity() * sizeof(Page);
  for (const Page& page : pages) bytes += page.items.capacity() * sizeof(PageItem) + page.text.capacity();
  return bytes;
}

Rect PageList::itemsExtent() const {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool any = false;
  for (const Page& page : pages)
    for (const PageItem& item : page.items) {
      const Rect& b = item.box;
      left = any ? std::min(left, b.x) : b.x;
      top = any ? std::min(top, b.y) : b.y;
      right = any ? std::max(right, b.x + b.w) : b.x + b.w;
      bottom = any ? std::max(bottom, b.y + b.h) : b.y + b.h;
      any = true;
    }
  return any ? Rect{left, top, right - left, bottom - top} : Rect{};
}

ReportEngine::ReportEngine(const Layout& layout, const collection::GlRecord& record, const TextMeasure& measure)
    : layout_(layout), record_(record), measure_(measure) {
  header_ = prepare(layout_.headerControls, layout_.header.h);
  footer_ = prepare(layout_.footerControls, layout_.footer.h);
  detail_ = prepare(layout_.detail.controls, layout_.detail.height);
  totals_ = prepare(layout_.totals.controls, layout_.totals.height);
}

ReportEngine::PreparedBand ReportEngine::prepare(const std::vector<Control>& controls, std::int32_t height) {
  PreparedBand band;
  band.height = height;
  for (const Control& c : controls) {
    ItemStyle style;
    style.font = c.font;
    style.colour = c.colour;
    style.filled = c.filled;
    style.fill = c.fill;
    style.lineWidth = c.lineWidth;
    Prepared p{&c, collection::Picture::parse(c.picture), pages_.styleIndex(style), -1, 0};
    if (p.picture.kind() == 'n' && c.rect.w == SIZED) p.widestNumber = measure_.width(widestNumber(p.picture), c.font);
    if (c.kind == ControlKind::Sum) {
      p.sumIndex = static_cast<int>(sums_.size());
      sums_.push_back(0);
    }
    band.controls.push_back(std::move(p));
  }
  return band;
}

void ReportEngine::open(int firstPage) {
  close();
  std::fill(sums_.begin(), sums_.end(), 0);
  pageNumber_ = firstPage - 1;
  open_ = true;
}

void ReportEngine::close() {
  open_ = false;
  pageStarted_ = false;
  current_ = Page{};
  pages_.pages.clear();
}

void ReportEngine::print(int band) {
  if (!open_) return;
  if (band == DETAIL_BAND) {
    for (const Prepared& p : totals_.controls) {
      if (p.sumIndex < 0) continue;
      const auto amount = collection::readAmountMillionths(fieldBytes(record_, p.control->field));
      sums_[static_cast<std::size_t>(p.sumIndex)] += amount.value_or(0);
    }
    placeScratch(layBand(detail_, scratch_));
  } else if (band == TOTALS_BAND && totals_.height > 0) {
    placeScratch(layBand(totals_, scratch_));
  }
}

void ReportEngine::endReport() {
  if (open_ && pageStarted_) finishPage();
}

PageList ReportEngine::takePages() {
  PageList taken = std::move(pages_);
  pages_ = PageList{};
  pages_.styles = taken.styles;
  return taken;
}

std::string ReportEngine::valueOf(const Prepared& p) const {
  const Control& c = *p.control;
  switch (c.kind) {
    case ControlKind::Label:
      return c.text;
    case ControlKind::Field:
      return std::string(trimmed(p.picture.format(fieldBytes(record_, c.field)), p.picture.kind() != 's'));
    case ControlKind::Description:
      return std::string(trimmed(fieldBytes(record_, c.field), false));
    case ControlKind::PageNumber:
      return std::string(trimmed(p.picture.format(std::to_string(pageNumber_)), p.picture.kind() != 's'));
    case ControlKind::Sum:
      return std::string(trimmed(p.picture.format(collection::millionthsText(sums_[static_cast<std::size_t>(p.sumIndex)])),
                                 true));
    default:
      return {};
  }
}

void ReportEngine::addText(Page& page, const Prepared& p, const Rect& box, std::string_view utf8) {
  const Control& c = *p.control;
  const int textWidth = measure_.width(utf8, c.font);
  PageItem item;
  item.kind = ItemKind::Text;
  item.style = p.style;
  item.box = box;
  if (item.box.w == SIZED) item.box.w = std::max(textWidth, p.widestNumber);
  if (item.box.h == SIZED) item.box.h = measure_.line(c.font).height;
  item.clipped = textWidth > item.box.w;
  item.textX = c.align == Align::Right && !item.clipped ? item.box.x + item.box.w - textWidth : item.box.x;
  item.textStart = static_cast<std::uint32_t>(page.text.size());
  item.textSize = static_cast<std::uint32_t>(utf8.size());
  page.text += utf8;
  page.items.push_back(item);
}

void ReportEngine::addLines(Page& page, const Prepared& p, const Rect& box, std::string_view utf8,
                            std::int32_t* grownBy) {
  const LayoutFont& font = p.control->font;
  const int lineHeight = measure_.line(font).height;
  const int space = measure_.width(" ", font);
  int lines = 0;
  auto emit = [&](std::string_view text) {
    if (!text.empty()) addText(page, p, Rect{box.x, box.y + lines * lineHeight, box.w, lineHeight}, text);
    ++lines;
  };
  // Paragraphs end at CR LF, LF or CR; words at blanks.
  std::size_t start = 0;
  while (start <= utf8.size()) {
    std::size_t end = utf8.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = utf8.size();
    const std::string_view paragraph = utf8.substr(start, end - start);
    std::string line;
    int lineWidth = 0;
    std::size_t pos = 0;
    while (pos < paragraph.size()) {
      if (paragraph[pos] == ' ') {
        ++pos;
        continue;
      }
      std::size_t wordEnd = paragraph.find(' ', pos);
      if (wordEnd == std::string_view::npos) wordEnd = paragraph.size();
      std::string_view word = paragraph.substr(pos, wordEnd - pos);
      pos = wordEnd;
      int wordWidth = measure_.width(word, font);
      if (!line.empty() && lineWidth + space + wordWidth <= box.w) {
        line += ' ';
        line += word;
        lineWidth += space + wordWidth;
        continue;
      }
      if (!line.empty()) {
        emit(line);
        line.clear();
        lineWidth = 0;
      }
      // A word wider than the whole line is broken between characters.
      while (wordWidth > box.w) {
        std::size_t cut = 0;
        int cutWidth = 0;
        while (cut < word.size()) {
          const std::size_t n = std::min(sequenceLength(static_cast<unsigned char>(word[cut])), word.size() - cut);
          const int w = measure_.width(word.substr(cut, n), font);
          if (cut > 0 && cutWidth + w > box.w) break;
          cutWidth += w;
          cut += n;
        }
        emit(word.substr(0, cut));
        word.remove_prefix(cut);
        wordWidth = measure_.width(word, font);
      }
      line = std::string(word);
      lineWidth = wordWidth;
    }
    emit(line);
    if (end >= utf8.size()) break;
    start = end + (utf8.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  *grownBy = std::max(0, lines * lineHeight - box.h);
}

std::int32_t ReportEngine::layBand(const PreparedBand& band, Page& out) {
  out.items.clear();
  out.text.clear();
  // A description grows first: what lies below it moves down by its growth.
  std::int32_t growth = 0;
  std::int32_t growsBelow = 0;
  for (const Prepared& p : band.controls) {
    if (p.control->kind != ControlKind::Description) continue;
    const std::string text = collection::cp1252ToUtf8(valueOf(p));
    std::int32_t grown = 0;
    addLines(out, p, p.control->rect, trimmed(text, false), &grown);
    growth += grown;
    growsBelow = p.control->rect.y + p.control->rect.h;
  }
  for (const Prepared& p : band.controls) {
    const Control& c = *p.control;
    Rect box = c.rect;
    if (growth > 0 && box.y >= growsBelow) box.y += growth;
    switch (c.kind) {
      case ControlKind::Description:
        break;
      case ControlKind::Line:
      case ControlKind::Box: {
        PageItem item;
        item.kind = c.kind == ControlKind::Line ? ItemKind::Line : ItemKind::Box;
        item.style = p.style;
        item.box = box;
        out.items.push_back(item);
        break;
      }
      default: {
        const std::string value = valueOf(p);
        if (!value.empty()) addText(out, p, box, collection::cp1252ToUtf8(value));
        break;
      }
    }
  }
  return band.height + growth;
}

void ReportEngine::startPage() {
  ++pageNumber_;
  current_ = Page{};
  pageStarted_ = true;
  cursor_ = 0;
  placeFixed(header_, layout_.header);
  placeFixed(footer_, layout_.footer);
}

void ReportEngine::finishPage() {
  current_.items.shrink_to_fit();
  current_.text.shrink_to_fit();
  pages_.pages.push_back(std::move(current_));
  current_ = Page{};
  pageStarted_ = false;
}

void ReportEngine::placeFixed(const PreparedBand& band, const Rect& area) {
  layBand(band, fixedScratch_);
  const auto offset = static_cast<std::uint32_t>(current_.text.size());
  current_.text += fixedScratch_.text;
  for (PageItem item : fixedScratch_.items) {
    item.box.x += area.x;
    item.box.y += area.y;
    item.textX += area.x;
    item.textStart += offset;
    current_.items.push_back(item);
  }
}

void ReportEngine::placeScratch(std::int32_t height) {
  const Rect& area = layout_.detailArea;
  if (!pageStarted_) startPage();
  if (cursor_ > 0 && cursor_ + height > area.h) {
    finishPage();
    startPage();
  }
  if (cursor_ + height <= area.h) {
    const auto offset = static_cast<std::uint32_t>(current_.text.size());
    current_.text += scratch_.text;
    for (PageItem item : scratch_.items) {
      item.box.x += area.x;
      item.box.y += area.y + cursor_;
      item.textX += area.x;
      item.textStart += offset;
      current_.items.push_back(item);
    }
    cursor_ += height;
    return;
  }
  // Taller than the whole area: split between items, from the top down.
  std::stable_sort(scratch_.items.begin(), scratch_.items.end(),
                   [](const PageItem& a, const PageItem& b) { return a.box.y < b.box.y; });
  std::int32_t base = cursor_;  // where the band's top lies on the current page
  for (PageItem item : scratch_.items) {
    std::int32_t top = base + item.box.y;
    if (top + item.box.h > area.h && top > 0) {
      finishPage();
      startPage();
      base = -item.box.y;
      top = 0;
    }
    item.box.x += area.x;
    item.box.y = area.y + top;
    item.textX += area.x;
    if (item.kind == ItemKind::Text) {
      const std::string_view text = scratch_.textOf(item);
      item.textStart = static_cast<std::uint32_t>(current_.text.size());
      current_.text += text;
    }
    current_.items.push_back(item);
  }
  cursor_ = std::min(area.h, base + height);
}

}  // namespace glimra::reports
