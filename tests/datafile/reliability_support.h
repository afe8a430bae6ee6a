// SPDX-License-Identifier: GPL-3.0-or-later
// A long, seeded workload on the collection file for the reliability runs:
// units of work (a single ADD, PUT or DELETE committed on its own, or a
// transaction of several), run through DataFile on any FileSystem, and a
// digest of everything a reader sees (records in record order with their
// bytes and memos, the record count and every key's entry count).
//
// Beside the collection, the file holds a second table, SERIES, with a text
// memo and a BLOB, written through the same open: it is created by the first
// unit, and its records get memos of one piece, of many pieces, changed in
// the middle, grown, shrunk and cleared, and are deleted, alone or inside the
// collection's transactions.
//
// Size knobs (environment): GLIMRA_RELIABILITY_OPS, the number of operations
// (default small, so the test suite stays quick); GLIMRA_RELIABILITY_SEED.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "collection/generator.h"
#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"

namespace glimra::datafile::testing {

inline std::size_t envSize(const char* name, std::size_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? static_cast<std::size_t>(std::strtoull(v, nullptr, 10)) : fallback;
}

struct WorkOp {
  enum Kind { Add, Put, Delete, SeriesAdd, SeriesPut, SeriesDelete } kind;
  std::size_t value;   // Add/Put: index of the ornament whose fields are written; Series*: the memos' shape
  std::size_t target;  // Put/Delete: index into the live records of its table (in add order)
};

// The live records of both tables, in add order.
struct LiveRecords {
  std::vector<std::uint32_t> collection;
  std::vector<std::uint32_t> series;
};

struct WorkUnit {
  bool transaction = false;
  std::vector<WorkOp> ops;
};

struct Workload {
  std::vector<collection::GlRecord> ornaments;
  std::vector<WorkUnit> units;
  std::size_t operations = 0;
  std::size_t seriesOperations = 0;  // of them, on SERIES
};

// About `operations` operations: 40% single adds, 15% single puts, 10% single
// deletes, the rest in transactions of 2..5 mixed operations.
inline Workload makeWorkload(std::size_t operations, std::uint64_t seed) {
  Workload w;
  std::mt19937_64 random(seed);
  std::size_t live = 0, seriesLive = 0;
  auto pickSeriesOp = [&] {
    const int r = static_cast<int>(random() % 100);
    if (seriesLive < 2 || r < 45) {
      ++seriesLive;
      return WorkOp{WorkOp::SeriesAdd, random() % 4096, 0};
    }
    if (r < 80) return WorkOp{WorkOp::SeriesPut, random() % 4096, random() % seriesLive};
    return WorkOp{WorkOp::SeriesDelete, 0, random() % seriesLive--};
  };
  auto pickOp = [&](int addWeight) {
    if (random() % 100 < 30) return pickSeriesOp();
    const int r = static_cast<int>(random() % 100);
    if (live < 3 || r < addWeight) {
      ++live;
      return WorkOp{WorkOp::Add, random() % 4096, 0};
    }
    if (r < addWeight + (100 - addWeight) * 2 / 3) return WorkOp{WorkOp::Put, random() % 4096, random() % live};
    return WorkOp{WorkOp::Delete, 0, random() % live--};
  };
  while (w.operations < operations) {
    WorkUnit u;
    const int r = static_cast<int>(random() % 100);
    if (r < 30) {
      ++live;
      u.ops.push_back({WorkOp::Add, random() % 4096, 0});
    } else if (r < 45) {
      u.ops.push_back(pickSeriesOp());
    } else if (r < 65) {
      u.ops.push_back(pickOp(0));
    } else {
      u.transaction = true;
      const std::size_t n = 2 + random() % 4;
      for (std::size_t i = 0; i < n; ++i) u.ops.push_back(pickOp(45));
    }
    w.operations += u.ops.size();
    for (const WorkOp& op : u.ops) w.seriesOperations += op.kind >= WorkOp::SeriesAdd;
    w.units.push_back(std::move(u));
  }
  w.ornaments = collection::generateOrnaments(4096, seed);
  return w;
}

#pragma pack(push, 1)
struct SeriesRow {
  char name[16];
  std::int32_t number;
};
#pragma pack(pop)

// The second table: a name, a number, a text memo and a BLOB.
inline const TableDeclaration& seriesDeclaration() {
  static const TableDeclaration declaration = [] {
    TableDeclaration t;
    t.label = "SERIES";
    t.recordLength = sizeof(SeriesRow);
    t.fields = {{FieldType::STRING, 0, "SE:NAME", 1, 16, 0, "@s16"}, {FieldType::LONG, 16, "SE:NUMBER", 1, 4}};
    t.memos = {{"", "SE:NOTES", 2000, 0}, {"", "SE:PICTURE", 0, 0x04}};
    t.keys = {{"", "SE:NAMEKEY", KeyFlag::DUP | KeyFlag::NOCASE, {{0, false}}},
              {"", "SE:NUMBERKEY", KeyFlag::DUP, {{1, false}}}};
    return t;
  }();
  return declaration;
}

// The collection file on a file system, with its record buffers: the
// collection table, and SERIES opened beside it (openSeries) through the
// same open of the file.
struct CollectionFile {
  collection::GlRecord buffer;
  DataFile file;
  SeriesRow seriesBuffer{};
  DataFile series;
  explicit CollectionFile(FileSystem& fs, const std::string& path) : file(fs), series(fs) {
    file.declare(collection::glimraDeclaration(), &buffer);
    file.setName(path);
    series.declare(seriesDeclaration(), &seriesBuffer);
    series.setName(path + "\\!SERIES");
  }
  // Opens SERIES (creating it when create is set and the file lacks it).
  // 0, 2 when the file has no such table (and create is not set), or the error.
  int openSeries(bool create) {
    if (series.isOpen()) return 0;
    int rc = series.open();
    if (rc == 2 && create && series.create() == 0) rc = series.open();
    return rc;
  }
};

// Memo sizes across the piece boundaries: none, one piece, exactly one,
// just two, many.
inline constexpr std::size_t kNoteSizes[] = {0, 40, 256, 257, 1500, 2000};
inline constexpr std::size_t kPictureSizes[] = {0, 1, 256, 257, 3000, 20000};

// Fills the SERIES memos of shape `value`: sizes from the tables above,
// bytes from the value.
inline void fillSeriesMemos(DataFile& series, std::size_t value, std::size_t noteSize, std::size_t pictureSize) {
  Bytes& notes = series.memo(0);
  notes.assign(2000, ' ');
  for (std::size_t i = 0; i < noteSize; ++i) notes[i] = static_cast<std::uint8_t>('a' + (value + i * 7) % 26);
  Bytes& picture = series.memo(1);
  picture.resize(pictureSize);
  for (std::size_t i = 0; i < pictureSize; ++i) picture[i] = static_cast<std::uint8_t>((value * 131 + i * 17) >> 3);
}

// One SERIES operation. A PUT changes the memos as value says: bytes in the
// middle changed, both grown, both shrunk, or both cleared.
inline int runSeriesOp(CollectionFile& f, const WorkOp& op, std::vector<std::uint32_t>& live) {
  DataFile& series = f.series;
  switch (op.kind) {
    case WorkOp::SeriesAdd: {
      const std::string name = "series " + std::to_string(op.value);
      std::memset(f.seriesBuffer.name, ' ', sizeof f.seriesBuffer.name);
      std::memcpy(f.seriesBuffer.name, name.data(), std::min(name.size(), sizeof f.seriesBuffer.name));
      f.seriesBuffer.number = static_cast<std::int32_t>(op.value);
      fillSeriesMemos(series, op.value, kNoteSizes[op.value % 6], kPictureSizes[op.value / 6 % 6]);
      const int rc = series.add();
      if (rc == 0) live.push_back(series.pointer());
      return rc;
    }
    case WorkOp::SeriesPut: {
      if (int rc = series.get(live.at(op.target))) return rc;
      Bytes& notes = series.memo(0);
      Bytes& picture = series.memo(1);
      const std::size_t noteSize = notes.size() - static_cast<std::size_t>(std::find_if(notes.rbegin(), notes.rend(), [](std::uint8_t c) { return c != ' '; }) - notes.rbegin());
      switch (op.value % 4) {
        case 0:  // changed in the middle, same lengths
          if (noteSize > 0) notes[noteSize / 2] = static_cast<std::uint8_t>('A' + op.value % 26);
          if (!picture.empty()) picture[picture.size() / 2] ^= 0x5A;
          break;
        case 1:  // grown
          fillSeriesMemos(series, op.value, std::min<std::size_t>(2000, noteSize + 300), picture.size() + 700);
          break;
        case 2:  // shrunk
          fillSeriesMemos(series, op.value, noteSize / 3, picture.size() / 3);
          break;
        default:  // cleared
          fillSeriesMemos(series, op.value, 0, 0);
      }
      f.seriesBuffer.number = static_cast<std::int32_t>(op.value);
      return series.put();
    }
    default: {
      if (int rc = series.get(live.at(op.target))) return rc;
      const int rc = series.erase();
      if (rc == 0) live.erase(live.begin() + static_cast<std::ptrdiff_t>(op.target));
      return rc;
    }
  }
}

// Runs one unit; live holds the record numbers of the live records in add
// order. Returns the first non-zero error code (0 when everything worked).
inline int runUnit(CollectionFile& f, const Workload& w, const WorkUnit& u, LiveRecords& liveRecords) {
  DataFile& file = f.file;
  std::vector<std::uint32_t>& live = liveRecords.collection;
  if (int rc = f.openSeries(true)) return rc;
  // LOGOUT of the collection takes SERIES, a table of the same open file, along.
  if (u.transaction && file.logout() != 0) return file.errorCode();
  for (const WorkOp& op : u.ops) {
    int rc = 0;
    switch (op.kind) {
      case WorkOp::SeriesAdd:
      case WorkOp::SeriesPut:
      case WorkOp::SeriesDelete:
        rc = runSeriesOp(f, op, liveRecords.series);
        break;
      case WorkOp::Add:
        f.buffer = w.ornaments[op.value];
        rc = file.add();
        if (rc == 0) live.push_back(file.pointer());
        break;
      case WorkOp::Put:
        rc = file.get(live.at(op.target));
        if (rc == 0) {
          const collection::GlRecord& v = w.ornaments[op.value];
          f.buffer.NAME = v.NAME;
          f.buffer.VALUE = v.VALUE;
          f.buffer.LOCATION = v.LOCATION;
          f.buffer.DESCRIPTION = v.DESCRIPTION;
          f.buffer.DELETED = op.value % 5 == 0 ? 1 : 0;
          rc = file.put();
        }
        break;
      case WorkOp::Delete:
        rc = file.get(live.at(op.target));
        if (rc == 0) rc = file.erase();
        if (rc == 0) live.erase(live.begin() + static_cast<std::ptrdiff_t>(op.target));
        break;
    }
    if (rc != 0) {
      if (u.transaction) file.rollback();
      return rc;
    }
  }
  if (u.transaction && file.commit() != 0) return file.errorCode();
  return 0;
}

// Everything a reader sees, as one number (0 when a walk fails).
inline std::uint64_t digestOf(CollectionFile& f) {
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&](const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  };
  DataFile& file = f.file;
  if (file.setFile() != 0) return 0;
  while (file.next() == 0) {
    const std::uint32_t p = file.pointer();
    mix(&p, sizeof p);
    mix(&f.buffer, 640);  // the fields and keys; the long texts are hashed below
    mix(f.buffer.DESCRIPTION.bytes, 64);
  }
  if (file.errorCode() != 33) return 0;
  auto mixCounts = [&](DataFile& table) {
    const std::uint32_t n = table.records();
    mix(&n, sizeof n);
    for (std::size_t k = 0; k < table.declaration().keys.size(); ++k) {
      const std::uint32_t c = table.records(k);
      mix(&c, sizeof c);
    }
  };
  mixCounts(file);
  // SERIES: a file without it reads as one whose SERIES is empty.
  const int opened = f.openSeries(false);
  if (opened != 0 && opened != 2) return 0;
  if (opened == 0) {
    DataFile& series = f.series;
    if (series.setFile() != 0) return 0;
    while (series.next() == 0) {
      const std::uint32_t p = series.pointer();
      mix(&p, sizeof p);
      mix(&f.seriesBuffer, sizeof f.seriesBuffer);
      for (std::size_t m = 0; m < 2; ++m) {
        const std::uint64_t size = series.memo(m).size();
        mix(&size, sizeof size);
        mix(series.memo(m).data(), series.memo(m).size());
      }
    }
    if (series.errorCode() != 33) return 0;
    mixCounts(series);
  } else {
    const std::uint32_t zero = 0;
    for (std::size_t i = 0; i < 1 + seriesDeclaration().keys.size(); ++i) mix(&zero, sizeof zero);
  }
  return h == 0 ? 1 : h;
}

}  // namespace glimra::datafile::testing
