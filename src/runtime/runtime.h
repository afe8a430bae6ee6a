// SPDX-License-Identifier: GPL-3.0-or-later
// Runtime: what the program asks of the windowing system besides its own
// windows — opening windows, message boxes, file dialogs, a pop-up menu,
// notices of a wait, sounds, help, and ending the program.
//
// The program receives a Runtime& and never names the toolkit. QtRuntime shows
// real windows; ScriptedRuntime answers from a script for tests. Texts are
// Windows-1252, except where file names appear: the texts of message boxes
// and file dialogs, and the paths a file dialog starts at and returns, are
// UTF-8 (the file system's names, which Windows-1252 cannot always hold);
// record text put into a message is converted with cp1252ToUtf8.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/declaration.h"
#include "runtime/window.h"

namespace glimra::runtime {

enum class MessageIcon { None, Information, Exclamation, Question, Stop };

// Buttons of a message box (bitwise or); the answer is one of them.
enum Button : unsigned {
  NoButton = 0,
  Ok = 1u << 0,
  Cancel = 1u << 1,
  Yes = 1u << 2,
  No = 1u << 3,
  Abort = 1u << 4,
  Retry = 1u << 5,
  Ignore = 1u << 6,
};

struct MessageBox {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::Information;
  unsigned buttons = Ok;
  Button defaultButton = Ok;
  bool operator==(const MessageBox&) const = default;
};

enum class FileDialogKind {
  Open,  // the chosen file must exist
  Save,  // asks before an existing file is overwritten
};

struct FileDialog {
  FileDialogKind kind = FileDialogKind::Open;
  std::string title;
  std::string filters;  // "Glimra|*.GLM|ALL|*.*": pairs of name and pattern
  std::string path;     // the file or directory it starts at
  bool operator==(const FileDialog&) const = default;
};

// Sound codes of beep().
enum Sound : int {
  DefaultSound = 0,
  StopSound = 16,
  QuestionSound = 32,
  ExclamationSound = 48,
  InformationSound = 64,
};

// A notice shown while the program waits for something outside it, such as
// a file another program is writing: a caption, a text (UTF-8) and a Cancel
// button, in front of the program's windows, which take no input while it
// shows. It goes when the object is destroyed.
class WaitNotice {
 public:
  virtual ~WaitNotice() = default;
  // Lets the screen and the user catch up for a moment; true once the user
  // has pressed Cancel (or Esc, or closed the notice).
  virtual bool cancelled() = 0;
};

class Runtime {
 public:
  virtual ~Runtime() = default;

  virtual std::unique_ptr<Window> open(const WindowDeclaration& declaration) = 0;

  // Shows a message box and returns the button pressed (Cancel or No when the
  // box is closed without a button, if it has one; else the default button).
  virtual Button message(const MessageBox& box) = 0;
  // The chosen file's full path, or nothing when the user cancels.
  virtual std::optional<std::string> chooseFile(const FileDialog& dialog) = 0;
  // A pop-up menu from "-Item|-|+Checked|…" ("-" a plain item, "+" a checked
  // one, a lone "-" a separator); the number of the chosen item counted without
  // separators, 0 when dismissed.
  virtual int popupMenu(std::string_view items) = 0;
  virtual std::unique_ptr<WaitNotice> showWaitNotice(std::string_view text, std::string_view caption) = 0;
  virtual void beep(int sound) = 0;
  // The user's documents folder (UTF-8), where file dialogs start when no
  // collection names a folder of its own.
  virtual std::string documentsFolder() const = 0;

  // Help: a set of pages; the name is kept for the help window's title.
  virtual void setHelpFile(std::string_view name) = 0;
  virtual std::string helpFile() const = 0;
  virtual void showHelpContents() = 0;
  virtual void showHelpSearch() = 0;

  // Ends the program: a message box captioned "Halt" with the stop icon, the
  // message and OK, then the exit path with code 0. Returns only when a test
  // has given an exit path that returns.
  void halt(std::string_view text) {
    message(MessageBox{std::string(text), "Halt", MessageIcon::Stop, Ok, Ok});
    exitPath_(0);
  }
  // The exit path called by halt(); the program closes its files there.
  void setExitPath(std::function<void(int)> exitPath) { exitPath_ = std::move(exitPath); }

 protected:
  std::function<void(int)> exitPath_;
};

}  // namespace glimra::runtime
