// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/qt/photo_pane.h"

#include <QMouseEvent>
#include <QPainter>

namespace glimra::catalogue {

PhotoPane::PhotoPane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("photoPane"));
  setAcceptDrops(true);
  setCursor(Qt::PointingHandCursor);
  setAutoFillBackground(false);
}

void PhotoPane::showPicture(const QImage& image, const QString& text) {
  image_ = image;
  text_ = text;
  setToolTip(image.isNull() ? QString() : tr("Click to see every photo of this ornament"));
  update();
}

void PhotoPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = rect().adjusted(2, 2, -2, -2);
  painter.fillRect(rect(), palette().base());
  if (!image_.isNull()) {
    QSize size = image_.size();
    size.scale(area.size(), Qt::KeepAspectRatio);
    if (size.width() > image_.width() || size.height() > image_.height()) size = image_.size();
    const QRect target(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                       size.width(), size.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
  } else if (!text_.isEmpty()) {
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text_);
  }
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PhotoPane::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QWidget::mousePressEvent(event);
}

void PhotoPane::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click) emit clicked();
  QWidget::mouseReleaseEvent(event);
}

}  // namespace glimra::catalogue
