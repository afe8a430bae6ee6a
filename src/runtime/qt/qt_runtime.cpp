// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/qt/qt_runtime.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QDir>
#include <QProgressBar>
#include <QStandardPaths>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>

#include "runtime/qt/help_window.h"
#include "runtime/qt/qt_text.h"
#include "runtime/qt/qt_window.h"

// The icons are compiled into this static library; registering them here
// keeps the linker from dropping them.
static void registerRuntimeResources() { Q_INIT_RESOURCE(icons); }

namespace glimra::runtime {

namespace {

struct ButtonPair {
  Button button;
  QMessageBox::StandardButton qt;
};
constexpr ButtonPair kButtons[] = {
    {Ok, QMessageBox::Ok},         {Yes, QMessageBox::Yes},     {No, QMessageBox::No},
    {Cancel, QMessageBox::Cancel}, {Abort, QMessageBox::Abort}, {Retry, QMessageBox::Retry},
    {Ignore, QMessageBox::Ignore},
};

QMessageBox::Icon qtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QtRuntime::QtRuntime() {
  registerRuntimeResources();
  setExitPath([](int code) { std::exit(code); });
}

QtRuntime::~QtRuntime() { delete help_; }

std::unique_ptr<Window> QtRuntime::open(const WindowDeclaration& declaration) {
  return std::make_unique<QtWindow>(*this, declaration);
}

Button QtRuntime::message(const MessageBox& box) {
  QMessageBox dialog(qtIcon(box.icon), QString::fromStdString(box.caption), QString::fromStdString(box.text),
                     QMessageBox::NoButton,
                     QApplication::activeWindow());
  dialog.setWindowModality(Qt::ApplicationModal);
  unsigned buttons = box.buttons ? box.buttons : Ok;
  for (const auto& pair : kButtons)
    if (buttons & pair.button) dialog.addButton(pair.qt);
  const Button fallback = (buttons & box.defaultButton) ? box.defaultButton
                          : (buttons & Ok)              ? Ok
                                                        : Yes;
  if (QAbstractButton* chosen = dialog.button(
          std::find_if(std::begin(kButtons), std::end(kButtons), [&](const ButtonPair& p) { return p.button == fallback; })->qt))
    dialog.setDefaultButton(qobject_cast<QPushButton*>(chosen));
  // Closing the box counts as Cancel, or No, when it offers one.
  const Button escape = (buttons & Cancel) ? Cancel : (buttons & No) ? No : fallback;
  for (const auto& pair : kButtons)
    if (pair.button == escape) dialog.setEscapeButton(pair.qt);
  dialog.exec();
  QAbstractButton* clicked = dialog.clickedButton();
  for (const auto& pair : kButtons)
    if (clicked && dialog.standardButton(clicked) == pair.qt) return pair.button;
  return escape;
}

QString QtRuntime::nameFilters(std::string_view filters) {
  const QStringList parts = QString::fromStdString(std::string(filters)).split(QLatin1Char('|'));
  QStringList result;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      const QString trimmed = pattern.trimmed();
      patterns << trimmed;
      // File names are case-sensitive here; "*.GLM" also finds "x.glm".
      if (trimmed.toLower() != trimmed) patterns << trimmed.toLower();
    }
    result << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.join(QLatin1Char(' ')));
  }
  return result.join(QStringLiteral(";;"));
}

std::optional<std::string> QtRuntime::chooseFile(const FileDialog& request) {
  QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title),
                     QFile::decodeName(request.path.c_str()), nameFilters(request.filters));
  dialog.setWindowModality(Qt::ApplicationModal);
  if (request.kind == FileDialogKind::Open) {
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
  } else {
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);  // asks before overwriting
    // A name typed without an extension gets the first filter's one.
    const QString first = QString::fromStdString(request.filters).section(QLatin1Char('|'), 1, 1);
    if (first.startsWith(QStringLiteral("*.")) && !first.mid(2).contains(QLatin1Char('*')))
      dialog.setDefaultSuffix(first.mid(2));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // The name as the file system spells it, never the record's code page.
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

