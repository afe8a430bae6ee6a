// SPDX-License-Identifier: GPL-3.0-or-later
// The value history of every ornament: dated valuations (date, amount, kind,
// source, note) in a second table, VALUATIONS, of the collection file, keyed
// by the ornament's identity (ornament_identity.h) and the valuation's
// position. The collection's own table is never touched by it: a program that
// reads only that table sees the file as before, and the record's Value is
// always the amount of the ornament's latest valuation (the program keeps the
// two in step by writing both in one transaction).
//
// An ornament's valuations are kept in date order; valuations of one date keep
// the order in which they were entered, so the latest is the last entered of
// the latest date. The purchase (date and price of the record) is shown as
// the first point of the history but is never stored here. A file without
// the table has no history: the table is created by the first valuation, so a
// collection that never had one stays byte for byte what it was.
//
// Opened beside the program's open collection (read/write, deny write), the
// table joins that open: one handle, its locks and its transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collection/gl_record.h"
#include "collection/ornament_identity.h"
#include "collection/ornament_table.h"
#include "collection/packed_int.h"
#include "datafile/datafile.h"
#include "text/fixed_text.h"

namespace glimra::collection {

// What a valuation is. Stored as its number.
enum class ValuationKind : std::uint8_t { Purchase = 1, Appraisal, AuctionOrSale, OwnEstimate, Insurance };
inline constexpr ValuationKind VALUATION_KINDS[] = {ValuationKind::Purchase, ValuationKind::Appraisal,
                                                    ValuationKind::AuctionOrSale, ValuationKind::OwnEstimate,
                                                    ValuationKind::Insurance};
// "Purchase", "Appraisal", "Auction or sale seen", "Own estimate", "Insurance".
const char* kindName(ValuationKind kind);

inline constexpr std::size_t VALUATION_SOURCE_LENGTH = 40;
inline constexpr std::size_t VALUATION_NOTE_LENGTH = 80;

// One valuation as the program works with it.
struct Valuation {
  std::int32_t date = 0;  // standard date
  std::string amount;     // stored form of an amount, as GL:VALUE holds it (blank: none)
  ValuationKind kind = ValuationKind::OwnEstimate;
  std::string source;     // Windows-1252: who appraised, where it was seen
  std::string note;       // Windows-1252
  bool operator==(const Valuation&) const = default;
};

// The stored record.
struct ValuationRecord {
  PackedInt<std::int32_t> ORNAMENTDATE;  // the ornament's identity
  PackedInt<std::int32_t> ORNAMENTTIME;
  PackedInt<std::int32_t> POSITION;      // 1, 2, … in date order within the ornament
  PackedInt<std::int32_t> DATE;
  FixedText<20> AMOUNT;
  std::uint8_t KIND;
  FixedText<VALUATION_SOURCE_LENGTH> SOURCE;
  FixedText<VALUATION_NOTE_LENGTH> NOTE;
};
static_assert(sizeof(ValuationRecord) == 157);

inline constexpr const char* VALUATIONS_TABLE = "VALUATIONS";
const datafile::TableDeclaration& valuationTableDeclaration();

struct OrnamentValuations {
  OrnamentId ornament;
  std::vector<Valuation> valuations;
};

// The table's record and what the program works with.
struct ValuationTableFormat {
  using Record = ValuationRecord;
  using Entry = Valuation;
  static constexpr const char* TABLE = VALUATIONS_TABLE;
  static const datafile::TableDeclaration& declaration() { return valuationTableDeclaration(); }
  static Valuation entryOf(const ValuationRecord& record);
  static void fill(ValuationRecord& record, OrnamentId ornament, std::int32_t position, const Valuation& valuation);
};

class ValuationTable : public OrnamentTable<ValuationTableFormat> {
 public:
  explicit ValuationTable(datafile::FileSystem& fileSystem = datafile::posixFileSystem())
      : OrnamentTable(fileSystem) {}

  // The ornament's valuations in date order.
  int valuationsOf(OrnamentId ornament, std::vector<Valuation>* valuations) { return listOf(ornament, valuations); }
  // Every ornament that has valuations, in identity order.
  int all(std::vector<OrnamentValuations>* lists) {
    return allInto<OrnamentValuations, &OrnamentValuations::valuations>(lists);
  }
  // The ornament's valuations become `valuations`, put in date order (ties
  // kept as given); see replaceList.
  int replace(OrnamentId ornament, std::vector<Valuation> valuations);
};

// Date order, valuations of one date in the order given.
void sortValuations(std::vector<Valuation>& valuations);

// Whether two stored amounts are the same amount ("15.5" and "   15.50"; two
// blanks). Text that is not a number equals only the same text.
bool sameAmount(std::string_view a, std::string_view b);

// The valuations after a save of `saved` over `stored` (the version on disk;
// for a new ornament its blank record): when the Value changed, an "Own
// estimate" of the new Value dated `today` is added, and when the history
// was empty, the Value it replaces too, dated as of the record's last
// change. Otherwise unchanged.
std::vector<Valuation> valuationsAfterSave(std::vector<Valuation> valuations, const GlRecord& stored,
                                           const GlRecord& saved, std::int32_t today);

// What the first valuation of an ornament keeps of the time before its
// history: the stored record's Value as of its last change (none when it has
// no Value). The history then starts with it, so nothing known is lost.
std::vector<Valuation> valueBeforeHistory(const GlRecord& stored, std::int32_t today);

// A point of an ornament's history as the window and the charts show it.
struct HistoryPoint {
  std::int32_t date = 0;
  std::int64_t millionths = 0;
  ValuationKind kind = ValuationKind::OwnEstimate;
  bool stored = true;  // false: the purchase, or the Value of an ornament without history
};

// The history of an ornament: its purchase first (when it has a purchase date
// and a price), then its valuations; an ornament without valuations shows its
// Value as of its last change instead (all an older file knows). Date order.
std::vector<HistoryPoint> historyOf(const GlRecord& record, const std::vector<Valuation>& valuations);

// When an ornament is owned: from its purchase date (without one, from the
// first point of its history, or its created date) until the day it was
// given away or sold (0: still owned).
struct Ownership {
  std::int32_t from = 0;
  std::int32_t until = 0;
};
Ownership ownershipOf(const GlRecord& record, const std::vector<HistoryPoint>& history);

// A date field's stored text ("78500") as its day number; 0 when blank or
// not a day number.
std::int32_t storedDay(std::string_view text);

// The value of an ornament on a date from its history: the latest point on
// or before the date (of one date, the last); 0 when nothing is known yet.
// nullopt when the ornament is not owned then: before its purchase date
// (without one, before its first point, or its created date), or on and
// after the date it was given away or sold.
std::optional<std::int64_t> valueAsOf(const GlRecord& record, const std::vector<HistoryPoint>& history,
                                      std::int32_t date);

}  // namespace glimra::collection
