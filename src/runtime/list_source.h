// SPDX-License-Identifier: GPL-3.0-or-later
// ListSource: the rows a list box or a drop list shows, read on demand.
//
// A source never copies its rows: the list box asks for the count and for a
// row's text whenever it paints, so after the program changes the underlying
// list it only has to redraw. Rows are 1-based; text is Windows-1252.
#pragma once

#include <string>

namespace glimra::runtime {

class ListSource {
 public:
  virtual ~ListSource() = default;
  virtual int count() const = 0;
  // The text of row 1..count(); empty for a row outside that range.
  virtual std::string text(int row) const = 0;
};

}  // namespace glimra::runtime
