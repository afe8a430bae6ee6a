// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/valuations.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

#include "text/picture.h"
#include "datafile/file_errors.h"

namespace glimra::collection {
namespace {

constexpr std::size_t ORNAMENTKEY = 0;

datafile::FieldDeclaration field(datafile::FieldType type, std::size_t offset, const char* name, std::size_t size) {
  datafile::FieldDeclaration f;
  f.type = type;
  f.offset = static_cast<std::uint16_t>(offset);
  f.name = name;
  f.size = static_cast<std::uint16_t>(size);
  if (type == datafile::FieldType::STRING) f.picture = "@s" + std::to_string(size);
  return f;
}

#define VA_FIELD(type, member) \
  field(datafile::FieldType::type, offsetof(ValuationRecord, member), "VA:" #member, sizeof(ValuationRecord::member))

datafile::TableDeclaration buildDeclaration() {
  datafile::TableDeclaration t;
  t.label = VALUATIONS_TABLE;
  t.recordLength = sizeof(ValuationRecord);
  t.fields = {VA_FIELD(LONG, ORNAMENTDATE), VA_FIELD(LONG, ORNAMENTTIME), VA_FIELD(LONG, POSITION),
              VA_FIELD(LONG, DATE),         VA_FIELD(STRING, AMOUNT),     VA_FIELD(BYTE, KIND),
              VA_FIELD(STRING, SOURCE),     VA_FIELD(STRING, NOTE)};
  datafile::KeyDeclaration key;
  key.name = "VA:ORNAMENTKEY";
  key.flags = 0;  // unique: one valuation per position of an ornament
  key.components = {datafile::KeyComponent{0, false}, datafile::KeyComponent{1, false},
                    datafile::KeyComponent{2, false}};
  t.keys = {key};
  return t;
}

#undef VA_FIELD

Valuation valuationOf(const ValuationRecord& r) {
  Valuation v;
  v.date = r.DATE;
  v.amount = r.AMOUNT.str();
  v.kind = r.KIND >= 1 && r.KIND <= 5 ? static_cast<ValuationKind>(r.KIND) : ValuationKind::OwnEstimate;
  v.source = r.SOURCE.str();
  v.note = r.NOTE.str();
  return v;
}

void fillRecord(ValuationRecord& r, OrnamentId ornament, std::int32_t position, const Valuation& v) {
  r.ORNAMENTDATE = ornament.date;
  r.ORNAMENTTIME = ornament.time;
  r.POSITION = position;
  r.DATE = v.date;
  r.AMOUNT = v.amount;
  r.KIND = static_cast<std::uint8_t>(v.kind);
  r.SOURCE = v.source;
  r.NOTE = v.note;
}

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

ValuationTable::ValuationTable(datafile::FileSystem& fileSystem) : file_(fileSystem) {
  file_.declare(valuationTableDeclaration(), &VA);
}

int ValuationTable::open(const std::string& collectionPath, datafile::OpenMode mode) {
  close();
  mode_ = mode;
  file_.setName(collectionPath + "\\!" + VALUATIONS_TABLE);
  const int error = file_.open(mode);
  absent_ = error == datafile::FileError::FILE_NOT_FOUND;
  return absent_ ? 0 : error;
}

void ValuationTable::close() {
  if (file_.isOpen()) file_.close();
  absent_ = false;
}

int ValuationTable::valuationsOf(OrnamentId ornament, std::vector<Valuation>* valuations) {
  valuations->clear();
  if (absent_) return 0;
  fillRecord(VA, ornament, 0, Valuation{});
  if (file_.setKeyFromBuffer(ORNAMENTKEY) != 0) return file_.errorCode();
  while (file_.next() == 0) {
    if (OrnamentId{VA.ORNAMENTDATE, VA.ORNAMENTTIME} != ornament) return 0;
    valuations->push_back(valuationOf(VA));
  }
  return file_.errorCode() == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : file_.errorCode();
}

int ValuationTable::all(std::vector<OrnamentValuations>* lists) {
  lists->clear();
  if (absent_) return 0;
  // Read in record order (no key lookups), then put in key order.
  struct Read {
    OrnamentId ornament;
    std::int32_t position;
    Valuation valuation;
  };
  std::vector<Read> read;
  if (file_.setFile() != 0) return file_.errorCode();
  while (file_.next() == 0) read.push_back({{VA.ORNAMENTDATE, VA.ORNAMENTTIME}, VA.POSITION, valuationOf(VA)});
  if (file_.errorCode() != datafile::FileError::RECORD_NOT_AVAILABLE) return file_.errorCode();
  std::sort(read.begin(), read.end(), [](const Read& a, const Read& b) {
    return a.ornament != b.ornament ? a.ornament < b.ornament : a.position < b.position;
  });
  for (Read& r : read) {
    if (lists->empty() || lists->back().ornament != r.ornament) lists->push_back(OrnamentValuations{r.ornament, {}});
    lists->back().valuations.push_back(std::move(r.valuation));
  }
  return 0;
}

int ValuationTable::ensureTable() {
  if (!absent_) return 0;
  if (file_.create() != 0) return file_.errorCode();
  if (file_.open(mode_) != 0) return file_.errorCode();
  absent_ = false;
  return 0;
}

int ValuationTable::removeAll(OrnamentId ornament) {
  for (;;) {
    fillRecord(VA, ornament, 0, Valuation{});
    if (file_.setKeyFromBuffer(ORNAMENTKEY) != 0) return file_.errorCode();
    if (file_.next() != 0)
      return file_.errorCode() == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : file_.errorCode();
    if (OrnamentId{VA.ORNAMENTDATE, VA.ORNAMENTTIME} != ornament) return 0;
    if (file_.erase() != 0) return file_.errorCode();
  }
}

int ValuationTable::replace(OrnamentId ornament, std::vector<Valuation> valuations) {
  if (absent_) return valuations.empty() ? 0 : datafile::FileError::FILE_NOT_FOUND;
  sortValuations(valuations);
  const bool own = !file_.inTransaction();
  if (own && file_.logout() != 0) return file_.errorCode();
  int error = removeAll(ornament);
  std::int32_t position = 0;
  for (std::size_t i = 0; error == 0 && i < valuations.size(); ++i) {
    fillRecord(VA, ornament, ++position, valuations[i]);
    if (file_.add() != 0) error = file_.errorCode();
  }
  if (own) {
    if (error != 0) {
      file_.rollback();
      return error;
    }
    return file_.commit();
  }
  return error;
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
