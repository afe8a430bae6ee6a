// SPDX-License-Identifier: GPL-3.0-or-later
// Key building: BUILD of one key (BUILDkey), of every key of a table
// (BUILDfile) and PACK (BUILDfile, then the file cut right after its data).
//
// A build completes a key whose rebuild mark says entries may be missing
// (after APPEND, or for a static index after ADD, PUT and DELETE), or rebuilds
// it from scratch under FULLBUILD. It walks the data records in record-number
// order from its starting record, sorts each batch's entries in key order and
// inserts them.
//
// Invariants kept at every commit a build makes (its checkpoints and its end):
//  - the key's counter holds the number of entries the key holds;
//  - every record below the counter's rebuild mark has its entry (unless the
//    key leaves it out), so a build that is interrupted, cancelled or that
//    fails resumes from the mark and ends with the entries an uninterrupted
//    build gives;
//  - data records are only read, never changed.
// A unique key that meets a second record with the same value keeps the
// first (in record-number order), leaves the later ones out, and ends with
// its mark at the lowest record so refused and error 40.
//
// Dynamic indexes are built into the DynamicIndexes held for the open file;
// their counters in the file are not touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "datafile/character_tables.h"
#include "datafile/container.h"
#include "datafile/declaration.h"

namespace glimra::datafile {

class DataFile;
class DynamicIndexes;

// Where a build stands, as its progress callback sees it.
struct BuildStatus {
  std::size_t key = 0;             // the key being built
  std::size_t keysDone = 0;        // keys finished so far in this operation
  std::size_t keysTotal = 1;       // keys this operation builds
  std::uint64_t recordsDone = 0;   // records walked for this key so far
  std::uint64_t recordsTotal = 0;  // records of the table
  bool finished = false;           // the final call of the operation
};

enum class BuildAnswer { Continue, Stop };
using BuildProgress = std::function<BuildAnswer(const BuildStatus&)>;

struct BuildSettings {
  bool fullBuild = false;  // rebuild from the first record, dropping the old entries
  // Called every progressInterval records of a key and once at the end of
  // the operation; answering Stop ends the build with error 93.
  BuildProgress progress;
  std::uint32_t progressInterval = 1000;
  // A checkpoint commits when this many pages wait to be written.
  std::size_t checkpointPages = 400;
  // Records whose entries are sorted and inserted together.
  std::size_t batchRecords = 4096;
  // Where dynamic indexes are built; without it their build does nothing.
  DynamicIndexes* dynamicIndexes = nullptr;
  // The character tables in force, which a full BUILDfile writes into the
  // file (the file's OEM flag is kept); defaults when absent.
  std::optional<CharacterTables> tablesInForce;
};

// The builds of one open table, run inside one operation on its container.
// Each returns 0, 40 (a unique key refused a duplicate) or 93 (cancelled);
// damage and OS failures throw InternalError / OsFailure as everywhere in
// the engine. A cancelled build leaves its changes since the last checkpoint
// uncommitted: the caller drops them.
class KeyBuilder {
 public:
  KeyBuilder(Container& container, std::uint32_t table, const TableDeclaration& layout,
             const CharacterTables& tables, const BuildSettings& settings);

  int buildKey(std::size_t key);  // BUILDkey; sends the final progress call
  int buildFile();                // BUILDfile on the open table; sends the final progress call

  // Whether buildFile() rewrote the character-table record with different
  // tables: the caller must take tables() for its own key encoding.
  bool tablesChanged() const { return tablesChanged_; }
  const CharacterTables& tables() const { return tables_; }

 private:
  struct Run;
  int build(std::size_t key, std::size_t keysDone, std::size_t keysTotal);
  int buildDynamic(Run& run);
  void eraseEntries(Run& run);
  void insertBatch(Run& run, std::vector<TreeRecord>& items, std::uint32_t batchStart);
  void checkpointIfDue(Run& run, std::uint32_t resumeAt);
  void writeCounter(std::size_t key, std::uint32_t count, std::uint32_t mark);
  void finalProgress(std::size_t keysTotal);
  void rewriteCharacterTables();

  Container& container_;
  std::uint32_t table_;
  const TableDeclaration& layout_;
  CharacterTables tables_;
  const BuildSettings& settings_;
  std::uint64_t recordsTotal_ = 0;
  bool tablesChanged_ = false;
};

// The operations on a DataFile, guarded like every other: each returns the
// error code (0 on success) and leaves a failure's details in *failure. The
// file's FULLBUILD option ("ON") turns settings.fullBuild on.
// buildFile and pack open a file that is not open (read-write) for their
// duration and close it again. A build inside an open transaction is refused
// with error 5, since its checkpoints would commit the transaction's changes.
// These run without the operation locks of the file's hooks; a file shared
// with other processes is built through DataFile's own entry point, which
// runs the bodies below under its locks.
struct BuildFailure {
  int error = 0;
  std::string fileErrorCode;  // error 90: the internal number or OS error
  std::string fileErrorText;
};
int buildKey(DataFile& file, std::size_t key, const BuildSettings& settings, BuildFailure* failure = nullptr);
int buildFile(DataFile& file, const BuildSettings& settings, BuildFailure* failure = nullptr);
int pack(DataFile& file, const BuildSettings& settings, BuildFailure* failure = nullptr);

// The body of the operations above for a caller that already runs inside the
// file's guarded entry point (refreshed for writing, exceptions turned into
// error 90, uncommitted changes dropped on failure). After runBuildFile the
// caller reloads its character tables when *tablesChanged is set.
int runBuildKey(DataFile& file, std::size_t key, const BuildSettings& settings);
int runBuildFile(DataFile& file, const BuildSettings& settings, bool* tablesChanged);

}  // namespace glimra::datafile
