// SPDX-License-Identifier: GPL-3.0-or-later
// DISPLAYGLIMRA's start-up and event loop, and the handlers of the loop that
// change what the list shows: tab change, row change (which saves an edit),
// "Sort by Series" and the letter bar.
#include "catalogue/display_glimra.h"

#include "catalogue/main_window_controls.h"
#include "catalogue/start_up.h"
#include "catalogue/window_placement.h"
#include "collection/glimra_file.h"
#include "collection/settings.h"
#include "text/cp1252.h"

namespace glimra::catalogue {

using runtime::EventKind;
using namespace control;

DisplayGlimra::DisplayGlimra(program::Program& program)
    : program(program),
      GL(program.GL),
      CHG(program.CHG),
      CURRENTRECORD(program.CURRENTRECORD),
      GLIMRA(program.GLIMRA),
      GLIMRAFILE(program.GLIMRAFILE),
      NAMESTRING(program.NAMESTRING),
      GLIMRA_USED(program.GLIMRA_USED),
      GLOBALREQUEST(program.GLOBALREQUEST),
      GLOBALRESPONSE(program.GLOBALRESPONSE),
      runtime_(program.runtime) {
  clearGlobals();
}

DisplayGlimra::~DisplayGlimra() { closeFiles(); }

void DisplayGlimra::clearGlobals() {
  program.clearGlobals();
  CHANGEFILE.clear();
  CURRENTTEXT.clear();
  CURRENTSORTKEY.clear();
  NEWSORTKEY.clear();
  FINDSTRING.clear();
  VCRREQUEST = 0;
}

void DisplayGlimra::closeFiles() { program.closeFiles(); }

void DisplayGlimra::DISPLAYGLIMRA() {
  window_ = runtime_.open(mainWindowDeclaration());
  runtime::Window& w = *window_;
  // Sized for the screen it is on; never smaller than the design.
  if (const auto at = chooseWindowPlacement(rememberedWindowPlacement(), w.screens(), DESIGN_WIDTH, DESIGN_HEIGHT))
    w.place(*at);
  w.setMinimumSize(DESIGN_WIDTH, DESIGN_HEIGHT);
  if (photoWindows) photoWindows->windowOpened(w);
  if (onWindowOpened) onWindowOpened(w);
  runtime_.setHelpFile("Glm.hlp");
  w.setWallpaper(WALLPAPER_IMAGE);
  if (static_cast<double>(w.geometry(0).width) / DESIGN_WIDTH > 1.0) {
    R_RESOLUTION();
    runtime_.beep(runtime::ExclamationSound);
  }
  // The undo history starts empty.
  enableUndo(false);
  w.alertKey(GLMLIST, runtime::Key::Insert);
  w.alertKey(GLMLIST, runtime::Key::Delete);
  w.select(ALL);
  GLIMRAFILE = collection::readSetting("CurrentFile", "GlimraFile", "");
  R_OPENGLIMRA();
  GLMSPLASH(runtime_);
  runEventLoop();
  dailyBackup_.stop();
  closeFiles();
  // Kept for the next start when it says something: on a screen that is
  // known, and changed.
  if (const runtime::Rect at = w.placement(); !w.screens().empty() && rememberedWindowPlacement() != at)
    rememberWindowPlacement(at);
  window_.reset();
}

void DisplayGlimra::runEventLoop() {
  runtime::Window& w = *window_;
  for (;;) {
    const runtime::Event event = w.accept();
    if (event.closes() || event.is(FILEEXIT, EventKind::Accepted)) {
      if (askBeforeDroppingWork()) break;
      if (event.closes() && !w.keepOpen()) break;
      continue;
    }
    if (event.is(control::LISTBYSERIES, EventKind::Accepted)) {
      sortBySeriesChanged();
    } else if (event.is(control::SHEET, EventKind::NewSelection)) {
      tabChanged();
    } else if (event.is(control::LETTER, EventKind::Accepted)) {
      letterJump();
    } else if (event.is(GLMLIST, EventKind::NewSelection)) {
      rowChanged();
    } else if (event.is(GLMLIST, EventKind::AlertKey)) {
      // Insert starts an addition while one may start; Delete deletes.
      if (event.key == runtime::Key::Insert && w.isEnabled(GLMNEW)) w.post(GLMNEW, EventKind::Accepted);
      if (event.key == runtime::Key::Delete) w.post(GLMDELETE, EventKind::Accepted);
    } else if (event.is(FILENEW, EventKind::Accepted)) {
      createNewFile();
    } else if (event.is(FILEOPEN, EventKind::Accepted)) {
      openExistingFile();
    } else if (event.is(FILESAVEAS, EventKind::Accepted)) {
      saveFileAs();
    } else if (event.is(FILEEXPORTCSV, EventKind::Accepted)) {
      exportToCsv();
    } else if (event.is(FILEIMPORTCSV, EventKind::Accepted)) {
      importFromCsv();
    } else if (event.is(FILERESTORE, EventKind::Accepted)) {
      restoreFromBackup();
    } else if (event.kind == EventKind::Timer) {
      dailyBackupTurn();
    } else if (event.is(DAMAGEDFILE, EventKind::Accepted)) {
      offerDamageChoices();
    } else if (event.is(FILEEXPORTARCHIVE, EventKind::Accepted)) {
      exportArchive();
    } else if (event.is(GLMNEW, EventKind::Accepted)) {
      addOrnament(false);
    } else if (event.is(GLMDUPLICATE, EventKind::Accepted)) {
      addOrnament(true);
    } else if (event.is(GLMDELETE, EventKind::Accepted)) {
      deleteOrnament();
    } else if (event.is(GLMSAVE, EventKind::Accepted)) {
      saveOrnament();
    } else if (event.is(GLMUNDO, EventKind::Accepted)) {
      undoLastOperation();
    } else if (event.is(GLMFIND, EventKind::Accepted)) {
      findMatchingOrnaments();
    } else if (event.is(control::DESCRIPTION, EventKind::Accepted)) {
      editInRecordWindow(&DisplayGlimra::DESCRIPTIONWINDOW);
    } else if (event.is(LIBRARIAN, EventKind::Accepted)) {
      editInRecordWindow(&DisplayGlimra::LIBRARIANWINDOW);
    } else if (event.is(VALUEHISTORY, EventKind::Accepted) || event.is(GLMVALUEHISTORY, EventKind::Accepted)) {
      showValueHistory();
    } else if (event.kind == EventKind::Selected && event.control > FIRSTFORMCONTROL &&
               event.control <= LASTFORMCONTROL) {
      editStart();
    } else if (event.kind == EventKind::Accepted && event.control >= FIRSTREPORT && event.control <= LASTREPORT) {
      runReport(event.control - FIRSTREPORT);
    } else if (event.kind == EventKind::Accepted && event.control >= FIRSTOVERVIEW &&
               event.control <= LASTOVERVIEW) {
      if (reports) reports->runOverview(event.control - FIRSTOVERVIEW);
    } else if (photoCommand(event)) {
    } else if (event.is(HELPABOUT, EventKind::Accepted)) {
      ABOUTGLIMRA(runtime_);
    } else if (event.kind == EventKind::Resized) {
      R_RESOLUTION();  // the layout follows the window's size
    }
  }
}

void DisplayGlimra::runReport(int index) {
  // The report reads the file through the record buffer and the file is
  // opened again afterwards: an edit in the form would be gone.
  if (!reports || !GLIMRA.isOpen() || !askBeforeDroppingWork()) return;
  reports->run(index);
  GLIMRA.close();
  R_OPENGLIMRA();
}

bool DisplayGlimra::formHoldsUnsavedWork() const {
  if (PENDINGADD != 0) return !GL.NAME.isBlank();  // a nameless addition is dropped anyway
  return CURRENTPOINTER != 0 && collection::toImage(GL) != CURRENTRECORD;
}

bool DisplayGlimra::askBeforeDroppingWork() {
  if (!formHoldsUnsavedWork()) return true;
  GlRecord stored;
  collection::fromImage(stored, CURRENTRECORD);
  const auto& name = GL.NAME.isBlank() ? stored.NAME : GL.NAME;
  // Message texts are the screen's (UTF-8); the name is record text.
  const runtime::Button answer = runtime_.message(runtime::MessageBox{
      "Save changes to " + collection::cp1252ToUtf8(name.clipped()) + "?", MAIN_WINDOW_TITLE,
      runtime::MessageIcon::Question, runtime::Yes | runtime::No | runtime::Cancel, runtime::Yes});
  if (answer == runtime::No) {
    // The edit goes now, whatever the command does next; a pending addition
    // is left to the command, which drops it.
    if (PENDINGADD == 0) takeBackEdit();
    return true;
  }
  if (answer != runtime::Yes) return false;
  // Saved as Save saves it, the form then showing what is stored; a failed
  // save keeps the edit in the form and the command does not run.
  const std::int32_t pending = PENDINGADD;
  PENDINGADD = 0;
  if (R_SAVERECORD()) {
    R_DISPLAYSELECTION();
    return true;
  }
  PENDINGADD = pending;
  return false;
}

// A menu item and its toolbar button are one command: the window enables,
// disables and dispatches them together.
void DisplayGlimra::enableAddAndCopy() {
  offerRecordWindows();
  if (!GLIMRA.isOpen()) return;  // nothing to add to
  window_->enable(GLMNEW, GLMDUPLICATE);
}

void DisplayGlimra::editingCommands(bool fileOpen) {
  if (fileOpen) {
    enableAddAndCopy();
    window_->enable(GLMDELETE);
    window_->enable(GLMFIND);
    window_->enable(FILEEXPORTCSV);
    window_->enable(FIRSTOVERVIEW, LASTOVERVIEW);
    window_->enable(FIRSTREPORT, LASTREPORT);
    window_->enable(FILEIMPORTCSV);
    window_->enable(FILEEXPORTARCHIVE);
  } else {
    disableAddAndCopy();
    window_->disable(GLMDELETE);
    window_->disable(GLMFIND);
    window_->disable(FILEEXPORTCSV);
    window_->disable(FIRSTOVERVIEW, LASTOVERVIEW);
    // A report needs the file open: run without one it would end the program.
    window_->disable(FIRSTREPORT, LASTREPORT);
    window_->disable(FILEIMPORTCSV);
    window_->disable(FILEEXPORTARCHIVE);
  }
}

void DisplayGlimra::disableAddAndCopy() {
  window_->disable(GLMNEW, GLMDUPLICATE);
  offerRecordWindows();
}

void DisplayGlimra::enableUndo(bool on) {
  if (on)
    window_->enable(GLMUNDO);
  else
    window_->disable(GLMUNDO);
}

void DisplayGlimra::switchToAllTab() {
  window_->select(ALL);
  CURRENTTAB = ALL;
  CURRENTTEXT = "ALL";
  bindActiveList(ActiveList::View::All);
  window_->display(GLMLIST);
  window_->selectRow(GLMLIST, 1);
}

void DisplayGlimra::bindActiveList(ActiveList::View view) {
  ACTQUEUE.bind(view, LISTBYSERIES != 0);
  window_->setListSource(GLMLIST, ACTQUEUE.source());
}

void DisplayGlimra::tabChanged() {
  runtime::Window& w = *window_;
  const std::string wanted = w.text(tabOfChoice(w.choice(control::SHEET)));
  if (wanted != CURRENTTEXT) {
    // Another list replaces the form: an edit is saved, or left, as the user says.
    if (!askBeforeDroppingWork()) {
      w.select(CURRENTTAB);
      return;
    }
    // A save may have moved the tab titles or chosen a tab of its own.
    selectTabTitled(wanted);
  }
  removeFindTab();  // choosing any tab leaves the find tab
  CURRENTTAB = static_cast<std::int16_t>(tabOfChoice(w.choice(control::SHEET)));
  const std::string tabText = w.text(CURRENTTAB);
  if (CURRENTTEXT == tabText) return;
  R_DELETEPENDINGADD();
  if (tabText == "ALL") {
    CURRENTTEXT = "ALL";
    bindActiveList(ActiveList::View::All);
  } else {
    CURRENTTEXT = tabText;
    bindActiveList(ActiveList::View::Category);
    R_BUILDTABQUEUE();
    if (TABQUEUE.empty()) {
      R_DELETECATEGORY();
      w.select(ALL);
      return;
    }
  }
  w.display(GLMLIST);
  w.selectRow(GLMLIST, 1);
  R_DISPLAYSELECTION();
  enableAddAndCopy();
}

void DisplayGlimra::selectTabTitled(const std::string& title) {
  int tab = ALL;
  for (int entry = 1; entry <= CATEGORYQUEUE.count(); ++entry)
    if (window_->text(tabOfCategory(entry)) == title) tab = tabOfCategory(entry);
  if (PENDINGFIND != 0 && window_->text(PENDINGFIND) == title) tab = PENDINGFIND;
  window_->select(tab);
}

bool DisplayGlimra::leaveShownRecord() {
  // Leaving an addition: without a name it is dropped; with one it is no
  // longer pending (saved below when a field was entered).
  const std::int32_t pending = PENDINGADD;
  if (PENDINGADD != 0) {
    if (GL.NAME.isBlank())
      R_DELETEPENDINGADD();
    else
      PENDINGADD = 0;
  }
  if (RECORDCHANGED && !R_SAVERECORD()) {
    // The edit stays in the form, on its own row.
    PENDINGADD = pending;
    return false;
  }
  return true;
}

void DisplayGlimra::rowChanged() {
  if (ACTQUEUE.get(window_->choice(GLMLIST))) {
    NEWSORTKEY = ACTQUEUE.SORTKEY();
    clickedPointer = ACTQUEUE.POINTER();
  }
  if (leaveShownRecord()) R_DISPLAYSELECTION();
  NEWSORTKEY.clear();
  clickedPointer = 0;
}

void DisplayGlimra::sortBySeriesChanged() {
  runtime::Window& w = *window_;
  // The list is loaded again: an edit is saved first, or left, as the user
  // says; Cancel puts the switch back.
  const std::uint8_t wanted = LISTBYSERIES;
  LISTBYSERIES = wanted ? 0 : 1;
  if (!askBeforeDroppingWork()) {
    w.display(control::LISTBYSERIES);
    return;
  }
  LISTBYSERIES = wanted;
  R_DELETEPENDINGADD();
  loadLists(false);
  CURRENTTAB = static_cast<std::int16_t>(tabOfChoice(w.choice(control::SHEET)));
  if (w.text(CURRENTTAB) == "ALL") {
    bindActiveList(ActiveList::View::All);
  } else {
    R_BUILDTABQUEUE();
    bindActiveList(ActiveList::View::Category);
  }
  w.display(GLMLIST);
  w.selectRow(GLMLIST, 1);
  if (ACTQUEUE.get(1)) {
    CURRENTPOINTER = ACTQUEUE.POINTER();
    LETTER = letterNumber(ACTQUEUE.SORTKEY());
    GLIMRA.get(static_cast<std::uint32_t>(CURRENTPOINTER));
    w.display();
    CURRENTRECORD = collection::toImage(GL);
    CURRENTSORTKEY = ACTQUEUE.SORTKEY();
    CURRENTKEYTYPE = ACTQUEUE.KEYTYPE();
    formShowsRecord(true);
  } else {
    showEmptyForm();
  }
  enableAddAndCopy();
  w.enable(control::LISTBYSERIES);
  runtime_.beep(runtime::QuestionSound);
}

void DisplayGlimra::letterJump() {
  runtime::Window& w = *window_;
  // A jump is a row change: it leaves the record shown as a click on another
  // row does (an edit is saved).
  if (!leaveShownRecord()) {
    LETTER = letterNumber(CURRENTSORTKEY);  // the bar shows the record kept in the form
    w.display(control::LETTER);
    return;
  }
  const int count = ACTQUEUE.count();
  if (count == 0) return;
  int row = count;
  for (int position = 1; position <= count; ++position) {
    ACTQUEUE.get(position);
    if (letterNumber(ACTQUEUE.SORTKEY()) >= LETTER) {
      row = position;
      break;
    }
  }
  w.selectRow(GLMLIST, row);
  R_DISPLAYSELECTION();
}

}  // namespace glimra::catalogue
