// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/character_tables.h"

#include <cstring>

namespace glimra::datafile {
namespace {

// Windows-1252 byte -> OEM byte for 0x80..0xFF (0x00..0x7F are the same).
constexpr std::uint8_t WINDOWS_TO_OEM_HIGH[128] = {
    0x9E, 0xA9, 0xB0, 0x9F, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC,
    0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC,
    0xFF, 0xAD, 0x9B, 0x9C, 0xCD, 0x9D, 0xCE, 0xCF, 0xD0, 0xD1, 0xA6, 0xAE, 0xAA, 0xD2, 0xD3, 0xD4,
    0xF8, 0xF1, 0xFD, 0xD5, 0xD6, 0xE6, 0xD7, 0xFA, 0xD8, 0xD9, 0xA7, 0xAF, 0xAC, 0xAB, 0xDA, 0xA8,
    0xDB, 0xDC, 0xDD, 0xDE, 0x8E, 0x8F, 0x92, 0x80, 0xDF, 0x90, 0xE0, 0xE2, 0xE3, 0xE4, 0xE5, 0xE7,
    0xE8, 0xA5, 0xE9, 0xEA, 0xEB, 0xEC, 0x99, 0xED, 0xEE, 0xEF, 0xF0, 0xF2, 0x9A, 0xF3, 0xF4, 0xE1,
    0x85, 0xA0, 0x83, 0xF5, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    0xF7, 0xA4, 0x95, 0xA2, 0x93, 0xF9, 0x94, 0xF6, 0xFB, 0x97, 0xA3, 0x96, 0x81, 0xFC, 0xFE, 0x98,
};

struct OemInverse {
  std::uint8_t table[256];
  constexpr OemInverse() : table{} {
    for (int c = 0; c < 256; ++c) table[c] = static_cast<std::uint8_t>(c);
    for (int c = 0; c < 128; ++c) table[WINDOWS_TO_OEM_HIGH[c]] = static_cast<std::uint8_t>(0x80 + c);
  }
};
constexpr OemInverse OEM_TO_WINDOWS;

}  // namespace

CharacterTables CharacterTables::defaults() {
  CharacterTables t;
  for (int c = 0; c < 256; ++c) {
    t.windowsWeights[c] = static_cast<std::uint8_t>(c);
    t.oemWeights[c] = static_cast<std::uint8_t>(c);
    t.upperCase[c] = static_cast<std::uint8_t>(c);
  }
  auto lower = [&t](int from, int to) {
    t.upperCase[from] = static_cast<std::uint8_t>(to);
    t.classes[from] |= LOWER_CASE;
  };
  for (int c = 'a'; c <= 'z'; ++c) lower(c, c - 0x20);
  for (int c = 0xE0; c <= 0xFE; ++c)
    if (c != 0xF7) lower(c, c - 0x20);  // à..þ -> À..Þ, but not the division sign
  lower(0x9A, 0x8A);  // š -> Š
  lower(0x9C, 0x8C);  // œ -> Œ
  lower(0x9E, 0x8E);  // ž -> Ž
  lower(0xFF, 0x9F);  // ÿ -> Ÿ
  return t;
}

std::array<std::uint8_t, 256> CharacterTables::caseFold() const {
  std::array<std::uint8_t, 256> fold{};
  for (int c = 0; c < 256; ++c)
    fold[c] = (classes[c] & LOWER_CASE) ? upperCase[c] : static_cast<std::uint8_t>(c);
  return fold;
}

std::string CharacterTables::serialize() const {
  std::string out;
  out.reserve(1 + STORED_SIZE);
  out.push_back(oem ? 1 : 0);
  auto put = [&out](const auto& table) { out.append(reinterpret_cast<const char*>(table.data()), table.size()); };
  put(windowsWeights);
  put(oemWeights);
  put(upperCase);
  put(classes);
  put(multiCharacter);
  return out;
}

bool CharacterTables::parse(std::span<const std::uint8_t> payload) {
  if (payload.size() < 1 + STORED_SIZE) return false;
  oem = payload[0] != 0;
  const std::uint8_t* p = payload.data() + 1;
  auto take = [&p](auto& table) {
    std::memcpy(table.data(), p, table.size());
    p += table.size();
  };
  take(windowsWeights);
  take(oemWeights);
  take(upperCase);
  take(classes);
  take(multiCharacter);
  return true;
}

std::uint8_t windowsToOem(std::uint8_t c) { return c < 0x80 ? c : WINDOWS_TO_OEM_HIGH[c - 0x80]; }
std::uint8_t oemToWindows(std::uint8_t c) { return OEM_TO_WINDOWS.table[c]; }

void windowsToOem(std::uint8_t* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) text[i] = windowsToOem(text[i]);
}
void oemToWindows(std::uint8_t* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) text[i] = oemToWindows(text[i]);
}

}  // namespace glimra::datafile
