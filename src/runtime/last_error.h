// SPDX-License-Identifier: GPL-3.0-or-later
// The outcome of the last runtime operation: an error code (0 = success) and
// its text. In-memory list operations set it, so a procedure can report the
// failure of the step it just took under a caption of its own.
#pragma once

#include <string>
#include <string_view>

namespace glimra::runtime {

struct RuntimeError {
  int code = 0;
  std::string text;
};

// Error codes of the runtime's own operations.
inline constexpr int kEntryNotFound = 30;

inline RuntimeError& lastError() {
  static RuntimeError error;  // the program runs on one thread
  return error;
}
inline void setLastError(int code, std::string_view text) {
  lastError().code = code;
  lastError().text.assign(text);
}
inline void clearLastError() { setLastError(0, ""); }

}  // namespace glimra::runtime
