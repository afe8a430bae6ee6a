// SPDX-License-Identifier: GPL-3.0-or-later
// The sizes a collector enters for series, kept in the collection file itself:
// a second table, SERIESSIZES, beside the collection's own table, so they
// travel with the file and are covered by its transactions and backups. The
// collection table is never touched: a program that reads only it sees the
// file as before.
//
// One record per series: the series as entered (35 characters, as GL:SERIES)
// and its size; the key folds case, so "Bells" and "BELLS" are one series.
// A file without the table has no sizes entered; the table is created the
// first time a size is entered. Opened while the program has the collection
// open (read/write, deny write), the table joins that open: one handle, its
// locks and its transaction.
//
// Failures come back as the data file's error codes; an entry that fails
// leaves the table as it was (each change is one transaction).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "collection/packed_int.h"
#include "collection/series_completeness.h"
#include "datafile/datafile.h"
#include "text/fixed_text.h"

namespace glimra::collection {

struct SeriesSizeRecord {
  FixedText<35> SERIES;
  PackedInt<std::int32_t> SIZE;
};
static_assert(sizeof(SeriesSizeRecord) == 39);

inline constexpr const char* SERIES_SIZES_TABLE = "SERIESSIZES";

const datafile::TableDeclaration& seriesSizesDeclaration();

class SeriesSizes {
 public:
  explicit SeriesSizes(datafile::FileSystem& fileSystem = datafile::posixFileSystem());

  // Opens the table of the collection file at collectionPath. A file without
  // the table opens as empty (0); other failures give the error code.
  int open(const std::string& collectionPath, datafile::OpenMode mode);
  void close();
  // Every entered size, by folded series name.
  int read(SeriesSizeMap* sizes);
  // Enters the size of a series (1 … MAX_SERIES_NUMBER), replacing an earlier
  // one; 0 removes it. The table is created on the first entry.
  int enter(std::string_view series, std::int32_t size);

  // The table's file object: its error of the last failed operation.
  const datafile::DataFile& file() const { return file_; }

 private:
  int change(std::string_view series, std::int32_t size);

  datafile::DataFile file_;
  SeriesSizeRecord SZ;
  std::string tableName_;
  datafile::OpenMode mode_{};
  bool absent_ = false;  // the file has no such table yet
};

// Tallies the live ornaments of the collection file at path (opened to read
// beside a program that may have it open for writing). 0, or the error code
// with a message for the user in *error.
int tallySeries(datafile::FileSystem& fileSystem, const std::string& path, SeriesTally* tally, std::string* error);

// The completeness of every series of the collection file at path, with the
// sizes entered in it, read beside a program that may have the file open for
// writing. 0, or the error code with a message for the user in *error.
int readSeriesCompleteness(datafile::FileSystem& fileSystem, const std::string& path,
                           std::vector<SeriesCompleteness>* series, std::string* error);

}  // namespace glimra::collection
