// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/standard_warning.h"

#include <gtest/gtest.h>

#include <string>

#include "collection/expected_warnings.h"

namespace glimra::collection {
namespace {

TEST(StandardWarning, EachWarningsMessage) {
  const struct {
    int id;
    WarningIcon icon;
    int buttons;
    int defaultButton;
  } cases[] = {
      {1, WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK},
      {2, WarningIcon::EXCLAMATION, WarningButton::YES | WarningButton::NO, WarningButton::YES},
      {3, WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK},
      {4, WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK},
      {5, WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK},
      {30, WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK},
      {35, WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK},
      {36, WarningIcon::INFORMATION, WarningButton::OK, WarningButton::OK},
  };
  for (const auto& c : cases) {
    const StandardWarningMessage m =
        standardWarningMessage(c.id, 2, "File Not Found   ", "", "", "/c/Tree.GLM   ", "ignored");
    const testing::ExpectedWarning expected = testing::expectedWarning(c.id, "File Not Found (2)", "/c/Tree.GLM");
    EXPECT_TRUE(m.known);
    EXPECT_EQ(m.caption, expected.caption) << c.id;
    EXPECT_EQ(m.text, expected.text) << c.id;
    EXPECT_EQ(m.icon, c.icon) << c.id;
    EXPECT_EQ(m.buttons, c.buttons) << c.id;
    EXPECT_EQ(m.defaultButton, c.defaultButton) << c.id;
    EXPECT_EQ(m.haltMessage, expected.halt) << c.id;
  }
  EXPECT_FALSE(standardWarningMessage(7, 2, "x", "", "", "y").known);
}

TEST(StandardWarning, FileSystemErrorNamesTheOperatingSystemsError) {
  const StandardWarningMessage m =
      standardWarningMessage(30, 90, "File System Error", "Permission denied  ", "13  ", "/c/Tree.GLM");
  EXPECT_EQ(m.text, testing::expectedWarning(30, "Permission denied (13)", "/c/Tree.GLM").text);
}

TEST(StandardWarning, ErrorTextIsCutTo150ButTheFileNameIsNot) {
  const std::string longError(200, 'e');
  EXPECT_EQ(standardErrorText(36, longError, "", ""), longError.substr(0, 150));
  EXPECT_EQ(standardErrorText(90, "", longError, "5"), longError.substr(0, 150));
  const std::string longName = "/" + std::string(300, 'n') + ".GLM";
  const StandardWarningMessage m = standardWarningMessage(1, 36, longError, "", "", longName);
  EXPECT_EQ(m.text, testing::expectedWarning(1, longError.substr(0, 150), longName).text);
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
