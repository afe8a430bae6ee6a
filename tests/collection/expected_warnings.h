// SPDX-License-Identifier: GPL-3.0-or-later
// What each standard warning says, spelled out once for the tests of the
// message itself and of its showing through the runtime: the caption, the
// text for an error text and a file name, and the halt message of the fatal
// ones (empty when the warning returns).
#pragma once

#include <string>

namespace glimra::collection::testing {

struct ExpectedWarning {
  std::string caption;
  std::string text;
  std::string halt;
};

inline ExpectedWarning expectedWarning(int id, const std::string& error, const std::string& file) {
  const std::string end = ".  Press OK to end this application.";
  switch (id) {
    case 1:
      return {"Invalid File", "Error: (" + error + ") accessing " + file + end, "Invalid File!"};
    case 2:
      return {"Invalid Key", file + " key file is invalid.  Do you want to rebuild the key?", "Invalid Key!"};
    case 3:
      return {"Key Rebuild Error", "Error: (" + error + ") repairing key for " + file + end, "Error Rebuilding Key!"};
    case 4:
      return {"File Creation Error", "Error: (" + error + ") creating " + file + end, "File Creation Error!"};
    case 5:
      return {"File Creation Error", "Error: (" + error + ") opening created file:" + file + end,
              "File Creation Error!"};
    case 30:
      return {"File Access Error", "File (" + file + ") could not be opened.  Error: " + error + ".", ""};
    case 35:
      return {"Record Retrieval Error",
              "Error: (" + error + ") attempting to access a record from the " + file +
                  " file.  Returning to previous window.",
              ""};
    case 36:
      return {"View Open Error",
              "Error: (" + error + ") attempting to open the current VIEW. Filter and Range Limits ignored.", ""};
    default:
      return {};
  }
}

}  // namespace glimra::collection::testing
