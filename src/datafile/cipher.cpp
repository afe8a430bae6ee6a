// SPDX-License-Identifier: GPL-3.0-or-later
// The file cipher: key derivation and the 64-byte block transform.
#include "datafile/cipher.h"

#include <cassert>
#include <cstring>

namespace glimra::datafile {
namespace {

using Words = std::array<std::uint32_t, 16>;

Words loadWords(const std::uint8_t* block) {
  Words v;
  for (std::size_t i = 0; i < 16; ++i) {
    const std::uint8_t* p = block + 4 * i;
    v[i] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
  }
  return v;
}

void storeWords(const Words& v, std::uint8_t* block) {
  for (std::size_t i = 0; i < 16; ++i) {
    std::uint8_t* p = block + 4 * i;
    p[0] = std::uint8_t(v[i]);
    p[1] = std::uint8_t(v[i] >> 8);
    p[2] = std::uint8_t(v[i] >> 16);
    p[3] = std::uint8_t(v[i] >> 24);
  }
}

// The forward transform over words v with key words k. v and k may be the
// same array: each step then reads key words that earlier steps have already
// changed, which is how the key is enciphered with itself. Within a step a is
// read first and v[j] is written before v[i].
void encipherWords(std::uint32_t* v, const std::uint32_t* k) {
  for (std::size_t i = 0; i < 16; ++i) {
    const std::uint32_t a = k[i];
    const std::size_t j = a % 16;
    const std::uint32_t x = v[i];
    const std::uint32_t y = v[j];
    v[j] = a + ((a & y) | (x & ~a));
    v[i] = a + ((a & x) | (y & ~a));
  }
}

void decipherWords(std::uint32_t* v, const std::uint32_t* k) {
  for (std::size_t n = 16; n-- > 0;) {
    const std::uint32_t a = k[n];
    const std::size_t j = a % 16;
    const std::uint32_t x = v[n];
    const std::uint32_t y = v[j];
    v[n] = (a & (x - a)) | ((y - a) & ~a);
    v[j] = (a & (y - a)) | ((x - a) & ~a);
  }
}

}  // namespace

CipherKey deriveCipherKey(std::string_view password) {
  const std::size_t zero = password.find('\0');
  if (zero != std::string_view::npos) password = password.substr(0, zero);
  assert(!password.empty());
  // The password's bytes and its terminating zero, taken cyclically from the
  // second byte on; the i-th byte taken, plus i, lands at (17 * i) mod 64.
  const std::size_t cycle = password.size() + 1;
  std::uint8_t bytes[64];
  for (std::size_t i = 0; i < 64; ++i) {
    const std::size_t at = (1 + i) % cycle;
    const std::uint8_t taken = at < password.size() ? std::uint8_t(password[at]) : 0;
    bytes[(17 * i) % 64] = std::uint8_t(taken + i);
  }
  Words key = loadWords(bytes);
  encipherWords(key.data(), key.data());
  encipherWords(key.data(), key.data());
  return key;
}

void encipherBlock(std::uint8_t* block, const CipherKey& key) {
  Words v = loadWords(block);
  encipherWords(v.data(), key.data());
  storeWords(v, block);
}

void decipherBlock(std::uint8_t* block, const CipherKey& key) {
  Words v = loadWords(block);
  decipherWords(v.data(), key.data());
  storeWords(v, block);
}

void FileCipher::encipher(std::uint8_t* buffer, std::size_t length) const {
  assert(length % 64 == 0);
  for (std::size_t at = 0; at + 64 <= length; at += 64) encipherBlock(buffer + at, key_);
}

void FileCipher::decipher(std::uint8_t* buffer, std::size_t length) const {
  assert(length % 64 == 0);
  for (std::size_t at = 0; at + 64 <= length; at += 64) decipherBlock(buffer + at, key_);
}

}  // namespace glimra::datafile
