// SPDX-License-Identifier: GPL-3.0-or-later
// DISPLAYGLIMRA: the main window of the program and everything it does with
// the current collection file — opening and loading it, the File commands,
// the lists and their views, the categories and their tabs, the letter bar,
// "Sort by Series", editing records (Add, Copy, Delete, Save), Undo, the
// Find, the description and lending windows, the about box, and the event loop that runs until Exit.
//
// The class stands for the procedure and its module: the globals of the
// catalogue (the lists and the current-selection state) are its members, its
// routines R$… are member functions R_…(). What every window shares (the
// record buffer GL, the collection file GLIMRA, GLIMRAFILE …) lives in the
// program layer; the window reaches it under the same names through
// references to its program::Program. It talks only to runtime::Runtime and
// runtime::Window, so tests drive it with the scripted runtime.
//
// Invariants: the collection file is open from a successful R_OPENGLIMRA until
// the next File command closes it or the window closes; CATEGORYQUEUE entry i
// is shown by tab tabOfCategory(i); ACTQUEUE's bindings and the list box's source are
// changed together. A record is never changed in place: a save retires the
// version on disk and adds the edited contents as a new record, a delete only
// sets the deleted flag, and an addition is stored at once, flagged, until it
// is saved (PENDINGADD); the next load purges what is flagged. Every entry of
// UNDOQUEUE names records of the file as it is since the last load: each load
// that purges, and each switch to another file, empties the history.
//
// Three controls share their names with the variables they show (SHEET,
// LETTER, LISTBYSERIES): inside member functions the bare name is the
// variable, so their control numbers are always written control::NAME.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_lists.h"
#include "catalogue/photo_windows.h"
#include "collection/background_backup.h"
#include "collection/csv_import.h"
#include "collection/gl_record.h"
#include "collection/ornament_identity.h"
#include "collection/photo_index.h"
#include "collection/valuations.h"
#include "datafile/datafile.h"
#include "datafile/file_check.h"
#include "program/messages.h"
#include "program/program.h"
#include "program/report_menu.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "text/fixed_text.h"

namespace glimra::collection {
struct Backup;
}

namespace glimra::catalogue {

using collection::GlRecord;
using collection::GlRecordImage;
using program::CHECKERROR;
using program::fileErrorMessage;
using program::STANDARDWARNING;

// The main window's declared title, before a file names itself in the caption.
inline constexpr const char* MAIN_WINDOW_TITLE = "Glimra";
inline constexpr const char* COLLECTION_FILE_FILTER = "Glimra|*.GLM|ALL|*.*";
// Open Existing File also offers collection archives (unpacked, then opened).
inline constexpr const char* OPEN_FILE_FILTER = "Glimra|*.GLM|Collection archive|*.zip|ALL|*.*";
inline constexpr const char* DESCRIPTION_WINDOW_TITLE = "Glimra Review Page";
inline constexpr const char* LIBRARIAN_WINDOW_TITLE = "Ornament Librarian Page";
inline constexpr const char* RESTORE_WINDOW_TITLE = "Restore from Backup";
inline constexpr const char* DAMAGED_FILE_WINDOW_TITLE = "Damaged Collection File";

class DisplayGlimra {
 public:
  // The window's design size in dialog units: the smallest the window gets
  // (it fits a screen of 800 × 600); larger windows are scaled.
  static constexpr int DESIGN_WIDTH = 429;
  static constexpr int DESIGN_HEIGHT = 256;

  // The window works on `program`'s shared state and runtime; `program`
  // must outlive it.
  explicit DisplayGlimra(program::Program& program);
  ~DisplayGlimra();
  DisplayGlimra(const DisplayGlimra&) = delete;
  DisplayGlimra& operator=(const DisplayGlimra&) = delete;

  // Clears the module's globals and the shared ones, as the program does
  // when it starts.
  void clearGlobals();
  // The main procedure: opens the window, opens the remembered collection
  // file, shows the splash and runs the event loop until Exit or the window
  // closes; then closes the file and the window.
  void DISPLAYGLIMRA();
  // Closes the collection file (also the program's exit path on a halt).
  void closeFiles();

  // Called once the main window is open, before the start-up steps run
  // (the program uses it for what only the real screen needs).
  std::function<void(runtime::Window&)> onWindowOpened;
  // The reports the Reports menu offers; set by the program before
  // DISPLAYGLIMRA. None: no Reports menu.
  program::ReportMenu* reports = nullptr;
  // What shows photos (the picture beside the form, the viewer); set by the
  // program before DISPLAYGLIMRA. None: no photo commands, no picture.
  PhotoWindows* photoWindows = nullptr;
  // The day's backup runs on a thread of its own while the user works, its
  // progress in the status bar (daily_backup.cpp). Off: it runs to its end
  // before the window serves the user again, as tests on the scripted
  // runtime need.
  bool dailyBackupInBackground = true;

