// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/memo_pieces.h"

#include <algorithm>

#include "datafile/record_kinds.h"

namespace glimra::datafile {

std::vector<Bytes> cutMemo(const MemoDeclaration& memo, ByteView value) {
  std::vector<Bytes> pieces;
  if (memo.flags & MEMO_BLOB) {
    if (value.empty()) return pieces;
    Bytes first(4);
    putU32(first.data(), static_cast<std::uint32_t>(value.size()));
    const std::size_t n = std::min(value.size(), MEMO_PIECE_SIZE);
    first.insert(first.end(), value.begin(), value.begin() + n);
    pieces.push_back(std::move(first));
    for (std::size_t at = n; at < value.size(); at += MEMO_PIECE_SIZE) {
      const std::size_t m = std::min(value.size() - at, MEMO_PIECE_SIZE);
      pieces.emplace_back(value.begin() + at, value.begin() + at + m);
    }
    return pieces;
  }
  std::size_t length = std::min<std::size_t>(value.size(), memo.size);
  while (length > 0 && value[length - 1] == ' ') --length;
  for (std::size_t at = 0; at < length; at += MEMO_PIECE_SIZE) {
    const std::size_t m = std::min(length - at, MEMO_PIECE_SIZE);
    pieces.emplace_back(value.begin() + at, value.begin() + at + m);
  }
  return pieces;
}

std::optional<std::string> memoOverflow(const MemoDeclaration& memo, ByteView value) {
  std::size_t room = memo.size;
  std::size_t length = value.size();
  if (memo.flags & MEMO_BLOB) {
    room = MAX_BLOB_BYTES;
  } else {
    while (length > room && value[length - 1] == ' ') --length;
  }
  if (length <= room) return std::nullopt;
  return "memo " + memo.name + " holds " + std::to_string(length) + " bytes, more than the " + std::to_string(room) +
         " it can store";
}

Bytes joinMemo(const MemoDeclaration& memo, const std::vector<Bytes>& pieces) {
  Bytes value;
  if (memo.flags & MEMO_BLOB) {
    if (pieces.empty() || pieces[0].size() < 4) return value;
    const std::uint32_t total = getU32(pieces[0].data());
    value.insert(value.end(), pieces[0].begin() + 4, pieces[0].end());
    for (std::size_t i = 1; i < pieces.size() && value.size() < total; ++i)
      value.insert(value.end(), pieces[i].begin(), pieces[i].end());
    if (value.size() > total) value.resize(total);
    return value;
  }
  for (const Bytes& piece : pieces) value.insert(value.end(), piece.begin(), piece.end());
  value.resize(memo.size, ' ');
  return value;
}

}  // namespace glimra::datafile
