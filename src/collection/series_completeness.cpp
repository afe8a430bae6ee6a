// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/series_completeness.h"

#include <algorithm>

#include "collection/record_search.h"

namespace glimra::collection {
namespace {

std::string_view trimmed(std::string_view text) {
  text = clipTrailingBlanks(text);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

}  // namespace

std::int32_t seriesNumberOf(std::string_view stored) {
  const std::string_view text = trimmed(stored);
  if (text.empty() || text.size() > 5) return 0;
  std::int32_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::string seriesKey(std::string_view series) { return upperCp1252(trimmed(series)); }

void SeriesTally::add(const GlRecord& record) {
  if (!isLiveOrnament(record)) return;
  const std::string_view name = trimmed(record.SERIES.raw());
  if (name.empty()) return;
  Entry& entry = series_[seriesKey(name)];
  if (entry.name.empty()) entry.name = std::string(name);
  const std::string_view number = trimmed(record.SERIESNUM.raw());
  if (number.empty()) {
    ++entry.unnumbered;
  } else if (const std::int32_t n = seriesNumberOf(number); n > 0) {
    entry.numbers.push_back(n);
  } else {
    entry.other.emplace_back(number);
  }
}

std::vector<SeriesCompleteness> SeriesTally::result(const SeriesSizeMap& entered) const {
  std::vector<SeriesCompleteness> out;
  for (const auto& [key, entry] : series_) {
    SeriesCompleteness s;
    s.series = entry.name;
    s.owned = entry.numbers;
    std::sort(s.owned.begin(), s.owned.end());
    const auto unique = std::unique(s.owned.begin(), s.owned.end());
    s.duplicates = static_cast<std::int32_t>(s.owned.end() - unique);
    s.owned.erase(unique, s.owned.end());
    s.otherNumbers = entry.other;
    s.unnumbered = entry.unnumbered;
    s.highestOwned = s.owned.empty() ? 0 : s.owned.back();
    if (const auto size = entered.find(key); size != entered.end() && size->second > 0) s.enteredSize = size->second;
    s.size = s.enteredSize > 0 ? s.enteredSize : s.highestOwned;
    std::int32_t next = 1;  // the lowest number not yet accounted for
    for (std::int32_t n : s.owned) {
      if (n > s.size) {
        ++s.beyondSize;
        continue;
      }
      if (n > next) s.missing.push_back({next, n - 1});
      ++s.ownedWithinSize;
      next = n + 1;
    }
    if (next <= s.size) s.missing.push_back({next, s.size});
    s.missingCount = s.size - s.ownedWithinSize;
    out.push_back(std::move(s));
  }
  return out;
}

std::string rangesText(const std::vector<NumberRange>& ranges) {
  std::string text;
  for (const auto& [first, last] : ranges) {
    if (!text.empty()) text += ", ";
    text += std::to_string(first);
    if (last > first) text += "-" + std::to_string(last);
  }
  return text;
}

std::vector<NumberRange> rangesOf(const std::vector<std::int32_t>& ascending) {
  std::vector<NumberRange> ranges;
  for (std::int32_t n : ascending) {
    if (!ranges.empty() && ranges.back().second + 1 == n)
      ranges.back().second = n;
    else if (ranges.empty() || ranges.back().second < n)
      ranges.push_back({n, n});
  }
  return ranges;
}

}  // namespace glimra::collection
