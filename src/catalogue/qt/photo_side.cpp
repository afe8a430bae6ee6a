// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/qt/photo_side.h"

#include <signal.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QListView>
#include <QMainWindow>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>
#include <cerrno>

#include "catalogue/main_window_controls.h"
#include "catalogue/qt/photo_pane.h"
#include "catalogue/qt/photo_viewer.h"
#include "runtime/qt/qt_window.h"

namespace glimra::catalogue {

using collection::PhotoEntry;
using namespace control;

namespace {

constexpr const char* PASTED_PREFIX = "pasted-";
constexpr const char* PASTED_NAME = "Pasted photo.png";
constexpr const char* IMAGE_FILTER =
    "Images (*.jpg *.jpeg *.png *.webp *.gif *.bmp *.tif *.tiff *.JPG *.JPEG *.PNG *.WEBP);;All files (*)";


bool processAlive(qint64 pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// Folders of pasted images left by a program killed between writing and
// adding one.
void removeAbandonedPastes(const QString& folder) {
  QDir parent(folder);
  const QString prefix = QString::fromLatin1(PASTED_PREFIX);
  for (const QString& name : parent.entryList({prefix + QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool ok = false;
    const qint64 pid = name.mid(prefix.size()).toLongLong(&ok);
    if (ok && pid != QCoreApplication::applicationPid() && !processAlive(pid))
      QDir(parent.filePath(name)).removeRecursively();
  }
}

}  // namespace

PhotoSide::PhotoSide(DisplayGlimra& display, collection::PhotoCache& cache) : display_(display), cache_(cache) {
  display_.photoWindows = this;
  display_.onPhotosChanged = [this](collection::OrnamentId) { reloadSoon(); };
  connect(&cache_, &collection::PhotoCache::ready, this, [this](const QString& key, const QImage&) {
    if (pane_ && !photos_.empty() && key == collection::PhotoCache::keyOf(photos_.front(), PANE_PICTURE))
      showPaneFor();
    emit pictureReady(key);
  });
  removeAbandonedPastes(pastedFolderParent());
}

PhotoSide::~PhotoSide() {
  if (display_.photoWindows == this) display_.photoWindows = nullptr;
  display_.onPhotosChanged = nullptr;
  delete viewer_.data();
}

// Pasted images are written beside the cache's own folder.
QString PhotoSide::pastedFolderParent() const { return QFileInfo(cache_.folder()).absolutePath(); }

PhotoPane* PhotoSide::pane() const { return pane_.data(); }
PhotoViewer* PhotoSide::viewer() const { return viewer_.data(); }

void PhotoSide::windowOpened(runtime::Window& window) {
  window_ = &static_cast<runtime::QtWindow&>(window);
  shown_ = {};
  shownFile_.clear();
  photos_.clear();
  if (QWidget* frame = window_->widgetOf(PHOTOFRAME)) {
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(1, 1, 1, 1);
    pane_ = new PhotoPane(frame);
    layout->addWidget(pane_);
    connect(pane_, &PhotoPane::clicked, this, [this] {
      if (!display_.photosOffered() || !window_) return;
      // A click asks for the viewer, or for photos to add when there are none.
      queue([this] {
        if (!display_.photosOffered()) return;
        if (photos_.empty())
          addPhotosFromFiles();
        else
          viewPhotos();
      });
    });
    acceptDropsOn(pane_);
    frame->raise();  // above the form's panel, whose corner it covers
    // A panel lets clicks through to what lies under it; this one holds the pane.
    frame->setAttribute(Qt::WA_TransparentForMouseEvents, false);
  }
  // Files dropped anywhere on the form are offered as photos of the ornament.
  acceptDropsOn(window_->widgetOf(PANELUSE));
  for (int control = FIRSTFORMCONTROL; control <= LASTFORMCONTROL; ++control)
    acceptDropsOn(window_->widgetOf(control));
  showPaneFor();
}

void PhotoSide::acceptDropsOn(QWidget* widget) {
  if (!widget) return;
  widget->setAcceptDrops(true);
  widget->installEventFilter(this);
  for (QWidget* child : widget->findChildren<QWidget*>()) {
    child->setAcceptDrops(true);
    child->installEventFilter(this);
  }
}

QStringList PhotoSide::localFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  return files;
}

bool PhotoSide::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (localFiles(drag->mimeData()).isEmpty()) break;
      if (display_.photosOffered())
        drag->acceptProposedAction();
      else
        drag->ignore();
      return true;  // files never land in a field as text
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QStringList files = localFiles(drop->mimeData());
      if (files.isEmpty()) break;
      if (display_.photosOffered()) {
        drop->acceptProposedAction();
        queueAdd(files);
      }
      return true;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void PhotoSide::queue(std::function<void()> change) {
  if (!window_) return;
  queued_.push_back(std::move(change));
  window_->post(PHOTOFRAME, runtime::EventKind::Accepted);
}

void PhotoSide::runQueued() {
  while (!queued_.empty()) {
    auto change = std::move(queued_.front());
    queued_.pop_front();
    change();
  }
}

void PhotoSide::queueAdd(const QStringList& files) {
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(QFile::encodeName(file).toStdString());
  queue([this, paths] { display_.addPhotos(paths); });
}

void PhotoSide::formChanged() {
  if (!window_) return;
  const collection::OrnamentId id = display_.shownOrnament();
  const std::string file = display_.GLIMRAFILE.str();
  if (id == shown_ && file == shownFile_) return;
  shown_ = id;
  shownFile_ = file;
  reloadSoon();
}

// The index is read once the main window's command has finished with the
// file (its transaction ended), from the event loop; several changes in one
// command read it once.
void PhotoSide::reloadSoon() {
  if (reloadWaits_) return;
  reloadWaits_ = true;
  QMetaObject::invokeMethod(this, [this] {
    reloadWaits_ = false;
    reload();
  }, Qt::QueuedConnection);
}

void PhotoSide::reload() {
  shown_ = display_.shownOrnament();
  shownFile_ = display_.GLIMRAFILE.str();
  photos_ = display_.photosOfShownOrnament();
  showPaneFor();
  emit photosShown();
}

QImage PhotoSide::picture(const PhotoEntry& photo, QSize box) {
  return cache_.request(photo, QFile::decodeName(display_.photoPath(photo).c_str()), box);
}

void PhotoSide::showPaneFor() {
  if (!pane_) return;
  if (photos_.empty()) {
    pane_->showPicture({}, display_.photosOffered() ? QString::fromUtf8(PhotoPane::NO_PHOTO_TEXT) : QString());
    return;
  }
  const QImage image = picture(photos_.front(), PANE_PICTURE);
  pane_->showPicture(image, image.isNull() ? QString() : QString());
}

void PhotoSide::addPhotosFromFiles() {
  if (!display_.photosOffered()) return;
  if (addFolder_.isEmpty()) addFolder_ = QFile::decodeName(display_.program.runtime.documentsFolder().c_str());
  QFileDialog dialog(QApplication::activeWindow(), tr("Add Photos"), addFolder_, QString::fromLatin1(IMAGE_FILTER));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  addFolder_ = dialog.directory().absolutePath();
  std::vector<std::string> paths;
  for (const QString& file : dialog.selectedFiles()) paths.push_back(QFile::encodeName(file).toStdString());
  display_.addPhotos(paths);
}

void PhotoSide::pastePhoto() {
  if (!display_.photosOffered()) return;
  const QImage image = QGuiApplication::clipboard()->image();
  auto say = [this](const std::string& text) {
    display_.program.runtime.message(runtime::MessageBox{text, "Paste Photo", runtime::MessageIcon::Exclamation,
                                                         runtime::Ok, runtime::Ok});
  };
  if (image.isNull()) return say("The clipboard holds no picture to paste as a photo.");
  const QString folder =
      pastedFolderParent() + QLatin1Char('/') + QLatin1String(PASTED_PREFIX) + QString::number(QCoreApplication::applicationPid());
  const QString file = folder + QLatin1Char('/') + QLatin1String(PASTED_NAME);
  if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
    QDir(folder).removeRecursively();
    return say("The pasted picture could not be written to " + QFile::encodeName(folder).toStdString() +
               " for adding: no photo was added.");
  }
  display_.addPhotos({QFile::encodeName(file).toStdString()});
  QDir(folder).removeRecursively();
}

void PhotoSide::viewPhotos() {
  if (!display_.photosOffered()) return;
  if (!viewer_) viewer_ = new PhotoViewer(*this, window_ ? window_->frame() : nullptr);
  viewer_->showOrnament();
  viewer_->show();
  viewer_->raise();
  viewer_->activateWindow();
}

void PhotoSide::moveSelection(int step) {
  if (!window_) return;
  auto* list = qobject_cast<QListView*>(window_->widgetOf(GLMLIST));
  if (!list || !list->model()) return;
  const int row = list->currentIndex().row() + step;
  if (row < 0 || row >= list->model()->rowCount()) return;
  const QModelIndex index = list->model()->index(row, 0);
  list->scrollTo(index);
  list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

}  // namespace glimra::catalogue