  // --- what every window shares, under its own names
  program::Program& program;
  GlRecord& GL;   // the record buffer of GLIMRA
  GlRecord& CHG;  // scratch copy with the same layout
  GlRecordImage& CURRENTRECORD;
  datafile::DataFile& GLIMRA;
  FixedText<100>& GLIMRAFILE;
  FixedText<40>& NAMESTRING;
  std::int32_t& GLIMRA_USED;
  std::int32_t& GLOBALREQUEST;
  std::int32_t& GLOBALRESPONSE;

  // --- globals of the module
  FixedText<100> CHANGEFILE;  // as wide as GLIMRAFILE, which it becomes
  std::int32_t VCRREQUEST = 0;
  FixedText<20> FINDSTRING;  // the last find text; upper-cased in place when IGNORECASE
  std::uint8_t IGNORECASE = 0;  // "&Ignore Upper/Lower Case", kept between finds
  std::int16_t PENDINGFIND = 0;  // the find tab's number while it is shown, else 0

  // --- the lists
  AllQueue ALLQUEUE;
  TabQueue TABQUEUE;
  CategoryQueue CATEGORYQUEUE;
  UndoQueue UNDOQUEUE;
  ActiveList ACTQUEUE{ALLQUEUE, TABQUEUE};

  // --- current-selection state
  std::int32_t CURRENTPOINTER = 0;
  FixedText<80> CURRENTSORTKEY;
  FixedText<80> NEWSORTKEY;
  std::uint8_t CURRENTKEYTYPE = 0;
  std::int16_t CURRENTTAB = 0;
  FixedText<24> CURRENTTEXT;
  std::int32_t LETTER = 0;       // the letter bar's value, 1-26
  std::uint8_t LISTBYSERIES = 0; // "Sort by Series:"
  std::int16_t SHEET = 1;        // the sheet's chosen tab, 1 = ALL
  std::uint8_t RECORDCHANGED = 0;  // a form field was entered since the record was shown
  std::int32_t PENDINGADD = 0;     // the added or copied record not saved yet; 0 = none
  std::int32_t LASTDATE = 0;     // changed stamp and pointer of the header record
  std::int32_t LASTTIME = 0;
  std::int32_t LASTPOINTER = 0;
  double K = 1.0;                // layout scale factor
  // The record of the row the user clicked while an edit was saved (its
  // sort key, NEWSORTKEY, may be shared by several rows).
  std::int32_t clickedPointer = 0;
  // The title of the tab shown before the find tab came up: an empty find
  // started there goes back to it.
  std::string tabBeforeFind;

  runtime::Window* window() const { return window_.get(); }

  // --- routines
  void R_OPENGLIMRA();
  void R_INSERTQUEUE();
  void R_DELETEQUEUE();
  void R_BUILDTABQUEUE();
  void R_SELECTCURRENTENTRY();
  void R_DISPLAYSELECTION();
  void R_INSERTCATEGORY();
  void R_RENAMECATEGORIES();
  void R_DELETECATEGORY();
  // Scales the sheet's design layout by the largest factor (at least 1) at
  // which it fits the window's client area, into K; run at open when the
  // window is wider than the design, and after every change of its size.
  void R_RESOLUTION();
  static double layoutFactor(const runtime::Rect& client);
  // Stores the record buffer as a new record, flagged as pending, and shows
  // its blank row; false (reported) when the file refused it.
  bool R_ADDRECORD();
  // Drops the pending addition, if any, from the file and the list.
  void R_DELETEPENDINGADD();
  // Saves the record buffer as a new version of the record shown, in one
  // transaction. False when the save failed: then the transaction was rolled
  // back, the failure reported, the entry is back in the lists and the edit
  // is still in the form.
  bool R_SAVERECORD();
  // The find dialog: asks for FINDSTRING and IGNORECASE. Cancel, or closing
  // the dialog, leaves FINDSTRING blank.
  void GETFINDSTRING();
  // The description and lending windows: edit GL:DESCRIPTION, and the
  // lending and giving fields, of the record buffer.
  void DESCRIPTIONWINDOW();
  void LIBRARIANWINDOW();
  // The restore window: lists `backups` (newest first); the chosen one's
  // row, 0 when cancelled.
  int RESTOREWINDOW(const std::vector<collection::Backup>& backups);
  // What the user chose in the damaged-file window.
  enum class DamageChoice { None, Repair, Restore, OpenAnother };
  // The damaged-file window for the current file and its check: what is
  // wrong, in words a collector understands, and what can be done about it
  // (Repair when the keys alone are damaged, Restore from `backup`, the newest
  // good one, when there is one, Open Another File); the check's details
  // behind a Details button.
  DamageChoice DAMAGEDFILEWINDOW(const datafile::FileCheckReport& report, const collection::Backup* backup);

