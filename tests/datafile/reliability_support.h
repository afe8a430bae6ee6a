// A long, seeded workload on the collection file for the reliability runs:
// units of work (a single ADD, PUT or DELETE committed on its own, or a
// transaction of several), run through DataFile on any FileSystem, and a
// digest of everything a reader sees (records in record order with their
// bytes, the record count and every key's entry count).
//
// Size knobs (environment): GLIMRA_RELIABILITY_OPS, the number of operations
// (default small, so the test suite stays quick); GLIMRA_RELIABILITY_SEED.
#pragma once

#include <cstdint>
#include <cstdlib>
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
  enum Kind { Add, Put, Delete } kind;
  std::size_t value;   // Add/Put: index of the ornament whose fields are written
  std::size_t target;  // Put/Delete: index into the live records (in add order)
};

struct WorkUnit {
  bool transaction = false;
  std::vector<WorkOp> ops;
};

struct Workload {
  std::vector<collection::GlRecord> ornaments;
  std::vector<WorkUnit> units;
  std::size_t operations = 0;
};

// About `operations` operations: 40% single adds, 15% single puts, 10% single
// deletes, the rest in transactions of 2..5 mixed operations.
inline Workload makeWorkload(std::size_t operations, std::uint64_t seed) {
  Workload w;
  std::mt19937_64 random(seed);
  std::size_t live = 0;
  auto pickOp = [&](int addWeight) {
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
    if (r < 40) {
      ++live;
      u.ops.push_back({WorkOp::Add, random() % 4096, 0});
    } else if (r < 65) {
      u.ops.push_back(pickOp(0));
    } else {
      u.transaction = true;
      const std::size_t n = 2 + random() % 4;
      for (std::size_t i = 0; i < n; ++i) u.ops.push_back(pickOp(45));
    }
    w.operations += u.ops.size();
    w.units.push_back(std::move(u));
  }
  w.ornaments = collection::generateOrnaments(4096, seed);
  return w;
}

// An open collection file on a file system, with its record buffer.
struct CollectionFile {
  collection::GlRecord buffer;
  DataFile file;
  explicit CollectionFile(FileSystem& fs, const std::string& path) : file(fs) {
    file.declare(collection::glimraDeclaration(), &buffer);
    file.setName(path);
  }
};

// Runs one unit; live holds the record numbers of the live records in add
// order. Returns the first non-zero error code (0 when everything worked).
inline int runUnit(CollectionFile& f, const Workload& w, const WorkUnit& u, std::vector<std::uint32_t>& live) {
  DataFile& file = f.file;
  if (u.transaction && file.logout() != 0) return file.errorCode();
  for (const WorkOp& op : u.ops) {
    int rc = 0;
    switch (op.kind) {
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
  const std::uint32_t n = file.records();
  mix(&n, sizeof n);
  for (std::size_t k = 0; k < file.declaration().keys.size(); ++k) {
    const std::uint32_t c = file.records(k);
    mix(&c, sizeof c);
  }
  return h == 0 ? 1 : h;
}

}  // namespace glimra::datafile::testing
