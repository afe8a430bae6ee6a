// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-bench: the storage engine against SQLite on the same work, in the same
// run, alternating, on generated ornaments.
//
// Workloads: durable add (each record committed on its own), bulk add (one
// transaction), file size after the bulk add, scan in record order, walk of
// the name key, save (retire the old version and add the new one in one
// transaction) and find (records containing a text in any field). SQLite is
// set up as a tuned equivalent: one table with a column per record field,
// page_size 4096, synchronous=FULL, one index per key of the collection file
// in the same order (NOCASE for case-insensitive keys, partial where blank
// values are left out), in two storage forms (pad: text as the record holds
// it, blank-padded; trim: trailing blanks removed) and both journal modes
// (DELETE, WAL).
//
// Per durable commit (durable_add, save) ours also reports the time spent
// inside its flushes (timed in the counting file system) beside the whole
// commit, and for the bulk add the part spent in its commit.
//
// Usage: glimra-bench [--quick] [--json] [--reps N] [--dir DIR]
//                     [--only WORKLOAD] [--engine ours|sqlite]
//                     [--durable N] [--bulk N] [--save N] [--bulk-batch N]
//                     [--cache-bytes N]   (ours' page cache budget for the reads)
//        glimra-bench --load [benchmark flags]   (the main window's load benchmark)
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "collection/generator.h"
#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "datafile/text_search.h"
#include "io_counters.h"


namespace {

namespace fs = std::filesystem;
using glimra::bench::CountingFileSystem;
using glimra::bench::IoCounts;
namespace GlKey = glimra::collection::GlKey;
using glimra::collection::GlRecord;
using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::uint64_t fileBytes(const fs::path& p) {
  std::error_code ec;
  const auto n = fs::file_size(p, ec);
  return ec ? 0 : n;
}

void removeDb(const fs::path& p) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(p.string() + suffix);
}

// ---------------------------------------------------------------- columns --

enum class Kind { Text, Int };
struct Column {
  const char* name;
  Kind kind;
  std::size_t offset, size;
  int key;  // -1, or the GlKey whose only component this is
};

#define TEXT(m, k) Column{#m, Kind::Text, offsetof(GlRecord, m), sizeof(GlRecord::m), k}
#define NUM(m, k) Column{#m, Kind::Int, offsetof(GlRecord, m), sizeof(GlRecord::m), k}
const std::vector<Column>& columns() {
  static const std::vector<Column> c = {
      TEXT(NAME, GlKey::NAMEKEYKEY),       TEXT(CATEGORY, GlKey::CATEGORYKEY),
      TEXT(SERIES, GlKey::SERIESKEYKEY),   TEXT(SERIESNUM, GlKey::SERIESNUMKEY),
      TEXT(MANUF, GlKey::MANUFKEY),        TEXT(CONDITION, GlKey::CONDITIONKEY),
      TEXT(ARTIST, GlKey::ARTISTKEY),      TEXT(VALUE, GlKey::VALUEKEY),
      TEXT(YEAR, GlKey::YEARKEY),          TEXT(LOCATION, GlKey::LOCATIONKEY),
      TEXT(PURDATE, GlKey::PURDATEKEY),    TEXT(CUSTOM1, GlKey::CUSTOM1KEY),
      TEXT(PURFROM, GlKey::PURFROMKEY),    TEXT(CUSTOM2, GlKey::CUSTOM2KEY),
      TEXT(PURPRICE, GlKey::PURPRICEKEY),  TEXT(CUSTOM3, GlKey::CUSTOM3KEY),
      NUM(DELETED, -1),                    NUM(CREATEDDATE, -1),
      NUM(CREATEDTIME, -1),                NUM(CHANGEDDATE, -1),
      NUM(CHANGEDTIME, -1),                TEXT(SERIESKEY, -1),
      TEXT(NAMEKEY, -1),                   NUM(LISTBYSERIES, -1),
      TEXT(DESCRIPTION, -1),               TEXT(LIBRARIAN, -1),
      TEXT(DATELENT, GlKey::DATELENTKEY),  TEXT(LENTTO, GlKey::LENTOKEY),
      TEXT(DATEGIVEN, GlKey::DATEGIVENKEY), TEXT(GIVENTO, GlKey::GIVENTOKEY),
  };
  return c;
}
#undef TEXT
#undef NUM

