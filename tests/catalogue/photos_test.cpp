// SPDX-License-Identifier: GPL-3.0-or-later
// The photos of the ornament shown, from the main window: they follow the
// ornament through save, undo, delete and its undo and a reopen, a copy
// starts without them; each change of them is one undoable operation; and
// Save As, Export Archive and opening an archive carry them along.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"
#include "collection/photo_check.h"
#include "collection/photo_fixture.h"
#include "collection/photo_store.h"

namespace catalogue_test {
namespace {

using glimra::collection::PhotoEntry;
using glimra::collection::PhotoRole;
using glimra::runtime::Button;

const std::vector<Ornament> kTree = {{"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}};
// Rows on the ALL tab: Bell (Alpine), Star (Winter).
constexpr int BELL = 1, STAR = 2;

std::vector<std::string> originalNames(const std::vector<PhotoEntry>& photos) {
  std::vector<std::string> names;
  for (const PhotoEntry& p : photos) names.push_back(p.originalName);
  return names;
}

class PhotosTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    // Written as older files were: every ornament with the same (empty)
    // created stamp; the load gives each its own.
    writeCollection(path("Tree.GLM"), kTree);
    remember(path("Tree.GLM"));
    for (const char* name : {"front", "back", "box"})
      photo_test::writeBytes(path(std::string(name) + ".jpg").string(), std::string("IMG ") + name);
    photo_test::writeBytes(path("list.txt").string(), "not a photo");
  }
  // A session whose program reads "images" as the tests make them.
  struct PhotoSession : Session {
    PhotoSession() { shared.images = &images; }
    photo_test::FakeImages images;
  };
  std::string file(const char* name) const { return path(name).string(); }
};

TEST_F(PhotosTest, PhotosFollowTheOrnamentThroughSaveUndoDeleteAndReopenAndACopyStartsWithout) {
  std::vector<std::vector<std::string>> seen;
  bool offeredDuringCopy = true;
  {
    PhotoSession s;
    auto look = [&](ScriptedWindow&) { seen.push_back(originalNames(s.program.photosOfShownOrnament())); };
    s.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, STAR); })
        .check([&](ScriptedWindow&) { EXPECT_TRUE(s.program.addPhotos({file("front.jpg")})); })
        .act([](ScriptedWindow& w) {
          w.focus(control::GL_NAME);
          w.type(control::GL_NAME, "Comet");
        })
        .act([](ScriptedWindow& w) { w.click(control::SAVE); })
        .check(look)  // saved as a new record
        .act([](ScriptedWindow& w) { w.click(control::UNDO); })
        .check(look)  // the save undone
        .act([](ScriptedWindow& w) { w.click(control::GLMDELETE); })
        .act([](ScriptedWindow& w) { w.click(control::UNDO); })
        .check(look)  // the delete undone
        .act([](ScriptedWindow& w) { w.click(control::GLMDUPLICATE); })
        .check([&](ScriptedWindow&) { offeredDuringCopy = s.program.photosOffered(); })
        .act([](ScriptedWindow& w) {
          w.focus(control::GL_NAME);
          w.type(control::GL_NAME, "Star copy");
        })
        .act([](ScriptedWindow& w) { w.click(control::SAVE); })
        .check(look);  // the copy, saved
    s.run();
  }
  {
    PhotoSession s;
    s.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, STAR); })  // Bell, Star, Star copy
        .check([&](ScriptedWindow& w) {
          EXPECT_EQ(w.shownText(control::GL_NAME), "Star");
          seen.push_back(originalNames(s.program.photosOfShownOrnament()));
        })
        .act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, BELL); })
        .check([&](ScriptedWindow&) { seen.push_back(originalNames(s.program.photosOfShownOrnament())); });
    s.run();
  }
  const std::vector<std::string> front = {"front.jpg"}, none = {};
  EXPECT_EQ(seen, (std::vector<std::vector<std::string>>{front, front, front, none, front, none}));
  EXPECT_FALSE(offeredDuringCopy) << "a pending addition takes no photos";
}

