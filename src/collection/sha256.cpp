// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/sha256.h"

#include <nettle/sha2.h>

#include <vector>

namespace glimra::collection {

struct Sha256::Context {
  sha256_ctx state;
};

Sha256::Sha256() : context_(std::make_unique<Context>()) { sha256_init(&context_->state); }

Sha256::~Sha256() = default;

void Sha256::update(const void* bytes, std::size_t length) {
  sha256_update(&context_->state, length, static_cast<const std::uint8_t*>(bytes));
}

std::string Sha256::hexDigest() {
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context_->state, sizeof digest, digest);  // also starts the state over
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * sizeof digest);
  for (std::uint8_t b : digest) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

std::string sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.update(bytes.data(), bytes.size());
  return hash.hexDigest();
}

bool isSha256Hex(std::string_view text) {
  if (text.size() != SHA256_HEX_LENGTH) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

FileDigest hashFile(datafile::FileSystem& fileSystem, const std::string& path) {
  FileDigest result;
  auto file = fileSystem.open(path, false, false, &result.osError);
  if (!file) return result;
  Sha256 hash;
  std::vector<std::uint8_t> buffer(1 << 20);
  for (;;) {
    std::size_t got = 0;
    if ((result.osError = file->readAt(result.bytes, buffer.data(), buffer.size(), &got)) != 0) return result;
    if (got == 0) break;
    hash.update(buffer.data(), got);
    result.bytes += got;
  }
  result.hex = hash.hexDigest();
  return result;
}

}  // namespace glimra::collection