std::int64_t intOf(const GlRecord& r, const Column& c) {
  const auto* p = reinterpret_cast<const unsigned char*>(&r) + c.offset;
  if (c.size == 1) return p[0];
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

std::string_view textOf(const GlRecord& r, const Column& c, bool pad) {
  std::string_view t(reinterpret_cast<const char*>(&r) + c.offset, c.size);
  return pad ? t : glimra::collection::clipTrailingBlanks(t);
}

// -------------------------------------------------------------- the engines --

struct Ours {
  CountingFileSystem fs{glimra::datafile::posixFileSystem()};
  GlRecord buffer;
  glimra::datafile::DataFile file{fs};
  // cacheBytes: the page cache's budget (0: the default).
  Ours(const fs::path& path, bool create, std::size_t cacheBytes = 0) {
    file.declare(glimra::collection::glimraDeclaration(), &buffer);
    if (cacheBytes) file.setPageCacheBytes(cacheBytes);
    file.setName(path.string());
    if (create && file.create() != 0) fail("create: " + glimra::datafile::describeError(file));
    if (file.open(glimra::datafile::OpenMode{0x22}) != 0) fail("open: " + glimra::datafile::describeError(file));
  }
  ~Ours() { file.close(); }
  void check(int rc, const char* what) {
    if (rc != 0) fail(std::string(what) + ": " + glimra::datafile::describeError(file));
  }
};

struct SqliteForm {
  bool pad;
  bool wal;
  std::string name() const { return std::string(pad ? "pad" : "trim") + (wal ? "_wal" : "_delete"); }
};

struct Sql {
  sqlite3* db = nullptr;
  bool pad;
  sqlite3_stmt* insert = nullptr;
  Sql(const fs::path& path, SqliteForm form, bool create) : pad(form.pad) {
    if (create) removeDb(path);
    if (sqlite3_open_v2(path.string().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        glimra::bench::registerCountingVfs()) != SQLITE_OK)
      fail("sqlite open");
    exec("PRAGMA page_size=4096");
    exec(form.wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE");
    exec("PRAGMA synchronous=FULL");
    if (create) createSchema();
    std::string sql = "INSERT INTO t VALUES(";
    for (std::size_t i = 0; i < columns().size(); ++i) sql += i ? ",?" : "?";
    insert = prepare(sql + ")");
  }
  ~Sql() {
    sqlite3_finalize(insert);
    sqlite3_close(db);
  }
  void exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      std::string m = message ? message : "?";
      sqlite3_free(message);
      fail("sqlite: " + m + " in " + sql);
    }
  }
  sqlite3_stmt* prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
      fail(std::string("sqlite prepare: ") + sqlite3_errmsg(db));
    return s;
  }
  std::string blank(const Column& c) const { return pad ? "'" + std::string(c.size, ' ') + "'" : "''"; }
  void createSchema() {
    std::string sql = "CREATE TABLE t(";
    for (std::size_t i = 0; i < columns().size(); ++i) {
      const Column& c = columns()[i];
      sql += std::string(i ? "," : "") + c.name + (c.kind == Kind::Text ? " TEXT" : " INTEGER");
    }
    exec(sql + ")");
    // The keys of the collection file, in declaration order.
    exec("CREATE INDEX k_created ON t(CREATEDDATE, CREATEDTIME, DELETED)");
    exec("CREATE INDEX k_deleted ON t(DELETED) WHERE DELETED <> 0");
    for (int k = GlKey::DATELENTKEY; k < GlKey::COUNT; ++k)
      for (const Column& c : columns())
        if (c.key == k)
          exec(std::string("CREATE INDEX k_") + c.name + " ON t(" + c.name + " COLLATE NOCASE) WHERE " +
               c.name + " <> " + blank(c));
  }
  void bindRecord(sqlite3_stmt* s, const GlRecord& r) {
    int i = 1;
    for (const Column& c : columns()) {
      if (c.kind == Kind::Int) {
        sqlite3_bind_int64(s, i++, intOf(r, c));
      } else {
        const std::string_view t = textOf(r, c, pad);
        sqlite3_bind_text(s, i++, t.data(), static_cast<int>(t.size()), SQLITE_STATIC);
      }
    }
  }
  void step(sqlite3_stmt* s) {
    if (sqlite3_step(s) != SQLITE_DONE) fail(std::string("sqlite step: ") + sqlite3_errmsg(db));
    sqlite3_reset(s);
  }
  void add(const GlRecord& r) {
    bindRecord(insert, r);
    step(insert);
  }
};

