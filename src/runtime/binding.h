// SPDX-License-Identifier: GPL-3.0-or-later
// Binding: a control's link to the program variable it shows and edits.
//
// A binding points at fixed-length, blank-padded Windows-1252 text (a
// FixedText<N>, possibly inside a packed record) or at a 1-, 2- or 4-byte
// integer. It moves values in their stored form: text as all N bytes, numbers
// in decimal. Integers are read and written with memcpy, so a binding to a
// member of a packed record is safe. The variable must outlive every window
// that binds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/fixed_text.h"

namespace glimra::runtime {

class Binding {
 public:
  enum class Kind { None, Text, Integer };

  Binding() = default;

  // N bytes of blank-padded text at `bytes`.
  static Binding text(char* bytes, std::size_t length);
  template <std::size_t N>
  static Binding to(collection::FixedText<N>& value) {
    return text(value.bytes, N);
  }
  // An integer of `width` bytes (1, 2 or 4) at `address`; for members of
  // packed records pass their address as void*.
  static Binding integer(void* address, int width, bool isSigned);
  static Binding to(std::int32_t& value) { return integer(&value, 4, true); }
  static Binding to(std::int16_t& value) { return integer(&value, 2, true); }
  static Binding to(std::uint8_t& value) { return integer(&value, 1, false); }

  Kind kind() const { return kind_; }
  bool bound() const { return kind_ != Kind::None; }
  // Text length in bytes; 0 for integers.
  std::size_t length() const { return kind_ == Kind::Text ? length_ : 0; }
  const void* address() const { return address_; }

  // The value in stored form: text as all N bytes, an integer in decimal.
  std::string read() const;
  // Stores a value given in stored form: text is cut or blank-padded to N;
  // an integer is parsed as decimal (blank gives 0) and kept in range.
  void write(std::string_view stored) const;

  long long number() const;           // an integer's value; text parsed as decimal
  void setNumber(long long value) const;

 private:
  Kind kind_ = Kind::None;
  void* address_ = nullptr;
  std::size_t length_ = 0;  // text length, or integer width
  bool signed_ = true;
};

}  // namespace glimra::runtime
