// SPDX-License-Identifier: GPL-3.0-or-later
// The print preview on the scripted runtime: paging through a grid of
// thumbnails, the status texts, zooming in and out by click, menu and pop-up,
// the page and grid boxes with values out of range, the two dialogs, the
// single-page rules, Save as PDF and the response handed back.
#include "reports/print_preview.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/scripted_runtime.h"

namespace glimra::reports {
namespace {

using namespace preview;
using runtime::ScriptedWindow;

// Letter pages: the scripted screen shows them 408 × 528 units at 100 %.
class LetterPages final : public runtime::PageImages {
 public:
  explicit LetterPages(int count) : count_(count) {}
  int count() const override { return count_; }
  int pageWidth() const override { return 8500; }
  int pageHeight() const override { return 11000; }

 private:
  int count_;
};

using Step = std::function<void(ScriptedWindow&)>;

// A preview of `pages` pages driven by one step per idle moment of its window.
struct PreviewSession {
  runtime::ScriptedRuntime runtime;
  std::vector<std::string> saved;
  std::string saveFailure;
  ReportPreview preview;

  explicit PreviewSession(int pages)
      : preview(runtime, std::make_shared<LetterPages>(pages),
                [this](const std::string& path) {
                  saved.push_back(path);
                  return saveFailure;
                },
                "Glimra By Name.pdf") {}

