// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/qt/help_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace glimra::runtime {

namespace {

// A page's address: resource directories (":/help") become qrc: addresses.
QUrl pageUrl(const QString& directory, const QString& file) {
  const QString path = QDir(directory).filePath(file);
  return path.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + path) : QUrl::fromLocalFile(path);
}

}  // namespace

HelpWindow::HelpWindow(const QString& pagesDirectory, QWidget* parent) : QDialog(parent), directory_(pagesDirectory) {
  setWindowTitle(QApplication::applicationName().isEmpty() ? tr("Help")
                                                           : tr("%1 Help").arg(QApplication::applicationName()));
  setWindowModality(Qt::NonModal);
  resize(640, 520);
  tabs_ = new QTabWidget(this);

  browser_ = new QTextBrowser;
  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({directory_});
  // The pages share one style sheet, help.css beside them.
  QFile style(QDir(directory_).filePath(QStringLiteral("help.css")));
  if (style.open(QIODevice::ReadOnly)) browser_->document()->setDefaultStyleSheet(QString::fromUtf8(style.readAll()));
  tabs_->addTab(browser_, tr("Contents"));

  auto* searchPage = new QWidget;
  query_ = new QLineEdit;
  query_->setPlaceholderText(tr("Words to find"));
  auto* find = new QPushButton(tr("&Find"));
  results_ = new QListWidget;
  auto* row = new QHBoxLayout;
  row->addWidget(query_, 1);
  row->addWidget(find);
  auto* column = new QVBoxLayout(searchPage);
  column->addWidget(new QLabel(tr("Find the pages that contain all these words:")));
  column->addLayout(row);
  column->addWidget(results_, 1);
  tabs_->addTab(searchPage, tr("Search"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);

  auto runSearch = [this] {
    results_->clear();
    const QStringList found = search(query_->text());
    for (const QString& file : found) {
      const auto page = std::find_if(pages_.begin(), pages_.end(), [&](const Page& p) { return p.file == file; });
      auto* item = new QListWidgetItem(page == pages_.end() ? file : page->title, results_);
      item->setData(Qt::UserRole, file);
    }
    if (found.isEmpty()) results_->addItem(tr("No page contains these words."));
  };
  connect(find, &QPushButton::clicked, this, runSearch);
  connect(query_, &QLineEdit::returnPressed, this, runSearch);
  connect(results_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const QString file = item->data(Qt::UserRole).toString();
    if (file.isEmpty()) return;
    browser_->setSource(pageUrl(directory_, file));
    tabs_->setCurrentWidget(browser_);
  });
}

void HelpWindow::loadPages() {
  if (loaded_) return;
  loaded_ = true;
  const QDir dir(directory_);
  for (const QString& file : dir.entryList({QStringLiteral("*.html"), QStringLiteral("*.htm")}, QDir::Files, QDir::Name)) {
    QFile in(dir.filePath(file));
    if (!in.open(QIODevice::ReadOnly)) continue;
    const QString html = QString::fromUtf8(in.readAll());
    QTextDocument document;
    document.setHtml(html);
    QString title = document.metaInformation(QTextDocument::DocumentTitle);
    if (title.isEmpty()) title = file;
    pages_.push_back(Page{file, title, document.toPlainText().toLower()});
  }
}

QStringList HelpWindow::search(const QString& words) {
  loadPages();
  const QStringList wanted = words.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  QStringList found;
  if (wanted.isEmpty()) return found;
  // Relevance: each word counts once for every time the page says it and
  // ten times more when the title says it; ties stay in file-name order.
  std::vector<std::pair<int, QString>> ranked;
  for (const Page& page : pages_) {
    int score = 0;
    bool all = true;
    for (const QString& word : wanted) {
      const int inText = static_cast<int>(page.text.count(word));
      if (inText == 0) {
        all = false;
        break;
      }
      score += inText + 10 * static_cast<int>(page.title.toLower().count(word));
    }
    if (all) ranked.emplace_back(score, page.file);
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& [score, file] : ranked) found << file;
  return found;
}

QRect HelpWindow::besideRect(const QRect& owner, const QSize& size, const QRect& screen) {
  constexpr int GAP = 4;
  const int height = std::min(screen.height(), std::max(size.height(), owner.height()));
  const int top = std::clamp(owner.top(), screen.top(), screen.bottom() + 1 - height);
  const int right = screen.right() - owner.right() - GAP;  // room right of the owner
  const int left = owner.left() - screen.left() - GAP;
  if (right >= size.width()) return QRect(owner.right() + 1 + GAP, top, size.width(), height);
  if (left >= size.width()) return QRect(owner.left() - GAP - size.width(), top, size.width(), height);
  if (std::max(left, right) >= MINIMUM_WIDTH) {
    if (right >= left) return QRect(owner.right() + 1 + GAP, top, right, height);
    return QRect(screen.left(), top, left, height);
  }
  // Over the owner's left two fifths at most: the main window's list, not its form.
  const int overLeft = std::max(MINIMUM_WIDTH, owner.left() - screen.left() + owner.width() * 2 / 5);
  return QRect(screen.left(), top, std::min({size.width(), screen.width(), overLeft}), height);
}

void HelpWindow::showBesideOwner() {
  if (isVisible()) return raise();
  QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
  if (owner && owner->isVisible() && screen) {
    // The frame of the help window is taken to be as thick as the owner's.
    const QSize decoration = owner->frameGeometry().size() - owner->size();
    const QRect at = besideRect(owner->frameGeometry(), size() + decoration, screen->availableGeometry());
    resize(at.size() - decoration);
    move(at.topLeft());
  }
  show();
  raise();
}

void HelpWindow::showContents() {
  const QString index = QDir(directory_).filePath(QStringLiteral("index.html"));
  if (QFile::exists(index))
    browser_->setSource(pageUrl(directory_, QStringLiteral("index.html")));
  else
    browser_->setHtml(tr("<p>No help pages are installed.</p>"));
  tabs_->setCurrentWidget(browser_);
  showBesideOwner();
}

void HelpWindow::showSearch() {
  tabs_->setCurrentIndex(1);
  showBesideOwner();
  query_->setFocus();
}

}  // namespace glimra::runtime
