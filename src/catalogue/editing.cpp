// SPDX-License-Identifier: GPL-3.0-or-later
// Editing the record shown in the form: edit start, Add, Copy, Delete and
// Save, with the routines behind them.
//
// A record is never changed in place. Save retires the version on disk (its
// deleted flag set) and adds the edited contents as a new record, both in one
// transaction; Delete only sets the flag; Add and Copy store the new record at
// once, flagged, and keep it pending until it is saved or dropped. Each of
// these records an undo entry. A failed step is undone, not half kept: the
// user is told, the lists show the file as it is and an edit stays in the form.
#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "program/messages.h"
#include "collection/sort_keys.h"
#include "text/std_date.h"

namespace glimra::catalogue {

using namespace control;

void DisplayGlimra::editStart() {
  // On the find tab the highlight itself enters the fields: Save stays off.
  if (PENDINGFIND != 0) {
    window_->disable(GLMSAVE);
    return;
  }
  // Entering a field is enough: the value need not change. Undo takes an
  // edit back before it is saved.
  window_->enable(GLMSAVE);
  enableUndo(true);
  RECORDCHANGED = 1;
}

bool DisplayGlimra::R_ADDRECORD() {
  runtime::Window& w = *window_;
  GL.DELETED = 1;
  // Today and now, unless a record of the file carries that stamp already:
  // the created stamp is the ornament's identity and must be its own.
  collection::OrnamentId id;
  if (collection::freshIdentity(GLIMRA, GL, {collection::today(), collection::now()}, &id) != 0) {
    CHECKERROR(runtime_, GLIMRA, "Can't Add Record");
    R_DISPLAYSELECTION();
    return false;
  }
  collection::setIdentity(GL, id);
  GL.CHANGED = GL.CREATED;
  if (GLIMRA.add() != 0) {
    CHECKERROR(runtime_, GLIMRA, "Can't Add Record");
    R_DISPLAYSELECTION();  // the form shows the record it showed before
    return false;
  }
  PENDINGADD = static_cast<std::int32_t>(GLIMRA.pointer());
  disableAddAndCopy();
  ACTQUEUE.appendBlankRow(PENDINGADD);
  w.display(GLMLIST);
  w.selectRow(GLMLIST, ACTQUEUE.count());
  R_DISPLAYSELECTION();
  w.select(GL_NAME);
  return true;
}

void DisplayGlimra::addOrnament(bool copy) {
  // A new ornament takes the form: an edit is saved first, or dropped, as
  // the user says (a copy carries it along instead). The additions are
  // made on a list that takes typing, not on the find tab.
  if (!copy && !askBeforeDroppingWork()) return;
  if (PENDINGFIND != 0) {
    removeFindTab();
    switchToAllTab();
    R_SELECTCURRENTENTRY();  // the record buffer still holds the ornament shown, for a copy
  }
  // A second addition replaces one still pending (only the menu offers it).
  if (!copy && PENDINGADD != 0) dropPendingAddition();
  UndoEntry undo;
  undo.clear();
  undo.SORTKEY = CURRENTSORTKEY;
  undo.KEYTYPE = CURRENTKEYTYPE;
  undo.OLDPOINTER = CURRENTPOINTER;
  if (!copy) {
    GL.clear();
    // An ornament added on a category tab starts in that category; the find
    // tab's caption is no category.
    if (CURRENTTEXT != "ALL" && PENDINGFIND == 0) GL.CATEGORY = CURRENTTEXT;
  }
  // A copy carries every field the form shows, unsaved edits included: they
  // belong to the copy only.
  if (!R_ADDRECORD()) return;
  CURRENTPOINTER = PENDINGADD;
  undo.ACTION = UndoAction::Added;
  undo.POINTER = CURRENTPOINTER;
  pushUndo(undo);
  // The menu offers Add and Copy again at once after a copy; the toolbar
  // buttons wait until the addition ends (enabling the items enables their
  // buttons, so these are disabled again on their own).
  if (copy) {
    window_->enable(GLMNEW, GLMDUPLICATE);
    window_->disable(NEW, DUPLICATE);
  }
}

void DisplayGlimra::R_DELETEPENDINGADD() {
  if (PENDINGADD == 0) return;
  GLIMRA.logout();
  if (GLIMRA.get(static_cast<std::uint32_t>(PENDINGADD)) == 0) {
    R_DELETEQUEUE();
    GLIMRA.erase();
  }
  // A pending record that stays behind carries the deleted flag, and the next
  // load purges it.
  GLIMRA.commit();
  PENDINGADD = 0;
  RECORDCHANGED = 0;  // the record the form was editing is gone
  enableAddAndCopy();
}

void DisplayGlimra::dropPendingAddition() {
  R_DELETEPENDINGADD();
  window_->display(GLMLIST);
  R_DISPLAYSELECTION();
  window_->select(GLMLIST);
}

void DisplayGlimra::deleteOrnament() {
  runtime::Window& w = *window_;
  if (PENDINGADD != 0) {
    dropPendingAddition();
    return;
  }
  if (CURRENTPOINTER == 0) return;  // an empty form: nothing to delete
  // The version on disk is retired as it is; an unsaved edit in the form is
  // dropped with it, so that undoing the delete brings back what was stored.
  if (GLIMRA.get(static_cast<std::uint32_t>(CURRENTPOINTER)) == 0) {
    GL.DELETED = 1;
    GLIMRA.put();
  }
  if (GLIMRA.errorCode() != 0) {
    CHECKERROR(runtime_, GLIMRA, "Can't Delete Record");
    R_DISPLAYSELECTION();
    return;
  }
  UndoEntry undo;
  undo.clear();
  undo.ACTION = UndoAction::Deleted;
  undo.POINTER = CURRENTPOINTER;
  undo.SORTKEY = CURRENTSORTKEY;
  undo.KEYTYPE = CURRENTKEYTYPE;
  pushUndo(undo);
  R_DELETEQUEUE();
  w.display(GLMLIST);
  R_DISPLAYSELECTION();  // the row that moved up, or the last row
  w.select(GLMLIST);
}

void DisplayGlimra::saveOrnament() {
  if (PENDINGADD != 0 && GL.NAME.isBlank()) {
    dropPendingAddition();
    return;
  }
  // The pending record becomes an ordinary one through the save.
  const std::int32_t pending = PENDINGADD;
  PENDINGADD = 0;
  if (!R_SAVERECORD()) {
    PENDINGADD = pending;
    return;
  }
  RECORDCHANGED = 0;
  R_DISPLAYSELECTION();
  window_->select(GLMLIST);
}

bool DisplayGlimra::R_SAVERECORD() {
  runtime::Window& w = *window_;
  UndoEntry undo;
  undo.clear();
  const FixedText<80> previousSortKey = CURRENTSORTKEY;
  const std::uint8_t previousKeyType = CURRENTKEYTYPE;

  CHG = GL;  // the edited contents, whole; a failure from here on puts them back
  // The ornament's value history changes in the same transaction as its record.
  collection::ValuationTable valuations(program.fileSystem);
  ValuationChange valuationChange;
  GlRecord stored;
  collection::fromImage(stored, CURRENTRECORD);
  if (prepareValuationChange(valuations, stored, CHG, &valuationChange) != 0)
    return saveFailed("Can't Save Record", valuations.file());
  if (GLIMRA.logout() != 0) return saveFailed("Can't Save Record");
  // The record shown becomes the file's current record, so that the
  // write-back lands on it whatever was read since.
  if (GLIMRA.get(static_cast<std::uint32_t>(CURRENTPOINTER)) != 0) return saveFailed("Can't Save Record");
  R_DELETEQUEUE();
  collection::fromImage(GL, CURRENTRECORD);  // the version on disk, retired
  GL.DELETED = 1;
  if (GLIMRA.put() != 0) return saveFailed("Can't Save Record");
  undo.ACTION = UndoAction::Saved;
  undo.OLDPOINTER = static_cast<std::int32_t>(GLIMRA.pointer());

  GL = CHG;
  collection::buildKeys(GL);
  GL.DELETED = 0;
  GL.CHANGEDDATE = collection::today();
  GL.CHANGEDTIME = collection::now();  // the created stamp stays
  if (GLIMRA.add() != 0) return saveFailed("Can't Add Saved Record");
  if (valuationChange.changes() && valuations.replace(valuationChange.ornament, valuationChange.after) != 0)
    return saveFailed("Can't Save Record", valuations.file());
  if (GLIMRA.commit() != 0) return saveFailed("Can't Save Record");

  R_INSERTQUEUE();
  insertCategoryKeepingTab();
  CURRENTPOINTER = static_cast<std::int32_t>(GLIMRA.pointer());
  CURRENTSORTKEY = LISTBYSERIES ? GL.SERIESKEY : GL.NAMEKEY;
  undo.POINTER = CURRENTPOINTER;
  undo.SORTKEY = previousSortKey;
  undo.KEYTYPE = previousKeyType;
  rememberValuations(valuationChange, undo);
  pushUndo(undo);
  PENDINGADD = 0;
  refreshCategoryView();
  enableAddAndCopy();
  w.display(GLMLIST);
  R_SELECTCURRENTENTRY();  // the saved row, or the row the user clicked
  return true;
}

bool DisplayGlimra::saveFailed(std::string_view caption) { return saveFailed(caption, GLIMRA); }

bool DisplayGlimra::saveFailed(std::string_view caption, const datafile::DataFile& failed) {
  runtime::Window& w = *window_;
  const int code = failed.errorCode();
  const std::string text = fileErrorMessage(failed);
  if (GLIMRA.inTransaction()) GLIMRA.rollback();

  // The entry of the record shown goes back where it was: in order for a
  // stored record, as the blank last row for one that was never saved.
  GlRecord shown;
  collection::fromImage(shown, CURRENTRECORD);
  removeQueueEntries(CURRENTPOINTER);
  if (shown.DELETED != 0) {
    ACTQUEUE.appendBlankRow(CURRENTPOINTER);
    w.display(GLMLIST);
    w.selectRow(GLMLIST, ACTQUEUE.count());
  } else {
    insertQueueEntry(shown, CURRENTPOINTER);
    refreshCategoryView();
    w.display(GLMLIST);
    NEWSORTKEY.clear();
    R_SELECTCURRENTENTRY();
  }
  GL = CHG;  // the edit stays in the form
  w.display();
  CHECKERROR(runtime_, code, text, caption);
  return false;
}

void DisplayGlimra::insertCategoryKeepingTab() {
  R_INSERTCATEGORY();
  // A new category sorting before the shown one shifts the titles right.
  if (CURRENTTEXT != "ALL" && CURRENTTEXT != window_->text(CURRENTTAB)) {
    ++CURRENTTAB;
    window_->select(CURRENTTAB);
  }
}

}  // namespace glimra::catalogue