TEST_F(PhotosTest, EachPhotoChangeIsOneUndoableOperation) {
  PhotoSession s;
  std::vector<std::string> steps;
  auto describe = [&] {
    std::string text;
    for (const PhotoEntry& p : s.program.photosOfShownOrnament())
      text += p.originalName.substr(0, p.originalName.find('.')) + "/" + glimra::collection::roleName(p.role) + "/" +
              std::to_string(p.rotation) + (p.caption.empty() ? "" : "/" + p.caption) + " ";
    return text;
  };
  bool undoEnabledAtEnd = true;
  // What a window that shows photos reads when it is told of a change.
  std::vector<std::string> told;
  s.program.onPhotosChanged = [&](glimra::collection::OrnamentId) { told.push_back(describe()); };
  s.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, STAR); })
      .check([&](ScriptedWindow& w) {
        EXPECT_FALSE(w.isEnabled(control::UNDO));
        EXPECT_TRUE(s.program.addPhotos({file("front.jpg"), file("back.jpg")}));
        EXPECT_TRUE(w.isEnabled(control::UNDO));
        EXPECT_TRUE(s.program.movePhoto(1, 0));
        EXPECT_TRUE(s.program.setPhotoRole(0, PhotoRole::Back));
        EXPECT_TRUE(s.program.setPhotoCaption(0, "Seen from behind"));
        EXPECT_TRUE(s.program.setPhotoRotation(0, -1));
        EXPECT_TRUE(s.program.removePhoto(1));
        EXPECT_FALSE(s.program.setPhotoRotation(0, 3)) << "no change, no operation";
        // A file that is no photo: refused by name, nothing added, no operation.
        EXPECT_FALSE(s.program.addPhotos({file("box.jpg"), file("list.txt")}));
        steps.push_back(describe());
      });
  for (int i = 0; i < 6; ++i)
    s.act([](ScriptedWindow& w) { w.click(control::UNDO); }).check([&](ScriptedWindow&) { steps.push_back(describe()); });
  s.check([&](ScriptedWindow& w) { undoEnabledAtEnd = w.isEnabled(control::UNDO); });
  s.run();
  EXPECT_EQ(steps, (std::vector<std::string>{
                       "back/Back/3/Seen from behind ",
                       "back/Back/3/Seen from behind front/Front/0 ",  // the removal undone
                       "back/Back/0/Seen from behind front/Front/0 ",  // … the rotation
                       "back/Back/0 front/Front/0 ",                   // … the caption
                       "back/Other/0 front/Front/0 ",                  // … the role
                       "front/Front/0 back/Other/0 ",                  // … the move
                       "",                                             // … the adding
                   }));
  EXPECT_FALSE(undoEnabledAtEnd);
  ASSERT_EQ(told.size(), 12u) << "six changes and six undos, each told once";
  EXPECT_EQ(told[5], steps[0]) << "told after the change, it reads the new list";
  EXPECT_EQ(std::vector<std::string>(told.begin() + 6, told.end()), std::vector<std::string>(steps.begin() + 1, steps.end()));
  ASSERT_EQ(s.runtime.messages.size(), 1u);
  EXPECT_NE(s.runtime.messages[0].text.find(file("list.txt")), std::string::npos) << s.runtime.messages[0].text;
  EXPECT_EQ(s.runtime.messages[0].caption, "Add Photos");
}

TEST_F(PhotosTest, SaveAsExportArchiveAndOpeningTheArchiveCarryThePhotos) {
  PhotoSession s;
  s.runtime.fileAnswers = {file("Copy.GLM"), file("Tree.zip"), file("Tree.zip"), file("Unpacked.GLM")};
  s.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, STAR); })
      .check([&](ScriptedWindow&) { EXPECT_TRUE(s.program.addPhotos({file("front.jpg"), file("back.jpg")})); })
      .act([](ScriptedWindow& w) { w.click(control::FILESAVEAS); })
      .act([](ScriptedWindow& w) { w.click(control::FILEEXPORTARCHIVE); })
      .act([](ScriptedWindow& w) { w.click(control::FILEOPEN); })
      .act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, STAR); })
      .check([&](ScriptedWindow& w) {
        EXPECT_EQ(w.caption().find(file("Unpacked.GLM")) != std::string::npos, true) << w.caption();
        EXPECT_EQ(originalNames(s.program.photosOfShownOrnament()),
                  (std::vector<std::string>{"front.jpg", "back.jpg"}));
      });
  s.run();
  for (const char* collection : {"Copy.GLM", "Unpacked.GLM"}) {
    SCOPED_TRACE(collection);
    const auto report = glimra::collection::checkPhotos(glimra::datafile::posixFileSystem(), file(collection));
    EXPECT_EQ(report.photos, 2u);
    EXPECT_TRUE(report.problems.empty());
  }
  EXPECT_EQ(glimra::collection::storedFileNames(path("Unpacked.photos").string()),
            glimra::collection::storedFileNames(path("Tree.photos").string()));
  ASSERT_FALSE(s.runtime.fileDialogs.empty());
  EXPECT_EQ(s.runtime.fileDialogs[2].filters, "Glimra|*.GLM|Collection archive|*.zip|ALL|*.*");
  EXPECT_EQ(s.runtime.fileDialogs[3].title, "Unpack Collection Archive");
}

}  // namespace
}  // namespace catalogue_test
