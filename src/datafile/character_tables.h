// SPDX-License-Identifier: GPL-3.0-or-later
// The character tables of a data file: collating weights for Windows and OEM
// text, the upper-case map and the character classes that case-insensitive
// keys use, plus the conversions between the Windows and OEM character sets.
//
// A file carries its own tables (written when a table is created, read back on
// every open), so its key order does not depend on the machine. A new file gets
// the defaults: identity weights and the upper-case rules of Windows-1252.
//
// The OEM conversion is a bijection between Windows-1252 and a CP437-style OEM
// set: characters present in both map to each other, the rest are paired in
// code order, so text converted to OEM and back is always unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace glimra::datafile {

struct CharacterTables {
  static constexpr std::size_t STORED_SIZE = 1152;  // without the OEM flag byte
  static constexpr std::uint8_t LOWER_CASE = 0x01;  // character-class bit

  std::array<std::uint8_t, 256> windowsWeights{};
  std::array<std::uint8_t, 256> oemWeights{};
  std::array<std::uint8_t, 256> upperCase{};
  std::array<std::uint8_t, 256> classes{};
  std::array<std::uint8_t, 128> multiCharacter{};  // kept as stored; unused by the collation
  bool oem = false;  // the file stores its text in the OEM character set

  // Identity weights, Windows-1252 upper-case rules, OEM flag off.
  static CharacterTables defaults();

  // The case folding of case-insensitive keys, as one map: every lower-case
  // letter to its upper-case letter, every other byte to itself.
  std::array<std::uint8_t, 256> caseFold() const;

  // The payload of the character-table record: OEM flag byte + 1152 bytes.
  std::string serialize() const;
  // Reads a payload; false when it is shorter than 1 + 1152 bytes.
  bool parse(std::span<const std::uint8_t> payload);

  bool operator==(const CharacterTables&) const = default;
};

// Windows-1252 <-> OEM, byte by byte.
std::uint8_t windowsToOem(std::uint8_t c);
std::uint8_t oemToWindows(std::uint8_t c);
void windowsToOem(std::uint8_t* text, std::size_t length);
void oemToWindows(std::uint8_t* text, std::size_t length);

}  // namespace glimra::datafile
