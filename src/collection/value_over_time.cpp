// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/value_over_time.h"

#include <algorithm>
#include <cstdio>

#include "collection/collection_statistics.h"
#include "text/picture.h"
#include "text/std_date.h"

namespace glimra::collection {
namespace {

// Periods are numbered by their start: months as year × 12 + month - 1,
// years by the year.
int periodNumber(std::int32_t day, Period period) {
  const CalendarDate date = daysToDate(day);
  return period == Period::Year ? date.year : date.year * 12 + date.month - 1;
}

}  // namespace

std::string PeriodTotals::label() const {
  char text[16];
  if (month == 0)
    std::snprintf(text, sizeof text, "%04d", year);
  else
    std::snprintf(text, sizeof text, "%04d-%02d", year, month);
  return text;
}

OwnedOrnament ownedOrnament(const GlRecord& record, const std::vector<Valuation>& valuations) {
  OwnedOrnament owned;
  owned.history = historyOf(record, valuations);
  const Ownership ownership = ownershipOf(record, owned.history);
  owned.from = ownership.from;
  owned.until = ownership.until;
  owned.paid = record.PURPRICE.isBlank() ? 0 : readAmountMillionths(record.PURPRICE.clipped()).value_or(0);
  return owned;
}

std::vector<PeriodTotals> valueOverTime(const std::vector<OwnedOrnament>& ornaments, Period period,
                                        std::int32_t today) {
  // Each ornament adds to a run of periods: its count and price over the
  // periods it is owned at the end of, each point of its history over the
  // periods from its own to the next one's. Differences at the runs' ends,
  // summed once at the end, keep the tally linear in the points.
  std::int32_t first = today + 1;
  for (const OwnedOrnament& o : ornaments)
    if (o.from > 0 && o.from <= today && (o.until == 0 || o.until > o.from)) first = std::min(first, o.from);
  std::vector<PeriodTotals> periods;
  if (first > today) return periods;
  const int base = periodNumber(first, period);
  const std::size_t size = static_cast<std::size_t>(periodNumber(today, period) - base + 1);
  std::vector<std::int64_t> count(size + 1, 0), value(size + 1, 0), paid(size + 1, 0);
  // The periods [index(a), index(b)) are those whose end lies in [a, b).
  auto index = [&](std::int32_t day) {
    if (day > today) return size;
    return static_cast<std::size_t>(std::max(0, periodNumber(day, period) - base));
  };
  for (const OwnedOrnament& o : ornaments) {
    if (o.from <= 0 || o.from > today) continue;
    const std::size_t from = index(o.from);
    const std::size_t until = o.until == 0 ? size : index(o.until);
    if (until <= from) continue;
    count[from] += 1, count[until] -= 1;
    paid[from] += o.paid, paid[until] -= o.paid;
    for (std::size_t k = 0; k < o.history.size(); ++k) {
      // Of the points of one period the last counts; it stands until the
      // next point's period.
      const std::size_t start = std::max(from, index(o.history[k].date));
      const std::size_t stop =
          std::min(until, k + 1 < o.history.size() ? index(o.history[k + 1].date) : size);
      if (stop <= start) continue;
      value[start] += o.history[k].millionths;
      value[stop] -= o.history[k].millionths;
    }
  }
  periods.resize(size);
  std::int64_t c = 0, v = 0, p = 0;
  for (std::size_t i = 0; i < size; ++i) {
    c += count[i], v += value[i], p += paid[i];
    PeriodTotals& t = periods[i];
    const int number = base + static_cast<int>(i);
    t.year = period == Period::Year ? number : number / 12;
    t.month = period == Period::Year ? 0 : number % 12 + 1;
    t.end = i + 1 == size ? today
                          : dateToDays(period == Period::Year ? CalendarDate{t.year, 12, 31}
                                                              : CalendarDate{t.year, t.month, daysInMonth(t.year, t.month)});
    t.count = c, t.value = v, t.paid = p;
  }
  return periods;
}

int readValueOverTime(datafile::DataFile& file, const GlRecord& buffer, ValuationTable& valuations, Period period,
                      std::int32_t today, std::vector<PeriodTotals>* periods) {
  periods->clear();
  std::vector<OrnamentValuations> lists;
  if (const int error = valuations.all(&lists); error != 0) return error;
  static const std::vector<Valuation> none;
  std::vector<OwnedOrnament> ornaments;
  const int error = forEachStoredOrnament(file, buffer, [&](const GlRecord& record) {
    if (!isLiveOrnament(record)) return;
    const OrnamentId id = identityOf(record);
    const auto found = std::lower_bound(lists.begin(), lists.end(), id,
                                        [](const OrnamentValuations& l, OrnamentId i) { return l.ornament < i; });
    ornaments.push_back(
        ownedOrnament(record, found != lists.end() && found->ornament == id ? found->valuations : none));
  });
  if (error != 0) return error;
  *periods = valueOverTime(ornaments, period, today);
  return 0;
}

}  // namespace glimra::collection
