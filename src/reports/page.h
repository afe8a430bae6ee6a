// SPDX-License-Identifier: GPL-3.0-or-later
// Laid-out report pages: what the report engine produces and what a page
// painter draws. A page is a list of positioned items (text, lines, filled
// boxes) in thousandths of an inch from the page's top-left corner; every
// decision about where a text goes, how it wraps and where it is cut was taken
// when the page was laid out, so a page looks the same on every device.
//
// Invariants: an item's text lies in its page's text pool (UTF-8); an item's
// style is an index into the list's style table; pages keep the order in which
// they were finished. A page list holds no device resources: pages stay cheap
// (a few hundred bytes per detail band) and images are made only when shown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glimra::reports {

// A rectangle in thousandths of an inch.
struct Rect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t w = 0;
  std::int32_t h = 0;
  bool operator==(const Rect&) const = default;
};

struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Colour&) const = default;
};

// A Windows colour reference (0x00BBGGRR) as a colour.
constexpr Colour fromColourReference(std::uint32_t reference) {
  return Colour{static_cast<std::uint8_t>(reference & 0xFF), static_cast<std::uint8_t>((reference >> 8) & 0xFF),
                static_cast<std::uint8_t>((reference >> 16) & 0xFF)};
}

inline constexpr Colour BLACK{0, 0, 0};

// A font of the layouts: always Arial (painted in a face with its metrics).
struct LayoutFont {
  int points = 9;
  bool bold = false;
  bool italic = false;
  bool operator==(const LayoutFont&) const = default;
};

// How an item is drawn: its font and colour (text), its stroke (lines: width
// in thousandths of an inch) and its fill (boxes, and text with a background).
struct ItemStyle {
  LayoutFont font;
  Colour colour = BLACK;
  bool filled = false;
  Colour fill;
  std::int32_t lineWidth = 0;
  bool operator==(const ItemStyle&) const = default;
};

enum class ItemKind : std::uint8_t {
  Text,  // text drawn from (textX, box.y) on its first baseline, cut to box when clipped
  Line,  // from (box.x, box.y) to (box.x + box.w, box.y + box.h)
  Box,   // box filled with the style's fill, bordered in its colour when lineWidth > 0
};

struct PageItem {
  ItemKind kind = ItemKind::Text;
  bool clipped = false;        // Text: wider than its box, cut at the box's edges
  std::uint16_t style = 0;     // index into PageList::styles
  Rect box;                    // the item's box on the page
  std::int32_t textX = 0;      // Text: where the text starts (left edge of its first glyph)
  std::uint32_t textStart = 0;  // Text: bytes of the page's text pool
  std::uint32_t textSize = 0;
};

struct Page {
  std::vector<PageItem> items;
  std::string text;  // the pool that text items point into

  std::string_view textOf(const PageItem& item) const {
    return std::string_view(text).substr(item.textStart, item.textSize);
  }
};

struct PageList {
  std::int32_t pageWidth = 8500;    // US Letter, portrait: the layouts reach 7 inches wide
  std::int32_t pageHeight = 11000;  // and 10.5 inches down
  std::vector<ItemStyle> styles;
  std::vector<Page> pages;

  // The index of a style, added when new.
  std::uint16_t styleIndex(const ItemStyle& style);
  // Moves the pages of another list (of the same page size) after these.
  void append(PageList&& more);
  // Bytes held by the pages (items and text), for the benchmarks.
  std::size_t bytesHeld() const;
  // The smallest rectangle holding the box of every item of every page
  // (empty when there is none).
  Rect itemsExtent() const;
};

}  // namespace glimra::reports
