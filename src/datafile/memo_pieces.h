// Memo text cut into the pieces a data file stores, and joined back.
//
// A text memo loses its trailing spaces and is cut into 256-byte pieces (the
// last one shorter); reading joins the pieces and fills the rest of the memo
// with spaces. A BLOB keeps its bytes exactly: its first piece starts with the
// total length (u32, little-endian) in front of up to 256 bytes of data. An
// empty memo has no pieces.
#pragma once

#include <vector>

#include "datafile/container.h"
#include "datafile/declaration.h"

namespace glimra::datafile {

constexpr std::uint16_t MEMO_BINARY = 0x02;
constexpr std::uint16_t MEMO_BLOB = 0x04;

std::vector<Bytes> cutMemo(const MemoDeclaration& memo, ByteView value);
// pieces[i] is piece i (an empty Bytes for a missing piece).
Bytes joinMemo(const MemoDeclaration& memo, const std::vector<Bytes>& pieces);

}  // namespace glimra::datafile