// Touches every column of the current row (what a reader of the row pays).
std::uint64_t readRow(sqlite3_stmt* s) {
  std::uint64_t sum = 0;
  const int n = sqlite3_column_count(s);
  for (int i = 0; i < n; ++i) {
    if (sqlite3_column_type(s, i) == SQLITE_INTEGER) {
      sum += static_cast<std::uint64_t>(sqlite3_column_int64(s, i));
    } else {
      const unsigned char* t = sqlite3_column_text(s, i);
      const int len = sqlite3_column_bytes(s, i);
      if (len > 0) sum += t[0] + static_cast<std::uint64_t>(len);
    }
  }
  return sum;
}

// ------------------------------------------------------------- the harness --

struct Sample {
  std::vector<double> times;
  std::vector<double> cpuTimes;    // the same runs in CPU time (this thread's)
  std::vector<double> flushTimes;  // ours: the part of each time spent in flushes
  std::vector<double> commitTimes;  // ours' bulk add: the part spent in its commits
  IoCounts io;          // of the last run
  std::uint64_t size = 0;  // file bytes after the last run (where it matters)
  std::uint64_t result = 0;  // a count the engines must agree on
};

struct Options {
  bool quick = false, json = false;
  int reps = 0;
  std::size_t durable = 0, bulk = 0, save = 0, bulkBatch = 0;
  std::size_t cacheBytes = 0;  // ours' page cache budget; 0: the default
  std::string only, engine;
  fs::path dir;
};

struct Sizes {
  std::size_t durable, bulk, save;
};

class Bench {
 public:
  Bench(Options o) : opt_(std::move(o)) {
    sizes_ = opt_.quick ? Sizes{200, 2000, 200} : Sizes{2000, 20000, 2000};
    reps_ = opt_.reps > 0 ? opt_.reps : 5;
    if (opt_.durable) sizes_.durable = opt_.durable;
    if (opt_.bulk) sizes_.bulk = opt_.bulk;
    if (opt_.save) sizes_.save = opt_.save;
    ornaments_ = glimra::collection::generateOrnaments(sizes_.bulk, 7);
    fresh_ = glimra::collection::generateOrnaments(std::max(sizes_.durable, sizes_.save), 11);
    fs::create_directories(opt_.dir);
  }

  void run() {
    const std::vector<SqliteForm> all = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (int rep = 0; rep < reps_; ++rep) {
      if (!opt_.json) std::fprintf(stderr, "round %d/%d\n", rep + 1, reps_);
      // Alternate the order each round so neither side always runs first.
      const bool oursFirst = rep % 2 == 0;
      auto round = [&](auto&& oursFn, auto&& sqlFn) {
        if (oursFirst && wants("ours")) oursFn();
        if (wants("sqlite"))
          for (const SqliteForm& f : all) sqlFn(f);
        if (!oursFirst && wants("ours")) oursFn();
      };
      if (wanted("durable_add")) round([&] { oursDurable(); }, [&](SqliteForm f) { sqlDurable(f); });
      if (opt_.only != "durable_add") round([&] { oursBulkChain(); }, [&](SqliteForm f) { sqlBulkChain(f); });
    }
  }

  void report() const;
  void printFlushShare(const char* workload, std::size_t commits) const;

 private:
  bool wants(const std::string& engine) const { return opt_.engine.empty() || opt_.engine == engine; }
  bool wanted(const std::string& w) const { return opt_.only.empty() || opt_.only == w; }
  Sample& at(const std::string& workload, const std::string& engine) { return samples_[workload][engine]; }

  template <class F>
  double timed(F&& f) {
    const auto a = Clock::now();
    f();
    return seconds(a, Clock::now());
  }
  // Times f into s, in wall time and in this thread's CPU time: on a shared
  // machine the CPU time of the CPU-bound workloads is the steadier figure.
  template <class F>
  void record(Sample& s, F&& f) {
    const double cpu = threadCpuSeconds();
    s.times.push_back(timed(f));
    s.cpuTimes.push_back(threadCpuSeconds() - cpu);
  }

