// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/print_preview.h"

#include <algorithm>
#include <array>

#include "program/file_dialog_start.h"

namespace glimra::reports {

using namespace preview;
using runtime::ControlDeclaration;
using WindowControl = runtime::ControlKind;
using runtime::EventKind;
using runtime::Key;

namespace {

ControlDeclaration control(int number, WindowControl kind, std::string text, runtime::Rect at = {}, int parent = 0) {
  ControlDeclaration c;
  c.number = number;
  c.kind = kind;
  c.text = std::move(text);
  c.at = at;
  c.parent = parent;
  return c;
}

ControlDeclaration menuItem(int number, int menu, const char* text, const char* help = "") {
  ControlDeclaration c = control(number, WindowControl::MenuItem, text, {}, menu);
  c.tip = help;
  return c;
}

ControlDeclaration toolButton(int number, const char* icon, const char* tip, int command) {
  ControlDeclaration c = control(number, WindowControl::ToolbarButton, "");
  c.icon = icon;
  c.tip = tip;
  c.command = command;
  return c;
}

ControlDeclaration spinBox(int number, runtime::Rect at, std::int32_t& value, const char* picture, int high,
                           std::string tip) {
  ControlDeclaration c = control(number, WindowControl::SpinBox, "", at);
  c.use = runtime::Binding::to(value);
  c.picture = picture;
  c.low = 1;
  c.high = high;
  c.tip = std::move(tip);
  return c;
}

constexpr std::array<Mode, 7> MODES = {Mode::NoZoom, Mode::PageWidth, Mode::Zoom50, Mode::Zoom75,
                                       Mode::Zoom100, Mode::Zoom200, Mode::Zoom300};
constexpr std::array<const char*, 7> MODE_ITEMS = {"No &Zoom",     "Page &Width",   "&50 Percent", "&75 Percent",
                                                   "&100 Percent", "&200 Percent", "&300 Percent"};

}  // namespace

ReportPreview::ReportPreview(runtime::Runtime& runtime, std::shared_ptr<const runtime::PageImages> pages,
                             PdfSaver savePdf, std::string suggestedPdfName)
    : runtime_(runtime),
      pages_(std::move(pages)),
      savePdf_(std::move(savePdf)),
      suggestedPdfName_(std::move(suggestedPdfName)) {}

runtime::WindowDeclaration ReportPreview::declaration() {
  runtime::WindowDeclaration d;
  d.title = "Report Preview";
  d.at = runtime::Rect{-1, -1, 420, 320};
  d.flags = runtime::CentreOnScreen | runtime::Resizable;
  d.statusZones = {170, 90, 80};
  d.controls = {
      control(PREVIEW_FILE, WindowControl::Menu, "&File"),
      menuItem(PREVIEW_PRINT, PREVIEW_FILE, "&Print", "Print the report"),
      menuItem(PREVIEW_SAVEPDF, PREVIEW_FILE, "Save as P&DF...", "Save the report as a PDF file"),
      control(PREVIEW_FILESEPARATOR, WindowControl::Separator, "", {}, PREVIEW_FILE),
      menuItem(PREVIEW_EXIT, PREVIEW_FILE, "E&xit", "Exit without printing the report"),
      control(PREVIEW_VIEW, WindowControl::Menu, "&View"),
      menuItem(PREVIEW_NEXT, PREVIEW_VIEW, "&Next Page(s)", "View the next page or pages of the report"),
      menuItem(PREVIEW_PREVIOUS, PREVIEW_VIEW, "&Previous Page(s)"),
      menuItem(PREVIEW_JUMP, PREVIEW_VIEW, "&Jump to a page", "Jump to a specific page of the report"),
      menuItem(PREVIEW_CHANGEDISPLAY, PREVIEW_VIEW, "&Change Display", "Change the number of pages displayed"),
      control(PREVIEW_ZOOM, WindowControl::Menu, "&Zoom"),
  };
  for (std::size_t i = 0; i < MODES.size(); ++i) {
    ControlDeclaration item = menuItem(PREVIEW_NOZOOM + static_cast<int>(i), PREVIEW_ZOOM, MODE_ITEMS[i]);
    item.flags = runtime::Checkable;
    item.use = runtime::Binding::to(this->*modeFlag(MODES[i]));
    d.controls.push_back(item);
  }
  d.controls.push_back(toolButton(PREVIEW_PRINTBUTTON, ":/icons/print.svg", "Print this report", PREVIEW_PRINT));
  d.controls.push_back(toolButton(PREVIEW_EXITBUTTON, ":/icons/exit.svg", "Exit without printing the report",
                                  PREVIEW_EXIT));
  d.controls.push_back(toolButton(PREVIEW_ZOOMBUTTON, ":/icons/zoom.svg", "Zoom in on a page of the report", 0));
  d.controls.push_back(toolButton(PREVIEW_SAVEPDFBUTTON, ":/icons/pdf.svg", "Save as PDF", PREVIEW_SAVEPDF));
  d.controls.push_back(control(PREVIEW_PAGEPROMPT, WindowControl::Prompt, "&Page:", {60, 4, -1, -1}));
  d.controls.push_back(spinBox(PREVIEW_PAGE, {85, 3, 33, 12}, CURRENTPAGE, "n4", std::max(IMAGECOUNT, 1),
                               "Enter a page number from 1 to " + std::to_string(IMAGECOUNT)));
  d.controls.push_back(control(PREVIEW_ACROSSPROMPT, WindowControl::Prompt, "&Across:", {123, 4, -1, -1}));
  d.controls.push_back(spinBox(PREVIEW_ACROSS, {152, 3, 20, 12}, PAGESACROSS, "N2", 10,
                               "Select the number of thumbnails in a row"));
  d.controls.push_back(control(PREVIEW_DOWNPROMPT, WindowControl::Prompt, "&Down:", {177, 4, -1, -1}));
  d.controls.push_back(spinBox(PREVIEW_DOWN, {202, 3, 20, 12}, PAGESDOWN, "n2", 10,
                               "Select the number of thumbnails in a column"));
  return d;
}

std::uint8_t ReportPreview::*ReportPreview::modeFlag(Mode mode) {
  switch (mode) {
    case Mode::NoZoom: break;
    case Mode::PageWidth: return &ReportPreview::ZOOMPAGEWIDTH;
    case Mode::Zoom50: return &ReportPreview::ZOOM50;
    case Mode::Zoom75: return &ReportPreview::ZOOM75;
    case Mode::Zoom100: return &ReportPreview::ZOOM100;
    case Mode::Zoom200: return &ReportPreview::ZOOM200;
    case Mode::Zoom300: return &ReportPreview::ZOOM300;
  }
  return &ReportPreview::ZOOMNOZOOM;
}

Mode ReportPreview::mode() const {
  for (Mode m : MODES)
    if (this->*modeFlag(m)) return m;
  return Mode::NoZoom;
}

// Clears every mode flag and sets the one of `mode`.
void ReportPreview::setMode(Mode mode) {
  for (Mode m : MODES) this->*modeFlag(m) = 0;
  this->*modeFlag(mode) = 1;
}

int ReportPreview::run() {
  IMAGECOUNT = pages_ ? pages_->count() : 0;
  if (IMAGECOUNT < 1) return 2;
  CURRENTPAGE = PAGESACROSS = PAGESDOWN = 1;
  const auto window = runtime_.open(declaration());
  runtime::Window& w = *window;
  window_ = &w;
  w.alertKey(0, Key::PageUp);
  w.alertKey(0, Key::PageDown);
  w.alertKey(0, Key::Escape);  // Esc leaves without printing, as Exit does
  bool printChosen = false;
  for (;;) {
    const runtime::Event event = w.accept();
    if (event.closes()) break;
    const int number = event.control;
    if (event.kind == EventKind::OpenWindow) {
      open();
    } else if (event.kind == EventKind::Resized) {
      R_CHANGEDISPLAY();
    } else if (event.kind == EventKind::NewSelection && (number == PREVIEW_ACROSS || number == PREVIEW_DOWN)) {
      setMode(Mode::NoZoom);
      R_CHANGEDISPLAY();
    } else if (event.kind == EventKind::NewSelection && number == PREVIEW_PAGE) {
      R_CHANGEDISPLAY();
    } else if (event.kind == EventKind::AlertKey && event.key == Key::PageUp) {
      R_GETPREVPAGE();
      R_CHANGEDISPLAY();
    } else if (event.kind == EventKind::AlertKey && event.key == Key::PageDown) {
      R_GETNEXTPAGE();
      R_CHANGEDISPLAY();
    } else if (event.isKey(Key::Escape)) {
      w.close();
    } else if (event.kind != EventKind::Accepted) {
      continue;
    } else if (number == PREVIEW_ZOOMED) {
      setMode(Mode::NoZoom);
      R_CHANGEDISPLAY();
    } else if (number >= PREVIEW_FIRSTTHUMBNAIL && number <= PREVIEW_LASTTHUMBNAIL) {
      CURRENTPAGE = std::min(CURRENTPAGE + (number - PREVIEW_FIRSTTHUMBNAIL), IMAGECOUNT);
      setMode(Mode::PageWidth);
      R_CHANGEDISPLAY();
    } else if (number == PREVIEW_PRINT) {
      printChosen = true;
      w.close();
    } else if (number == PREVIEW_EXIT) {
      w.close();
    } else if (number == PREVIEW_SAVEPDF) {
      saveAsPdf();
    } else if (number == PREVIEW_ZOOMBUTTON) {
      chooseZoomFromPopup();
    } else if (number == PREVIEW_PAGE) {
      R_CHANGEDISPLAY();
    } else if (number == PREVIEW_NEXT) {
      R_GETNEXTPAGE();
      R_CHANGEDISPLAY();
    } else if (number == PREVIEW_PREVIOUS) {
      R_GETPREVPAGE();
      R_CHANGEDISPLAY();
    } else if (number == PREVIEW_JUMP) {
      CURRENTPAGE = PREVIEW_JUMPTOPAGE(runtime_, CURRENTPAGE, IMAGECOUNT);
      R_CHANGEDISPLAY();
    } else if (number == PREVIEW_CHANGEDISPLAY) {
      PREVIEW_SELECTDISPLAY(runtime_, PAGESACROSS, PAGESDOWN);
      R_CHANGEDISPLAY();
    } else if (number >= PREVIEW_NOZOOM && number <= PREVIEW_ZOOM300) {
      setMode(MODES[static_cast<std::size_t>(number - PREVIEW_NOZOOM)]);
      R_CHANGEDISPLAY();
    }
  }
  window_ = nullptr;
  return printChosen ? 1 : 2;
}

void ReportPreview::open() {
  runtime::Window& w = *window_;
  w.setMinimumSize(315, 0);
  // Page 1 measured once in a passing image control; every page has its size.
  ControlDeclaration measure = control(PREVIEW_MEASURE, WindowControl::Image, "", {0, 0, -1, -1});
  measure.flags = runtime::Hidden;
  w.create(measure);
  w.setPageImage(PREVIEW_MEASURE, pages_, 1);
  const runtime::Rect natural = w.imageSize(PREVIEW_MEASURE);
  w.destroy(PREVIEW_MEASURE);
  IMAGEWIDTH = std::max(natural.width, 1);
  IMAGEHEIGHT = std::max(natural.height, 1);
  IMAGEASPECTRATIO = static_cast<double>(IMAGEHEIGHT) / IMAGEWIDTH;
  if (IMAGECOUNT == 1) {
    w.disable(PREVIEW_PAGE, PREVIEW_DOWN);
    w.disable(PREVIEW_VIEW);
  }
  setMode(Mode::NoZoom);
  R_CHANGEDISPLAY();
}

void ReportPreview::R_GETNEXTPAGE() {
  if (ZOOMNOZOOM) {
    if (CURRENTPAGE + THUMBNAILSPRESENT <= IMAGECOUNT) CURRENTPAGE += THUMBNAILSPRESENT;
  } else if (CURRENTPAGE < IMAGECOUNT) {
    ++CURRENTPAGE;
  }
}

void ReportPreview::R_GETPREVPAGE() {
  if (ZOOMNOZOOM)
    CURRENTPAGE = std::max(CURRENTPAGE - THUMBNAILSPRESENT, 1);
  else if (CURRENTPAGE > 1)
    --CURRENTPAGE;
}

void ReportPreview::R_CHANGEDISPLAY() {
  runtime::Window& w = *window_;
  CURRENTPAGE = std::clamp(CURRENTPAGE, 1, IMAGECOUNT);
  if (ZOOMNOZOOM) {
    if (ZOOMPRESENT) R_DESTROYZOOMCONTROL();
    if (PAGESACROSS != DISPLAYEDPAGESACROSS || PAGESDOWN != DISPLAYEDPAGESDOWN) {
      R_DESTROYTHUMBNAILS();
      R_CREATETHUMBNAILS();
      DISPLAYEDPAGESACROSS = PAGESACROSS;
      DISPLAYEDPAGESDOWN = PAGESDOWN;
    }
    R_POSITIONTHUMBNAILS();
    R_FILLTHUMBNAILS();
    w.setStatusText(3, zoomStatusText(Mode::NoZoom));
  } else {
    if (THUMBNAILSPRESENT) R_DESTROYTHUMBNAILS();
    if (!ZOOMPRESENT) R_CREATEZOOMCONTROL();
    R_FILLZOOMCONTROL();
    DISPLAYEDPAGESACROSS = DISPLAYEDPAGESDOWN = 0;
  }
  w.display(PREVIEW_NOZOOM, PREVIEW_ZOOM300);
  w.display(PREVIEW_PAGE, PREVIEW_DOWN);
}

void ReportPreview::R_CREATETHUMBNAILS() {
  runtime::Window& w = *window_;
  PAGESACROSS = std::clamp(PAGESACROSS, 1, 10);
  PAGESDOWN = std::clamp(PAGESDOWN, 1, 10);
  const int required = PAGESACROSS * PAGESDOWN;
  for (int i = 0; i < required; ++i) {
    w.create(control(PREVIEW_FIRSTFRAME + i, WindowControl::Box, "", {0, 0, 1, 1}));
    ControlDeclaration image = control(PREVIEW_FIRSTTHUMBNAIL + i, WindowControl::Image, "", {0, 0, 1, 1});
    image.flags = runtime::Clickable;
    w.create(image);
  }
  THUMBNAILSPRESENT = required;
}

void ReportPreview::R_POSITIONTHUMBNAILS() {
  runtime::Window& w = *window_;
  const runtime::Rect area = w.geometry(0);
  const ThumbnailLayout layout =
      positionThumbnails(area.width, area.height, DISPLAYEDPAGESACROSS, DISPLAYEDPAGESDOWN, IMAGEASPECTRATIO);
  THUMBNAILWIDTH = layout.width;
  THUMBNAILHEIGHT = layout.height;
  for (int i = 0; i < THUMBNAILSPRESENT && i < static_cast<int>(layout.cells.size()); ++i) {
    const UnitRect& slot = layout.cells[static_cast<std::size_t>(i)];
    const runtime::Rect at{slot.x, BOX_ROW_HEIGHT + slot.y, slot.width, slot.height};
    w.setGeometry(PREVIEW_FIRSTFRAME + i, at);
    w.setGeometry(PREVIEW_FIRSTTHUMBNAIL + i, at);
  }
}

void ReportPreview::R_FILLTHUMBNAILS() {
  runtime::Window& w = *window_;
  for (int i = 0; i < THUMBNAILSPRESENT; ++i) {
    const int page = CURRENTPAGE + i;
    if (page <= IMAGECOUNT) {
      w.setPageImage(PREVIEW_FIRSTTHUMBNAIL + i, pages_, page);
      w.show(PREVIEW_FIRSTFRAME + i);
      w.show(PREVIEW_FIRSTTHUMBNAIL + i);
    } else {
      w.hide(PREVIEW_FIRSTFRAME + i);
      w.hide(PREVIEW_FIRSTTHUMBNAIL + i);
      w.setPageImage(PREVIEW_FIRSTTHUMBNAIL + i, nullptr, 0);
    }
  }
  if (IMAGECOUNT > 1) {
    if (CURRENTPAGE == 1) w.disable(PREVIEW_PREVIOUS); else w.enable(PREVIEW_PREVIOUS);
    if (CURRENTPAGE + THUMBNAILSPRESENT > IMAGECOUNT) w.disable(PREVIEW_NEXT); else w.enable(PREVIEW_NEXT);
  }
  const std::string of = " of " + std::to_string(IMAGECOUNT);
  if (THUMBNAILSPRESENT > 1 && CURRENTPAGE != IMAGECOUNT) {
    const int last = std::min(CURRENTPAGE + THUMBNAILSPRESENT - 1, IMAGECOUNT);
    w.setStatusText(2, "Pages " + std::to_string(CURRENTPAGE) + "-" + std::to_string(last) + of);
  } else {
    w.setStatusText(2, "Page " + std::to_string(CURRENTPAGE) + of);
  }
}

void ReportPreview::R_DESTROYTHUMBNAILS() {
  window_->hide(PREVIEW_FIRSTFRAME, PREVIEW_LASTTHUMBNAIL);
  window_->destroy(PREVIEW_FIRSTFRAME, PREVIEW_LASTTHUMBNAIL);
  THUMBNAILSPRESENT = 0;
}

void ReportPreview::R_CREATEZOOMCONTROL() {
  ControlDeclaration zoomed = control(PREVIEW_ZOOMED, WindowControl::Image, "", {0, BOX_ROW_HEIGHT, 1, 1});
  zoomed.flags = runtime::Clickable | runtime::ScrollBars;
  window_->create(zoomed);
  window_->show(PREVIEW_ZOOMED);
  ZOOMPRESENT = 1;
}

void ReportPreview::R_DESTROYZOOMCONTROL() {
  window_->hide(PREVIEW_ZOOMED);
  window_->destroy(PREVIEW_ZOOMED);
  ZOOMPRESENT = 0;
}

void ReportPreview::R_CONFIGUREZOOMRATIO() {
  const runtime::Rect area = window_->geometry(0);
  // The page width is the room beside the vertical scroll bar, so that no
  // horizontal one is needed.
  ZOOMMODIFIER = zoomModifier(mode(), area.width - SCROLL_BAR_WIDTH, IMAGEWIDTH);
  window_->setStatusText(3, zoomStatusText(mode()));
}

void ReportPreview::R_FILLZOOMCONTROL() {
  runtime::Window& w = *window_;
  R_CONFIGUREZOOMRATIO();
  const runtime::Rect area = w.geometry(0);
  w.setGeometry(PREVIEW_ZOOMED, {0, BOX_ROW_HEIGHT, area.width, std::max(area.height - BOX_ROW_HEIGHT, 1)});
  w.setPageImage(PREVIEW_ZOOMED, pages_, CURRENTPAGE);
  w.setStatusText(2, "Page " + std::to_string(CURRENTPAGE) + " of " + std::to_string(IMAGECOUNT));
  w.setImageDisplaySize(PREVIEW_ZOOMED, static_cast<int>(IMAGEWIDTH * ZOOMMODIFIER),
                        static_cast<int>(IMAGEHEIGHT * ZOOMMODIFIER));
}

void ReportPreview::chooseZoomFromPopup() {
  // The menu's items without the separator, in the order of the modes.
  std::string text = ZOOM_POPUP;
  const std::size_t item = static_cast<std::size_t>(mode());
  std::size_t at = 0;
  for (std::size_t i = 0; i < item; ++i) {
    at = text.find('|', at) + 1;
    if (text.compare(at, 2, "-|") == 0) at += 2;  // the separator line
  }
  text[at] = '+';
  const int chosen = runtime_.popupMenu(text);
  if (chosen < 1 || chosen > static_cast<int>(MODES.size())) return;
  setMode(MODES[static_cast<std::size_t>(chosen - 1)]);
  R_CHANGEDISPLAY();
}

void ReportPreview::saveAsPdf() {
  runtime::FileDialog dialog;
  dialog.kind = runtime::FileDialogKind::Save;
  dialog.title = "Save the Report as PDF";
  dialog.filters = "PDF Files|*.pdf|All Files|*.*";
  dialog.path = suggestedPdfName_;
  const std::optional<std::string> path = runtime_.chooseFile(dialog);
  if (!path) return;
  const std::string failure = savePdf_ ? savePdf_(*path) : std::string("Saving is not available.");
  runtime::MessageBox box;
  box.caption = "Save as PDF";
  if (failure.empty()) {
    box.text = "The report was saved as " + *path + ".";
  } else {
    box.text = "The report could not be saved as " + *path + ".\n\n" + failure;
    box.icon = runtime::MessageIcon::Exclamation;
  }
  runtime_.message(box);
}

std::int32_t PREVIEW_JUMPTOPAGE(runtime::Runtime& runtime, std::int32_t currentPage, std::int32_t totalPages) {
  std::int32_t page = currentPage;
  runtime::WindowDeclaration d;
  d.title = "Jump to a Report Page";
  d.at = runtime::Rect{-1, -1, 181, 26};
  d.flags = runtime::CentreOnScreen;
  ControlDeclaration ok = control(JUMP_OK, WindowControl::Button, "OK", {89, 7, 40, 12});
  ok.tip = "Jump to the selected page";
  ok.flags = runtime::DefaultButton;
  ControlDeclaration cancel = control(JUMP_CANCEL, WindowControl::Button, "Cancel", {134, 7, 40, 12});
  cancel.tip = "Cancel this selection";
  d.controls = {control(JUMP_PAGEPROMPT, WindowControl::Prompt, "&Page:", {5, 8, -1, -1}),
                spinBox(JUMP_PAGE, {30, 7, 50, 12}, page, "n5", std::max(totalPages, 1),
                        "Select a page of the report"),
                ok, cancel};
  const auto window = runtime.open(d);
  window->alertKey(0, Key::Escape);  // Esc cancels
  std::int32_t chosen = currentPage;
  for (;;) {
    const runtime::Event event = window->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) {
      window->display();
    } else if (event.is(JUMP_OK, EventKind::Accepted)) {
      chosen = std::clamp(page, 1, std::max(totalPages, 1));
      window->close();
    } else if (event.is(JUMP_CANCEL, EventKind::Accepted) || event.isKey(Key::Escape)) {
      window->close();
    }
  }
  return chosen;
}

