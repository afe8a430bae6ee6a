// SPDX-License-Identifier: GPL-3.0-or-later
// PhotoPane: the picture beside the main window's form — the first photo of
// the ornament shown, fitted into the pane and centred, or a line that says
// how to add one. A left click on it asks for the viewer.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace glimra::catalogue {

class PhotoPane final : public QWidget {
  Q_OBJECT

 public:
  // What the pane shows when there is no picture to show.
  static constexpr const char* NO_PHOTO_TEXT = "No photo \u2014 drop one here";

  explicit PhotoPane(QWidget* parent = nullptr);

  // Shows `image` (a null image: the placeholder, or nothing when `text` is empty).
  void showPicture(const QImage& image, const QString& text);
  const QImage& picture() const { return image_; }
  QString text() const { return text_; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;  // a click is a press and a release on the pane
  QImage image_;
  QString text_;
};

}  // namespace glimra::catalogue
