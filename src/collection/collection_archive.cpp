// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/collection_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "collection/collection_check.h"
#include "collection/photo_check.h"
#include "collection/photo_images.h"
#include "collection/photo_store.h"
#include "collection/sha256.h"
#include "datafile/committed_copy.h"
#include "datafile/file_errors.h"

namespace glimra::collection {
namespace {

namespace fs = std::filesystem;

// The largest collection file the engine writes.
constexpr std::uint64_t COLLECTION_MAX_BYTES = 4ull << 30;

struct ArchiveDeleter {
  void operator()(archive* a) const { archive_write_free(a); }
};
struct ReaderDeleter {
  void operator()(archive* a) const { archive_read_free(a); }
};
struct EntryDeleter {
  void operator()(archive_entry* e) const { archive_entry_free(e); }
};

bool endsWithNoCase(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) !=
        std::tolower(static_cast<unsigned char>(tail[i])))
      return false;
  return true;
}

// A collection file's name at the top of the archive.
bool isCollectionEntry(const std::string& name) {
  return name.find('/') == std::string::npos && name.size() > 4 && endsWithNoCase(name, ".glm") && name[0] != '.';
}

// "HASH.TYPE" of an entry "STEM.photos/HASH.TYPE", or "".
std::string photoOfEntry(const std::string& name, const std::string& photoFolder) {
  if (!name.starts_with(photoFolder + "/")) return "";
  const std::string file = name.substr(photoFolder.size() + 1);
  const std::size_t dot = file.find('.');
  if (dot == std::string::npos || !isSha256Hex(file.substr(0, dot))) return "";
  const std::string type = file.substr(dot + 1);
  if (type.empty() || type.size() > 8) return "";
  for (char c : type)
    if (!std::isalnum(static_cast<unsigned char>(c))) return "";
  return file;
}

int writeEntry(archive* zip, const std::string& name, const std::string& path, std::string* error) {
  std::error_code ec;
  const std::uint64_t size = fs::file_size(path, ec);
  if (ec) {
    *error = path + " cannot be read: " + ec.message();
    return -1;
  }
  std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
  archive_entry_set_pathname(entry.get(), name.c_str());
  archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
  archive_entry_set_filetype(entry.get(), AE_IFREG);
  archive_entry_set_perm(entry.get(), 0644);
  archive_entry_set_mtime(entry.get(), std::time(nullptr), 0);
  if (archive_write_header(zip, entry.get()) != ARCHIVE_OK) {
    *error = std::string("the archive cannot be written: ") + archive_error_string(zip);
    return -1;
  }
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    *error = path + " cannot be read";
    return -1;
  }
  std::vector<char> buffer(1 << 20);
  std::size_t got;
  int result = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
    if (archive_write_data(zip, buffer.data(), got) < 0) {
      *error = std::string("the archive cannot be written: ") + archive_error_string(zip);
      result = -1;
      break;
    }
  if (result == 0 && std::ferror(in)) {
    *error = path + " cannot be read";
    result = -1;
  }
  std::fclose(in);
  return result;
}

std::string temporaryBeside(const std::string& path, const char* what) {
  return path + "." + what + "-" + std::to_string(::getpid());
}

// Removes the temporaries an interrupted export or unpack left beside path.
void removeTemporariesBeside(const std::string& path) {
  const fs::path target(path);
  const std::string stem = target.filename().string() + ".";
  std::error_code ec;
  std::vector<fs::path> left;
  for (const fs::directory_entry& entry : fs::directory_iterator(target.parent_path().empty() ? "." : target.parent_path(), ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(stem)) continue;
    const std::string rest = name.substr(stem.size());
    for (const char* what : {"collection-", "writing-", "unpacking-"})
      if (rest.starts_with(what) && rest.find_first_not_of("0123456789", std::strlen(what)) == std::string::npos)
        left.push_back(entry.path());
  }
  for (const fs::path& p : left) fs::remove(p, ec);
}

}  // namespace

