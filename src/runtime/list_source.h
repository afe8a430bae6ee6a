// SPDX-License-Identifier: GPL-3.0-or-later
// ListSource: the rows a list box or a drop list shows, read on demand.
//
// A source never copies its rows: the list box asks for the count and for a
// row's text whenever it paints, so after the program changes the underlying
// list it only has to redraw. Rows are 1-based; text is Windows-1252.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace glimra::runtime {

class ListSource {
 public:
  virtual ~ListSource() = default;
  virtual int count() const = 0;
  // The text of row 1..count(); empty for a row outside that range.
  virtual std::string text(int row) const = 0;
};

// A source over rows the program has made once (a preview, the items of a
// choice): it keeps its own copy of them.
class TextRows final : public ListSource {
 public:
  explicit TextRows(std::vector<std::string> rows) : rows_(std::move(rows)) {}
  int count() const override { return static_cast<int>(rows_.size()); }
  std::string text(int row) const override {
    return row >= 1 && row <= count() ? rows_[static_cast<std::size_t>(row - 1)] : std::string();
  }

 private:
  std::vector<std::string> rows_;
};

}  // namespace glimra::runtime