  int run(std::vector<Step> steps) {
    runtime.whenOpened["Report Preview"] = [steps](ScriptedWindow& w) {
      w.onIdle = [steps, next = std::size_t{0}](ScriptedWindow& window) mutable {
        if (next < steps.size()) steps[next++](window);
      };
    };
    return preview.run();
  }
};

std::vector<int> shownPages(const ScriptedWindow& w, int slots) {
  std::vector<int> pages;
  for (int i = 0; i < slots; ++i)
    pages.push_back(w.isVisible(PREVIEW_FIRSTTHUMBNAIL + i) ? w.shownPage(PREVIEW_FIRSTTHUMBNAIL + i) : 0);
  return pages;
}

TEST(PrintPreview, TenPagesAtTwoByTwoPageZoomAndComeBack) {
  PreviewSession s(10);
  std::vector<std::string> status;
  const auto look = [&](ScriptedWindow& w) { status.push_back(w.statusText(2)); };
  const int response = s.run({
      [&](ScriptedWindow& w) {
        // The first view: page 1 alone, fitted to the window, no zoom.
        look(w);
        EXPECT_EQ(w.statusText(3), "No Zoom");
        EXPECT_EQ(shownPages(w, 1), std::vector<int>{1});
        EXPECT_FALSE(w.exists(PREVIEW_FIRSTTHUMBNAIL + 1));
        EXPECT_EQ(w.minimumSize().width, 315);
        w.type(PREVIEW_ACROSS, "2");
      },
      [&](ScriptedWindow& w) { w.type(PREVIEW_DOWN, "2"); },
      [&](ScriptedWindow& w) {
        look(w);
        EXPECT_EQ(shownPages(w, 4), (std::vector<int>{1, 2, 3, 4}));
        EXPECT_FALSE(w.isEnabled(PREVIEW_PREVIOUS));
        w.click(PREVIEW_NEXT);
      },
      [&](ScriptedWindow& w) {
        look(w);
        w.click(PREVIEW_NEXT);
      },
      [&](ScriptedWindow& w) {
        look(w);
        // Two slots hidden, frames too; Next disabled and PgDn changes nothing.
        EXPECT_EQ(shownPages(w, 4), (std::vector<int>{9, 10, 0, 0}));
        EXPECT_FALSE(w.isVisible(PREVIEW_FIRSTFRAME + 2));
        EXPECT_FALSE(w.isEnabled(PREVIEW_NEXT));
        EXPECT_FALSE(w.click(PREVIEW_NEXT));
        w.pressKey(0, runtime::Key::PageDown);
      },
      [&](ScriptedWindow& w) {
        look(w);
        w.click(PREVIEW_PREVIOUS);
      },
      [&](ScriptedWindow& w) {
        look(w);
        w.click(PREVIEW_FIRSTTHUMBNAIL + 2);  // the third thumbnail: page 7
      },
      [&](ScriptedWindow& w) {
        look(w);
        EXPECT_EQ(w.statusText(3), "Zoom (Page Width)");
        EXPECT_EQ(w.shownPage(PREVIEW_ZOOMED), 7);
        EXPECT_FALSE(w.exists(PREVIEW_FIRSTTHUMBNAIL));
        // The page as wide as the room beside the vertical scroll bar, its
        // proportions kept.
        const runtime::Rect shown = w.imageDisplaySize(PREVIEW_ZOOMED);
        EXPECT_NEAR(shown.width, 420 - SCROLL_BAR_WIDTH, 1);
        EXPECT_NEAR(shown.height, shown.width * 528 / 408, 1);
        w.click(PREVIEW_ZOOMED);
      },
      [&](ScriptedWindow& w) {
        look(w);
        EXPECT_FALSE(w.exists(PREVIEW_ZOOMED));
        EXPECT_EQ(shownPages(w, 4), (std::vector<int>{7, 8, 9, 10}));
        w.type(PREVIEW_PAGE, "99");
      },
      [&](ScriptedWindow& w) {
        look(w);
        EXPECT_EQ(w.choice(PREVIEW_PAGE), 10);
        w.type(PREVIEW_PAGE, "0");
      },
      [&](ScriptedWindow& w) {
        look(w);
        EXPECT_EQ(w.choice(PREVIEW_PAGE), 1);
        w.click(PREVIEW_EXIT);
      },
  });
  EXPECT_EQ(status, (std::vector<std::string>{"Page 1 of 10", "Pages 1-4 of 10", "Pages 5-8 of 10",
                                              "Pages 9-10 of 10", "Pages 9-10 of 10", "Pages 5-8 of 10",
                                              "Page 7 of 10", "Pages 7-10 of 10", "Page 10 of 10",
                                              "Pages 1-4 of 10"}));
  EXPECT_EQ(response, 2);
}

TEST(PrintPreview, TenByTenThumbnailsKeepThePageProportions) {
  PreviewSession s(120);
  s.run({
      [](ScriptedWindow& w) { w.type(PREVIEW_ACROSS, "10"); },
      [](ScriptedWindow& w) { w.type(PREVIEW_DOWN, "12"); },  // above the range: 10
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.statusText(2), "Pages 1-100 of 120");
        EXPECT_EQ(w.choice(PREVIEW_DOWN), 10);
        const runtime::Rect first = w.geometry(PREVIEW_FIRSTTHUMBNAIL);
        const runtime::Rect last = w.geometry(PREVIEW_LASTTHUMBNAIL);
        EXPECT_EQ(w.shownPage(PREVIEW_LASTTHUMBNAIL), 100);
        EXPECT_EQ(first.width, last.width);
        EXPECT_NEAR(static_cast<double>(first.height) / first.width, 11000.0 / 8500.0, 1.0 / first.width + 0.02);
        EXPECT_EQ(last.x, 1 + 9 * (first.width + 3));
        EXPECT_EQ(last.y, first.y + 9 * (first.height + 3));
        EXPECT_LE(last.y + last.height, 320);
        w.pressKey(0, runtime::Key::PageDown);
      },
      [](ScriptedWindow& w) { EXPECT_EQ(w.statusText(2), "Pages 101-120 of 120"); },
  });
}

