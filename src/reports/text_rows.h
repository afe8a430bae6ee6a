// SPDX-License-Identifier: GPL-3.0-or-later
// TextRows: the rows of a list box kept as texts (Windows-1252), for windows
// whose lists the program builds whole.
#pragma once

#include <string>
#include <vector>

#include "runtime/list_source.h"

namespace glimra::reports {

class TextRows final : public runtime::ListSource {
 public:
  std::vector<std::string> rows;
  int count() const override { return static_cast<int>(rows.size()); }
  std::string text(int row) const override {
    return row >= 1 && row <= count() ? rows[static_cast<std::size_t>(row - 1)] : std::string();
  }
};

}  // namespace glimra::reports
