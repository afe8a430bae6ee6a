// SPDX-License-Identifier: GPL-3.0-or-later
// The standard warnings: the messages through which opening a collection file
// and the reports tell the user of a data-file failure, built as data. The
// window layer shows the message and, for a fatal warning, ends the program
// with haltMessage; warningOutcome says what follows the button pressed.
//
// Invariants: the error description (ERRORTEXT) is at most 150 characters; for
// file error 90 it names the operating system's error and code, otherwise the
// data-file layer's error text and code. Texts passed in lose their trailing
// blanks; a file name is never cut.
#pragma once

#include <string>
#include <string_view>

namespace glimra::collection {

// Warning numbers.
namespace Warning {
enum : int {
  INVALID_FILE = 1,
  INVALID_KEY = 2,
  KEY_REBUILD_ERROR = 3,
  FILE_CREATION_ERROR = 4,
  CREATED_FILE_OPEN_ERROR = 5,
  FILE_ACCESS_ERROR = 30,
  RECORD_RETRIEVAL_ERROR = 35,
  VIEW_OPEN_ERROR = 36,
};
}  // namespace Warning

enum class WarningIcon { INFORMATION, EXCLAMATION, STOP };

// Message-box buttons, combinable into a set; a box returns the one pressed.
namespace WarningButton {
enum : int { OK = 1, YES = 2, NO = 4 };
}  // namespace WarningButton

inline constexpr std::size_t ERRORTEXT_SIZE = 150;

struct StandardWarningMessage {
  bool known = false;          // false for a warning number that has no message
  std::string caption;
  std::string text;
  WarningIcon icon = WarningIcon::INFORMATION;
  int buttons = WarningButton::OK;        // set of WarningButton
  int defaultButton = WarningButton::OK;
  // The message of the "Halt" box (stop icon, OK) that ends the program;
  // empty when the warning never ends it. Warning 2 ends it only on No.
  std::string haltMessage;
};

// What happens after the user pressed a button of a warning's message box.
struct WarningOutcome {
  bool halt = false;    // end the program with the warning's haltMessage
  int returnValue = 0;  // the warning's result when it does not halt
};

// ERRORTEXT: "<error text> (<code>)", or for error 90
// "<OS error text> (<OS error code>)", cut to 150 characters.
std::string standardErrorText(int errorCode, std::string_view errorText, std::string_view osErrorText,
                              std::string_view osErrorCode);

StandardWarningMessage standardWarningMessage(int WARNINGID, int errorCode, std::string_view errorText,
                                              std::string_view osErrorText, std::string_view osErrorCode,
                                              std::string_view WARNINGTEXT1 = {},
                                              std::string_view WARNINGTEXT2 = {});

WarningOutcome warningOutcome(int WARNINGID, int pressedButton);

}  // namespace glimra::collection
