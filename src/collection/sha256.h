// SPDX-License-Identifier: GPL-3.0-or-later
// SHA-256 of bytes and of files, as the photo store names its files: 64
// lower-case hexadecimal digits of the digest of the file's content.
//
// One implementation for every place that hashes (the program, glimra-file's
// check and add-photo, the archive and the backups): the library's own digest
// routine, so a photo's name means the same everywhere and no build (the one
// without Qt included) hashes differently.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "datafile/os_file.h"

namespace glimra::collection {

inline constexpr std::size_t SHA256_HEX_LENGTH = 64;

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(const void* bytes, std::size_t length);
  // The digest as 64 lower-case hex digits; the object starts over afterwards.
  std::string hexDigest();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

std::string sha256Hex(std::string_view bytes);

// Whether text is 64 lower-case hex digits.
bool isSha256Hex(std::string_view text);

struct FileDigest {
  int osError = 0;          // 0, or why the file could not be read
  std::string hex;          // when osError is 0
  std::uint64_t bytes = 0;  // the file's length
};
// Reads the file at path through fileSystem and hashes it.
FileDigest hashFile(datafile::FileSystem& fileSystem, const std::string& path);

}  // namespace glimra::collection