  // --- durable add
  void oursDurable() {
    const fs::path path = opt_.dir / "durable.GLM";
    Ours o(path, true);
    const IoCounts before = o.fs.counts();
    Sample& s = at("durable_add", "ours");
    record(s, [&] {
      for (std::size_t i = 0; i < sizes_.durable; ++i) {
        o.buffer = fresh_[i];
        o.check(o.file.add(), "add");
      }
    });
    s.io = o.fs.counts() - before;
    s.flushTimes.push_back(s.io.flushSeconds);
    s.size = fileBytes(path);
  }
  void sqlDurable(SqliteForm f) {
    const fs::path path = opt_.dir / ("durable-" + f.name() + ".db");
    {
      Sql q(path, f, true);
      const IoCounts before = glimra::bench::sqliteCounts();
      Sample& s = at("durable_add", f.name());
      record(s, [&] {
        for (std::size_t i = 0; i < sizes_.durable; ++i) q.add(fresh_[i]);
      });
      s.io = glimra::bench::sqliteCounts() - before;
    }
    at("durable_add", f.name()).size = fileBytes(path) + fileBytes(path.string() + "-wal");
    removeDb(path);
  }

  // --- bulk add, then size, scan, key walk, find and save on the result
  void oursBulkChain() {
    const fs::path path = opt_.dir / "bulk.GLM";
    {
      Ours o(path, true);
      const IoCounts before = o.fs.counts();
      Sample& s = at("bulk_add", "ours");
      double inCommits = 0;
      record(s, [&] {
        // One transaction, or (--bulk-batch N) one per N records.
        const std::size_t batch = opt_.bulkBatch ? opt_.bulkBatch : ornaments_.size();
        for (std::size_t i = 0; i < ornaments_.size(); ++i) {
          if (i % batch == 0) o.check(o.file.logout(), "logout");
          o.buffer = ornaments_[i];
          o.check(o.file.add(), "add");
          if ((i + 1) % batch == 0 || i + 1 == ornaments_.size())
            inCommits += timed([&] { o.check(o.file.commit(), "commit"); });
        }
      });
      s.commitTimes.push_back(inCommits);
      s.io = o.fs.counts() - before;
      s.flushTimes.push_back(s.io.flushSeconds);
    }
    at("bulk_add", "ours").size = fileBytes(path);
    at("file_size", "ours").times.push_back(double(fileBytes(path)));

    Ours o(path, false, opt_.cacheBytes);
    pointers_.clear();
    o.check(o.file.setFile(), "set");
    while (o.file.next() == 0) pointers_.push_back(o.file.pointer());
    if (pointers_.size() != ornaments_.size()) fail("ours: the file does not hold every record added");
    if (wanted("scan")) {
      Sample& s = at("scan", "ours");
      std::uint64_t n = 0, sum = 0;
      record(s, [&] {
        o.check(o.file.setFile(), "set");
        while (o.file.next() == 0) {
          ++n;
          sum += static_cast<unsigned char>(o.buffer.NAME.bytes[0]);
        }
      });
      s.result = n + (sum & 0);
    }
    if (wanted("key_walk")) {
      Sample& s = at("key_walk", "ours");
      std::uint64_t n = 0, sum = 0;
      record(s, [&] {
        o.check(o.file.setKey(GlKey::NAMEKEYKEY), "set key");
        while (o.file.next() == 0) {
          ++n;
          sum += static_cast<unsigned char>(o.buffer.NAME.bytes[0]);
        }
      });
      s.result = n + (sum & 0);
    }
    if (wanted("find")) {
      // The engine's search: every live record holding the text, case folded.
      Sample& s = at("find", "ours");
      glimra::datafile::TextSearch search;
      search.text = findText;
      search.ignoreCase = true;
      search.skipWhenSetAt = offsetof(GlRecord, DELETED);
      std::vector<std::uint32_t> matches;
      record(s, [&] { o.check(glimra::datafile::findText(o.file, search, &matches), "find"); });
      s.result = matches.size();
    }
    if (wanted("save")) {
      Sample& s = at("save", "ours");
      const IoCounts before = o.fs.counts();
      record(s, [&] {
        for (std::size_t i = 0; i < sizes_.save; ++i) {
          o.check(o.file.logout(), "logout");
          o.check(o.file.get(pointers_[savePointer(i) - 1]), "get");
          o.buffer.DELETED = 1;
          o.check(o.file.put(), "put");
          o.buffer = newVersion(i);
          o.check(o.file.add(), "add");
          o.check(o.file.commit(), "commit");
        }
      });
      s.io = o.fs.counts() - before;
      s.flushTimes.push_back(s.io.flushSeconds);
    }
  }

