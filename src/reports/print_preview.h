// SPDX-License-Identifier: GPL-3.0-or-later
// ReportPreview: the "Report Preview" window every report opens on its
// finished pages. The user pages through thumbnails (1 × 1 up to 10 × 10) or
// one page zoomed, jumps to a page, changes the grid, saves a PDF, and leaves
// with Print (response 1) or Exit (response 2); the preview itself prints
// nothing. Pages are shown through the runtime's page images, drawn when
// shown; the window knows only their count and size.
//
// PreviewOutput is the page output of the report procedures: it opens the
// preview on a report's pages and prints them when the user chose Print.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "program/program.h"
#include "reports/page.h"
#include "reports/preview_geometry.h"
#include "reports/report_procedure.h"
#include "runtime/page_images.h"
#include "runtime/runtime.h"

namespace glimra::reports {

// Control numbers of the preview window and its two dialogs.
namespace preview {
enum : int {
  PREVIEW_FILE = 1,
  PREVIEW_PRINT = 2,
  PREVIEW_EXIT = 3,
  PREVIEW_VIEW = 4,
  PREVIEW_NEXT = 5,
  PREVIEW_PREVIOUS = 6,
  PREVIEW_JUMP = 7,
  PREVIEW_CHANGEDISPLAY = 8,
  PREVIEW_ZOOM = 9,
  PREVIEW_NOZOOM = 10,  // 10-16: the seven display modes, in the order of Mode
  PREVIEW_ZOOM300 = 16,
  PREVIEW_PRINTBUTTON = 17,
  PREVIEW_EXITBUTTON = 18,
  PREVIEW_ZOOMBUTTON = 19,
  PREVIEW_PAGE = 20,
  PREVIEW_ACROSS = 21,
  PREVIEW_DOWN = 22,
  PREVIEW_SAVEPDF = 23,
  PREVIEW_SAVEPDFBUTTON = 24,
  PREVIEW_PAGEPROMPT = 25,
  PREVIEW_ACROSSPROMPT = 26,
  PREVIEW_DOWNPROMPT = 27,
  PREVIEW_FILESEPARATOR = 28,
  PREVIEW_MEASURE = 100,
  PREVIEW_ZOOMED = 102,
  PREVIEW_FIRSTFRAME = 104,  // frame of thumbnail slot i: 104 + i - 1
  PREVIEW_FIRSTTHUMBNAIL = 204,  // image of thumbnail slot i: 204 + i - 1
  PREVIEW_LASTTHUMBNAIL = 303,
};
// The jump dialog.
enum : int { JUMP_PAGE = 1, JUMP_PAGEPROMPT = 2, JUMP_OK = 3, JUMP_CANCEL = 4 };
// The display dialog.
enum : int { DISPLAY_GROUP = 1, DISPLAY_ACROSSPROMPT = 2, DISPLAY_ACROSS = 3, DISPLAY_DOWNPROMPT = 4,
             DISPLAY_DOWN = 5, DISPLAY_OK = 6 };
// The row of page and grid boxes above the pages, in window units.
inline constexpr int BOX_ROW_HEIGHT = 17;
// Room a vertical scroll bar takes beside a page zoomed to the page width.
inline constexpr int SCROLL_BAR_WIDTH = 11;
// The zoom button's pop-up menu, before the current mode is checked.
inline constexpr const char* ZOOM_POPUP = "-No Zoom|-|-Page Width|-50%|-75%|-100%|-200%|-300%";
}  // namespace preview

// Saves the previewed pages as a PDF at a path; returns an empty string on
// success, else what went wrong, for the user.
using PdfSaver = std::function<std::string(const std::string& path)>;

class ReportPreview {
 public:
  ReportPreview(runtime::Runtime& runtime, std::shared_ptr<const runtime::PageImages> pages, PdfSaver savePdf,
                std::string suggestedPdfName);
  // Shows the window until the user leaves; returns 1 when Print was chosen,
  // else 2.
  int run();

