// SPDX-License-Identifier: GPL-3.0-or-later
// FieldValue: how a control shows its bound variable and how a typed text
// becomes the variable's value again, through the control's display picture.
//
// One place for both directions, used by the Qt windows and the scripted ones
// alike. Typed text arrives as UTF-8 (from the screen); it is refused when
// Windows-1252 cannot hold it, when the picture cannot read it, or when it is
// longer than the variable. A refused text leaves the variable untouched.
#pragma once

#include <string>
#include <string_view>

#include "runtime/binding.h"
#include "text/cp1252.h"
#include "text/picture.h"

namespace glimra::runtime {

struct StoreResult {
  bool ok = false;
  bool changed = false;  // the variable's stored value differs from before
  std::string reason;    // why the text was refused, for the user (UTF-8)
};

// Text typed into a multi-line box gets its line breaks as stored (CR LF).
using collection::withStoredLineBreaks;

class FieldValue {
 public:
  FieldValue() = default;
  FieldValue(Binding use, std::string_view picture);

  bool bound() const { return use_.bound(); }
  bool hasPicture() const { return hasPicture_; }
  // 'n', 'd', 't' show right-aligned numbers; 's' or none show text.
  char pictureKind() const { return hasPicture_ ? picture_.kind() : 0; }
  // How many characters may be typed.
  int maxLength() const;

  // The variable as the control shows it, in Windows-1252, trailing blanks
  // dropped (and leading ones too for numbers, dates and times).
  std::string shown() const;
  // Stores a typed UTF-8 text into the variable, or refuses it.
  StoreResult store(std::string_view typedUtf8) const;

  // A multi-line box keeps its text with CR LF line breaks: how many of the
  // variable's characters a typed text takes (a line break takes two), the
  // longest start of it that the variable holds beside `used` characters
  // already there, and the line that tells the user how much is used
  // ("1,234 of 3,000 characters used").
  std::size_t storedLength(std::string_view typedUtf8) const;
  std::string fittingStart(std::string_view typedUtf8, std::size_t used = 0) const;
  std::string usedCharacters(std::string_view typedUtf8) const;

 private:
  Binding use_;
  collection::Picture picture_;
  bool hasPicture_ = false;
};

}  // namespace glimra::runtime