  void sqlBulkChain(SqliteForm f) {
    const fs::path path = opt_.dir / ("bulk-" + f.name() + ".db");
    {
      Sql q(path, f, true);
      const IoCounts before = glimra::bench::sqliteCounts();
      Sample& s = at("bulk_add", f.name());
      record(s, [&] {
        q.exec("BEGIN");
        for (const GlRecord& r : ornaments_) q.add(r);
        q.exec("COMMIT");
      });
      s.io = glimra::bench::sqliteCounts() - before;
    }
    at("bulk_add", f.name()).size = fileBytes(path) + fileBytes(path.string() + "-wal");
    {
      Sql q(path, f, false);
      if (f.wal) q.exec("PRAGMA wal_checkpoint(TRUNCATE)");
      at("file_size", f.name()).times.push_back(double(fileBytes(path)));
      // Reading does not depend on the journal mode: measured on the DELETE files.
      if (!f.wal) sqlReads(q, f);
      if (wanted("save")) sqlSave(q, f);
    }
    removeDb(path);
  }

  // Times reading every row (every column) of a query into s.
  void timeRows(Sql& q, const std::string& sql, Sample& s) {
    sqlite3_stmt* st = q.prepare(sql);
    std::uint64_t n = 0, sum = 0;
    record(s, [&] {
      while (sqlite3_step(st) == SQLITE_ROW) {
        ++n;
        sum += readRow(st);
      }
    });
    s.result = n + (sum & 0);
    sqlite3_finalize(st);
  }

  void sqlReads(Sql& q, SqliteForm f) {
    if (wanted("scan")) {
      timeRows(q, "SELECT * FROM t ORDER BY rowid", at("scan", f.name()));
    }
    if (wanted("key_walk")) {
      const Column& name = columns()[0];
      const std::string sql =
          std::string("SELECT * FROM t WHERE NAME <> ") + q.blank(name) + " ORDER BY NAME COLLATE NOCASE";
      checkPlanUsesIndex(q, sql);
      timeRows(q, sql, at("key_walk", f.name()));
    }
    if (wanted("find")) {
      std::string sql = "SELECT rowid FROM t WHERE DELETED = 0 AND (";
      bool first = true;
      for (const Column& c : columns())
        if (c.kind == Kind::Text) {
          sql += std::string(first ? "" : " OR ") + c.name + " LIKE ?1";
          first = false;
        }
      sqlite3_stmt* st = q.prepare(sql + ")");
      const std::string pattern = std::string("%") + findText + "%";
      sqlite3_bind_text(st, 1, pattern.c_str(), -1, SQLITE_TRANSIENT);
      std::uint64_t n = 0;
      Sample& s = at("find", f.name());
      record(s, [&] {
        while (sqlite3_step(st) == SQLITE_ROW) ++n;
      });
      s.result = n;
      sqlite3_finalize(st);
    }
  }

  void sqlSave(Sql& q, SqliteForm f) {
    sqlite3_stmt* retire = q.prepare("UPDATE t SET DELETED = 1 WHERE rowid = ?");
    Sample& s = at("save", f.name());
    const IoCounts before = glimra::bench::sqliteCounts();
    record(s, [&] {
      for (std::size_t i = 0; i < sizes_.save; ++i) {
        q.exec("BEGIN");
        sqlite3_bind_int64(retire, 1, savePointer(i));
        q.step(retire);
        q.add(newVersion(i));
        q.exec("COMMIT");
      }
    });
    s.io = glimra::bench::sqliteCounts() - before;
    sqlite3_finalize(retire);
  }

  void checkPlanUsesIndex(Sql& q, const std::string& sql) {
    if (planChecked_) return;
    sqlite3_stmt* st = q.prepare("EXPLAIN QUERY PLAN " + sql);
    std::string plan;
    while (sqlite3_step(st) == SQLITE_ROW) plan += reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
    sqlite3_finalize(st);
    if (plan.find("k_NAME") == std::string::npos || plan.find("TEMP B-TREE") != std::string::npos)
      fail("SQLite key walk does not use the name index: " + plan);
    planChecked_ = true;
  }

  // The record to retire in save round i (record numbers and rowids both
  // count from 1 in adding order), and its new version.
  std::uint32_t savePointer(std::size_t i) const {
    return static_cast<std::uint32_t>(1 + (i * 7919) % sizes_.bulk);
  }
  GlRecord newVersion(std::size_t i) const {
    GlRecord r = ornaments_[savePointer(i) - 1];
    r.VALUE = std::to_string(10 + i % 90) + ".5";
    r.CHANGEDDATE = static_cast<std::int32_t>(80000 + i);
    r.DELETED = 0;
    return r;
  }

