// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/standard_warning.h"

#include "datafile/file_errors.h"
#include "text/fixed_text.h"

namespace glimra::collection {

std::string standardErrorText(int errorCode, std::string_view errorText, std::string_view osErrorText,
                              std::string_view osErrorCode) {
  std::string text;
  if (errorCode == datafile::FileError::FILE_SYSTEM_ERROR) {
    text = std::string(clipTrailingBlanks(osErrorText)) + " (" + std::string(clipTrailingBlanks(osErrorCode)) + ")";
  } else {
    text = std::string(clipTrailingBlanks(errorText)) + " (" + std::to_string(errorCode) + ")";
  }
  if (text.size() > ERRORTEXT_SIZE) text.resize(ERRORTEXT_SIZE);
  return text;
}

StandardWarningMessage standardWarningMessage(int WARNINGID, int errorCode, std::string_view errorText,
                                              std::string_view osErrorText, std::string_view osErrorCode,
                                              std::string_view WARNINGTEXT1, std::string_view /*WARNINGTEXT2*/) {
  // No message uses the second text; it is taken so that every caller can
  // pass what it has.
  const std::string E(clipTrailingBlanks(standardErrorText(errorCode, errorText, osErrorText, osErrorCode)));
  const std::string T1(clipTrailingBlanks(WARNINGTEXT1));
  const std::string endHere = ".  Press OK to end this application.";

  StandardWarningMessage m;
  m.known = true;
  switch (WARNINGID) {
    case Warning::INVALID_FILE:
      m.caption = "Invalid File";
      m.text = "Error: (" + E + ") accessing " + T1 + endHere;
      m.haltMessage = "Invalid File!";
      break;
    case Warning::INVALID_KEY:
      m.caption = "Invalid Key";
      m.text = T1 + " key file is invalid.  Do you want to rebuild the key?";
      m.icon = WarningIcon::EXCLAMATION;
      m.buttons = WarningButton::YES | WarningButton::NO;
      m.defaultButton = WarningButton::YES;
      m.haltMessage = "Invalid Key!";
      break;
    case Warning::KEY_REBUILD_ERROR:
      m.caption = "Key Rebuild Error";
      m.text = "Error: (" + E + ") repairing key for " + T1 + endHere;
      m.haltMessage = "Error Rebuilding Key!";
      break;
    case Warning::FILE_CREATION_ERROR:
      m.caption = "File Creation Error";
      m.text = "Error: (" + E + ") creating " + T1 + endHere;
      m.haltMessage = "File Creation Error!";
      break;
    case Warning::CREATED_FILE_OPEN_ERROR:
      m.caption = "File Creation Error";
      m.text = "Error: (" + E + ") opening created file:" + T1 + endHere;
      m.haltMessage = "File Creation Error!";
      break;
    case Warning::FILE_ACCESS_ERROR:
      m.caption = "File Access Error";
      m.text = "File (" + T1 + ") could not be opened.  Error: " + E + ".";
      break;
    case Warning::RECORD_RETRIEVAL_ERROR:
      m.caption = "Record Retrieval Error";
      m.text = "Error: (" + E + ") attempting to access a record from the " + T1 +
               " file.  Returning to previous window.";
      break;
    case Warning::VIEW_OPEN_ERROR:
      m.caption = "View Open Error";
      m.text = "Error: (" + E + ") attempting to open the current VIEW. Filter and Range Limits ignored.";
      break;
    default:
      return StandardWarningMessage{};
  }
  return m;
}

WarningOutcome warningOutcome(int WARNINGID, int pressedButton) {
  switch (WARNINGID) {
    case Warning::INVALID_FILE:
    case Warning::KEY_REBUILD_ERROR:
    case Warning::FILE_CREATION_ERROR:
    case Warning::CREATED_FILE_OPEN_ERROR:
      return {true, 0};
    case Warning::INVALID_KEY:
      return pressedButton == WarningButton::YES ? WarningOutcome{false, 2} : WarningOutcome{true, 0};
    case Warning::FILE_ACCESS_ERROR:
    case Warning::RECORD_RETRIEVAL_ERROR:
    case Warning::VIEW_OPEN_ERROR:
      return {false, pressedButton};
    default:
      return {false, 0};
  }
}

}  // namespace glimra::collection
