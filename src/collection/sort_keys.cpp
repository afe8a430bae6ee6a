// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/sort_keys.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "collection/record_search.h"
#include "text/fixed_text.h"

namespace glimra::collection {

namespace {

// Each Windows-1252 byte's letters at the first level of the display order:
// a letter in upper case without its accent (one or two letters for a
// ligature), anything else as its upper case.
struct BaseLetters {
  std::array<std::array<unsigned char, 2>, 256> letters{};
  std::array<std::uint8_t, 256> count{};
};

const BaseLetters& baseLetters() {
  static const BaseLetters table = [] {
    BaseLetters t;
    const auto& upper = upperCp1252Table();
    for (int c = 0; c < 256; ++c) {
      t.letters[c] = {upper[c], 0};
      t.count[c] = 1;
    }
    auto set = [&](std::initializer_list<int> bytes, const char* letters) {
      for (int c : bytes) {
        t.letters[c] = {static_cast<unsigned char>(letters[0]), static_cast<unsigned char>(letters[1])};
        t.count[c] = letters[1] ? 2 : 1;
      }
    };
    set({0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xAA}, "A");
    set({0xC6, 0xE6}, "AE");
    set({0xC7, 0xE7}, "C");
    set({0xD0, 0xF0}, "D");
    set({0xC8, 0xC9, 0xCA, 0xCB, 0xE8, 0xE9, 0xEA, 0xEB}, "E");
    set({0x83}, "F");
    set({0xCC, 0xCD, 0xCE, 0xCF, 0xEC, 0xED, 0xEE, 0xEF}, "I");
    set({0xD1, 0xF1}, "N");
    set({0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD8, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF8, 0xBA}, "O");
    set({0x8C, 0x9C}, "OE");
    set({0x8A, 0x9A}, "S");
    set({0xDF}, "SS");
    set({0xDE, 0xFE}, "TH");
    set({0xD9, 0xDA, 0xDB, 0xDC, 0xF9, 0xFA, 0xFB, 0xFC}, "U");
    set({0xDD, 0xFD, 0x9F, 0xFF}, "Y");
    set({0x8E, 0x9E}, "Z");
    return t;
  }();
  return table;
}

}  // namespace

unsigned char baseLetter(unsigned char c) { return baseLetters().letters[c][0]; }

void writeDisplayOrderKey(std::string_view text, std::size_t width, unsigned char* out) {
  const BaseLetters& base = baseLetters();
  const auto& upper = upperCp1252Table();
  unsigned char* primary = out;
  unsigned char* secondary = out + width;
  const std::size_t shown = std::min(text.size(), width);
  // One pass while no character stands for two letters (nearly every text),
  // then the rest of the first level letter by letter.
  std::size_t i = 0;
  for (; i < shown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (base.count[c] == 2) break;
    primary[i] = base.letters[c][0];
    secondary[i] = upper[c];
  }
  std::size_t n = i;
  for (; i < shown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    secondary[i] = upper[c];
    if (n < width) primary[n++] = base.letters[c][0];
    if (base.count[c] == 2 && n < width) primary[n++] = base.letters[c][1];
  }
  if (n < width) std::memset(primary + n, ' ', width - n);
  if (shown < width) std::memset(secondary + shown, ' ', width - shown);
}

std::weak_ordering compareSortKeys(std::string_view a, std::string_view b) {
  const std::size_t width = std::max(a.size(), b.size());
  std::vector<unsigned char> x(2 * width), y(2 * width);
  writeDisplayOrderKey(a, width, x.data());
  writeDisplayOrderKey(b, width, y.data());
  const int order = width == 0 ? 0 : std::memcmp(x.data(), y.data(), 2 * width);
  return order < 0 ? std::weak_ordering::less : order > 0 ? std::weak_ordering::greater : std::weak_ordering::equivalent;
}

void buildKeys(GlRecord& GL) {
  const std::string name(GL.NAME.clipped());
  const std::string series(GL.SERIES.clipped());
  if (GL.SERIES.isBlank()) {
    GL.NAMEKEY = name;
    GL.SERIESKEY = " (" + name + ")";
  } else {
    GL.NAMEKEY = name + " (" + series + ")";
    GL.SERIESKEY = series + " (" + name + ")";
  }
}

}  // namespace glimra::collection