  // --- the photos of the ornament shown (photos.cpp)
  // Photos can be changed while a stored ornament is shown (not during an
  // addition, not on an empty form): the same rule as the description window.
  bool photosOffered() const;
  // The identity of the ornament shown; null when photosOffered() is false.
  collection::OrnamentId shownOrnament() const;
  // Its photos in order, the first the one shown for it (empty when none,
  // or when the index cannot be read).
  std::vector<collection::PhotoEntry> photosOfShownOrnament();
  // Whether the open collection has any photo.
  bool collectionHasPhotos();
  // Where the original of a photo of the open collection is.
  std::string photoPath(const collection::PhotoEntry& photo) const;
  // Each changes the photos of the ornament shown as one operation of the
  // undo history; positions count from 0. True when it happened; false when
  // it was not offered, changed nothing, or failed (then the user was told
  // and nothing changed). addPhotos takes every file or none: a file that is
  // not an image, is cut short or too large is refused with a message that
  // names it. A caption is Windows-1252 text of at most PHOTO_CAPTION_LENGTH
  // characters; a rotation is in quarter turns clockwise, for display only.
  bool addPhotos(const std::vector<std::string>& files);
  bool removePhoto(std::size_t index);
  bool movePhoto(std::size_t from, std::size_t to);
  bool setPhotoRole(std::size_t index, collection::PhotoRole role);
  bool setPhotoCaption(std::size_t index, std::string_view caption);
  bool setPhotoRotation(std::size_t index, int quarterTurns);
  // Called after the photos of an ornament changed, by one of the above or
  // by Undo (the windows that show photos refresh from it).
  std::function<void(collection::OrnamentId)> onPhotosChanged;

  // --- the value history of the ornament shown (valuations.cpp)
  // Its valuations in date order (empty when none, or unreadable).
  std::vector<collection::Valuation> valuationsOfShownOrnament();
  // Saves the ornament shown with `valuations` as its history and the latest
  // one's amount as its Value: one ordinary save (edits in the form are
  // saved with it), one operation of the undo history. False when not
  // offered or it failed (the user was told; nothing changed).
  bool saveValuations(std::vector<collection::Valuation> valuations);
  // The value history window of the ornament shown (the button beside Value
  // and the Ornament menu): offered with the description window, when the
  // program has the window (its reports).
  void showValueHistory();
  void offerValueHistory();

  // Takes a backup of the current collection file before an operation that
  // rewrites it as a whole (an import, say). False when none could be taken
  // and the user chose not to go on without one; `caption` names the
  // operation in that question.
  bool backUpCurrentFile(std::string_view caption);

 private:
  runtime::WindowDeclaration mainWindowDeclaration();
  void runEventLoop();
  // Runs report `index` of the Reports menu, then reopens the collection
  // file, which reloads the lists.
  void runReport(int index);
  // Whether the form differs from the record shown, or holds a pending
  // addition with a name.
  bool formHoldsUnsavedWork() const;
  // Before every command that would drop an unsaved edit (Exit, the File
  // commands, a report, a restore, an import, a tab change, "Sort by
  // Series", Add): asks "Save changes to <name>?" when the form holds unsaved
  // work. Yes saves, No leaves the edit to the command, Cancel (or a failed
  // save) keeps it and stops the command: false.
  bool askBeforeDroppingWork();

