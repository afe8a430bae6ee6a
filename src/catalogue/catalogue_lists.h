// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory lists behind the main window: ALLQUEUE (every live record),
// TABQUEUE (the records of the chosen category tab), CATEGORYQUEUE (the
// category names) and ACTQUEUE, the set of bindings that points at whichever
// of the first two is shown.
//
// Invariants: ALLQUEUE is ordered by (NAMEKEY, NAME), or by (SERIESKEY, NAME)
// while "Sort by Series" is on, in the order the lists show
// (collection::compareSortKeys: accented letters with their base letter); TABQUEUE holds, in ALLQUEUE order, copies of
// the entries of one category; CATEGORYQUEUE is unique and ascending. Every
// operation that reads "the current entry" reads it through ActiveList, so the
// same code serves every view; its bindings change together, never one by one.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/list_source.h"
#include "runtime/queue.h"
#include "text/fixed_text.h"

namespace glimra::catalogue {

using collection::FixedText;

#pragma pack(push, 1)
// The list holds no SORTKEY: it would be blank in every entry (the list's
// order comes from NAMEKEY or SERIESKEY), and at 100,000 ornaments its 80
// bytes an entry were 8 MB more for every load to write and move. A category
// tab's copy of an entry gets a blank SORTKEY.
struct AllEntry {
  std::int32_t POINTER;
  FixedText<80> SERIESKEY;
  FixedText<80> NAMEKEY;
  std::uint8_t KEYTYPE;
  FixedText<45> NAME;
  FixedText<24> CATEGORY;  // the first 24 characters of the record's category
  void clear() {
    POINTER = 0;
    SERIESKEY.clear();
    NAMEKEY.clear();
    KEYTYPE = 0;
    NAME.clear();
    CATEGORY.clear();
  }
};

struct TabEntry {
  std::int32_t POINTER;
  FixedText<80> SORTKEY;  // blank on a category tab; the find tab's order
  FixedText<80> SERIESKEY;
  FixedText<80> NAMEKEY;
  FixedText<45> NAME;
  std::uint8_t KEYTYPE;
  void clear() {
    POINTER = 0;
    SORTKEY.clear();
    SERIESKEY.clear();
    NAMEKEY.clear();
    NAME.clear();
    KEYTYPE = 0;
  }
};

struct CategoryEntry {
  FixedText<24> CATEGORY;
  void clear() { CATEGORY.clear(); }
};

// One operation of the undo history: what it produced (POINTER) and what was
// there before it (OLDPOINTER), and the row to select once it is undone.
struct UndoEntry {
  std::uint8_t ACTION;     // one of UndoAction
  FixedText<80> SORTKEY;   // sort key of the entry to select after the undo
  std::uint8_t KEYTYPE;
  std::int32_t POINTER;    // the new record, the new version, or the deleted record
  std::int32_t OLDPOINTER; // the record shown before an add or copy, the previous version of a save
  std::int32_t PHOTOSTATE; // a change of photos: its saved list of the ornament's photos (from 1)
  std::int32_t VALUATIONSTATE; // a save that changed valuations: the ornament's list before it (from 1)
  void clear() {
    ACTION = 0;
    SORTKEY.clear();
    KEYTYPE = 0;
    POINTER = 0;
    OLDPOINTER = 0;
    PHOTOSTATE = 0;
    VALUATIONSTATE = 0;
  }
};
#pragma pack(pop)

// UNDO:ACTION. Copy is recorded as an add; ReplayedAsAdd is never recorded
// but an entry carrying it is undone like an add. PhotosChanged: the photos
// of the ornament at POINTER were added, removed, reordered or described.
enum UndoAction : std::uint8_t { Added = 1, ReplayedAsAdd = 2, Saved = 3, Deleted = 4, PhotosChanged = 5 };

using AllQueue = runtime::Queue<AllEntry>;
using TabQueue = runtime::Queue<TabEntry>;
using CategoryQueue = runtime::Queue<CategoryEntry>;
// UNDOQUEUE: a stack, appended at the end and replayed from the end.
using UndoQueue = runtime::Queue<UndoEntry>;

// The first-letter number of a sort key: the code of the letter its first
// character is listed under (collection::baseLetter) minus 64, so A = 1 …
// Z = 26 (an Ä or an á counts as A) and anything else falls outside 1-26.
int letterNumber(const FixedText<80>& sortKey);

// ACTQUEUE: the active list and its ACT: fields, bound to ALLQUEUE on the ALL
// tab and to TABQUEUE on a category tab and on the find tab; ACT:SORTKEY is
// the name key, or the series key while "Sort by Series" is on, and on the
// find tab TAB:SORTKEY, the key Find ordered the entry by.
class ActiveList {
 public:
  enum class View { All, Category, Find };

  ActiveList(AllQueue& all, TabQueue& tab) : all_(all), tab_(tab) {}

  // Rebinds every ACT: reference at once.
  void bind(View view, bool bySeries) {
    view_ = view;
    bySeries_ = bySeries;
  }
  View view() const { return view_; }
  bool bySeries() const { return bySeries_; }

  int count() const { return view_ == View::All ? all_.count() : tab_.count(); }
  bool empty() const { return count() == 0; }
  // Reads the entry at `position` into its list's buffer (sets the runtime's
  // last error on failure, leaving the buffer as it was).
  bool get(int position) { return view_ == View::All ? all_.get(position) : tab_.get(position); }
  // Appends a row with blank keys for `pointer` at the end of the active list,
  // out of order: the row of an addition that is not saved yet.
  void appendBlankRow(std::int32_t pointer) {
    if (view_ == View::All) {
      all_.clearBuffer();
      all_.buffer.POINTER = pointer;
      all_.append();
    } else {
      tab_.clearBuffer();
      tab_.buffer.POINTER = pointer;
      tab_.append();
    }
  }

  std::int32_t POINTER() const { return view_ == View::All ? all_.buffer.POINTER : tab_.buffer.POINTER; }
  const FixedText<80>& SORTKEY() const {
    if (view_ == View::All) return bySeries_ ? all_.buffer.SERIESKEY : all_.buffer.NAMEKEY;
    if (view_ == View::Find) return tab_.buffer.SORTKEY;
    return bySeries_ ? tab_.buffer.SERIESKEY : tab_.buffer.NAMEKEY;
  }
  std::uint8_t KEYTYPE() const { return view_ == View::All ? all_.buffer.KEYTYPE : tab_.buffer.KEYTYPE; }
  const FixedText<45>& NAME() const { return view_ == View::All ? all_.buffer.NAME : tab_.buffer.NAME; }

  // The list box's source: the ACT:SORTKEY field of every entry.
  std::shared_ptr<runtime::ListSource> source() const {
    if (view_ == View::All) return all_.source(bySeries_ ? &AllEntry::SERIESKEY : &AllEntry::NAMEKEY);
    if (view_ == View::Find) return tab_.source(&TabEntry::SORTKEY);
    return tab_.source(bySeries_ ? &TabEntry::SERIESKEY : &TabEntry::NAMEKEY);
  }

 private:
  AllQueue& all_;
  TabQueue& tab_;
  View view_ = View::All;
  bool bySeries_ = false;
};

}  // namespace glimra::catalogue
