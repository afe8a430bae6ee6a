// SPDX-License-Identifier: GPL-3.0-or-later
// Made-up collections for trying the program, for tests and for benchmarks:
// plausible ornaments (names, series, categories, manufacturers, years,
// amounts, dates) in the forms the collection file stores them.
//
// Invariants: the output depends only on the seed and the count (the same
// seed gives the same records on every machine); text is Windows-1252; dates
// are standard day numbers in decimal text, amounts in their stored form
// (two decimals, right-aligned), empty
// fields blank; NAMEKEY and SERIESKEY are derived as on every save; every
// ornament is live (DELETED 0) and has a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/gl_record.h"
#include "datafile/os_file.h"

namespace glimra::collection {

// The records of n made-up ornaments.
std::vector<GlRecord> generateOrnaments(std::size_t count, std::uint64_t seed);

// The header record of a generated file: cleared, stamped with a fixed
// creation date and time.
GlRecord generatedHeaderRecord(std::uint64_t seed);

// Creates a new collection file at path (replacing one that is there) holding
// the header record and count generated ornaments, complete or not at all.
// Returns 0, or the data file's error code with its description in *error.
int generateCollectionFile(const std::string& path, std::size_t count, std::uint64_t seed, std::string* error,
                           datafile::FileSystem& fileSystem = datafile::posixFileSystem());

}  // namespace glimra::collection