  static constexpr const char* findText = "chip";

  Options opt_;
  Sizes sizes_;
  int reps_;
  bool planChecked_ = false;
  std::vector<GlRecord> ornaments_, fresh_;
  std::vector<std::uint32_t> pointers_;  // record numbers of ours in adding order
  std::map<std::string, std::map<std::string, Sample>> samples_;
};

struct Goal {
  const char* workload;
  const char* reference;
  double limit;
  const char* unit;
};
const Goal kGoals[] = {
    {"durable_add", "trim_delete", 1.0, "s"}, {"bulk_add", "trim_delete", 1.0, "s"},
    {"file_size", "trim_delete", 1.0, "bytes"}, {"scan", "trim_delete", 1.0, "s"},
    {"key_walk", "trim_delete", 1.0, "s"},    {"save", "trim_delete", 1.0, "s"},
    {"find", "trim_delete", 0.5, "s"},
};

// A durable commit's own work beside its flushes: per run, the whole time over
// the time spent inside flushes; the median of those ratios.
constexpr double kCommitOverFlushesGoal = 1.2;

struct FlushShare {
  double commitMs = 0, flushMs = 0, ratio = 0;  // per commit, medians
};

FlushShare flushShare(const Sample& s, std::size_t commits) {
  FlushShare f;
  if (s.flushTimes.empty() || s.flushTimes.size() != s.times.size() || commits == 0) return f;
  std::vector<double> ratios;
  for (std::size_t i = 0; i < s.times.size(); ++i)
    if (s.flushTimes[i] > 0) ratios.push_back(s.times[i] / s.flushTimes[i]);
  f.commitMs = median(s.times) * 1e3 / double(commits);
  f.flushMs = median(s.flushTimes) * 1e3 / double(commits);
  f.ratio = median(ratios);
  return f;
}