int QtRuntime::popupMenu(std::string_view items) {
  QMenu menu;
  int number = 0;
  for (const QString& item : toQt(items).split(QLatin1Char('|'))) {
    if (item == QStringLiteral("-")) {
      menu.addSeparator();
      continue;
    }
    ++number;
    QString text = item;
    bool checked = false;
    if (text.startsWith(QLatin1Char('+'))) {
      checked = true;
      text.remove(0, 1);
    } else if (text.startsWith(QLatin1Char('-'))) {
      text.remove(0, 1);
    }
    QAction* action = menu.addAction(text);
    action->setCheckable(checked);
    action->setChecked(checked);
    action->setData(number);
  }
  QAction* chosen = menu.exec(QCursor::pos());
  return chosen ? chosen->data().toInt() : 0;
}

namespace {

// The notice is a modal dialog shown without a loop of its own: the program
// keeps working (retrying its lock) and looks at it between attempts.
class QtWaitNotice final : public WaitNotice {
 public:
  QtWaitNotice(std::string_view text, std::string_view caption) {
    QWidget* owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
    dialog_ = new QDialog(owner);
    dialog_->setObjectName(QStringLiteral("waitNotice"));
    dialog_->setWindowTitle(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(dialog_);
    auto* label = new QLabel(QString::fromUtf8(text.data(), qsizetype(text.size())), dialog_);
    label->setWordWrap(true);
    label->setMinimumWidth(440);
    layout->addWidget(label);
    auto* busy = new QProgressBar(dialog_);
    busy->setRange(0, 0);  // no end known: it only shows that the program lives
    busy->setTextVisible(false);
    layout->addWidget(busy);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, dialog_);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog_, &QDialog::reject);
    // Esc and the close box reject the dialog too.
    QObject::connect(dialog_, &QDialog::rejected, dialog_, [this] {
      cancelled_ = true;
      if (loop_) loop_->quit();
    });
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
  }
  ~QtWaitNotice() override { delete dialog_; }

  bool cancelled() override {
    // A short spell of the event loop: the notice paints and takes the
    // user's Cancel, and the program's retries leave the processor be.
    if (!cancelled_ && dialog_) {
      QEventLoop loop;
      loop_ = &loop;
      QTimer::singleShot(80, &loop, &QEventLoop::quit);
      loop.exec();
      loop_ = nullptr;
    }
    return cancelled_ || !dialog_;
  }

 private:
  QPointer<QDialog> dialog_;
  QEventLoop* loop_ = nullptr;
  bool cancelled_ = false;
};

}  // namespace

std::unique_ptr<WaitNotice> QtRuntime::showWaitNotice(std::string_view text, std::string_view caption) {
  return std::make_unique<QtWaitNotice>(text, caption);
}

void QtRuntime::beep(int) { QApplication::beep(); }

std::string QtRuntime::documentsFolder() const {
  // The desktop's documents folder; the home folder where there is none.
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString folder = !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
  return QFile::encodeName(folder).toStdString();
}

void QtRuntime::setHelpFile(std::string_view name) { helpName_ = name; }

void QtRuntime::setHelpPages(const QString& directory) {
  helpPages_ = directory;
  delete help_;
}

HelpWindow* QtRuntime::helpWindow() const { return help_; }

HelpWindow* QtRuntime::ensureHelp() {
  if (!help_) help_ = new HelpWindow(helpPages_);
  // Help stands beside the work, not in its way: not modal, and a child of
  // the window that has the input (every program window is modal), so the
  // user reads and types in turn.
  QWidget* owner = QApplication::activeModalWidget();
  if (owner && help_->parentWidget() != owner) help_->setParent(owner, help_->windowFlags() | Qt::Window);
  return help_;
}

void QtRuntime::showHelpContents() { ensureHelp()->showContents(); }

void QtRuntime::showHelpSearch() { ensureHelp()->showSearch(); }

}  // namespace glimra::runtime
