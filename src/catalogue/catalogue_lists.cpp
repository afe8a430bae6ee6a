// SPDX-License-Identifier: GPL-3.0-or-later
// The lists behind the main window: loading ALLQUEUE from the collection file
// (purging retired and nameless records in the same transaction), keeping it
// in order, deriving TABQUEUE for a category tab, and finding and showing the
// selected entry.
#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "collection/record_search.h"
#include "collection/sort_keys.h"
#include "program/messages.h"
#include "runtime/last_error.h"

namespace glimra::catalogue {

using runtime::EventKind;
using namespace control;

int letterNumber(const FixedText<80>& sortKey) {
  return collection::baseLetter(static_cast<unsigned char>(sortKey.bytes[0])) - 64;
}

namespace {
// The order of ALLQUEUE: the sort key (by series or by name) in the order the
// lists show, then the name.
auto listOrder(bool bySeries) {
  const auto key = bySeries ? &AllEntry::SERIESKEY : &AllEntry::NAMEKEY;
  return [key](const AllEntry& a, const AllEntry& b) {
    const auto order = collection::compareSortKeys((a.*key).raw(), (b.*key).raw());
    return order != 0 ? order : collection::compareSortKeys(a.NAME.raw(), b.NAME.raw());
  };
}

// The same order as bytes: the display-order key of each field whole
// (blank-padded to its fixed width, as compareSortKeys compares them).
constexpr std::size_t kKeyWidth = sizeof(AllEntry::NAMEKEY);
constexpr std::size_t kNameWidth = sizeof(AllEntry::NAME);
constexpr std::size_t kListOrderBytes = 2 * (kKeyWidth + kNameWidth);
static_assert(sizeof(AllEntry::NAMEKEY) == sizeof(AllEntry::SERIESKEY) && kNameWidth == 45,
              "fixed texts hold their bytes and nothing else");

auto writeListOrderBytes(bool bySeries) {
  const auto key = bySeries ? &AllEntry::SERIESKEY : &AllEntry::NAMEKEY;
  return [key](const AllEntry& entry, unsigned char* out) {
    collection::writeDisplayOrderKey((entry.*key).raw(), kKeyWidth, out);
    collection::writeDisplayOrderKey(entry.NAME.raw(), kNameWidth, out + 2 * kKeyWidth);
  };
}
}  // namespace

void DisplayGlimra::loadLists(bool onOpen) {
  // The load purges flagged records for good: no undo entry may outlive it.
  clearUndoHistory();
  ALLQUEUE.removeAll();
  TABQUEUE.removeAll();
  if (onOpen) CATEGORYQUEUE.removeAll();
  // Live ornaments by identity: one that shares its created stamp with
  // another (a file imported into before stamps were made unique) gets one
  // of its own before anything can refer to it.
  std::vector<collection::StampedRecord> identities;
  GLIMRA.logout();
  GLIMRA.setFile();
  if (GLIMRA.next() == 0) {
    // The first record in physical order is the file's header record: never
    // listed, never purged.
    LASTDATE = GL.CHANGEDDATE;
    LASTTIME = GL.CHANGEDTIME;
    LASTPOINTER = static_cast<std::int32_t>(GLIMRA.pointer());
    while (GLIMRA.next() == 0) {
      if (!collection::isLiveOrnament(GL)) {
        GLIMRA.erase();
        continue;
      }
      if (onOpen) collectCategory();
      // Appended here and put in order once at the end: the same order as
      // inserting each in its place (equals stay in file order), without
      // moving the list's entries for every ornament.
      fillQueueEntry(GL, static_cast<std::int32_t>(GLIMRA.pointer()));
      ALLQUEUE.append();
      identities.push_back({collection::identityOf(GL), GLIMRA.pointer()});
    }
  }
  std::size_t restamped = 0;
  collection::giveSharedStampsTheirOwn(GLIMRA, GL, std::move(identities), &restamped);
  ALLQUEUE.sortByKey(kListOrderBytes, writeListOrderBytes(LISTBYSERIES));
  GLIMRA.commit();
}

void DisplayGlimra::R_INSERTQUEUE() { insertQueueEntry(GL, static_cast<std::int32_t>(GLIMRA.pointer())); }

void DisplayGlimra::insertQueueEntry(const GlRecord& record, std::int32_t pointer) {
  fillQueueEntry(record, pointer);
  ALLQUEUE.insertOrderedBy(listOrder(LISTBYSERIES));
}

void DisplayGlimra::fillQueueEntry(const GlRecord& record, std::int32_t pointer) {
  AllEntry& entry = ALLQUEUE.buffer;
  entry.clear();
  entry.CATEGORY = record.CATEGORY;
  entry.POINTER = pointer;
  entry.NAMEKEY = record.NAMEKEY;
  entry.SERIESKEY = record.SERIESKEY;
  entry.NAME = record.NAME;
}

void DisplayGlimra::R_DELETEQUEUE() { removeQueueEntries(static_cast<std::int32_t>(GLIMRA.pointer())); }

void DisplayGlimra::removeQueueEntries(std::int32_t pointer) {
  int position = 1;
  while (position <= ALLQUEUE.count()) {
    if (!ALLQUEUE.get(position)) {
      CHECKERROR(runtime_, "Can't Get Element");
      ++position;
      continue;
    }
    if (ALLQUEUE.buffer.POINTER == pointer) {
      if (!ALLQUEUE.deleteLastRead()) {
        CHECKERROR(runtime_, "Can't Delete Element");
        ++position;
      }
      continue;  // the same position now holds the next entry
    }
    ++position;
  }
  if (CURRENTTEXT != "ALL") R_BUILDTABQUEUE();
}

void DisplayGlimra::R_BUILDTABQUEUE() {
  TABQUEUE.removeAll();
  for (int position = 1; position <= ALLQUEUE.count(); ++position) {
    const AllEntry& entry = *ALLQUEUE.peek(position);
    if (entry.CATEGORY != CURRENTTEXT) continue;
    TabEntry& copy = TABQUEUE.buffer;
    copy.POINTER = entry.POINTER;
    copy.SORTKEY.clear();  // blank on a category tab, as the entry's own would be
    copy.SERIESKEY = entry.SERIESKEY;
    copy.NAMEKEY = entry.NAMEKEY;
    copy.NAME = entry.NAME;
    copy.KEYTYPE = entry.KEYTYPE;
    TABQUEUE.append();
  }
  if (TABQUEUE.empty()) {
    window_->select(ALL);
    window_->post(control::SHEET, EventKind::NewSelection);
  }
}

void DisplayGlimra::refreshCategoryView() {
  if (CURRENTTEXT == "ALL") return;
  R_BUILDTABQUEUE();
  // A rebuild in the middle of a change may have found the tab empty for a
  // moment and chosen the ALL tab; the tab stays while it has entries, and
  // the switch then posted finds it still chosen.
  if (!TABQUEUE.empty()) window_->select(CURRENTTAB);
}

void DisplayGlimra::R_SELECTCURRENTENTRY() {
  // The entry is found by its record first: several ornaments may share a
  // sort key (three named "Bright Acorn"), and the one saved, or the one
  // clicked, is the one to show. Its sort key finds it when its record is
  // not listed.
  const bool clicked = !NEWSORTKEY.isBlank();
  if (clicked) CURRENTSORTKEY = NEWSORTKEY;
  const std::int32_t wanted = clicked ? clickedPointer : CURRENTPOINTER;
  int bySortKey = 0;
  for (int position = 1; position <= ACTQUEUE.count(); ++position) {
    if (!ACTQUEUE.get(position)) continue;
    if (wanted != 0 && ACTQUEUE.POINTER() == wanted) {
      window_->selectRow(GLMLIST, position);
      return;
    }
    if (bySortKey == 0 && ACTQUEUE.SORTKEY() == CURRENTSORTKEY) bySortKey = position;
  }
  if (bySortKey != 0) window_->selectRow(GLMLIST, bySortKey);
}

int DisplayGlimra::selectedRow() {
  const int count = ACTQUEUE.count();
  const int row = window_->choice(GLMLIST);
  if (row >= 1 && row <= count) return row;
  window_->selectRow(GLMLIST, count);
  return count;
}

void DisplayGlimra::R_DISPLAYSELECTION() {
  runtime::Window& w = *window_;
  if (ACTQUEUE.empty() && PENDINGFIND != 0) {
    // The find tab's list was rebuilt as a category of that name, which has
    // no records: the window falls back to the ALL tab.
    removeFindTab();
    switchToAllTab();
  } else if (ACTQUEUE.empty() && CURRENTTEXT != "ALL") {
    // The category has no records left: its tab goes and the ALL tab shows.
    R_DELETECATEGORY();
    switchToAllTab();
  }
  if (ALLQUEUE.empty()) {
    showEmptyForm();
    return;
  }
  ACTQUEUE.get(selectedRow());
  CURRENTPOINTER = ACTQUEUE.POINTER();
  LETTER = letterNumber(ACTQUEUE.SORTKEY());
  CURRENTSORTKEY = ACTQUEUE.SORTKEY();
  CURRENTKEYTYPE = ACTQUEUE.KEYTYPE();

  GLIMRA.get(static_cast<std::uint32_t>(CURRENTPOINTER));
  CHECKERROR(runtime_, GLIMRA, "Can't Select File");
  w.display();
  CURRENTRECORD = collection::toImage(GL);
  formShowsRecord(true);
  if (PENDINGFIND != 0) highlightFindText();
}

void DisplayGlimra::formShowsRecord(bool shown) {
  // A record just shown is clean: Save waits for the first edit start. An
  // empty form has no record to edit.
  RECORDCHANGED = 0;
  window_->disable(GLMSAVE);
  enableUndo(!UNDOQUEUE.empty() && PENDINGFIND == 0);  // no edit of the form to take back
  offerRecordWindows();
  if (shown)
    window_->enable(FIRSTFORMCONTROL, LASTFORMCONTROL);
  else
    window_->disable(FIRSTFORMCONTROL, LASTFORMCONTROL);
}

void DisplayGlimra::showEmptyForm() {
  GL.clear();
  CURRENTPOINTER = 0;
  CURRENTSORTKEY.clear();
  CURRENTKEYTYPE = 0;
  LETTER = 0;
  CURRENTRECORD = collection::toImage(GL);
  formShowsRecord(false);
  window_->display();
}

}  // namespace glimra::catalogue
