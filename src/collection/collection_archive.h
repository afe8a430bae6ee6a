// SPDX-License-Identifier: GPL-3.0-or-later
// The collection archive: one .zip file holding a collection file and every
// photo it refers to, for moving a collection to another computer (or
// keeping it somewhere as one file).
//
// Inside: "NAME.GLM" (the collection file as last committed, taken under a
// reader slot, so it can be written while the program has the file open)
// and "NAME.photos/HASH.TYPE" for each photo, all stored as they are
// (photos are compressed already, and so are the collection file's pages). Written through
// libarchive to a temporary name beside the target, flushed, and renamed:
// an earlier file of that name stays as it was until the archive is whole.
//
// Unpacking takes exactly that shape and nothing else: one collection file
// at the top, photos under its photo folder named by their content; any
// other entry (a folder, a link, a file elsewhere, a path with "..") is
// skipped, never written. Each photo is checked against its name as it is
// stored into the target's photo folder (a photo whose content does not
// match its name refuses the archive as damaged); the collection file is
// written to a temporary name, checked, and only then, after all its photos,
// renamed to the target. A failure leaves the target as it was (photos
// already unpacked stay in its photo folder, where nothing refers to them).
// Temporaries of an export or unpack that was killed are removed by the next
// one to the same place.
#pragma once

#include <cstddef>
#include <string>

#include "datafile/os_file.h"

namespace glimra::collection {

inline constexpr const char* ARCHIVE_FILTER = "Collection archive|*.zip|ALL|*.*";

struct ArchiveResult {
  bool ok = false;
  std::string error;             // when not ok: a message for the user
  std::size_t photos = 0;        // photo files written or unpacked
  std::size_t missingPhotos = 0; // photos the collection refers to that were not there to take
  std::size_t skipped = 0;       // entries of an unpacked archive that are no part of a collection
  std::string collectionName;    // unpacking: the name of the collection file inside ("Kügel.GLM")
};

// Writes the collection at collectionPath (read through fileSystem) and its
// photos to zipPath.
ArchiveResult exportCollectionArchive(const std::string& collectionPath, const std::string& zipPath,
                                      datafile::FileSystem& fileSystem = datafile::posixFileSystem());

// Whether the file at path starts as a zip archive does.
bool looksLikeArchive(const std::string& path);

// The name of the collection file inside the archive ("Kügel.GLM"), to offer
// as the name to unpack to; "" with *error when the archive holds none.
std::string collectionNameInArchive(const std::string& zipPath, std::string* error);

// Unpacks the archive's collection to targetPath (replacing a file there)
// and its photos into targetPath's photo folder.
ArchiveResult unpackCollectionArchive(const std::string& zipPath, const std::string& targetPath);

}  // namespace glimra::collection