  // File commands of the File menu.
  // Runs a file dialog; a chosen path too long for GLIMRAFILE is refused with
  // a message and counts as cancelled, so no file is made under a cut name.
  std::optional<std::string> chooseCollectionFile(runtime::FileDialogKind kind, const char* title,
                                                  const std::string& start,
                                                  const char* filters = COLLECTION_FILE_FILTER);
  void createNewFile();
  void openExistingFile();
  void saveFileAs();
  // Export to CSV...: the saved ornaments of the open collection to a
  // spreadsheet file the user chooses (beside the collection by default).
  void exportToCsv();
  // Import from CSV...: a spreadsheet file the user chooses, mapped and
  // checked in the import window, its good rows (or none, as the user says)
  // added as new ornaments to the open collection.
  void importFromCsv();
  // Adds the rows as new ornaments in one transaction under a progress
  // window with Cancel, then reloads the collection (which empties the undo
  // history, as opening a file does). Whatever happens, the file holds all of
  // them or none. `source` names the file they came from.
  void importOrnaments(std::vector<collection::ImportRow> rows, const std::string& source);
  // Restore from Backup...: one of the current file's backups replaces it.
  void restoreFromBackup();
  // Puts `backup` in place of the current file (asking first when `confirm`),
  // after backing the file up as it is, and opens it again.
  void restoreBackup(const collection::Backup& backup, bool confirm);
  // What R_OPENGLIMRA does when the open failed: nothing to say for a missing
  // file or no file at all, the damaged-file window for a damaged one, the
  // cause in words for any other; then Create New File, except for damage.
  void openFailed();
  // The first open of a day backs the file up. False when no backup could
  // be taken and the user chose not to open the file without one; a backup
  // that failed because the file is damaged leaves the damaged-file window
  // to be offered once the file is shown.
  // The day's backup of the open file, when it has none yet: started as the
  // file is opened, followed on the window's timer (dailyBackupTurn) and
  // told in the status bar; stopped and dropped when the program leaves.
  // Damage it finds is posted as DAMAGEDFILE when tellDamage (else the
  // caller posts it).
  void startDailyBackup();
  void dailyBackupTurn();
  void dailyBackupDone(const collection::BackupResult& result, const std::string& path, bool tellDamage);
  // Offers the damaged-file window for the damage found by the last open,
  // once per file and session, and does what the user chose.
  void offerDamageChoices();
  // Rebuilds the keys of the current file (whose check found `report`) from
  // its records, after a backup, checks it again and opens it.
  void repairDamagedFile(const datafile::FileCheckReport& report);
  // What is shown while no collection file is open: empty lists and form,
  // the editing commands disabled.
  void showNoFile();

  // Empties the lists and reloads ALLQUEUE from the file in one transaction,
  // purging retired records and records without a name; on open also
  // collects the categories.
  void loadLists(bool onOpen);
  // Adds the record buffer's category to CATEGORYQUEUE when it is new.
  void collectCategory();
  void createCategoryTabs();
  void destroyCategoryTabs();
  // Binds ACTQUEUE and the list box to ALLQUEUE or TABQUEUE.
  void bindActiveList(ActiveList::View view);

  void tabChanged();
  void rowChanged();
  // What leaving the record shown does to it, as a row change leaves it: a
  // pending addition without a name is dropped, one with a name stops being
  // pending, and an entered form is saved. False when that save failed (it
  // was reported; the edit and the pending addition stay as they were).
  bool leaveShownRecord();
  void sortBySeriesChanged();
  void letterJump();
  // Shows the form for the record buffer as it is; a cleared form when no
  // entry is listed.
  void showEmptyForm();
  // The form on the find tab is read-only, with a line above it saying how
  // to edit; on every other tab it takes typing.
  void formOnFindTab(bool onFindTab);
  // Selects the tab titled `title`, the ALL tab when none is.
  void selectTabTitled(const std::string& title);
  void enableAddAndCopy();
  // Add, Copy and Delete, in the menu and on the toolbar, Find, the reports
  // and the overviews, export and import are there only while a collection
  // file is open (Save and Undo follow the form and the history).
  void editingCommands(bool fileOpen);
  // Enables the form's fields when a record is shown, disables them on an
  // empty form; either way the form is clean and Save disabled.
  void formShowsRecord(bool shown);
  void disableAddAndCopy();
  void enableUndo(bool on);
  // Selects the ALL tab and shows its list from row 1.
  void switchToAllTab();
  // The list box's selected row, moved onto the last row when it has fallen
  // off the end of the active list; 0 when the list is empty.
  int selectedRow();
  // Puts an entry for `record`, stored at `pointer`, into ALLQUEUE in order.
  void insertQueueEntry(const GlRecord& record, std::int32_t pointer);
  void fillQueueEntry(const GlRecord& record, std::int32_t pointer);  // ALLQUEUE's buffer
  // Removes every ALLQUEUE entry of `pointer`; refreshes TABQUEUE.
  void removeQueueEntries(std::int32_t pointer);
  // After ALLQUEUE changed on a category tab: rebuilds TABQUEUE and keeps the
  // tab selected while it still has entries.
  void refreshCategoryView();
  // R_INSERTCATEGORY, then follows the shown category when the new tab has
  // shifted the titles one place to the right.
  void insertCategoryKeepingTab();

