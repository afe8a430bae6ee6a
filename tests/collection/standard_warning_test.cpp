#include "collection/standard_warning.h"

#include <gtest/gtest.h>

#include <string>

namespace glimra::collection {
namespace {

TEST(StandardWarning, EachWarningsMessage) {
  const std::string E = "File Not Found (2)";
  const std::string end = ".  Press OK to end this application.";
  const struct {
    int id;
    const char* caption;
    std::string text;
    WarningIcon icon;
    int buttons;
    int defaultButton;
    const char* halt;
  } cases[] = {
      {1, "Invalid File", "Error: (" + E + ") accessing /c/Tree.GLM" + end, WarningIcon::INFORMATION,
       WarningButton::OK, WarningButton::OK, "Invalid File!"},
      {2, "Invalid Key", "/c/Tree.GLM key file is invalid.  Do you want to rebuild the key?",
       WarningIcon::EXCLAMATION, WarningButton::YES | WarningButton::NO, WarningButton::YES, "Invalid Key!"},
      {3, "Key Rebuild Error", "Error: (" + E + ") repairing key for /c/Tree.GLM" + end,
       WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK, "Error Rebuilding Key!"},
      {4, "File Creation Error", "Error: (" + E + ") creating /c/Tree.GLM" + end, WarningIcon::INFORMATION,
       WarningButton::OK, WarningButton::OK, "File Creation Error!"},
      {5, "File Creation Error", "Error: (" + E + ") opening created file:/c/Tree.GLM" + end,
       WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK, "File Creation Error!"},
      {30, "File Access Error", "File (/c/Tree.GLM) could not be opened.  Error: " + E + ".",
       WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK, ""},
      {35, "Record Retrieval Error",
       "Error: (" + E + ") attempting to access a record from the /c/Tree.GLM file.  Returning to previous window.",
       WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK, ""},
      {36, "View Open Error",
       "Error: (" + E + ") attempting to open the current VIEW. Filter and Range Limits ignored.",
       WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK, ""},
  };
  for (const auto& c : cases) {
    const StandardWarningMessage m =
        standardWarningMessage(c.id, 2, "File Not Found   ", "", "", "/c/Tree.GLM   ", "ignored");
    EXPECT_TRUE(m.known);
    EXPECT_EQ(m.caption, c.caption) << c.id;
    EXPECT_EQ(m.text, c.text) << c.id;
    EXPECT_EQ(m.icon, c.icon) << c.id;
    EXPECT_EQ(m.buttons, c.buttons) << c.id;
    EXPECT_EQ(m.defaultButton, c.defaultButton) << c.id;
    EXPECT_EQ(m.haltMessage, c.halt) << c.id;
  }
  EXPECT_FALSE(standardWarningMessage(7, 2, "x", "", "", "y").known);
}

TEST(StandardWarning, FileSystemErrorNamesTheOperatingSystemsError) {
  const StandardWarningMessage m =
      standardWarningMessage(30, 90, "File System Error", "Permission denied  ", "13  ", "/c/Tree.GLM");
  EXPECT_EQ(m.text, "File (/c/Tree.GLM) could not be opened.  Error: Permission denied (13).");
}

TEST(StandardWarning, ErrorTextIsCutTo150ButTheFileNameIsNot) {
  const std::string longError(200, 'e');
  EXPECT_EQ(standardErrorText(36, longError, "", ""), longError.substr(0, 150));
  EXPECT_EQ(standardErrorText(90, "", longError, "5"), longError.substr(0, 150));
  const std::string longName = "/" + std::string(300, 'n') + ".GLM";
  const StandardWarningMessage m = standardWarningMessage(1, 36, longError, "", "", longName);
  EXPECT_EQ(m.text, "Error: (" + longError.substr(0, 150) + ") accessing " + longName +
                        ".  Press OK to end this application.");
}

TEST(StandardWarning, OutcomeOfTheButtonPressed) {
  const struct { int id, pressed; bool halt; int result; } cases[] = {
      {1, WarningButton::OK, true, 0},   {2, WarningButton::YES, false, 2}, {2, WarningButton::NO, true, 0},
      {3, WarningButton::OK, true, 0},   {4, WarningButton::OK, true, 0},   {5, WarningButton::OK, true, 0},
      {30, WarningButton::OK, false, 1}, {35, WarningButton::OK, false, 1}, {36, WarningButton::OK, false, 1},
  };
  for (const auto& c : cases) {
    const WarningOutcome o = warningOutcome(c.id, c.pressed);
    EXPECT_EQ(o.halt, c.halt) << c.id << "/" << c.pressed;
    if (!c.halt) {
      EXPECT_EQ(o.returnValue, c.result) << c.id;
    }
  }
}

}  // namespace
}  // namespace glimra::collection
