// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/record_search.h"

#include <array>
#include <cstring>

#include "datafile/character_tables.h"
#include "text/fixed_text.h"

namespace glimra::collection {
const std::array<std::uint8_t, 256>& upperCp1252Table() {
  static const std::array<std::uint8_t, 256> table = datafile::CharacterTables::defaults().upperCase;
  return table;
}

unsigned char upperCp1252(unsigned char c) { return upperCp1252Table()[c]; }

std::string upperCp1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(upperCp1252Table()[static_cast<unsigned char>(c)]);
  return out;
}

bool textContains(std::string_view bytes, std::string_view find, bool ignoreCase) {
  find = clipTrailingBlanks(find);
  if (find.empty() || find.size() > bytes.size()) return false;
  if (!ignoreCase) return bytes.find(find) != std::string_view::npos;

  // Candidates for the first character: every byte whose upper case is it
  // (usually two: the letter in either case). Each is found with memchr, which
  // skips the long blank stretches of a record quickly.
  const auto& upper = upperCp1252Table();
  const auto first = static_cast<unsigned char>(find[0]);
  unsigned char variants[8];
  std::size_t variantCount = 0;
  for (int b = 0; b < 256 && variantCount < 8; ++b)
    if (upper[b] == first) variants[variantCount++] = static_cast<unsigned char>(b);
  if (variantCount == 0) return false;

  const char* const begin = bytes.data();
  const char* const last = begin + (bytes.size() - find.size());  // last possible start
  const char* next[8];
  for (std::size_t v = 0; v < variantCount; ++v) {
    next[v] = static_cast<const char*>(std::memchr(begin, variants[v], bytes.size()));
  }
  for (;;) {
    // The earliest candidate of all variants.
    std::size_t pick = variantCount;
    for (std::size_t v = 0; v < variantCount; ++v)
      if (next[v] && next[v] <= last && (pick == variantCount || next[v] < next[pick])) pick = v;
    if (pick == variantCount) return false;
    const char* at = next[pick];
    std::size_t i = 1;
    while (i < find.size() && upper[static_cast<unsigned char>(at[i])] == static_cast<unsigned char>(find[i])) ++i;
    if (i == find.size()) return true;
    const char* from = at + 1;
    next[pick] = static_cast<const char*>(
        std::memchr(from, variants[pick], static_cast<std::size_t>(begin + bytes.size() - from)));
  }
}

bool recordContains(const GlRecord& record, std::string_view find, bool ignoreCase) {
  return textContains(std::string_view(reinterpret_cast<const char*>(&record), sizeof record), find,
                      ignoreCase);
}

}  // namespace glimra::collection