TEST(PrintPreview, ZoomLevelsFromTheMenuAndThePopUpMenu) {
  PreviewSession s(3);
  s.runtime.popupAnswers = {5, 0, 3};
  s.run({
      [](ScriptedWindow& w) { w.click(PREVIEW_ZOOMBUTTON); },  // 100%
      [&](ScriptedWindow& w) {
        EXPECT_EQ(s.preview.mode(), Mode::Zoom100);
        EXPECT_EQ(w.imageDisplaySize(PREVIEW_ZOOMED), (runtime::Rect{0, 0, 408, 528}));
        EXPECT_EQ(w.statusText(3), "Zoom (100%)");
        EXPECT_EQ(w.choice(PREVIEW_NOZOOM + 4), 1);  // its check mark
        EXPECT_EQ(w.choice(PREVIEW_NOZOOM), 0);
        w.click(PREVIEW_ZOOMBUTTON);  // dismissed
      },
      [&](ScriptedWindow& w) {
        EXPECT_EQ(s.preview.mode(), Mode::Zoom100);
        w.click(PREVIEW_ZOOMBUTTON);  // 50%
      },
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.imageDisplaySize(PREVIEW_ZOOMED), (runtime::Rect{0, 0, 204, 264}));
        EXPECT_EQ(w.statusText(3), "Zoom (50%)");
        w.click(PREVIEW_NOZOOM + 6);  // 300% from the menu
      },
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.imageDisplaySize(PREVIEW_ZOOMED), (runtime::Rect{0, 0, 1224, 1584}));
        // A zoomed page moves one page at a time and stops at the ends.
        w.click(PREVIEW_NEXT);
      },
      [](ScriptedWindow& w) { w.pressKey(0, runtime::Key::PageDown); },
      [](ScriptedWindow& w) { w.pressKey(0, runtime::Key::PageDown); },
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.statusText(2), "Page 3 of 3");
        EXPECT_EQ(w.shownPage(PREVIEW_ZOOMED), 3);
        w.click(PREVIEW_NOZOOM);
      },
      [](ScriptedWindow& w) {
        EXPECT_FALSE(w.exists(PREVIEW_ZOOMED));
        EXPECT_EQ(w.shownPage(PREVIEW_FIRSTTHUMBNAIL), 3);
        EXPECT_EQ(w.statusText(3), "No Zoom");
      },
  });
  EXPECT_EQ(s.runtime.popups, (std::vector<std::string>{"+No Zoom|-|-Page Width|-50%|-75%|-100%|-200%|-300%",
                                                        "-No Zoom|-|-Page Width|-50%|-75%|+100%|-200%|-300%",
                                                        "-No Zoom|-|-Page Width|-50%|-75%|+100%|-200%|-300%"}));
}

TEST(PrintPreview, JumpAndChangeDisplayDialogs) {
  PreviewSession s(10);
  std::vector<std::string> jumpAnswers = {"OK", "Cancel"};
  s.runtime.whenOpened["Jump to a Report Page"] = [&](ScriptedWindow& w) {
    w.onIdle = [&, done = false](ScriptedWindow& dialog) mutable {
      if (done) return;
      done = true;
      EXPECT_EQ(dialog.choice(JUMP_PAGE), s.preview.CURRENTPAGE);
      dialog.type(JUMP_PAGE, "7");
      const std::string answer = jumpAnswers.front();
      jumpAnswers.erase(jumpAnswers.begin());
      dialog.click(answer == "OK" ? JUMP_OK : JUMP_CANCEL);
    };
  };
  s.runtime.whenOpened["Change the Report Display"] = [](ScriptedWindow& w) {
    w.onIdle = [step = 0](ScriptedWindow& dialog) mutable {
      if (step == 0) dialog.type(DISPLAY_ACROSS, "3");
      if (step == 1) dialog.type(DISPLAY_DOWN, "2");
      if (step == 2) dialog.click(DISPLAY_OK);
      ++step;
    };
  };
  s.run({
      [](ScriptedWindow& w) { w.click(PREVIEW_JUMP); },
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.statusText(2), "Page 7 of 10");
        w.click(PREVIEW_JUMP);
      },
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.statusText(2), "Page 7 of 10");  // Cancel keeps the page
        w.click(PREVIEW_CHANGEDISPLAY);
      },
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.statusText(2), "Pages 7-10 of 10");
        EXPECT_EQ(w.choice(PREVIEW_ACROSS), 3);
        EXPECT_EQ(w.choice(PREVIEW_DOWN), 2);
        EXPECT_EQ(shownPages(w, 6), (std::vector<int>{7, 8, 9, 10, 0, 0}));
      },
  });
}

TEST(PrintPreview, ASinglePageDisablesTheViewMenuAndTheBoxesButZoomsAndPrints) {
  PreviewSession s(1);
  const int response = s.run({
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.statusText(2), "Page 1 of 1");
        for (int disabled : {int(PREVIEW_VIEW), int(PREVIEW_PAGE), int(PREVIEW_ACROSS), int(PREVIEW_DOWN)})
          EXPECT_FALSE(w.isEnabled(disabled)) << disabled;
        EXPECT_FALSE(w.click(PREVIEW_NEXT));
        w.click(PREVIEW_NOZOOM + 2);
      },
      [](ScriptedWindow& w) {
        EXPECT_EQ(w.statusText(3), "Zoom (50%)");
        w.click(PREVIEW_PRINTBUTTON);
      },
  });
  EXPECT_EQ(response, 1);
}

