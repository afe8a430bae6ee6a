// SPDX-License-Identifier: GPL-3.0-or-later
// PageImages: pages an image control can show, drawn when shown at the size
// shown (a page zoomed to 300 % is drawn at 300 %, not enlarged from a
// smaller picture). The window asks for nothing but the page count and size;
// the toolkit's implementation of Window draws the pages through the
// toolkit's own extension of this interface.
#pragma once

namespace glimra::runtime {

class PageImages {
 public:
  virtual ~PageImages() = default;
  virtual int count() const = 0;
  // The size of every page, in thousandths of an inch.
  virtual int pageWidth() const = 0;
  virtual int pageHeight() const = 0;
};

}  // namespace glimra::runtime
