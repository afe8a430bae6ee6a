// SPDX-License-Identifier: GPL-3.0-or-later
// Memo text cut into the pieces a data file stores, and joined back.
//
// A text memo loses its trailing spaces and is cut into 256-byte pieces (the
// last one shorter); reading joins the pieces and fills the rest of the memo
// with spaces. A BLOB keeps its bytes exactly: its first piece starts with the
// total length (u32, little-endian) in front of up to 256 bytes of data. An
// empty memo has no pieces. Writers refuse a value memoOverflow() names
// instead of storing part of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "datafile/container.h"
#include "datafile/declaration.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile {

constexpr std::uint16_t MEMO_BINARY = 0x02;
constexpr std::uint16_t MEMO_BLOB = 0x04;

// Piece numbers are 16-bit: a memo has at most 65,536 pieces, so a BLOB
// holds at most 16,777,216 bytes. A text memo holds its declared size.
constexpr std::size_t MAX_MEMO_PIECES = 0x10000;
constexpr std::size_t MAX_BLOB_BYTES = MAX_MEMO_PIECES * MEMO_PIECE_SIZE;

// Why value cannot be stored whole (cutMemo would cut it short), or nullopt
// when it fits. A text memo may run past its size with spaces only.
std::optional<std::string> memoOverflow(const MemoDeclaration& memo, ByteView value);

std::vector<Bytes> cutMemo(const MemoDeclaration& memo, ByteView value);
// pieces[i] is piece i (an empty Bytes for a missing piece).
Bytes joinMemo(const MemoDeclaration& memo, const std::vector<Bytes>& pieces);

}  // namespace glimra::datafile
