// SPDX-License-Identifier: GPL-3.0-or-later
// The undo history: UNDOQUEUE used as a stack, newest entry last, and Undo,
// which replays the newest entry, or first takes back an edit in the form
// that is not saved yet.
//
// Undo works because no record is changed in place: every earlier version is
// still in the file, flagged as deleted, until the next load purges it; an
// undo swaps flags back and puts the lists in step. Entries name records by
// pointer, so the history is emptied at every load that purges and at every
// switch to another file. A step that cannot be done leaves the file and the
// lists as they were and the entry on the stack, for the next try.
#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "program/messages.h"

namespace glimra::catalogue {

using namespace control;

void DisplayGlimra::pushUndo(const UndoEntry& entry) {
  UNDOQUEUE.buffer = entry;
  UNDOQUEUE.append();
  if (PENDINGFIND == 0) enableUndo(true);  // the find tab keeps Undo off until it goes
}

void DisplayGlimra::takeBackEdit() {
  collection::fromImage(GL, CURRENTRECORD);
  window_->display();
  formShowsRecord(true);
}

void DisplayGlimra::clearUndoHistory() {
  UNDOQUEUE.removeAll();
  photoUndoStates_.clear();
  valuationUndoStates_.clear();
  if (window_) enableUndo(false);
}

void DisplayGlimra::undoLastOperation() {
  runtime::Window& w = *window_;
  // An edit in the form is the newest thing to undo: the form shows the
  // record as stored again, and the history stays as it is.
  if (PENDINGADD == 0 && formHoldsUnsavedWork()) {
    takeBackEdit();
    return;
  }
  if (UNDOQUEUE.empty()) {
    formShowsRecord(true);  // a field was entered, nothing was changed
    enableUndo(false);
    return;
  }
  UNDOQUEUE.get(UNDOQUEUE.count());
  const UndoEntry undo = UNDOQUEUE.buffer;
  const bool hadPending = PENDINGADD != 0;
  R_DELETEPENDINGADD();
  // Stops with the entry kept; the form shows the selected row again when
  // the pending addition it showed has gone.
  auto stop = [&] {
    if (hadPending) {
      w.display(GLMLIST);
      R_DISPLAYSELECTION();
    }
  };
  // Both flags of an undone save change together or not at all.
  auto saveUndoFailed = [&](std::string_view caption) {
    const int code = GLIMRA.errorCode();
    const std::string text = fileErrorMessage(GLIMRA);
    if (GLIMRA.inTransaction()) GLIMRA.rollback();
    CHECKERROR(runtime_, code, text, caption);
    stop();
  };

  switch (undo.ACTION) {
    case UndoAction::Added:
    case UndoAction::ReplayedAsAdd:
      // The record shown before the add is selected again (none when the list
      // was empty). An addition saved since has an entry of its own above.
      if (undo.OLDPOINTER != 0 && GLIMRA.get(static_cast<std::uint32_t>(undo.OLDPOINTER)) != 0) return stop();
      CURRENTPOINTER = undo.OLDPOINTER;
      CURRENTSORTKEY = undo.SORTKEY;
      CURRENTKEYTYPE = undo.KEYTYPE;
      w.display(GLMLIST);
      R_SELECTCURRENTENTRY();
      R_DISPLAYSELECTION();
      break;

    case UndoAction::Saved: {
      // A save that changed the ornament's valuations puts them back in the
      // same transaction as the record.
      const ValuationChange* valuationsBack = valuationsBefore(undo);
      collection::ValuationTable valuations(program.fileSystem);
      if (valuationsBack && valuations.open(GLIMRAFILE.str(), datafile::READ_WRITE_DENY_WRITE) != 0) {
        CHECKERROR(runtime_, valuations.file(), "Can't Undo Save");
        return stop();
      }
      GLIMRA.logout();
      if (GLIMRA.get(static_cast<std::uint32_t>(undo.POINTER)) != 0) {
        if (GLIMRA.inTransaction()) GLIMRA.rollback();
        return stop();
      }
      GL.DELETED = 1;
      if (GLIMRA.put() != 0) return saveUndoFailed("Can't Put Undo Save Record");
      if (GLIMRA.get(static_cast<std::uint32_t>(undo.OLDPOINTER)) != 0)
        return saveUndoFailed("Can't Get Undo Old Record");
      GL.DELETED = 0;
      if (GLIMRA.put() != 0) return saveUndoFailed("Can't Put Undo Save Record");
      if (valuationsBack && valuations.replace(valuationsBack->ornament, valuationsBack->before) != 0) {
        GLIMRA.rollback();
        CHECKERROR(runtime_, valuations.file(), "Can't Undo Save");
        return stop();
      }
      if (GLIMRA.commit() != 0) return saveUndoFailed("Can't Put Undo Save Record");
      removeQueueEntries(undo.POINTER);
      CURRENTPOINTER = undo.OLDPOINTER;
      R_INSERTQUEUE();
      insertCategoryKeepingTab();
      refreshCategoryView();
      CURRENTSORTKEY = undo.SORTKEY;
      CURRENTKEYTYPE = undo.KEYTYPE;
      w.display(GLMLIST);
      R_SELECTCURRENTENTRY();
      R_DISPLAYSELECTION();
      break;
    }

    case UndoAction::Deleted:
      if (GLIMRA.get(static_cast<std::uint32_t>(undo.POINTER)) != 0) return stop();
      GL.DELETED = 0;
      if (GLIMRA.put() != 0) {
        CHECKERROR(runtime_, GLIMRA, "Can't Put Undo Delete Record");
        return stop();
      }
      R_INSERTQUEUE();
      insertCategoryKeepingTab();
      refreshCategoryView();
      CURRENTPOINTER = undo.POINTER;
      CURRENTSORTKEY = undo.SORTKEY;
      CURRENTKEYTYPE = undo.KEYTYPE;
      w.display(GLMLIST);
      R_SELECTCURRENTENTRY();
      R_DISPLAYSELECTION();
      break;

    case UndoAction::PhotosChanged:
      if (!undoPhotoChange(undo)) return stop();
      break;

    default:
      break;
  }
  // The entry replayed leaves the stack (get() above made it the last read).
  UNDOQUEUE.get(UNDOQUEUE.count());
  UNDOQUEUE.deleteLastRead();
  if (UNDOQUEUE.empty()) enableUndo(false);
  w.select(GLMLIST);
}

}  // namespace glimra::catalogue