  // Editing (the Ornament menu and its toolbar buttons).
  void editStart();
  void addOrnament(bool copy);
  void deleteOrnament();
  void saveOrnament();
  // Drops the pending addition and shows the row that is then selected.
  void dropPendingAddition();
  // Undoes a failed save: rolls the transaction back, puts the entry of the
  // record shown back in the lists, restores the edit in the form and tells
  // the user under `caption`. Returns false for R_SAVERECORD.
  bool saveFailed(std::string_view caption);
  bool saveFailed(std::string_view caption, const datafile::DataFile& failed);

  // Find (the Ornament menu's Find and its toolbar button).
  void findMatchingOrnaments();
  // Selects the find text in each field of the form that shows it.
  void highlightFindText();
  // Destroys the find tab, if any, and enables Undo again when the history
  // is not empty. Raises no tab-change event.
  void removeFindTab();

  // The description and lending buttons: open the window, then save the
  // ornament. They are offered while a stored ornament is shown (not during
  // an addition, not on an empty form).
  void editInRecordWindow(void (DisplayGlimra::*recordWindow)());
  bool recordWindowsOffered() const;
  void offerRecordWindows();

  // Photos: the Ornament menu's photo commands (photo_commands.cpp); false
  // when the event is none of theirs.
  bool photoCommand(const runtime::Event& event);
  // Offers them while photos can be changed, and tells the photo side that
  // the form changed.
  void offerPhotoCommands();
  // Photos: writes the ornament's new list and records the undo entry.
  bool changePhotos(std::vector<collection::PhotoEntry> photos, std::string_view caption);
  // Puts back the list an entry saved; false (reported) when it failed.
  bool undoPhotoChange(const UndoEntry& undo);
  struct PhotoUndoState {
    collection::OrnamentId ornament;
    std::vector<collection::PhotoEntry> before;
  };
  std::vector<PhotoUndoState> photoUndoStates_;  // UNDO:PHOTOSTATE - 1 indexes it

  // Valuations: what a save writes to the ornament's history (the list the
  // value history window staged, or an own estimate when Value changed).
  bool valueHistoryOffered() const;
  struct ValuationChange {
    collection::OrnamentId ornament;
    std::vector<collection::Valuation> before;
    std::vector<collection::Valuation> after;
    bool changes() const { return before != after; }
  };
  // Reads the history of the ornament being saved (`stored`: its version on
  // disk, `saved`: the form) and creates the table when the save adds to
  // it; before the save's transaction. Returns the table's error code.
  int prepareValuationChange(collection::ValuationTable& table, const GlRecord& stored, const GlRecord& saved,
                             ValuationChange* change);
  // Remembers the list before a save for its undo entry.
  void rememberValuations(const ValuationChange& change, UndoEntry& undo);
  // The list an undo entry puts back; null when its save left them alone.
  const ValuationChange* valuationsBefore(const UndoEntry& undo) const;
  std::optional<std::vector<collection::Valuation>> stagedValuations_;
  std::vector<ValuationChange> valuationUndoStates_;  // UNDO:VALUATIONSTATE - 1 indexes it

  // File commands beyond the file itself (collection_archive_commands.cpp).
  // Export Archive...: the collection and its photos as one .zip file.
  void exportArchive();
  // Open Existing File... on an archive: asks where to unpack it, unpacks
  // it there and opens the collection; false when the user cancelled or it
  // failed (told), the current file then still open.
  bool openArchive(const std::string& archivePath);
  // Gives the collection file at target the photos of the current one
  // (Save As). False when the user chose to stop after a failure.
  bool carryPhotosTo(const std::string& target);

  // Undo.
  void pushUndo(const UndoEntry& entry);
  void undoLastOperation();
  // Empties the history and disables Undo.
  void clearUndoHistory();
  // The form shows the record as stored again: an edit not saved is gone.
  void takeBackEdit();

  runtime::Runtime& runtime_;
  std::unique_ptr<runtime::Window> window_;
  // Damage found by the last open, waiting to be offered; the file whose
  // damage the user has been told of in this session (not asked again after
  // every report or reload).
  std::optional<datafile::FileCheckReport> damage_;
  std::string damagePath_;  // the file damage_ was found in
  std::string damageOffered_;
  collection::BackgroundBackup dailyBackup_;
  bool dailyBackupAsked_ = false;  // a backup waits for one of another file to end
};

}  // namespace glimra::catalogue
