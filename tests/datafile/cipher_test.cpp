// SPDX-License-Identifier: GPL-3.0-or-later
// The file cipher: known keys, the round trip, and a whole file written and
// read back through the container with and without its password.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "container_support.h"
#include "datafile/cipher.h"

namespace glimra::datafile::testing {
namespace {

std::string hex(const std::uint8_t* bytes, std::size_t length) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < length; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

std::string keyHex(const CipherKey& key) {
  std::uint8_t bytes[64];
  for (std::size_t i = 0; i < 16; ++i)
    for (std::size_t b = 0; b < 4; ++b) bytes[4 * i + b] = std::uint8_t(key[i] >> (8 * b));
  return hex(bytes, 64);
}

// Worked out apart from the code. For "A" the bytes taken are 00 41 00 41 …
// (the terminator first, then 'A'), so before enciphering key byte
// (17 * i) mod 64 holds i for even i and 0x41 + i for odd i: bytes 0, 1, 2 …
// read 00 72 22 54 04 76 26 58 … Each of the two in-place passes then uses
// key words that the same pass has already changed.
TEST(Cipher, KeysAndBlocksOfShortPasswords) {
  struct Case {
    const char* password;
    const char* key;
    const char* block;  // words 0x00000000, 0x01010101 … 0x0f0f0f0f enciphered
  };
  const Case cases[] = {
      {"A",
       "80e4489090d8d9a8a0e8abd1a0f8daa8a03cee106078ebc1a0f4f851f07afc50"
       "4062752030e92aea20a9acf2d0b8fcc098ac6da050d13241e0d171c1b05a3dd1",
       "bfaf3f2f90fcdab8b1faadfba2fae0fbe380f23ce47800d7a5f9ffd7f6fd03da"
       "ac54d3cc78f606f339c1c6f5dac407ede70a8ce85bf6ffceeddd73cdfe850ad3"},
      {"ab",
       "d0e1369144a2b4bc622801a35afb6b3e2894c40ad4bbead2f28483f3743a5e1e"
       "4cf510abf8eecc6e4c565c4234fdedb39c5454d274ddaee264485a51983fb1e4",
       "d0e1369144a6b4bc56878a985cfe6e40ae566ea0f8c0efdbf8b285f9f90186e4"
       "1f524f700407f68611045284ff0607bf11fe2e2083ea0bf0e97508e0a1cefcf9"},
  };
  for (const Case& c : cases) {
    const CipherKey key = deriveCipherKey(c.password);
    EXPECT_EQ(keyHex(key), c.key) << c.password;
    std::uint8_t block[64];
    for (std::size_t i = 0; i < 64; ++i) block[i] = std::uint8_t(i / 4);
    encipherBlock(block, key);
    EXPECT_EQ(hex(block, 64), c.block) << c.password;
  }
  // Bytes after a zero byte are not part of the password.
  EXPECT_EQ(deriveCipherKey(std::string("A\0xyz", 5)), deriveCipherKey("A"));
}

TEST(Cipher, DecipherUndoesEncipherForEveryKeyAndBlock) {
  const std::string passwords[] = {"A", "ab", "secret", "Ornaments 1998", std::string(40, 'x'), "\xff\x80\x01"};
  for (const std::string& password : passwords) {
    const FileCipher cipher(password);
    // Blocks that hit the special cases: all zero, all ones, and words equal
    // to key words (so that a step's partner index is its own).
    std::vector<std::array<std::uint8_t, 64>> blocks(4);
    blocks[1].fill(0xFF);
    for (std::size_t i = 0; i < 64; ++i) blocks[2][i] = std::uint8_t(i * 37 + password.size());
    std::memcpy(blocks[3].data(), cipher.key().data(), 64);
    std::uint8_t buffer[256];
    for (std::size_t b = 0; b < 4; ++b) std::memcpy(buffer + 64 * b, blocks[b].data(), 64);
    std::uint8_t original[256];
    std::memcpy(original, buffer, sizeof buffer);
    cipher.encipher(buffer, sizeof buffer);
    EXPECT_NE(0, std::memcmp(buffer, original, sizeof buffer)) << password;
    cipher.decipher(buffer, sizeof buffer);
    EXPECT_EQ(0, std::memcmp(buffer, original, sizeof buffer)) << password;
  }
  EXPECT_NE(deriveCipherKey("secret"), deriveCipherKey("Secret"));
}

// A file written through the cipher reads back with its password only.
TEST(Cipher, EncipheredFileReadsBackOnlyWithItsPassword) {
  FaultFileSystem fs;
  auto fill = [](Container& c) {
    for (int i = 0; i < 300; ++i)
      c.insert(makeRecord("ornament " + std::to_string(1000 + i), "glass bauble, blue, hand painted"));
    c.commit();
  };
  auto openWith = [&](const std::string& path, ContainerHooks* hooks, std::unique_ptr<OsFile>* file) {
    int error = 0;
    *file = fs.open(path, true, !fs.exists(path), &error);
    return std::make_unique<Container>(**file, hooks);
  };
  CipherHooks secret("tinsel");
  std::unique_ptr<OsFile> plainFile, secretFile;
  {
    auto plain = openWith("plain.dat", nullptr, &plainFile);
    ASSERT_EQ(plain->open(), 0);
    fill(*plain);
    auto enciphered = openWith("secret.dat", &secret, &secretFile);
    ASSERT_EQ(enciphered->open(), 0);
    fill(*enciphered);
  }
  const auto plainBytes = fs.contents("plain.dat");
  const auto secretBytes = fs.contents("secret.dat");
  ASSERT_EQ(plainBytes.size(), secretBytes.size());
  EXPECT_NE(plainBytes, secretBytes);
  const std::string text = "hand painted";
  EXPECT_EQ(std::search(secretBytes.begin(), secretBytes.end(), text.begin(), text.end()), secretBytes.end());
  // Every 64-byte block differs, the header included.
  for (std::size_t at = 0; at < plainBytes.size(); at += 64)
    EXPECT_FALSE(std::equal(plainBytes.begin() + at, plainBytes.begin() + at + 64, secretBytes.begin() + at)) << at;

  std::unique_ptr<OsFile> again;
  auto reread = openWith("secret.dat", &secret, &again);
  ASSERT_EQ(reread->open(), 0);
  const Model model = readAll(*reread);
  EXPECT_EQ(model.size(), 300u);
  EXPECT_EQ(model.at("ornament 1042"), "glass bauble, blue, hand painted");
  checkInvariants(*reread);

  // Without the password, or with another one, the header's magic does not
  // decode: the file is not a data file.
  CipherHooks wrong("Tinsel");
  std::unique_ptr<OsFile> f1, f2, f3;
  EXPECT_EQ(openWith("secret.dat", &wrong, &f1)->open(), 36);
  EXPECT_EQ(openWith("secret.dat", nullptr, &f2)->open(), 36);
  EXPECT_EQ(openWith("plain.dat", &secret, &f3)->open(), 36);
}

}  // namespace
}  // namespace glimra::datafile::testing
