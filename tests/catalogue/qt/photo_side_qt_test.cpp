// SPDX-License-Identifier: GPL-3.0-or-later
// The photos beside the form and in the viewer, on the real toolkit: files
// dropped on the form from a file manager, an image pasted from the
// clipboard, the picture shown beside the form, and the viewer's changes,
// each taken back by the main window's Undo.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QUrl>

#include "catalogue/qt/photo_pane.h"
#include "catalogue/qt/photo_side.h"
#include "catalogue/qt/photo_viewer.h"
#include "catalogue/qt/qt_session.h"
#include "collection/photo_fixture.h"
#include "collection/qt/photo_images_qt.h"

namespace catalogue_test {
namespace {

using glimra::catalogue::PhotoPane;
using glimra::catalogue::PhotoSide;
using glimra::catalogue::PhotoViewer;
using glimra::collection::PhotoEntry;
using glimra::collection::PhotoRole;

// A picture a camera could have taken: `colour` with a white disc.
QString writeImage(const fs::path& file, QColor colour, QSize size = {320, 240}) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  QPainter painter(&image);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QRect(QPoint(size.width() / 4, size.height() / 4), size / 2));
  painter.end();
  const QString path = QString::fromStdString(file.string());
  image.save(path);
  return path;
}

// Drops `files` on `target` as a file manager does: enter, then drop.
bool dropFiles(QWidget* target, const QStringList& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& file : files) urls << QUrl::fromLocalFile(file);
  mime.setUrls(urls);
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return enter.isAccepted() && drop.isAccepted();
}

std::vector<std::string> originalNames(const std::vector<PhotoEntry>& photos) {
  std::vector<std::string> names;
  for (const PhotoEntry& photo : photos) names.push_back(photo.originalName);
  return names;
}

class PhotoSideTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    remember(path("Tree.GLM"));
    writeCollection(path("Tree.GLM"), TREE);
  }
  QString cacheFolder() { return QString::fromStdString(path("cache/photos").string()); }
  // A session with the photo side the program gives its main window.
  struct Session {
    explicit Session(const QString& cacheFolder) : cache(cacheFolder), side(qt.program, cache) {
      qt.shared.images = &images;
    }
    QtSession qt;
    glimra::collection::QtImageInspector images;
    glimra::collection::PhotoCache cache;
    PhotoSide side;
  };
};

TEST_F(PhotoSideTest, FilesDroppedOnTheFormBecomePhotosAndUndoTakesThemBack) {
  const QString red = writeImage(path("red.jpg"), Qt::red), blue = writeImage(path("blue.png"), Qt::blue);
  const QString notImage = QString::fromStdString(path("notes.jpg").string());
  photo_test::writeBytes(notImage.toStdString(), "notes, not a picture");
  Session photoSession(cacheFolder());
  QtSession& session = photoSession.qt;
  auto& cache = photoSession.cache;
  PhotoSide& side = photoSession.side;
  std::vector<std::string> afterDrop, afterRefusal, afterUndo;
  QString placeholder, nameAfterDrop;
  bool paneHasPicture = false, dropAccepted = false;
  session.act([&](User& user) {
           user.clickRow("Bell");
           placeholder = side.pane()->text();
           // Onto the Name field: a file is never typed into it as text.
           dropAccepted = dropFiles(user.widget(control::GL_NAME), {red, blue});
         })
      .act([&](User& user) {
        afterDrop = originalNames(session.program.photosOfShownOrnament());
        nameAfterDrop = user.shown(control::GL_NAME);
        cache.waitForPending();
        QTest::qWait(50);
        paneHasPicture = !side.pane()->picture().isNull();
        keepPicture(side.pane(), "photo-form.png");
        dropFiles(side.pane(), {notImage});
      })
      .answer([](QMessageBox& box) {
        EXPECT_NE(box.text().toStdString().find("notes.jpg"), std::string::npos) << box.text().toStdString();
        box.button(QMessageBox::Ok)->click();
      })
      .act([&](User& user) {
        afterRefusal = originalNames(session.program.photosOfShownOrnament());
        user.chooseMenu(control::GLMUNDO);
      })
      .act([&](User&) { afterUndo = originalNames(session.program.photosOfShownOrnament()); });
  session.run();

  EXPECT_EQ(placeholder.toStdString(), PhotoPane::NO_PHOTO_TEXT);
  EXPECT_TRUE(dropAccepted);
  EXPECT_EQ(afterDrop, (std::vector<std::string>{"red.jpg", "blue.png"}));
  EXPECT_EQ(nameAfterDrop, "Bell");
  EXPECT_TRUE(paneHasPicture);
  EXPECT_EQ(afterRefusal, afterDrop);  // the refused file added nothing
  EXPECT_TRUE(afterUndo.empty());      // one drop, one entry of the history
}