void Bench::report() const {
  auto med = [&](const std::string& w, const std::string& e) -> double {
    auto wi = samples_.find(w);
    if (wi == samples_.end()) return 0;
    auto ei = wi->second.find(e);
    return ei == wi->second.end() ? 0 : median(ei->second.times);
  };
  const char* engines[] = {"ours", "trim_delete", "pad_delete", "trim_wal", "pad_wal"};
  const std::size_t n[] = {sizes_.durable, sizes_.bulk};
  if (opt_.json) {
    std::printf("{\"quick\":%s,\"rounds\":%d,\"records\":{\"durable\":%zu,\"bulk\":%zu,\"save\":%zu},",
                opt_.quick ? "true" : "false", reps_, sizes_.durable, sizes_.bulk, sizes_.save);
    std::printf("\"ratios\":{");
    bool first = true;
    for (const Goal& g : kGoals) {
      const double ref = med(g.workload, g.reference);
      const double o = med(g.workload, "ours");
      if (ref > 0 && o > 0)
        std::printf("%s\"%s\":%.3f", first ? "" : ",", g.workload, o / ref);
      else
        std::printf("%s\"%s\":null", first ? "" : ",", g.workload);  // not measured in this run
      first = false;
    }
    std::printf("},\"cpu_ratios\":{");
    first = true;
    for (const Goal& g : kGoals) {
      auto wi = samples_.find(g.workload);
      double r = 0;
      if (std::string(g.unit) != "bytes" && wi != samples_.end() && wi->second.count("ours") &&
          wi->second.count(g.reference)) {
        const double ref = median(wi->second.at(g.reference).cpuTimes);
        if (ref > 0) r = median(wi->second.at("ours").cpuTimes) / ref;
      }
      if (r > 0)
        std::printf("%s\"%s\":%.3f", first ? "" : ",", g.workload, r);
      else
        std::printf("%s\"%s\":null", first ? "" : ",", g.workload);
      first = false;
    }
    std::printf("},\"goals\":{");
    first = true;
    for (const Goal& g : kGoals) {
      std::printf("%s\"%s\":{\"reference\":\"%s\",\"at_most\":%.1f}", first ? "" : ",", g.workload,
                  g.reference, g.limit);
      first = false;
    }
    std::printf("},\"commit_over_flushes\":{");
    first = true;
    for (const auto& [w, commits] : {std::pair<const char*, std::size_t>{"durable_add", sizes_.durable},
                                     {"save", sizes_.save}}) {
      auto wi = samples_.find(w);
      const FlushShare f = (wi != samples_.end() && wi->second.count("ours"))
                               ? flushShare(wi->second.at("ours"), commits) : FlushShare{};
      if (f.ratio > 0)
        std::printf("%s\"%s\":{\"commit_ms\":%.4f,\"flushes_ms\":%.4f,\"ratio\":%.3f,\"at_most\":%.1f}",
                    first ? "" : ",", w, f.commitMs, f.flushMs, f.ratio, kCommitOverFlushesGoal);
      else
        std::printf("%s\"%s\":null", first ? "" : ",", w);
      first = false;
    }
    std::printf("},\"medians\":{");
    first = true;
    for (const auto& [w, byEngine] : samples_) {
      std::printf("%s\"%s\":{", first ? "" : ",", w.c_str());
      first = false;
      bool f2 = true;
      for (const auto& [e, s] : byEngine) {
        std::printf("%s\"%s\":{\"median\":%.6g,\"written_bytes\":%llu,\"writes\":%llu,\"flushes\":%llu,\"result\":%llu}",
                    f2 ? "" : ",", e.c_str(), median(s.times), (unsigned long long)s.io.bytes,
                    (unsigned long long)s.io.writes, (unsigned long long)s.io.flushes,
                    (unsigned long long)s.result);
        f2 = false;
      }
      std::printf("}");
    }
    std::printf("}}\n");
    return;
  }
  (void)n;
  std::printf("glimra-bench: %d rounds; durable add %zu, bulk %zu, save %zu records%s\n\n", reps_,
              sizes_.durable, sizes_.bulk, sizes_.save,
              opt_.bulkBatch ? "; ours adds the bulk in transactions of --bulk-batch records" : "");
  std::printf("%-12s %-12s %12s %8s %14s %10s %9s %10s\n", "workload", "engine", "median", "ratio", "written",
              "writes", "flushes", "result");
  for (const Goal& g : kGoals) {
    const double ours = med(g.workload, "ours");
    for (const char* e : engines) {
      auto wi = samples_.find(g.workload);
      if (wi == samples_.end() || !wi->second.count(e)) continue;
      const Sample& s = wi->second.at(e);
      const double m = median(s.times);
      char value[32];
      if (std::string(g.unit) == "bytes")
        std::snprintf(value, sizeof value, "%.2f MB", m / 1e6);
      else
        std::snprintf(value, sizeof value, "%.1f ms", m * 1e3);
      char ratio[16] = "";
      if (std::string(e) != "ours" && m > 0) std::snprintf(ratio, sizeof ratio, "%.2f", ours / m);
      std::printf("%-12s %-12s %12s %8s %11.2f MB %10llu %9llu %10llu\n", g.workload, e, value, ratio,
                  s.io.bytes / 1e6, (unsigned long long)s.io.writes, (unsigned long long)s.io.flushes,
                  (unsigned long long)s.result);
    }
  }
  std::printf("\nratio = ours / that engine (time, or bytes for file_size)\n");
  std::printf("goals (ours / %s): ", "trim_delete");
  for (const Goal& g : kGoals) {
    const double ref = med(g.workload, g.reference);
    const double o = med(g.workload, "ours");
    if (ref <= 0 || o <= 0) {
      std::printf("%s - (not measured)  ", g.workload);  // a workload or engine left out by --only/--engine
      continue;
    }
    const double r = o / ref;
    std::printf("%s %.2f (<= %.1f %s)  ", g.workload, r, g.limit, r <= g.limit ? "met" : "MISSED");
  }
  std::printf("\ngoals in CPU time (ours / %s, this thread's CPU, medians): ", "trim_delete");
  for (const Goal& g : kGoals) {
    auto wi = samples_.find(g.workload);
    if (std::string(g.unit) == "bytes" || wi == samples_.end() || !wi->second.count("ours") ||
        !wi->second.count(g.reference))
      continue;
    const double o = median(wi->second.at("ours").cpuTimes), ref = median(wi->second.at(g.reference).cpuTimes);
    if (o > 0 && ref > 0) std::printf("%s %.2f (%.1f / %.1f ms)  ", g.workload, o / ref, o * 1e3, ref * 1e3);
  }
  std::printf("\n\nper durable commit (durable_add):\n");
  for (const char* e : engines) {
    auto wi = samples_.find("durable_add");
    if (wi == samples_.end() || !wi->second.count(e)) continue;
    const Sample& s = wi->second.at(e);
    const double k = double(sizes_.durable);
    std::printf("  %-12s %6.2f flushes  %6.2f writes  %9.0f bytes written\n", e, s.io.flushes / k,
                s.io.writes / k, s.io.bytes / k);
  }
  printFlushShare("durable_add", sizes_.durable);
  std::printf("per save transaction (save):\n");
  for (const char* e : engines) {
    auto wi = samples_.find("save");
    if (wi == samples_.end() || !wi->second.count(e)) continue;
    const Sample& s = wi->second.at(e);
    const double k = double(sizes_.save);
    std::printf("  %-12s %6.2f flushes  %6.2f writes  %9.0f bytes written\n", e, s.io.flushes / k,
                s.io.writes / k, s.io.bytes / k);
  }
  printFlushShare("save", sizes_.save);
  auto bi = samples_.find("bulk_add");
  if (bi != samples_.end() && bi->second.count("ours") && !bi->second.at("ours").commitTimes.empty()) {
    const Sample& s = bi->second.at("ours");
    std::printf("bulk add (ours): %.1f ms, of it %.1f ms in commits, %.1f ms flushing (medians)\n",
                median(s.times) * 1e3, median(s.commitTimes) * 1e3, median(s.flushTimes) * 1e3);
  }
}

