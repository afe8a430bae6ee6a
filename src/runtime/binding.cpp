// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/binding.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace glimra::runtime {

namespace {

long long parseDecimal(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  text = collection::clipTrailingBlanks(text.substr(first));
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

Binding Binding::text(char* bytes, std::size_t length) {
  Binding b;
  b.kind_ = Kind::Text;
  b.address_ = bytes;
  b.length_ = length;
  return b;
}

Binding Binding::integer(void* address, int width, bool isSigned) {
  Binding b;
  b.kind_ = Kind::Integer;
  b.address_ = address;
  b.length_ = static_cast<std::size_t>(width == 1 || width == 2 ? width : 4);
  b.signed_ = isSigned;
  return b;
}

std::string Binding::read() const {
  switch (kind_) {
    case Kind::None: return {};
    case Kind::Text: return std::string(static_cast<const char*>(address_), length_);
    case Kind::Integer: return std::to_string(number());
  }
  return {};
}

void Binding::write(std::string_view stored) const {
  switch (kind_) {
    case Kind::None: return;
    case Kind::Text: {
      const std::size_t n = std::min(stored.size(), length_);
      std::memcpy(address_, stored.data(), n);
      std::memset(static_cast<char*>(address_) + n, ' ', length_ - n);
      return;
    }
    case Kind::Integer: setNumber(parseDecimal(stored)); return;
  }
}

long long Binding::number() const {
  if (kind_ == Kind::Text) return parseDecimal(read());
  if (kind_ != Kind::Integer) return 0;
  switch (length_) {
    case 1: {
      std::uint8_t u;
      std::memcpy(&u, address_, 1);
      return signed_ ? static_cast<std::int8_t>(u) : u;
    }
    case 2: {
      std::uint16_t u;
      std::memcpy(&u, address_, 2);
      return signed_ ? static_cast<std::int16_t>(u) : u;
    }
    default: {
      std::uint32_t u;
      std::memcpy(&u, address_, 4);
      return signed_ ? static_cast<std::int32_t>(u) : static_cast<long long>(u);
    }
  }
}

void Binding::setNumber(long long value) const {
  if (kind_ == Kind::Text) {
    write(std::to_string(value));
    return;
  }
  if (kind_ != Kind::Integer) return;
  // Keep the value inside the variable's range rather than wrapping it.
  const int bits = static_cast<int>(length_) * 8;
  const long long low = signed_ ? -(1LL << (bits - 1)) : 0;
  const long long high = signed_ ? (1LL << (bits - 1)) - 1 : (1LL << bits) - 1;
  value = std::clamp(value, low, high);
  const auto u = static_cast<std::uint32_t>(static_cast<std::int64_t>(value));
  switch (length_) {
    case 1: { const auto b = static_cast<std::uint8_t>(u); std::memcpy(address_, &b, 1); break; }
    case 2: { const auto h = static_cast<std::uint16_t>(u); std::memcpy(address_, &h, 2); break; }
    default: std::memcpy(address_, &u, 4); break;
  }
}

}  // namespace glimra::runtime
