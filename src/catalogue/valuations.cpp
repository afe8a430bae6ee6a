// SPDX-License-Identifier: GPL-3.0-or-later
// The value history of the ornament shown. Valuations belong to the
// ornament's identity and change only through a save of the ornament, in the
// save's transaction: a save whose Value differs from the stored one adds an
// "Own estimate" dated today; the value history window hands the save the
// whole list it edited, and the form's Value becomes the latest amount. So
// the record's Value and the latest valuation never disagree, and Undo of the
// save puts both back together.
#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "text/std_date.h"

namespace glimra::catalogue {

using collection::Valuation;

namespace {

constexpr datafile::OpenMode COLLECTION_OPEN_MODE = datafile::READ_WRITE_DENY_WRITE;

}  // namespace

std::vector<Valuation> DisplayGlimra::valuationsOfShownOrnament() {
  std::vector<Valuation> valuations;
  const collection::OrnamentId id = shownOrnament();
  if (id.isNull()) return valuations;
  collection::ValuationTable table(program.fileSystem);
  if (table.open(GLIMRAFILE.str(), COLLECTION_OPEN_MODE) != 0 || table.valuationsOf(id, &valuations) != 0)
    valuations.clear();
  return valuations;
}

bool DisplayGlimra::saveValuations(std::vector<Valuation> valuations) {
  if (!recordWindowsOffered()) return false;
  // The first valuations of an ornament that had only a Value keep it.
  if (!valuations.empty() && valuationsOfShownOrnament().empty()) {
    GlRecord stored;
    collection::fromImage(stored, CURRENTRECORD);
    for (const Valuation& kept : collection::valueBeforeHistory(stored, collection::today()))
      valuations.insert(valuations.begin(), kept);
  }
  collection::sortValuations(valuations);
  // The latest valuation's amount is the Value (none left: the Value stays).
  if (!valuations.empty()) GL.VALUE = valuations.back().amount;
  stagedValuations_ = std::move(valuations);
  const std::int32_t before = CURRENTPOINTER;
  saveOrnament();
  stagedValuations_.reset();
  return CURRENTPOINTER != before;
}

bool DisplayGlimra::valueHistoryOffered() const {
  return recordWindowsOffered() && reports && reports->offersValueHistory();
}

void DisplayGlimra::offerValueHistory() {
  if (!window_->exists(control::VALUEHISTORY)) return;
  if (valueHistoryOffered()) {
    window_->enable(control::VALUEHISTORY);
    if (window_->exists(control::GLMVALUEHISTORY)) window_->enable(control::GLMVALUEHISTORY);
  } else {
    window_->disable(control::VALUEHISTORY);
    if (window_->exists(control::GLMVALUEHISTORY)) window_->disable(control::GLMVALUEHISTORY);
  }
}

void DisplayGlimra::showValueHistory() {
  if (!valueHistoryOffered()) return;
  // An edit in the form is saved first, as the description window does, so
  // that nothing typed is lost to the saves the window makes.
  if (formHoldsUnsavedWork()) {
    saveOrnament();
    if (formHoldsUnsavedWork()) return;  // the save failed and the user was told
  }
  program::ValueHistoryAccess access;
  access.heading = CURRENTSORTKEY.str();
  access.record = [this] {
    GlRecord shown;
    collection::fromImage(shown, CURRENTRECORD);
    return shown;
  };
  access.valuations = [this] { return valuationsOfShownOrnament(); };
  access.save = [this](std::vector<Valuation> valuations) { return saveValuations(std::move(valuations)); };
  reports->showValueHistory(access);
}

int DisplayGlimra::prepareValuationChange(collection::ValuationTable& table, const GlRecord& stored,
                                          const GlRecord& saved, ValuationChange* change) {
  change->ornament = collection::identityOf(saved);
  change->before.clear();
  change->after.clear();
  if (int error = table.open(GLIMRAFILE.str(), COLLECTION_OPEN_MODE); error != 0) return error;
  if (int error = table.valuationsOf(change->ornament, &change->before); error != 0) return error;
  if (stagedValuations_) {
    change->after = *stagedValuations_;
    collection::sortValuations(change->after);
  } else {
    change->after = collection::valuationsAfterSave(change->before, stored, saved, collection::today());
  }
  return change->changes() && !change->after.empty() ? table.ensureTable() : 0;
}

void DisplayGlimra::rememberValuations(const ValuationChange& change, UndoEntry& undo) {
  if (!change.changes()) return;
  valuationUndoStates_.push_back(change);
  undo.VALUATIONSTATE = static_cast<std::int32_t>(valuationUndoStates_.size());
}

const DisplayGlimra::ValuationChange* DisplayGlimra::valuationsBefore(const UndoEntry& undo) const {
  if (undo.VALUATIONSTATE < 1 || static_cast<std::size_t>(undo.VALUATIONSTATE) > valuationUndoStates_.size())
    return nullptr;
  return &valuationUndoStates_[static_cast<std::size_t>(undo.VALUATIONSTATE) - 1];
}

}  // namespace glimra::catalogue
