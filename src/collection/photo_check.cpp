// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/photo_check.h"

#include <filesystem>
#include <system_error>

#include "collection/collection_statistics.h"
#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "collection/photo_store.h"
#include "collection/sha256.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "text/cp1252.h"

namespace glimra::collection {
namespace {

namespace fs = std::filesystem;

std::string ornamentText(const PhotoProblem& p) {
  std::string text = "photo " + std::to_string(p.position) + " of ";
  if (p.owner.record != 0) return text + "\"" + p.owner.name + "\" (record " + std::to_string(p.owner.record) + ")";
  return text + "the ornament " + p.ornament.text() + ", which no longer exists";
}

// The hash part of a store name, "" for a name that is no store name.
std::string hashOfName(const std::string& name) {
  const std::size_t dot = name.find('.');
  const std::string hash = name.substr(0, dot);
  return isSha256Hex(hash) && dot != std::string::npos ? hash : "";
}

}  // namespace

std::set<std::string> CollectionPhotos::referencedFiles() const {
  std::set<std::string> names;
  for (const OrnamentPhotoList& list : lists)
    for (const PhotoEntry& e : list.photos) names.insert(e.fileName());
  return names;
}

CollectionPhotos readCollectionPhotos(datafile::FileSystem& fileSystem, const std::string& collectionPath) {
  CollectionPhotos result;
  // A file without the index has no photos: its records need not be read
  // (nor be a collection's: any data file is checked and backed up alike).
  PhotoIndex index(fileSystem);
  if (index.open(collectionPath, datafile::READ_ONLY_DENY_NONE) != 0 || index.all(&result.lists) != 0) {
    result.error = index.file().errorCode();
    result.message = collectionPath + ": the photo index: " + datafile::describeError(index.file());
    return result;
  }
  result.hasIndex = index.present();
  if (!result.hasIndex) return result;
  GlRecord buffer;
  datafile::DataFile file(fileSystem);
  file.declare(glimraDeclaration(), &buffer);
  file.setName(collectionPath);
  if (file.open(datafile::READ_ONLY_DENY_NONE) != 0 ||
      forEachStoredOrnament(file, buffer, [&](const GlRecord& r) {
        if (r.DELETED == 0)
          result.owners.emplace(identityOf(r), PhotoOwner{cp1252ToUtf8(r.NAME.clipped()), file.pointer()});
      }) != 0) {
    result.error = file.errorCode();
    result.message = collectionPath + ": " + datafile::describeError(file);
    return result;
  }
  return result;
}

std::string PhotoProblem::text() const {
  switch (kind) {
    case PhotoProblemKind::MissingFile: return ornamentText(*this) + ": the file " + fileName + " is missing";
    case PhotoProblemKind::ContentChanged:
      return ornamentText(*this) + ": the file " + fileName + " no longer holds the photo it was stored with";
    case PhotoProblemKind::UnreferencedFile:
      return "the file " + fileName + " belongs to no ornament (pack moves it into " + UNUSED_PHOTOS_FOLDER + ")";
    case PhotoProblemKind::NoOrnament:
      return ornamentText(*this) + ": the entry names the file " + fileName + " (pack removes the entry)";
  }
  return {};
}

bool PhotoCheckReport::sound() const {
  if (error != 0) return false;
  for (const PhotoProblem& p : problems)
    if (p.damage()) return false;
  return true;
}

std::string PhotoCheckReport::summary() const {
  std::size_t damaged = 0;
  for (const PhotoProblem& p : problems) damaged += p.damage();
  std::string text = std::to_string(photos) + (photos == 1 ? " photo of " : " photos of ") + std::to_string(ornaments) +
                     (ornaments == 1 ? " ornament, " : " ornaments, ") + std::to_string(files) +
                     (files == 1 ? " file" : " files");
  if (damaged) text += ": " + std::to_string(damaged) + (damaged == 1 ? " photo damaged or missing" : " photos damaged or missing");
  if (problems.size() > damaged)
    text += std::string(damaged ? ", " : ": ") + std::to_string(problems.size() - damaged) + " to tidy (pack)";
  if (problems.empty()) text += ": sound";
  return text;
}

PhotoCheckReport checkPhotos(datafile::FileSystem& fileSystem, const std::string& collectionPath) {
  PhotoCheckReport report;
  const CollectionPhotos photos = readCollectionPhotos(fileSystem, collectionPath);
  if (photos.error) {
    report.error = photos.error;
    report.message = photos.message;
    return report;
  }
  const std::string folder = photoFolderOf(collectionPath);
  const std::vector<std::string> names = storedFileNames(folder);
  const std::set<std::string> present(names.begin(), names.end());
  report.files = names.size();
  std::map<std::string, bool> intact;  // store name -> content matches, each file hashed once
  std::set<std::string> referenced;
  for (const OrnamentPhotoList& list : photos.lists) {
    const auto owner = photos.owners.find(list.ornament);
    ++report.ornaments;
    int position = 0;
    for (const PhotoEntry& e : list.photos) {
      ++report.photos;
      ++position;
      PhotoProblem p{PhotoProblemKind::MissingFile, e.fileName(), list.ornament,
                     owner != photos.owners.end() ? owner->second : PhotoOwner{}, position};
      if (owner == photos.owners.end()) {
        p.kind = PhotoProblemKind::NoOrnament;
        report.problems.push_back(p);
        continue;
      }
      referenced.insert(e.fileName());
      if (!present.contains(e.fileName())) {
        report.problems.push_back(p);
        continue;
      }
      auto [it, fresh] = intact.try_emplace(e.fileName(), true);
      if (fresh) it->second = hashFile(fileSystem, folder + "/" + e.fileName()).hex == e.hash;
      if (!it->second) {
        p.kind = PhotoProblemKind::ContentChanged;
        report.problems.push_back(p);
      }
    }
  }
  for (const std::string& name : names)
    if (!referenced.contains(name))
      report.problems.push_back(PhotoProblem{PhotoProblemKind::UnreferencedFile, name, {}, {}, 0});
  return report;
}

PhotoPackResult packPhotos(const std::string& collectionPath) {
  PhotoPackResult result;
  datafile::FileSystem& disk = datafile::posixFileSystem();
  const CollectionPhotos photos = readCollectionPhotos(disk, collectionPath);
  if (photos.error) {
    result.error = photos.message;
    return result;
  }
  std::set<std::string> keep;
  std::vector<OrnamentId> gone;
  for (const OrnamentPhotoList& list : photos.lists) {
    if (!photos.owners.contains(list.ornament)) {
      gone.push_back(list.ornament);
      result.entriesRemoved += list.photos.size();
      continue;
    }
    for (const PhotoEntry& e : list.photos) keep.insert(e.fileName());
  }
  if (!gone.empty()) {
    PhotoIndex index(disk);
    int error = index.open(collectionPath, datafile::READ_WRITE_DENY_WRITE);
    if (error == 0) error = index.file().logout();
    for (std::size_t i = 0; error == 0 && i < gone.size(); ++i) error = index.replace(gone[i], {});
    if (error == 0) error = index.file().commit();
    if (error != 0) {
      const std::string why = datafile::describeError(index.file());
      if (index.file().inTransaction()) index.file().rollback();
      result.error = collectionPath + ": the photo index: " + why;
      return result;
    }
  }
  const std::string folder = photoFolderOf(collectionPath);
  PhotoStore(collectionPath, disk).removeTemporaries();
  const std::string unused = folder + "/" + UNUSED_PHOTOS_FOLDER;
  for (const std::string& name : storedFileNames(folder)) {
    if (keep.contains(name)) continue;
    if (const int error = disk.makeFolder(unused); error != 0) {
      result.error = "the folder " + unused + " cannot be made: " + datafile::osErrorText(error);
      return result;
    }
    if (const int error = disk.rename(folder + "/" + name, unused + "/" + name); error != 0) {
      result.error = folder + "/" + name + " cannot be moved into " + unused + ": " + datafile::osErrorText(error);
      return result;
    }
    ++result.filesMoved;
  }
  if (result.filesMoved) {
    disk.flushFolderOf(unused + "/x");
    disk.flushFolderOf(folder + "/x");
  }
  result.ok = true;
  return result;
}

CarriedPhotos carryPhotos(datafile::FileSystem& fileSystem, const std::string& indexOf,
                          const std::vector<std::string>& sourceFolders, const std::string& targetFolder) {
  CarriedPhotos carried;
  const CollectionPhotos photos = readCollectionPhotos(fileSystem, indexOf);
  if (photos.error) {
    carried.error = photos.message;
    return carried;
  }
  removePhotoTemporaries(targetFolder);
  std::error_code ec;
  for (const std::string& name : photos.referencedFiles()) {
    const std::string target = targetFolder + "/" + name;
    if (fs::exists(target, ec)) continue;
    bool found = false;
    for (const std::string& source : sourceFolders) {
      const std::string from = source + "/" + name;
      if (!fs::exists(from, ec) || fs::equivalent(source, targetFolder, ec)) continue;
      found = true;
      if (const int error = placePhotoFile(from, target); error != 0) {
        carried.error = "the photo " + name + " cannot be written to " + targetFolder + ": " + datafile::osErrorText(error);
        return carried;
      }
      ++carried.placed;
      break;
    }
    if (!found) ++carried.missing;
  }
  if (carried.placed) {
    datafile::posixFileSystem().flushFolderOf(targetFolder + "/x");
    datafile::posixFileSystem().flushFolderOf(targetFolder);  // the folder's own name
  }
  return carried;
}

}  // namespace glimra::collection
