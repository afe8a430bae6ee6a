// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/valuations.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

#include "text/picture.h"

namespace glimra::collection {
namespace {

#define VA_FIELD(type, member)                                                           \
  ornamentTableField(datafile::FieldType::type, offsetof(ValuationRecord, member), "VA:" #member, \
                     sizeof(ValuationRecord::member))

datafile::TableDeclaration buildDeclaration() {
  datafile::TableDeclaration t;
  t.label = VALUATIONS_TABLE;
  t.recordLength = sizeof(ValuationRecord);
  t.fields = {VA_FIELD(LONG, ORNAMENTDATE), VA_FIELD(LONG, ORNAMENTTIME), VA_FIELD(LONG, POSITION),
              VA_FIELD(LONG, DATE),         VA_FIELD(STRING, AMOUNT),     VA_FIELD(BYTE, KIND),
              VA_FIELD(STRING, SOURCE),     VA_FIELD(STRING, NOTE)};
  t.keys = {ornamentTableKey("VA:ORNAMENTKEY")};
  return t;
}

#undef VA_FIELD

}  // namespace

std::int32_t storedDay(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::int32_t day = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), day);
  return error == std::errc{} && end == text.data() + text.size() && day > 0 ? day : 0;
}

const char* kindName(ValuationKind kind) {
  switch (kind) {
    case ValuationKind::Purchase: return "Purchase";
    case ValuationKind::Appraisal: return "Appraisal";
    case ValuationKind::AuctionOrSale: return "Auction or sale seen";
    case ValuationKind::Insurance: return "Insurance";
    case ValuationKind::OwnEstimate: break;
  }
  return "Own estimate";
}

const datafile::TableDeclaration& valuationTableDeclaration() {
  static const datafile::TableDeclaration declaration = buildDeclaration();
  return declaration;
}

Valuation ValuationTableFormat::entryOf(const ValuationRecord& r) {
  Valuation v;
  v.date = r.DATE;
  v.amount = r.AMOUNT.str();
  v.kind = r.KIND >= 1 && r.KIND <= 5 ? static_cast<ValuationKind>(r.KIND) : ValuationKind::OwnEstimate;
  v.source = r.SOURCE.str();
  v.note = r.NOTE.str();
  return v;
}

void ValuationTableFormat::fill(ValuationRecord& r, OrnamentId ornament, std::int32_t position, const Valuation& v) {
  r.ORNAMENTDATE = ornament.date;
  r.ORNAMENTTIME = ornament.time;
  r.POSITION = position;
  r.DATE = v.date;
  r.AMOUNT = v.amount;
  r.KIND = static_cast<std::uint8_t>(v.kind);
  r.SOURCE = v.source;
  r.NOTE = v.note;
}

int ValuationTable::replace(OrnamentId ornament, std::vector<Valuation> valuations) {
  sortValuations(valuations);
  return replaceList(ornament, valuations);
}

void sortValuations(std::vector<Valuation>& valuations) {
  std::stable_sort(valuations.begin(), valuations.end(),
                   [](const Valuation& a, const Valuation& b) { return a.date < b.date; });
}

bool sameAmount(std::string_view a, std::string_view b) {
  const auto blank = [](std::string_view t) { return t.find_first_not_of(' ') == std::string_view::npos; };
  if (blank(a) || blank(b)) return blank(a) && blank(b);
  const auto x = readAmountMillionths(a);
  const auto y = readAmountMillionths(b);
  if (x && y) return *x == *y;
  return a == b;
}

std::vector<Valuation> valuationsAfterSave(std::vector<Valuation> valuations, const GlRecord& stored,
                                           const GlRecord& saved, std::int32_t today) {
  if (sameAmount(stored.VALUE.clipped(), saved.VALUE.clipped())) return valuations;
  if (valuations.empty()) valuations = valueBeforeHistory(stored, today);
  Valuation estimate;
  estimate.date = today;
  estimate.amount = saved.VALUE.str();
  estimate.kind = ValuationKind::OwnEstimate;
  valuations.push_back(std::move(estimate));
  sortValuations(valuations);
  return valuations;
}

std::vector<Valuation> valueBeforeHistory(const GlRecord& stored, std::int32_t today) {
  const std::int32_t stamped = stored.CHANGEDDATE > 0 ? stored.CHANGEDDATE : stored.CREATEDDATE;
  if (stored.VALUE.isBlank() || stamped <= 0 || stamped > today) return {};
  return {Valuation{stamped, stored.VALUE.str(), ValuationKind::OwnEstimate, "", ""}};
}

std::vector<HistoryPoint> historyOf(const GlRecord& record, const std::vector<Valuation>& valuations) {
  std::vector<HistoryPoint> points;
  const std::int32_t purchased = storedDay(record.PURDATE.clipped());
  if (purchased != 0 && !record.PURPRICE.isBlank())
    points.push_back({purchased, readAmountMillionths(record.PURPRICE.clipped()).value_or(0), ValuationKind::Purchase,
                      false});
  if (valuations.empty() && !record.VALUE.isBlank()) {
    const std::int32_t changed = record.CHANGEDDATE > 0 ? record.CHANGEDDATE : record.CREATEDDATE;
    points.push_back({changed, readAmountMillionths(record.VALUE.clipped()).value_or(0), ValuationKind::OwnEstimate,
                      false});
  }
  for (const Valuation& v : valuations)
    points.push_back({v.date, readAmountMillionths(v.amount).value_or(0), v.kind, true});
  // The purchase comes first among the points of its date.
  std::stable_sort(points.begin(), points.end(),
                   [](const HistoryPoint& a, const HistoryPoint& b) { return a.date < b.date; });
  return points;
}

Ownership ownershipOf(const GlRecord& record, const std::vector<HistoryPoint>& history) {
  Ownership owned;
  owned.from = storedDay(record.PURDATE.clipped());
  if (owned.from == 0) owned.from = history.empty() ? static_cast<std::int32_t>(record.CREATEDDATE) : history.front().date;
  owned.until = storedDay(record.DATEGIVEN.clipped());
  return owned;
}

std::optional<std::int64_t> valueAsOf(const GlRecord& record, const std::vector<HistoryPoint>& history,
                                      std::int32_t date) {
  const Ownership owned = ownershipOf(record, history);
  if (date < owned.from || (owned.until != 0 && date >= owned.until)) return std::nullopt;
  std::int64_t value = 0;
  for (const HistoryPoint& point : history) {
    if (point.date > date) break;
    value = point.millionths;
  }
  return value;
}

}  // namespace glimra::collection