void Bench::printFlushShare(const char* workload, std::size_t commits) const {
  auto wi = samples_.find(workload);
  if (wi == samples_.end() || !wi->second.count("ours")) return;
  const FlushShare f = flushShare(wi->second.at("ours"), commits);
  if (f.ratio <= 0) return;
  std::printf("  ours: %.3f ms a commit, %.3f ms of it in flushes; commit / flushes %.2f (<= %.1f %s)\n",
              f.commitMs, f.flushMs, f.ratio, kCommitOverFlushesGoal,
              f.ratio <= kCommitOverFlushesGoal ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  // The main window's load benchmark is its own program next to this one.
  if (argc > 1 && std::string(argv[1]) == "--load") {
    const std::string load = (fs::path(argv[0]).parent_path() / "glimra-load-bench").string();
    argv[1] = const_cast<char*>(load.c_str());
    execv(load.c_str(), argv + 1);
    std::fprintf(stderr, "glimra-bench: cannot run %s (it needs a build with the catalogue)\n", load.c_str());
    return 2;
  }
  Options opt;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) fail(a + " needs a value");
      return argv[++i];
    };
    if (a == "--quick") opt.quick = true;
    else if (a == "--json") opt.json = true;
    else if (a == "--reps") opt.reps = std::atoi(value().c_str());
    else if (a == "--dir") opt.dir = value();
    else if (a == "--durable") opt.durable = std::strtoul(value().c_str(), nullptr, 10);
    else if (a == "--bulk") opt.bulk = std::strtoul(value().c_str(), nullptr, 10);
    else if (a == "--save") opt.save = std::strtoul(value().c_str(), nullptr, 10);
    else if (a == "--bulk-batch") opt.bulkBatch = std::strtoul(value().c_str(), nullptr, 10);
    else if (a == "--cache-bytes") opt.cacheBytes = std::strtoul(value().c_str(), nullptr, 10);
    else if (a == "--only") opt.only = value();
    else if (a == "--engine") opt.engine = value();
    else {
      std::fprintf(stderr,
                   "usage: glimra-bench [--quick] [--json] [--reps N] [--dir DIR] [--only WORKLOAD] "
                   "[--engine ours|sqlite]\n                    [--durable N] [--bulk N] [--save N] "
                   "[--bulk-batch N] [--cache-bytes N]\n       glimra-bench --load [benchmark flags]\n");
      return 2;
    }
  }
  if (opt.dir.empty()) opt.dir = fs::temp_directory_path() / ("glimra-bench-" + std::to_string(getpid()));
  const bool ownDir = !fs::exists(opt.dir);
  try {
    Bench bench(opt);
    bench.run();
    bench.report();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "glimra-bench: %s\n", e.what());
    if (ownDir) fs::remove_all(opt.dir);
    return 1;
  }
  if (ownDir) fs::remove_all(opt.dir);
  return 0;
}
