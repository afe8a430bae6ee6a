// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/qt/photo_viewer.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "catalogue/qt/photo_pane.h"
#include "catalogue/qt/photo_side.h"
#include "text/cp1252.h"

namespace glimra::catalogue {

using collection::PhotoEntry;

namespace {

// The display copy the large picture is drawn from, and the strip's thumbnails.
constexpr QSize DISPLAY_PICTURE{2048, 2048};
constexpr QSize STRIP_PICTURE{160, 160};
constexpr int STRIP_ICON = 88;
constexpr double WHEEL_STEP = 1.25;
constexpr double LEAST_ZOOM = 0.02;
constexpr double MOST_ZOOM = 16.0;

QString fromRecordText(const std::string& text) { return QString::fromStdString(collection::cp1252ToUtf8(text)); }

// The photo's size as shown: turned a quarter or three, width and height swap.
QSize shownSize(const PhotoEntry& photo) {
  const QSize upright(std::max(1, photo.width), std::max(1, photo.height));
  return photo.rotation % 2 ? upright.transposed() : upright;
}

}  // namespace

PhotoCanvas::PhotoCanvas(QWidget* parent) : QWidget(parent) { setMinimumSize(120, 90); }

void PhotoCanvas::setPicture(const QImage& image, QSize original) {
  image_ = image;
  original_ = original;
  resizeToZoom();
  update();
}

void PhotoCanvas::fit() {
  zoom_ = 0;
  resizeToZoom();
  emit zoomChanged();
}

void PhotoCanvas::setZoom(double zoom) {
  zoom_ = std::clamp(zoom, LEAST_ZOOM, MOST_ZOOM);
  resizeToZoom();
  emit zoomChanged();
}

double PhotoCanvas::zoom() const {
  if (zoom_ > 0 || original_.isEmpty()) return zoom_;
  const QWidget* area = parentWidget() ? parentWidget() : this;
  return std::min(1.0, std::min(static_cast<double>(area->width()) / original_.width(),
                                static_cast<double>(area->height()) / original_.height()));
}

QSize PhotoCanvas::sizeHint() const { return fitted() || original_.isEmpty() ? QSize(640, 480) : original_ * zoom_; }

void PhotoCanvas::resizeToZoom() {
  // Inside a scroll area: fitted, the canvas is the viewport's size; zoomed,
  // the picture's, and the bars range over it.
  if (auto* scroll = qobject_cast<QScrollArea*>(parentWidget() ? parentWidget()->parentWidget() : nullptr)) {
    scroll->setWidgetResizable(fitted());
    if (!fitted() && !original_.isEmpty()) resize(original_ * zoom_);
  }
  update();
}

void PhotoCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(48, 48, 48));
  if (image_.isNull() || original_.isEmpty()) return;
  const QSize size = (original_ * zoom()).expandedTo(QSize(1, 1));
  const QRect target(std::max(0, (width() - size.width()) / 2), std::max(0, (height() - size.height()) / 2),
                     size.width(), size.height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image_);
}

void PhotoCanvas::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0 || image_.isNull()) return QWidget::wheelEvent(event);
  setZoom(zoom() * std::pow(WHEEL_STEP, steps));
  event->accept();
}

struct PhotoViewer::Controls {
  QPushButton* previousOrnament;
  QPushButton* previousPhoto;
  QPushButton* nextPhoto;
  QPushButton* nextOrnament;
  QPushButton* fit;
  QPushButton* actualSize;
  QPushButton* rotate;
  QPushButton* openOriginal;
  QLabel* where;
  QScrollArea* scroll;
  PhotoCanvas* canvas;
  QListWidget* strip;
  QPushButton* add;
  QPushButton* remove;
  QPushButton* moveLeft;
  QPushButton* moveRight;
  QPushButton* makeFirst;
  QComboBox* role;
  QLineEdit* caption;
};