TEST_F(PhotoSideTest, AnImageOnTheClipboardIsPastedAsAPngPhoto) {
  Session photoSession(cacheFolder());
  QtSession& session = photoSession.qt;
  auto& cache = photoSession.cache;
  PhotoSide& side = photoSession.side;
  std::vector<PhotoEntry> photos;
  QImage pasted(200, 100, QImage::Format_RGB32);
  pasted.fill(Qt::darkGreen);
  session.act([&](User& user) {
           user.clickRow("Star");
           QGuiApplication::clipboard()->setImage(pasted);
           user.chooseMenu(control::GLMPASTEPHOTO);
         })
      .act([&](User&) {
        photos = session.program.photosOfShownOrnament();
        QGuiApplication::clipboard()->setText(QStringLiteral("just words"));
        session.window->actionOf(control::GLMPASTEPHOTO)->trigger();
      })
      .answer([](QMessageBox& box) {
        EXPECT_EQ(box.text(), "The clipboard holds no picture to paste as a photo.");
        box.button(QMessageBox::Ok)->click();
      });
  session.run();

  ASSERT_EQ(photos.size(), 1u);
  EXPECT_EQ(photos[0].type, "png");
  EXPECT_EQ(photos[0].originalName, "Pasted photo.png");
  EXPECT_EQ(photos[0].width, 200);
  EXPECT_EQ(photos[0].height, 100);
  // The file written for the paste is gone; the photo is in the store.
  EXPECT_TRUE(QDir(QString::fromStdString(path("cache").string()))
                  .entryList({QStringLiteral("pasted-*")}, QDir::Dirs | QDir::NoDotAndDotDot)
                  .isEmpty());
}

TEST_F(PhotoSideTest, TheViewersChangesAreUndoneByTheMainWindowsUndo) {
  const QString red = writeImage(path("red.jpg"), Qt::red), blue = writeImage(path("blue.jpg"), Qt::blue),
                green = writeImage(path("green.jpg"), Qt::green);
  Session photoSession(cacheFolder());
  QtSession& session = photoSession.qt;
  auto& cache = photoSession.cache;
  PhotoSide& side = photoSession.side;
  auto names = [&] { return originalNames(session.program.photosOfShownOrnament()); };
  auto click = [&](const QString& text) {
    for (auto* button : side.viewer()->findChildren<QPushButton*>())
      if (button->text() == text) return QTest::mouseClick(button, Qt::LeftButton);
    ADD_FAILURE() << "no button " << text.toStdString();
  };
  std::vector<std::vector<std::string>> seen;
  int rotation = -1;
  PhotoRole role{};
  QString nextName;
  session.act([&](User& user) {
           user.clickRow("Angel");
           dropFiles(user.widget(control::GL_NAME), {red, blue, green});
         })
      .act([&](User&) {
        // A click on the picture opens the viewer.
        QTest::mouseClick(side.pane(), Qt::LeftButton);
      })
      .act([&](User&) {
        ASSERT_NE(side.viewer(), nullptr);
        ASSERT_TRUE(side.viewer()->isVisible());
        side.viewer()->choose(2);
        click("Make Fir&st");
      })
      .act([&](User&) {
        seen.push_back(names());
        EXPECT_EQ(side.viewer()->current(), 0);  // the viewer follows the photo it moved
        click("&Rotate");
      })
      .act([&](User&) {
        rotation = session.program.photosOfShownOrnament()[0].rotation;
        auto* roles = side.viewer()->findChild<QComboBox*>();
        roles->setCurrentIndex(roles->findText("Box"));
        emit roles->activated(roles->currentIndex());
      })
      .act([&](User&) {
        role = session.program.photosOfShownOrnament()[0].role;
        cache.waitForPending();
        QTest::qWait(50);
        keepPicture(side.viewer(), "photo-viewer.png");
        click("Re&move");
      })
      .act([&](User& user) {
        seen.push_back(names());
        // Four changes in the viewer: Undo four times in the main window.
        user.chooseMenu(control::GLMUNDO);
      })
      .act([](User& user) { user.chooseMenu(control::GLMUNDO); })
      .act([](User& user) { user.chooseMenu(control::GLMUNDO); })
      .act([](User& user) { user.chooseMenu(control::GLMUNDO); })
      .act([&](User&) {
        seen.push_back(names());
        // The next ornament of the list, from the viewer.
        click(QString::fromUtf8("Ornament \u25B6\u25B6"));
      })
      .act([&](User& user) { nextName = user.shown(control::GL_NAME); });
  session.run();

  EXPECT_EQ(nextName, "Bell");
  using Names = std::vector<std::string>;
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (Names{"green.jpg", "red.jpg", "blue.jpg"}));
  EXPECT_EQ(rotation, 1);
  EXPECT_EQ(role, PhotoRole::Box);
  EXPECT_EQ(seen[1], (Names{"red.jpg", "blue.jpg"}));
  EXPECT_EQ(seen[2], (Names{"red.jpg", "blue.jpg", "green.jpg"}));  // back to the drop's order
}

}  // namespace
}  // namespace catalogue_test