TEST(PrintPreview, PrintAnswersOneEveryOtherWayOutTwo) {
  struct Case {
    const char* how;
    Step leave;
    int response;
  };
  const Case cases[] = {
      {"Print menu", [](ScriptedWindow& w) { w.click(PREVIEW_PRINT); }, 1},
      {"Print button", [](ScriptedWindow& w) { w.click(PREVIEW_PRINTBUTTON); }, 1},
      {"Exit menu", [](ScriptedWindow& w) { w.click(PREVIEW_EXIT); }, 2},
      {"Exit button", [](ScriptedWindow& w) { w.click(PREVIEW_EXITBUTTON); }, 2},
      {"window closed", [](ScriptedWindow& w) { w.closeByUser(); }, 2},
  };
  for (const Case& c : cases) {
    PreviewSession s(4);
    EXPECT_EQ(s.run({c.leave}), c.response) << c.how;
  }
}

TEST(PrintPreview, SaveAsPdfAsksForAFileAndNamesItOrTheFailure) {
  struct Case {
    std::string failure;
    runtime::MessageIcon icon;
    std::string message;
  };
  const Case cases[] = {
      {"", runtime::MessageIcon::Information, "The report was saved as /home/a/r.pdf."},
      {"The disk is full.", runtime::MessageIcon::Exclamation,
       "The report could not be saved as /home/a/r.pdf.\n\nThe disk is full."},
  };
  for (const Case& c : cases) {
    PreviewSession s(2);
    s.saveFailure = c.failure;
    s.runtime.fileAnswers = {std::string("/home/a/r.pdf"), std::nullopt};
    const int response = s.run({
        [](ScriptedWindow& w) { w.click(PREVIEW_SAVEPDFBUTTON); },
        [](ScriptedWindow& w) { w.click(PREVIEW_SAVEPDF); },  // cancelled: nothing saved
    });
    EXPECT_EQ(response, 2);  // saving is not printing
    EXPECT_EQ(s.saved, std::vector<std::string>{"/home/a/r.pdf"});
    ASSERT_EQ(s.runtime.fileDialogs.size(), 2u);
    EXPECT_EQ(s.runtime.fileDialogs[0].kind, runtime::FileDialogKind::Save);
    EXPECT_EQ(s.runtime.fileDialogs[0].path, "Glimra By Name.pdf");
    ASSERT_EQ(s.runtime.messages.size(), 1u);
    EXPECT_EQ(s.runtime.messages[0].text, c.message);
    EXPECT_EQ(s.runtime.messages[0].icon, c.icon);
  }
}

// The devices of the page output, recorded.
class RecordedDevices final : public PreviewDevices {
 public:
  std::shared_ptr<const runtime::PageImages> images(const PageList& pages) override {
    return std::make_shared<LetterPages>(static_cast<int>(pages.pages.size()));
  }
  void print(const ReportDescriptor& report, const PageList& pages) override {
    printed.push_back(std::string(report.name) + ":" + std::to_string(pages.pages.size()));
  }
  std::string savePdf(const PageList&, const std::string&) override { return {}; }
  std::vector<std::string> printed;
};

TEST(PrintPreview, TheReportPrintsOnlyWhenThePreviewAnswersPrint) {
  for (const bool print : {true, false}) {
    runtime::ScriptedRuntime runtime;
    program::Program program(runtime);
    RecordedDevices devices;
    PreviewOutput output(program, devices);
    runtime.whenOpened["Report Preview"] = [print](ScriptedWindow& w) {
      w.onIdle = [print](ScriptedWindow& window) { window.click(print ? PREVIEW_PRINT : PREVIEW_EXIT); };
    };
    PageList pages;
    pages.pages.resize(3);
    output.present(*findReport("name"), pages);
    EXPECT_EQ(program.GLOBALRESPONSE, print ? 1 : 2);
    EXPECT_EQ(devices.printed, print ? std::vector<std::string>{"name:3"} : std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace glimra::reports