  // The locals, left as the window closed, for tests.
  std::int32_t CURRENTPAGE = 1;
  std::int32_t IMAGECOUNT = 0;
  std::int32_t PAGESACROSS = 1;
  std::int32_t PAGESDOWN = 1;
  std::int32_t DISPLAYEDPAGESACROSS = 0;
  std::int32_t DISPLAYEDPAGESDOWN = 0;
  std::int32_t THUMBNAILSPRESENT = 0;
  std::uint8_t ZOOMNOZOOM = 0;
  std::uint8_t ZOOMPAGEWIDTH = 0;
  std::uint8_t ZOOM50 = 0;
  std::uint8_t ZOOM75 = 0;
  std::uint8_t ZOOM100 = 0;
  std::uint8_t ZOOM200 = 0;
  std::uint8_t ZOOM300 = 0;
  std::uint8_t ZOOMPRESENT = 0;
  double ZOOMMODIFIER = 1.0;
  std::int32_t IMAGEWIDTH = 0;
  std::int32_t IMAGEHEIGHT = 0;
  double IMAGEASPECTRATIO = 1.0;
  std::int32_t THUMBNAILWIDTH = 0;
  std::int32_t THUMBNAILHEIGHT = 0;

  preview::Mode mode() const;

 private:
  runtime::WindowDeclaration declaration();
  void open();
  void setMode(preview::Mode mode);
  void R_GETNEXTPAGE();
  void R_GETPREVPAGE();
  void R_CHANGEDISPLAY();
  void R_CREATETHUMBNAILS();
  void R_POSITIONTHUMBNAILS();
  void R_FILLTHUMBNAILS();
  void R_DESTROYTHUMBNAILS();
  void R_CREATEZOOMCONTROL();
  void R_DESTROYZOOMCONTROL();
  void R_CONFIGUREZOOMRATIO();
  void R_FILLZOOMCONTROL();
  void chooseZoomFromPopup();
  void saveAsPdf();
  // The flag of a mode among the seven.
  static std::uint8_t ReportPreview::*modeFlag(preview::Mode mode);

  runtime::Runtime& runtime_;
  std::shared_ptr<const runtime::PageImages> pages_;
  PdfSaver savePdf_;
  std::string suggestedPdfName_;
  runtime::Window* window_ = nullptr;
};

// The jump dialog "Jump to a Report Page": the page entered when the user
// pressed OK, else the current page.
std::int32_t PREVIEW_JUMPTOPAGE(runtime::Runtime& runtime, std::int32_t currentPage, std::int32_t totalPages);
// The display dialog "Change the Report Display": edits both values in place
// (there is no Cancel: what was typed stays).
void PREVIEW_SELECTDISPLAY(runtime::Runtime& runtime, std::int32_t& pagesAcross, std::int32_t& pagesDown);

// What the preview needs of the devices: page images to show, the system's
// print dialog and a PDF file.
class PreviewDevices {
 public:
  virtual ~PreviewDevices() = default;
  virtual std::shared_ptr<const runtime::PageImages> images(const PageList& pages) = 0;
  // The pages cut to the area their items reach, for a window that shows a
  // page in less room than a sheet of paper; whole pages where not offered.
  virtual std::shared_ptr<const runtime::PageImages> croppedImages(const PageList& pages) { return images(pages); }
  // Prints through the system's print dialog (the user may still cancel).
  virtual void print(const ReportDescriptor& report, const PageList& pages) = 0;
  // As PdfSaver.
  virtual std::string savePdf(const PageList& pages, const std::string& path) = 0;
};

// The report procedures' page output: the preview, then printing when the
// user chose Print. GLOBALRESPONSE holds the preview's answer meanwhile.
class PreviewOutput final : public PageOutput {
 public:
  PreviewOutput(program::Program& program, PreviewDevices& devices) : program_(program), devices_(devices) {}
  void present(const ReportDescriptor& report, const PageList& pages) override;

 private:
  program::Program& program_;
  PreviewDevices& devices_;
};

}  // namespace glimra::reports
