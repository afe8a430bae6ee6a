// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/messages.h"

#include "collection/standard_warning.h"
#include "datafile/file_errors.h"
#include "runtime/last_error.h"

namespace glimra::program {

namespace WarningButton = collection::WarningButton;
using collection::WarningIcon;
using runtime::Button;
using runtime::MessageBox;
using runtime::MessageIcon;

std::string fileErrorMessage(const datafile::DataFile& file) {
  std::string text = file.errorText();
  if (file.errorCode() == datafile::FileError::FILE_SYSTEM_ERROR && !file.fileErrorText().empty())
    text += " (" + file.fileErrorText() + ")";
  // A wait for another program that was given up leaves everything as it was.
  if (file.errorCode() == datafile::FileError::FILE_ALREADY_LOCKED)
    text += " (another program is using the file; nothing was changed)";
  return text;
}

void CHECKERROR(runtime::Runtime& runtime, int code, std::string_view text, std::string_view caption) {
  if (code == 0) return;
  runtime.message(MessageBox{std::string(text) + std::string(10, ' '), std::string(caption),
                             MessageIcon::Information, runtime::Ok, runtime::Ok});
}

void CHECKERROR(runtime::Runtime& runtime, const datafile::DataFile& file, std::string_view caption) {
  CHECKERROR(runtime, file.errorCode(), fileErrorMessage(file), caption);
}

void CHECKERROR(runtime::Runtime& runtime, std::string_view caption) {
  const runtime::RuntimeError& error = runtime::lastError();
  CHECKERROR(runtime, error.code, error.text, caption);
}

namespace {

unsigned toRuntimeButtons(int buttons) {
  unsigned result = 0;
  if (buttons & WarningButton::OK) result |= runtime::Ok;
  if (buttons & WarningButton::YES) result |= runtime::Yes;
  if (buttons & WarningButton::NO) result |= runtime::No;
  return result;
}

int fromRuntimeButton(Button button) {
  switch (button) {
    case runtime::Yes: return WarningButton::YES;
    case runtime::No: return WarningButton::NO;
    case runtime::Ok: return WarningButton::OK;
    default: return 0;
  }
}

MessageIcon toRuntimeIcon(WarningIcon icon) {
  switch (icon) {
    case WarningIcon::EXCLAMATION: return MessageIcon::Exclamation;
    case WarningIcon::STOP: return MessageIcon::Stop;
    case WarningIcon::INFORMATION: break;
  }
  return MessageIcon::Information;
}

}  // namespace

int STANDARDWARNING(runtime::Runtime& runtime, const datafile::DataFile& file, int WARNINGID,
                    std::string_view WARNINGTEXT1, std::string_view WARNINGTEXT2) {
  const auto built = collection::standardWarningMessage(WARNINGID, file.errorCode(), file.errorText(),
                                                        file.fileErrorText(), file.fileErrorCode(),
                                                        WARNINGTEXT1, WARNINGTEXT2);
  if (!built.known) return 0;
  const unsigned buttons = toRuntimeButtons(built.buttons);
  const auto defaultButton = static_cast<Button>(toRuntimeButtons(built.defaultButton));
  const Button pressed = runtime.message(
      MessageBox{built.text, built.caption, toRuntimeIcon(built.icon), buttons, defaultButton});
  const auto outcome = collection::warningOutcome(WARNINGID, fromRuntimeButton(pressed));
  if (outcome.halt) runtime.halt(built.haltMessage);
  return outcome.returnValue;
}

}  // namespace glimra::program
