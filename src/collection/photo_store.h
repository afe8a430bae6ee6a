// SPDX-License-Identifier: GPL-3.0-or-later
// The photo store: the originals of a collection's photos, byte for byte,
// once each, in a folder beside the collection file (for "Kügel.GLM" the
// folder "Kügel.photos"), each named by the SHA-256 of its content and its
// type ("3fa4…e1.jpg"). The same photo added twice (to one ornament or to
// two) is one file; a file is never rewritten, so it may be shared by hard
// links (backups do). Photo files nobody refers to any more are moved by a
// pack into the folder's "unused" folder, never deleted.
//
// Storing a photo: its bytes are copied to a temporary name in the folder
// while they are hashed, flushed, renamed to their content's name, and the
// folder is flushed, all before the photo index may refer to the file: a
// crash at any point leaves at most a file nobody refers to (and a
// temporary that the next store or pack removes), never an index entry
// without its file. Temporaries are named ".incoming-…"; only the program
// that has the collection open for writing stores, so a temporary found by
// it is left from an interrupted store.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datafile/os_file.h"

namespace glimra::collection {

// "Kügel.photos" for "Kügel.GLM" (the extension replaced; added to a name
// without one).
std::string photoFolderOf(const std::string& collectionPath);
inline constexpr const char* UNUSED_PHOTOS_FOLDER = "unused";
inline constexpr const char* PHOTO_TEMPORARY_PREFIX = ".incoming-";

struct StoredPhoto {
  std::string hash;         // SHA-256 hex of the content
  std::uint64_t bytes = 0;  // its length
};

class PhotoStore {
 public:
  PhotoStore(const std::string& collectionPath, datafile::FileSystem& fileSystem = datafile::posixFileSystem());

  const std::string& folder() const { return folder_; }
  datafile::FileSystem& fileSystem() const { return fileSystem_; }
  // The path of a stored file by its store name ("HASH.TYPE").
  std::string pathOf(const std::string& fileName) const { return folder_ + "/" + fileName; }

  // Copies the file at source into the store as HASH.type (see above). A
  // file already stored under that name is kept and the copy dropped. 0, or
  // an OS error code with *error saying what failed, for a message.
  int store(const std::string& source, const std::string& type, StoredPhoto* stored, std::string* error);
  // The same from a stream of bytes (an archive's entry): read(buffer, size,
  // &got) returns 0 or an error code and got 0 at the end; `source` names
  // the stream in messages.
  using Reader = std::function<int(void* buffer, std::size_t size, std::size_t* got)>;
  int storeFrom(const Reader& read, const std::string& source, const std::string& type, StoredPhoto* stored,
                std::string* error);
  // Removes temporaries left by an interrupted store.
  void removeTemporaries();

 private:
  int makeFolder(std::string* error);

  std::string folder_;
  datafile::FileSystem& fileSystem_;
};

// Places a copy of the stored file `source` at `target` (a new file of the
// same content): a hard link where the file system allows one, else a copy
// written to a temporary name, flushed and renamed. An existing target is
// kept. The target's folder is made when missing; the caller flushes it.
// 0, or an OS error code.
int placePhotoFile(const std::string& source, const std::string& target);

// Removes the temporaries an interrupted store or copy left in a folder.
void removePhotoTemporaries(const std::string& folder);

// A copy of a photo file at target for another program (a CSV export's
// folder): written to a temporary name, flushed and renamed, writable. An
// existing target is replaced. 0, or an OS error code.
int copyPhotoFile(const std::string& source, const std::string& target);

// The store names ("HASH.TYPE") of the files directly in a photo folder,
// temporaries and folders left out; empty when there is no folder.
std::vector<std::string> storedFileNames(const std::string& folder);

}  // namespace glimra::collection
