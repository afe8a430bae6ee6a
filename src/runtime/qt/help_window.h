// SPDX-License-Identifier: GPL-3.0-or-later
// HelpWindow: the help pages (HTML files in one directory or resource
// directory) with a Contents tab that shows index.html and its links, and a
// Search tab that finds every page containing all the words typed, whatever
// their case, the most relevant first. It is titled "<application> Help" and
// is not modal: the user reads it while working in the program. Each time it
// comes up it stands beside the window it belongs to (its parent), not over
// it; once up, it stays where the user puts it.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace glimra::runtime {

class HelpWindow final : public QDialog {
  Q_OBJECT
 public:
  explicit HelpWindow(const QString& pagesDirectory, QWidget* parent = nullptr);

  void showContents();
  void showSearch();
  // The pages containing every word of `words`, most relevant first (the
  // words' count on the page, a title's words weighing ten times more);
  // equally relevant pages in file-name order.
  QStringList search(const QString& words);
  QTextBrowser* browser() const { return browser_; }

  // Where a window of `size` (its frame) stands beside `owner` (a frame) on
  // the usable area `screen`: right of it when there is room, else left of
  // it, else on the side with more room, narrowed down to MINIMUM_WIDTH;
  // where neither side has that much, at the screen's left edge over no more
  // than the owner's left two fifths (the list of the main window, not its
  // form). Never outside the screen; the height is the owner's where the
  // screen allows.
  static QRect besideRect(const QRect& owner, const QSize& size, const QRect& screen);
  static constexpr int MINIMUM_WIDTH = 360;

 private:
  struct Page {
    QString file;
    QString title;
    QString text;  // plain text, lower case
  };
  void loadPages();
  void showBesideOwner();

  QString directory_;
  std::vector<Page> pages_;
  bool loaded_ = false;
  QTabWidget* tabs_ = nullptr;
  QTextBrowser* browser_ = nullptr;
  QLineEdit* query_ = nullptr;
  QListWidget* results_ = nullptr;
};

}  // namespace glimra::runtime
