// SPDX-License-Identifier: GPL-3.0-or-later
// QtRuntime: the Runtime shown with Qt Widgets — real windows, message boxes,
// the platform's file dialogs, a pop-up menu, a wait notice, the system beep
// and the help window. Needs a QApplication. The exit path of halt() defaults
// to leaving the process with its code.
#pragma once

#include <QPointer>
#include <QString>

#include "runtime/runtime.h"

namespace glimra::runtime {

class HelpWindow;

class QtRuntime final : public Runtime {
 public:
  QtRuntime();
  ~QtRuntime() override;

  std::unique_ptr<Window> open(const WindowDeclaration& declaration) override;
  Button message(const MessageBox& box) override;
  std::optional<std::string> chooseFile(const FileDialog& dialog) override;
  int popupMenu(std::string_view items) override;
  std::unique_ptr<WaitNotice> showWaitNotice(std::string_view text, std::string_view caption) override;
  void beep(int sound) override;
  std::string documentsFolder() const override;
  void setHelpFile(std::string_view name) override;
  std::string helpFile() const override { return helpName_; }
  void showHelpContents() override;
  void showHelpSearch() override;

  // The directory (or resource directory, ":/help") holding the help pages;
  // its index.html is the contents page.
  void setHelpPages(const QString& directory);
  HelpWindow* helpWindow() const;

  // "Glimra|*.GLM|ALL|*.*" as a Qt name filter list; patterns match either case.
  static QString nameFilters(std::string_view filters);

 private:
  HelpWindow* ensureHelp();

  std::string helpName_;
  QString helpPages_ = QStringLiteral(":/help");
  QPointer<HelpWindow> help_;
};

}  // namespace glimra::runtime
