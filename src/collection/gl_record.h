// SPDX-License-Identifier: GPL-3.0-or-later
// The collection record GlRecord: one ornament, laid out byte for byte as the
// collection file stores it (11,729 bytes, no gaps). The buffer objects of the
// program are GlRecord values: GL (the record buffer of the file) and CHG (the
// scratch copy with the same layout). CURRENTRECORD is a GlRecordImage, a plain
// byte copy of a record as it was read.
//
// Invariants: sizeof(GlRecord) == 11729 and every field lies at its stored
// offset (checked below); every member has alignment 1 (FixedText, PackedInt,
// bytes), so there is no padding and any member may be read or bound by
// reference safely; the type is trivially copyable, so its bytes are the
// record image. A default-constructed record is cleared: every text blank,
// every number 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "collection/packed_int.h"
#include "text/fixed_text.h"

namespace glimra::collection {

inline constexpr std::size_t GL_RECORD_SIZE = 11729;

struct GlRecord {
  FixedText<45> NAME;
  FixedText<30> CATEGORY;
  FixedText<35> SERIES;
  FixedText<15> SERIESNUM;
  FixedText<35> MANUF;
  FixedText<18> CONDITION;
  FixedText<30> ARTIST;
  FixedText<20> VALUE;      // amount as text, right-aligned, e.g. "   15.50"; blank when empty
  FixedText<20> YEAR;
  FixedText<18> LOCATION;
  FixedText<15> PURDATE;    // standard date as decimal text, e.g. "78500"
  FixedText<35> CUSTOM1;
  FixedText<35> PURFROM;
  FixedText<35> CUSTOM2;
  FixedText<20> PURPRICE;   // amount as text
  FixedText<35> CUSTOM3;
  std::uint8_t DELETED;     // 0 live, 1 retired
  union {                   // group CREATED: when the record was first added
    struct {
      PackedInt<std::int32_t> CREATEDDATE;  // standard date
      PackedInt<std::int32_t> CREATEDTIME;  // standard time
    };
    std::array<char, 8> CREATED;
  };
  union {                   // group CHANGED: when the record was last saved
    struct {
      PackedInt<std::int32_t> CHANGEDDATE;
      PackedInt<std::int32_t> CHANGEDTIME;
    };
    std::array<char, 8> CHANGED;
  };
  FixedText<80> SERIESKEY;  // derived: series (name)
  FixedText<80> NAMEKEY;    // derived: name (series)
  std::uint8_t LISTBYSERIES;  // stored, never set: always 0
  FixedText<3000> DESCRIPTION;
  FixedText<8000> LIBRARIAN;  // stored, never set: always blank
  FixedText<20> DATELENT;   // standard date as decimal text
  FixedText<35> LENTTO;
  FixedText<20> DATEGIVEN;  // standard date as decimal text
  FixedText<35> GIVENTO;

  GlRecord() { clear(); }

  // Every text blank, every number 0.
  void clear();
};

// A byte copy of a record (CURRENTRECORD).
using GlRecordImage = std::array<char, GL_RECORD_SIZE>;

GlRecordImage toImage(const GlRecord& record);
void fromImage(GlRecord& record, const GlRecordImage& image);
// An image of all blanks, as CURRENTRECORD starts out.
GlRecordImage blankImage();

static_assert(sizeof(GlRecord) == GL_RECORD_SIZE);
static_assert(alignof(GlRecord) == 1);
static_assert(std::is_trivially_copyable_v<GlRecord>);
static_assert(std::is_standard_layout_v<GlRecord>);
static_assert(offsetof(GlRecord, NAME) == 0);
static_assert(offsetof(GlRecord, CATEGORY) == 45);
static_assert(offsetof(GlRecord, SERIES) == 75);
static_assert(offsetof(GlRecord, SERIESNUM) == 110);
static_assert(offsetof(GlRecord, MANUF) == 125);
static_assert(offsetof(GlRecord, CONDITION) == 160);
static_assert(offsetof(GlRecord, ARTIST) == 178);
static_assert(offsetof(GlRecord, VALUE) == 208);
static_assert(offsetof(GlRecord, YEAR) == 228);
static_assert(offsetof(GlRecord, LOCATION) == 248);
static_assert(offsetof(GlRecord, PURDATE) == 266);
static_assert(offsetof(GlRecord, CUSTOM1) == 281);
static_assert(offsetof(GlRecord, PURFROM) == 316);
static_assert(offsetof(GlRecord, CUSTOM2) == 351);
static_assert(offsetof(GlRecord, PURPRICE) == 386);
static_assert(offsetof(GlRecord, CUSTOM3) == 406);
static_assert(offsetof(GlRecord, DELETED) == 441);
static_assert(offsetof(GlRecord, CREATED) == 442);
static_assert(offsetof(GlRecord, CREATEDDATE) == 442);
static_assert(offsetof(GlRecord, CREATEDTIME) == 446);
static_assert(offsetof(GlRecord, CHANGED) == 450);
static_assert(offsetof(GlRecord, CHANGEDDATE) == 450);
static_assert(offsetof(GlRecord, CHANGEDTIME) == 454);
static_assert(offsetof(GlRecord, SERIESKEY) == 458);
static_assert(offsetof(GlRecord, NAMEKEY) == 538);
static_assert(offsetof(GlRecord, LISTBYSERIES) == 618);
static_assert(offsetof(GlRecord, DESCRIPTION) == 619);
static_assert(offsetof(GlRecord, LIBRARIAN) == 3619);
static_assert(offsetof(GlRecord, DATELENT) == 11619);
static_assert(offsetof(GlRecord, LENTTO) == 11639);
static_assert(offsetof(GlRecord, DATEGIVEN) == 11674);
static_assert(offsetof(GlRecord, GIVENTO) == 11694);

// Whether a record is an ornament of the collection: not a retired version (a
// version replaced by a save, a deleted ornament, an addition still pending)
// and named. The file holds the other records only until the next open, which
// removes them for good; until then every list, report and total leaves them out.
inline bool isLiveOrnament(const GlRecord& record) { return record.DELETED == 0 && !record.NAME.isBlank(); }

}  // namespace glimra::collection