ArchiveResult exportCollectionArchive(const std::string& collectionPath, const std::string& zipPath,
                                      datafile::FileSystem& fileSystem) {
  ArchiveResult result;
  datafile::FileSystem& disk = datafile::posixFileSystem();
  removeTemporariesBeside(zipPath);
  const std::string snapshot = temporaryBeside(zipPath, "collection");
  const std::string temporary = temporaryBeside(zipPath, "writing");
  struct Cleanup {
    datafile::FileSystem& disk;
    std::string a, b;
    ~Cleanup() {
      disk.remove(a);
      disk.remove(b);
    }
  } cleanup{disk, snapshot, temporary};

  const datafile::CommittedCopy copy = datafile::copyCommittedFile(fileSystem, collectionPath, disk, snapshot);
  if (!copy.ok()) {
    result.error = copy.gaveUp ? "Another program kept writing " + collectionPath + "."
                   : copy.sourceSide ? collectionPath + " cannot be read: " + datafile::osErrorText(copy.osError)
                                     : "The archive cannot be written beside " + zipPath + ": " +
                                           datafile::osErrorText(copy.osError);
    return result;
  }
  const CollectionPhotos photos = readCollectionPhotos(disk, snapshot);
  if (photos.error) {
    result.error = "The collection cannot be read: " + photos.message;
    return result;
  }
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    result.error = "The archive cannot be written to " + zipPath + ": " + datafile::osErrorText(errno);
    return result;
  }
  std::unique_ptr<archive, ArchiveDeleter> zip(archive_write_new());
  archive_write_set_format_zip(zip.get());
  // Stored as they are: photos are compressed already, and so are the
  // collection file's pages.
  archive_write_set_format_option(zip.get(), "zip", "compression", "store");
  const std::string name = fs::path(collectionPath).filename().string();
  const std::string photoFolder = fs::path(photoFolderOf(name)).filename().string();
  const std::string sourceFolder = photoFolderOf(collectionPath);
  std::string error;
  bool written = archive_write_open_fd(zip.get(), fd) == ARCHIVE_OK;
  if (!written) error = std::string("the archive cannot be written: ") + archive_error_string(zip.get());
  if (written) written = writeEntry(zip.get(), name, snapshot, &error) == 0;
  std::error_code ec;
  for (const std::string& file : photos.referencedFiles()) {
    if (!written) break;
    const std::string path = sourceFolder + "/" + file;
    if (!fs::exists(path, ec)) {
      ++result.missingPhotos;
      continue;
    }
    written = writeEntry(zip.get(), photoFolder + "/" + file, path, &error) == 0;
    if (written) ++result.photos;
  }
  if (written && archive_write_close(zip.get()) != ARCHIVE_OK) {
    written = false;
    error = std::string("the archive cannot be written: ") + archive_error_string(zip.get());
  }
  zip.reset();
  if (written && ::fsync(fd) != 0) {
    written = false;
    error = "the archive cannot be written: " + datafile::osErrorText(errno);
  }
  ::close(fd);
  if (written) {
    if (const int failed = disk.rename(temporary, zipPath); failed != 0) {
      written = false;
      error = "the archive cannot be named " + zipPath + ": " + datafile::osErrorText(failed);
    } else {
      disk.flushFolderOf(zipPath);
    }
  }
  if (!written) {
    result.error = "The archive was not written: " + error + ".";
    result.photos = 0;
    return result;
  }
  result.ok = true;
  return result;
}

bool looksLikeArchive(const std::string& path) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return false;
  char magic[4] = {};
  const bool zip = std::fread(magic, 1, 4, in) == 4 && magic[0] == 'P' && magic[1] == 'K' &&
                   ((magic[2] == 3 && magic[3] == 4) || (magic[2] == 5 && magic[3] == 6));
  std::fclose(in);
  return zip;
}

namespace {

// Opens the archive for reading; null with *error when it cannot be read.
std::unique_ptr<archive, ReaderDeleter> openArchive(const std::string& zipPath, std::string* error) {
  std::unique_ptr<archive, ReaderDeleter> zip(archive_read_new());
  archive_read_support_format_zip(zip.get());
  if (archive_read_open_filename(zip.get(), zipPath.c_str(), 1 << 16) != ARCHIVE_OK) {
    *error = zipPath + " cannot be read as an archive: " + archive_error_string(zip.get());
    return nullptr;
  }
  return zip;
}

}  // namespace

std::string collectionNameInArchive(const std::string& zipPath, std::string* error) {
  auto zip = openArchive(zipPath, error);
  if (!zip) return "";
  archive_entry* entry = nullptr;
  std::string found;
  int status;
  while ((status = archive_read_next_header(zip.get(), &entry)) == ARCHIVE_OK) {
    const std::string name = archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "";
    if (archive_entry_filetype(entry) == AE_IFREG && isCollectionEntry(name)) {
      if (!found.empty()) {
        *error = zipPath + " holds more than one collection file (" + found + ", " + name + ").";
        return "";
      }
      found = name;
    }
    archive_read_data_skip(zip.get());
  }
  if (status != ARCHIVE_EOF) {
    *error = zipPath + " is damaged: " + archive_error_string(zip.get());
    return "";
  }
  if (found.empty()) *error = zipPath + " holds no collection file (a .GLM file at its top).";
  return found;
}