PhotoViewer::PhotoViewer(PhotoSide& side, QWidget* parent) : QWidget(parent, Qt::Window), side_(side), c_(new Controls) {
  setObjectName(QStringLiteral("photoViewer"));
  setWindowTitle(QString::fromLatin1(TITLE));
  auto* top = new QHBoxLayout;
  auto button = [this](QBoxLayout* row, const QString& text, const QString& tip) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  };
  c_->previousOrnament = button(top, tr("\u25C0\u25C0 Ornament"), tr("The previous ornament of the list"));
  c_->previousPhoto = button(top, tr("\u25C0 Photo"), tr("The previous photo"));
  c_->nextPhoto = button(top, tr("Photo \u25B6"), tr("The next photo"));
  c_->nextOrnament = button(top, tr("Ornament \u25B6\u25B6"), tr("The next ornament of the list"));
  top->addStretch();
  c_->where = new QLabel(this);
  top->addWidget(c_->where);
  top->addStretch();
  c_->fit = button(top, tr("&Fit"), tr("Fit the photo to the window"));
  c_->actualSize = button(top, tr("100 %"), tr("One pixel of the photo to one of the screen"));
  c_->rotate = button(top, tr("&Rotate"), tr("Turn the photo a quarter clockwise (the file stays as it is)"));
  c_->openOriginal = button(top, tr("&Open Original"), tr("Open the original file in the desktop's viewer"));

  c_->scroll = new QScrollArea(this);
  c_->scroll->setAlignment(Qt::AlignCenter);
  c_->scroll->setBackgroundRole(QPalette::Dark);
  c_->canvas = new PhotoCanvas;
  c_->scroll->setWidget(c_->canvas);
  c_->scroll->setWidgetResizable(true);

  c_->strip = new QListWidget(this);
  c_->strip->setObjectName(QStringLiteral("photoStrip"));
  c_->strip->setViewMode(QListView::IconMode);
  c_->strip->setFlow(QListView::LeftToRight);
  c_->strip->setWrapping(false);
  c_->strip->setMovement(QListView::Static);
  c_->strip->setIconSize(QSize(STRIP_ICON, STRIP_ICON));
  c_->strip->setFixedHeight(STRIP_ICON + 44);
  c_->strip->setGridSize(QSize(STRIP_ICON + 16, STRIP_ICON + 30));

  auto* bottom = new QHBoxLayout;
  c_->add = button(bottom, tr("&Add..."), tr("Add photos from files"));
  c_->remove = button(bottom, tr("Re&move"), tr("Remove this photo from the ornament"));
  c_->moveLeft = button(bottom, tr("Move &Left"), tr("Move this photo one place to the left"));
  c_->moveRight = button(bottom, tr("Move Ri&ght"), tr("Move this photo one place to the right"));
  c_->makeFirst = button(bottom, tr("Make Fir&st"), tr("Make this the photo shown for the ornament"));
  bottom->addSpacing(12);
  bottom->addWidget(new QLabel(tr("Role:"), this));
  c_->role = new QComboBox(this);
  for (const collection::PhotoRole role : collection::PHOTO_ROLES)
    c_->role->addItem(QString::fromLatin1(collection::roleName(role)), static_cast<int>(role));
  bottom->addWidget(c_->role);
  bottom->addWidget(new QLabel(tr("Caption:"), this));
  c_->caption = new QLineEdit(this);
  c_->caption->setMaxLength(static_cast<int>(collection::PHOTO_CAPTION_LENGTH));
  bottom->addWidget(c_->caption, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(c_->scroll, 1);
  layout->addWidget(c_->strip);
  layout->addLayout(bottom);
  resize(900, 680);

  DisplayGlimra& display = side_.display();
  connect(c_->previousOrnament, &QPushButton::clicked, this, [this] { side_.moveSelection(-1); });
  connect(c_->nextOrnament, &QPushButton::clicked, this, [this] { side_.moveSelection(+1); });
  connect(c_->previousPhoto, &QPushButton::clicked, this, [this] { choose(current_ - 1); });
  connect(c_->nextPhoto, &QPushButton::clicked, this, [this] { choose(current_ + 1); });
  // The keys: arrows for photos, page keys for ornaments, Esc closes.
  connect(new QShortcut(Qt::Key_Left, this), &QShortcut::activated, c_->previousPhoto, &QPushButton::click);
  connect(new QShortcut(Qt::Key_Right, this), &QShortcut::activated, c_->nextPhoto, &QPushButton::click);
  connect(new QShortcut(Qt::Key_PageUp, this), &QShortcut::activated, c_->previousOrnament, &QPushButton::click);
  connect(new QShortcut(Qt::Key_PageDown, this), &QShortcut::activated, c_->nextOrnament, &QPushButton::click);
  connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &QWidget::close);
  connect(c_->fit, &QPushButton::clicked, c_->canvas, &PhotoCanvas::fit);
  connect(c_->actualSize, &QPushButton::clicked, this, [this] { c_->canvas->setZoom(1.0); });
  connect(c_->canvas, &PhotoCanvas::zoomChanged, this, [this] { enableControls(); });
  connect(c_->strip, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && row != current_) choose(row);
  });
  connect(c_->openOriginal, &QPushButton::clicked, this, [this, &display] {
    const auto& photos = side_.photos();
    if (current_ >= static_cast<int>(photos.size())) return;
    const QString path = QFile::decodeName(display.photoPath(photos[static_cast<std::size_t>(current_)]).c_str());
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
      display.program.runtime.message(runtime::MessageBox{
          "No program of the desktop opened " + QFile::encodeName(path).toStdString() + ".", "Open Original",
          runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
  });
  // The changes: each one operation of the main window, run in its loop.
  auto change = [this](std::function<void(int)> operation, int next) {
    const int index = current_;
    side_.queue([this, operation, index, next] {
      current_ = next < 0 ? index : next;
      operation(index);
    });
  };
  connect(c_->add, &QPushButton::clicked, this, [this] { side_.queue([this] { side_.addPhotosFromFiles(); }); });
  connect(c_->remove, &QPushButton::clicked, this,
          [change, &display] { change([&display](int i) { display.removePhoto(static_cast<std::size_t>(i)); }, -1); });
  connect(c_->moveLeft, &QPushButton::clicked, this, [this, change, &display] {
    change([&display](int i) { display.movePhoto(static_cast<std::size_t>(i), static_cast<std::size_t>(i - 1)); },
           current_ - 1);
  });
  connect(c_->moveRight, &QPushButton::clicked, this, [this, change, &display] {
    change([&display](int i) { display.movePhoto(static_cast<std::size_t>(i), static_cast<std::size_t>(i + 1)); },
           current_ + 1);
  });
  connect(c_->makeFirst, &QPushButton::clicked, this, [change, &display] {
    change([&display](int i) { display.movePhoto(static_cast<std::size_t>(i), 0); }, 0);
  });
  connect(c_->rotate, &QPushButton::clicked, this, [this, change, &display] {
    change(
        [this, &display](int i) {
          const auto& photos = side_.photos();
          if (i < static_cast<int>(photos.size()))
            display.setPhotoRotation(static_cast<std::size_t>(i), photos[static_cast<std::size_t>(i)].rotation + 1);
        },
        -1);
  });
  connect(c_->role, &QComboBox::activated, this, [this, change, &display](int row) {
    const auto role = static_cast<collection::PhotoRole>(c_->role->itemData(row).toInt());
    change([&display, role](int i) { display.setPhotoRole(static_cast<std::size_t>(i), role); }, -1);
  });
  connect(c_->caption, &QLineEdit::editingFinished, this, [this, change, &display] {
    const auto& photos = side_.photos();
    if (current_ >= static_cast<int>(photos.size()) ||
        c_->caption->text() == fromRecordText(photos[static_cast<std::size_t>(current_)].caption))
      return;
    const collection::Cp1252Conversion text = collection::utf8ToCp1252(c_->caption->text().toStdString());
    if (!text.ok) {
      display.program.runtime.message(runtime::MessageBox{text.reason, "Photo Caption",
                                                          runtime::MessageIcon::Exclamation, runtime::Ok, runtime::Ok});
      return;
    }
    change([&display, caption = text.text](int i) { display.setPhotoCaption(static_cast<std::size_t>(i), caption); },
           -1);
  });
  connect(&side_, &PhotoSide::photosShown, this, [this] { showOrnament(); });
  connect(&side_, &PhotoSide::pictureReady, this, [this](const QString& key) { refreshThumbnail(key); });
}

PhotoViewer::~PhotoViewer() { delete c_; }

void PhotoViewer::showOrnament() {
  const DisplayGlimra& display = side_.display();
  const QString name = fromRecordText(std::string(display.GL.NAME.clipped()));
  setWindowTitle(name.isEmpty() ? QString::fromLatin1(TITLE) : QString::fromLatin1(TITLE) + QStringLiteral(" \u2014 ") + name);
  const int count = static_cast<int>(side_.photos().size());
  if (const collection::OrnamentId id = display.shownOrnament(); id != shown_) {
    shown_ = id;
    current_ = 0;
  }
  current_ = std::clamp(current_, 0, std::max(0, count - 1));
  fillStrip();
  showCurrent();
}

void PhotoViewer::choose(int index) {
  const int count = static_cast<int>(side_.photos().size());
  if (index < 0 || index >= count) return;
  current_ = index;
  showCurrent();
}

void PhotoViewer::fillStrip() {
  QSignalBlocker quiet(c_->strip);
  c_->strip->clear();
  int position = 0;
  for (const PhotoEntry& photo : side_.photos()) {
    auto* item = new QListWidgetItem(QString::fromLatin1(collection::roleName(photo.role)), c_->strip);
    item->setData(Qt::UserRole, collection::PhotoCache::keyOf(photo, STRIP_PICTURE));
    item->setData(Qt::UserRole + 1, position++);
    const QImage thumbnail = side_.picture(photo, STRIP_PICTURE);
    if (!thumbnail.isNull()) item->setIcon(QIcon(QPixmap::fromImage(thumbnail)));
    item->setToolTip(fromRecordText(photo.caption));
  }
}

void PhotoViewer::refreshThumbnail(const QString& key) {
  const auto& photos = side_.photos();
  for (int row = 0; row < c_->strip->count(); ++row) {
    QListWidgetItem* item = c_->strip->item(row);
    if (item->data(Qt::UserRole).toString() == key && row < static_cast<int>(photos.size())) {
      const QImage thumbnail = side_.picture(photos[static_cast<std::size_t>(row)], STRIP_PICTURE);
      if (!thumbnail.isNull()) item->setIcon(QIcon(QPixmap::fromImage(thumbnail)));
    }
  }
  if (current_ < static_cast<int>(photos.size()) &&
      key == collection::PhotoCache::keyOf(photos[static_cast<std::size_t>(current_)], DISPLAY_PICTURE))
    showCurrent();
}

void PhotoViewer::showCurrent() {
  const auto& photos = side_.photos();
  const int count = static_cast<int>(photos.size());
  {
    QSignalBlocker quiet(c_->strip);
    c_->strip->setCurrentRow(count > 0 ? current_ : -1);
  }
  if (count == 0) {
    c_->canvas->setPicture({}, {});
    c_->where->setText(tr("No photos: add one with Add..."));
    c_->caption->clear();
  } else {
    const PhotoEntry& photo = photos[static_cast<std::size_t>(current_)];
    c_->canvas->setPicture(side_.picture(photo, DISPLAY_PICTURE), shownSize(photo));
    c_->where->setText(tr("Photo %1 of %2 \u2014 %3 \u00D7 %4")
                           .arg(current_ + 1)
                           .arg(count)
                           .arg(photo.width)
                           .arg(photo.height));
    QSignalBlocker quietRole(c_->role);
    c_->role->setCurrentIndex(c_->role->findData(static_cast<int>(photo.role)));
    if (!c_->caption->hasFocus()) c_->caption->setText(fromRecordText(photo.caption));
  }
  enableControls();
}

void PhotoViewer::enableControls() {
  const int count = static_cast<int>(side_.photos().size());
  const bool offered = side_.display().photosOffered();
  const bool any = offered && count > 0;
  c_->previousPhoto->setEnabled(current_ > 0);
  c_->nextPhoto->setEnabled(current_ + 1 < count);
  c_->add->setEnabled(offered);
  for (QWidget* w : {static_cast<QWidget*>(c_->remove), static_cast<QWidget*>(c_->rotate),
                     static_cast<QWidget*>(c_->role), static_cast<QWidget*>(c_->caption),
                     static_cast<QWidget*>(c_->openOriginal), static_cast<QWidget*>(c_->fit),
                     static_cast<QWidget*>(c_->actualSize)})
    w->setEnabled(any);
  c_->moveLeft->setEnabled(any && current_ > 0);
  c_->makeFirst->setEnabled(any && current_ > 0);
  c_->moveRight->setEnabled(any && current_ + 1 < count);
}

}  // namespace glimra::catalogue
