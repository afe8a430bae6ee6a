// SPDX-License-Identifier: GPL-3.0-or-later
// The photos of a collection file as a whole: reading which ornament refers
// to which stored file, checking the index against the photo folder,
// tidying both (pack), and carrying the files a collection refers to into
// another photo folder (Save As, backups, restore).
//
// Check finds: an entry whose file is missing; a file whose content no
// longer matches its name (changed or damaged after it was stored); a file
// in the folder that no entry refers to (left by a removed photo: pack moves
// it aside); entries of an ornament that no longer exists (pack removes
// them). The first two are damage (a photo is lost or altered); the other
// two are tidying that pack does. Each problem names its ornament.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "collection/ornament_identity.h"
#include "collection/photo_index.h"
#include "datafile/os_file.h"

namespace glimra::collection {

// A live ornament as a photo listing names it.
struct PhotoOwner {
  std::string name;          // UTF-8, without trailing blanks
  std::uint32_t record = 0;  // its record number
};

// What a collection file holds of photos, read beside a program that may
// have it open (a reader's open).
struct CollectionPhotos {
  int error = 0;        // the data file's error code, 0 when read
  std::string message;  // when error: a message naming the file
  bool hasIndex = false;
  std::vector<OrnamentPhotoList> lists;       // every ornament with photos, in identity order
  std::map<OrnamentId, PhotoOwner> owners;    // every live ornament (when the file has an index)
  // The store names every entry refers to.
  std::set<std::string> referencedFiles() const;
};
CollectionPhotos readCollectionPhotos(datafile::FileSystem& fileSystem, const std::string& collectionPath);

enum class PhotoProblemKind { MissingFile, ContentChanged, UnreferencedFile, NoOrnament };

struct PhotoProblem {
  PhotoProblemKind kind;
  std::string fileName;   // the store name ("HASH.TYPE"), or the stray file's name
  OrnamentId ornament;    // not for an unreferenced file
  PhotoOwner owner;       // when the ornament exists
  int position = 0;       // the photo's position in its ornament (1, 2 …)
  bool damage() const { return kind == PhotoProblemKind::MissingFile || kind == PhotoProblemKind::ContentChanged; }
  // One line for the user: "photo 2 of "Angel" (record 57): the file … is missing".
  std::string text() const;
};

struct PhotoCheckReport {
  int error = 0;          // the collection could not be read: its error code
  std::string message;
  std::size_t photos = 0;          // index entries
  std::size_t ornaments = 0;       // ornaments with photos
  std::size_t files = 0;           // files in the photo folder
  std::vector<PhotoProblem> problems;
  bool sound() const;              // no damage (tidying may be due)
  std::string summary() const;
};
PhotoCheckReport checkPhotos(datafile::FileSystem& fileSystem, const std::string& collectionPath);

struct PhotoPackResult {
  bool ok = false;
  std::string error;
  std::size_t entriesRemoved = 0;  // of ornaments that no longer exist
  std::size_t filesMoved = 0;      // into the folder's "unused" folder
};
// Removes the entries of ornaments that no longer exist (one transaction),
// then moves the files nobody refers to into PHOTO_FOLDER/unused and removes
// temporaries left by an interrupted store. Nothing is deleted. The file must
// not be open for writing elsewhere.
PhotoPackResult packPhotos(const std::string& collectionPath);

struct CarriedPhotos {
  std::string error;        // "" unless a file could not be written
  std::size_t placed = 0;   // files placed (linked or copied) into the target
  std::size_t missing = 0;  // files the index names that none of the sources holds
};
// Gives the photo folder `targetFolder` every file the collection file at
// `indexOf` (read through fileSystem) refers to, each taken from the first of `sourceFolders` that
// holds it (a hard link where the file system allows, else a copy), and
// flushes the folder. Files already there are kept.
CarriedPhotos carryPhotos(datafile::FileSystem& fileSystem, const std::string& indexOf,
                          const std::vector<std::string>& sourceFolders, const std::string& targetFolder);

}  // namespace glimra::collection