ArchiveResult unpackCollectionArchive(const std::string& zipPath, const std::string& targetPath) {
  ArchiveResult result;
  std::string error;
  const std::string name = collectionNameInArchive(zipPath, &error);
  if (name.empty()) {
    result.error = error;
    return result;
  }
  result.collectionName = name;
  auto zip = openArchive(zipPath, &error);
  if (!zip) {
    result.error = error;
    return result;
  }
  datafile::FileSystem& disk = datafile::posixFileSystem();
  removeTemporariesBeside(targetPath);
  const std::string photoFolder = fs::path(photoFolderOf(name)).filename().string();
  const std::string temporary = temporaryBeside(targetPath, "unpacking");
  struct Cleanup {
    datafile::FileSystem& disk;
    std::string path;
    ~Cleanup() { disk.remove(path); }
  } cleanup{disk, temporary};
  PhotoStore store(targetPath, disk);
  store.removeTemporaries();
  auto damaged = [&](const std::string& why) {
    result.error = "The archive " + zipPath + " cannot be unpacked: " + why + ".\nNothing was replaced.";
    result.photos = 0;
    return result;
  };

  archive_entry* entry = nullptr;
  int status;
  bool collectionWritten = false;
  while ((status = archive_read_next_header(zip.get(), &entry)) == ARCHIVE_OK) {
    const std::string entryName = archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "";
    const bool regular = archive_entry_filetype(entry) == AE_IFREG;
    const std::uint64_t declared = archive_entry_size_is_set(entry) ? static_cast<std::uint64_t>(archive_entry_size(entry)) : 0;
    std::uint64_t taken = 0;
    std::uint64_t limit = 0;
    // Reads the entry's data, refusing more than its limit.
    const PhotoStore::Reader read = [&](void* buffer, std::size_t size, std::size_t* got) {
      const la_ssize_t n = archive_read_data(zip.get(), buffer, size);
      if (n < 0) {
        *got = 0;
        return EIO;
      }
      *got = static_cast<std::size_t>(n);
      taken += *got;
      return taken > limit ? EFBIG : 0;
    };
    if (regular && entryName == name) {
      limit = COLLECTION_MAX_BYTES;
      if (declared > limit) return damaged(name + " is larger than a collection file can be");
      const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0) return damaged("the collection cannot be written beside " + targetPath + ": " + datafile::osErrorText(errno));
      std::vector<char> buffer(1 << 20);
      int failed = 0;
      for (;;) {
        std::size_t got = 0;
        if ((failed = read(buffer.data(), buffer.size(), &got)) != 0 || got == 0) break;
        for (std::size_t done = 0; done < got && failed == 0;) {
          const ssize_t w = ::write(fd, buffer.data() + done, got - done);
          if (w < 0) failed = errno;
          else done += static_cast<std::size_t>(w);
        }
        if (failed) break;
      }
      if (failed == 0 && ::fsync(fd) != 0) failed = errno;
      ::close(fd);
      if (failed == EIO) return damaged(std::string("its entry ") + name + " cannot be read: " + archive_error_string(zip.get()));
      if (failed) return damaged("the collection cannot be written beside " + targetPath + ": " + datafile::osErrorText(failed));
      collectionWritten = true;
      continue;
    }
    const std::string photo = regular ? photoOfEntry(entryName, photoFolder) : "";
    if (photo.empty()) {
      ++result.skipped;
      archive_read_data_skip(zip.get());
      continue;
    }
    limit = PHOTO_MAX_BYTES;
    if (declared > limit) return damaged(entryName + " is larger than a photo may be");
    const std::size_t dot = photo.find('.');
    StoredPhoto stored;
    std::string why;
    if (store.storeFrom(read, entryName, photo.substr(dot + 1), &stored, &why) != 0)
      return damaged(why);
    if (stored.hash != photo.substr(0, dot)) return damaged(entryName + " does not hold the photo its name says");
    ++result.photos;
  }
  if (status != ARCHIVE_EOF) return damaged(archive_error_string(zip.get()));
  if (!collectionWritten) return damaged("it holds no collection file");
  const datafile::FileCheckReport check = checkCollectionFile(disk, temporary);
  if (check.openError || !check.sound())
    return damaged(name + " is no sound collection file" +
                   (check.openError ? " (" + datafile::errorTextFor(check.openError) + ")"
                                    : ": " + (check.problems.empty() ? check.summary() : check.problems.front())));
  const CollectionPhotos photos = readCollectionPhotos(disk, temporary);
  std::error_code ec;
  for (const std::string& file : photos.referencedFiles())
    if (!fs::exists(store.pathOf(file), ec)) ++result.missingPhotos;
  if (const int failed = disk.rename(temporary, targetPath); failed != 0)
    return damaged(targetPath + " cannot be written: " + datafile::osErrorText(failed));
  disk.flushFolderOf(targetPath);
  result.ok = true;
  return result;
}

}  // namespace glimra::collection
