// SPDX-License-Identifier: GPL-3.0-or-later
// The file cipher of a data file opened with an owner password.
//
// A 64-byte key is derived from the password; every buffer read from or
// written to the file (always whole 64-byte blocks: the header, the pages and
// the pending copies alike) passes through a 64-byte block cipher keyed by it.
// The cipher works in place on the buffer it is given; the container hands it
// a copy to write and deciphers right after reading, so what it caches stays
// plain.
//
// Invariants: decipherBlock(encipherBlock(b)) == b for every key and block;
// the key of a password never changes, so a file reads back only with the
// password it was written with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "datafile/container.h"

namespace glimra::datafile {

using CipherKey = std::array<std::uint32_t, 16>;

// The key of a password (its bytes up to the first zero byte; must not be
// empty). The password's bytes are spread over the key, then the key is
// enciphered twice with itself as its own key.
CipherKey deriveCipherKey(std::string_view password);

// One 64-byte block, as 16 little-endian words, in place.
void encipherBlock(std::uint8_t* block, const CipherKey& key);
void decipherBlock(std::uint8_t* block, const CipherKey& key);

class FileCipher {
 public:
  explicit FileCipher(std::string_view password) : key_(deriveCipherKey(password)) {}
  const CipherKey& key() const { return key_; }
  // length must be a multiple of 64 (the container guarantees it).
  void encipher(std::uint8_t* buffer, std::size_t length) const;
  void decipher(std::uint8_t* buffer, std::size_t length) const;

 private:
  CipherKey key_;
};

// Container hooks that only encipher: for a container used without locks
// (tools, tests) over a file that has an owner password.
class CipherHooks final : public ContainerHooks {
 public:
  explicit CipherHooks(std::string_view password) : cipher_(password) {}
  void encipher(std::uint8_t* buffer, std::size_t length) override { cipher_.encipher(buffer, length); }
  void decipher(std::uint8_t* buffer, std::size_t length) override { cipher_.decipher(buffer, length); }

 private:
  FileCipher cipher_;
};

}  // namespace glimra::datafile