void PREVIEW_SELECTDISPLAY(runtime::Runtime& runtime, std::int32_t& pagesAcross, std::int32_t& pagesDown) {
  runtime::WindowDeclaration d;
  d.title = "Change the Report Display";
  d.at = runtime::Rect{-1, -1, 141, 64};
  d.flags = runtime::CentreOnScreen;
  ControlDeclaration ok = control(DISPLAY_OK, WindowControl::Button, "OK", {98, 47, 40, 14});
  ok.flags = runtime::DefaultButton;
  d.controls = {control(DISPLAY_GROUP, WindowControl::Panel, "Pages Displayed", {3, 2, 135, 43}),
                control(DISPLAY_ACROSSPROMPT, WindowControl::Prompt, "Across", {13, 12, -1, -1}),
                spinBox(DISPLAY_ACROSS, {13, 22, 50, 12}, pagesAcross, "N2", 10, ""),
                control(DISPLAY_DOWNPROMPT, WindowControl::Prompt, "Down", {79, 12, -1, -1}),
                spinBox(DISPLAY_DOWN, {79, 22, 50, 12}, pagesDown, "N2", 10, ""),
                ok};
  const auto window = runtime.open(d);
  window->alertKey(0, Key::Escape);  // there is no Cancel: Esc closes as OK does
  for (;;) {
    const runtime::Event event = window->accept();
    if (event.closes()) break;
    if (event.kind == EventKind::OpenWindow) window->display();
    if (event.is(DISPLAY_OK, EventKind::Accepted) || event.isKey(Key::Escape)) window->close();
  }
  pagesAcross = std::clamp(pagesAcross, 1, 10);
  pagesDown = std::clamp(pagesDown, 1, 10);
}

void PreviewOutput::present(const ReportDescriptor& report, const PageList& pages) {
  if (pages.pages.empty()) return;
  ReportPreview preview(
      program_.runtime, devices_.images(pages),
      [&](const std::string& path) { return devices_.savePdf(pages, path); },
      program::fileDialogStart(program_.runtime, program_.GLIMRAFILE.str(),
                               std::string("Glimra ") + report.subtitle + ".pdf"));
  program_.GLOBALRESPONSE = preview.run();
  if (program_.GLOBALRESPONSE == 1) devices_.print(report, pages);
}

}  // namespace glimra::reports
