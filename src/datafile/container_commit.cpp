// SPDX-License-Identifier: GPL-3.0-or-later
// Header and page I/O, opening, the write-ahead commit and recovery.
//
// A commit never overwrites committed bytes before a complete redo copy of
// them is flushed and announced in the header: pages whose home lies inside
// the committed data go to a pending area after it, the header at offset 0
// names that area, and only then are the pages written home. A crash at any
// point therefore leaves either the old state or a complete redo log, which
// the next writing operation replays (or drops, when the transaction layer
// says so).
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "datafile/container_impl.h"

namespace glimra::datafile {

// ---------------------------------------------------------------- I/O

void Container::Impl::readBlock(std::uint64_t offset, std::uint8_t* buffer, std::size_t length) {
  if (length % 64 != 0) throw InternalError{ContainerDamage::READ_NOT_BLOCKS};
  std::size_t got = 0;
  if (file.readAt(offset, buffer, length, &got) != 0) throw InternalError{ContainerDamage::READ_FAILED};
  if (got != length) throw InternalError{ContainerDamage::SHORT_READ};
  hook().decipher(buffer, length);
}

void Container::Impl::writeBlock(std::uint64_t offset, const std::uint8_t* data, std::size_t length) {
  if (length % 64 != 0) throw InternalError{ContainerDamage::WRITE_NOT_BLOCKS};
  Bytes copy(data, data + length);
  hook().encipher(copy.data(), copy.size());
  if (int error = file.writeAt(offset, copy.data(), copy.size())) throw OsFailure{error};
}

// Gathers page images that follow each other in the file into one write of
// whole pages (a page is never split across writes), up to 1 MB at a time:
// a commit of many pages then costs a few system calls instead of one each.
class Container::Impl::WriteRun {
 public:
  explicit WriteRun(Impl& d) : d_(d) {}
  void add(std::uint64_t offset, const std::uint8_t* data, std::size_t length) {
    if (!bytes_.empty() && (offset != start_ + bytes_.size() || bytes_.size() >= kLimit)) flush();
    if (bytes_.empty()) start_ = offset;
    bytes_.insert(bytes_.end(), data, data + length);
  }
  void flush() {
    if (bytes_.empty()) return;
    d_.writeBlock(start_, bytes_.data(), bytes_.size());
    bytes_.clear();
  }

 private:
  static constexpr std::size_t kLimit = 1 << 20;
  Impl& d_;
  std::uint64_t start_ = 0;
  Bytes bytes_;
};

void Container::Impl::flushFile() {
  if (int error = file.flush()) throw OsFailure{error};
}

void Container::Impl::writeHeaderAt0(const FileHeader& h) {
  std::uint8_t image[page::kHeaderBytes];
  page::encodeHeader(h, image);
  writeBlock(0, image, sizeof image);
}

// Reads offset 0. *shortFile is set (and nothing decoded) when the file holds
// fewer than 512 bytes.
FileHeader Container::Impl::readHeaderAt0(bool* shortFile) {
  std::uint8_t image[page::kHeaderBytes];
  std::size_t got = 0;
  if (file.readAt(0, image, sizeof image, &got) != 0) throw InternalError{ContainerDamage::READ_FAILED};
  *shortFile = got < sizeof image;
  if (*shortFile) return FileHeader{};
  hook().decipher(image, sizeof image);
  if (!page::hasMagic(image)) {
    *shortFile = true;  // not ours: treated like a file too short to hold a header
    return FileHeader{};
  }
  return page::decodeHeader(image);
}

// In 64 bits: while a commit places its pages, the regions may reach past
// what the header's 32-bit fields can name (refuseUnaddressable).
std::uint64_t Container::Impl::endOfData(const FileHeader& h) {
  for (int i = page::kClassCount; i >= 1; --i)
    if (h.regionEnd[i] > h.regionStart[i]) return std::uint64_t(h.regionEnd[i]) * page::kUnit + page::kHeaderBytes;
  return page::kHeaderBytes;
}

// Before a commit writes anything: its new pages and its redo area (the
// pending copies of the pages it overwrites, then the header) must end where
// the header's 32-bit offsets can still name them. Past that, the commit
// fails as a full disk would, and the file keeps its last committed state.
void Container::Impl::refuseUnaddressable(const std::vector<CachedPage*>& dirty, std::uint64_t committedEnd) {
  std::uint64_t redo = page::kHeaderBytes;
  for (CachedPage* p : dirty)
    if (page::offsetOf(p->ref) < committedEnd) redo += std::uint64_t(p->sizeClass) * page::kUnit;
  const std::uint64_t end = std::max(endOfData(header), committedEnd) + redo;
  if (end > kAddressableFileEnd)
    throw OsFailure{EFBIG, "the data file cannot grow to " + std::to_string(end) + " bytes: its header addresses " +
                               std::to_string(kAddressableFileEnd) + " bytes at most"};
}

bool Container::Impl::regionsValid(const FileHeader& h) {
  for (int i = 1; i <= page::kClassCount; ++i) {
    if (h.regionStart[i] > h.regionEnd[i]) return false;
    if ((h.regionEnd[i] - h.regionStart[i]) % std::uint32_t(i) != 0) return false;
    if (i < page::kClassCount && h.regionEnd[i] > h.regionStart[i + 1]) return false;
    if (h.regionEnd[i] > (0xFFFFFFFFu - page::kHeaderBytes) / page::kUnit) return false;
  }
  return true;
}

bool Container::Impl::fitsInFile(const FileHeader& h, std::uint64_t fileSize) {
  return endOfData(h) <= fileSize && h.dataEnd <= fileSize && h.pendingEnd <= fileSize;
}

void Container::Impl::dropCleanPages() {
  while (CachedPage* p = nextToDrop()) dropPage(p->ref);
}

// Forgets all in-memory state; the next refresh reads the file afresh.
void Container::Impl::forgetEverything() {
  clearCache();
  held.clear();
  cutShort = false;
  headerLoaded = false;
  headerDirty = false;
  firstHalfDone = false;
  homeWrites.clear();
  pendingFound = false;
  pendingCopies.clear();
  nextTemporary = kFirstTemporary;
}

// Best effort after a failed header write: a write that stopped half-way
// must not leave a torn header behind.
void Container::Impl::restoreHeader(const FileHeader& h) {
  try {
    writeHeaderAt0(h);
    flushFile();
  } catch (...) {
  }
}

void Container::Impl::unlockReaders() {
  if (readersLocked) {
    readersLocked = false;
    hook().unlockReadersAfterCommit();
  }
}

// ---------------------------------------------------------------- recovery

void Container::Impl::beginChange() {
  if (cutShort) throw InternalError{ContainerDamage::SHORT_READ};
  if (pendingFound && !owner.dirty()) recover();
}

// Walks [dataEnd, pendingEnd): every entry starts with its home offset and its
// stored size. The area is usable only when it is complete and holds a header.
void Container::Impl::scanPendingArea() {
  pendingFound = true;
  pendingReadable = false;
  pendingCopies.clear();
  std::uint64_t at = diskHeader.dataEnd;
  const std::uint64_t end = diskHeader.pendingEnd;
  bool haveHeader = false;
  if (at < page::kHeaderBytes || end < at || (at - page::kHeaderBytes) % page::kUnit != 0) return;
  try {
    while (at < end) {
      std::uint8_t first[page::kUnit];
      readBlock(at, first, sizeof first);
      const std::uint32_t home = getU32(first);
      const std::size_t stored = getU16(first + 4);
      const std::size_t length = page::roundUp(stored, page::kUnit);
      if (length == 0 || length > page::kMaxStoredRounded || at + length > end) return;
      Bytes copy(length);
      readBlock(at, copy.data(), length);
      if (home == 0) {
        if (length != page::kHeaderBytes || !page::hasMagic(copy.data())) return;
        newestHeader = page::decodeHeader(copy.data());
        if (!regionsValid(newestHeader)) return;
        haveHeader = true;
      } else {
        if (home < page::kHeaderBytes || (home - page::kHeaderBytes) % page::kUnit != 0) return;
        page::decodePage(copy.data(), copy.size(), 0);
      }
      pendingCopies[home] = at;
      at += length;
    }
  } catch (const InternalError&) {
    pendingCopies.clear();
    return;
  }
  pendingReadable = haveHeader;
  if (!pendingReadable) pendingCopies.clear();
}

// Completes an unfinished write: replays the pending copies home, or drops
// them. Either way offset 0 ends with dataEnd = pendingEnd = end of data.
void Container::Impl::recover() {
  const bool forward = pendingReadable && hook().allowRollForward(owner);
  FileHeader result;
  if (forward) {
    for (const auto& [home, copyAt] : pendingCopies) {
      if (home == 0) continue;
      std::uint8_t first[page::kUnit];
      readBlock(copyAt, first, sizeof first);
      const std::size_t length = page::roundUp(getU16(first + 4), page::kUnit);
      Bytes copy(length);
      readBlock(copyAt, copy.data(), length);
      writeBlock(home, copy.data(), length);
    }
    flushFile();
    result = newestHeader;
    result.changeCount = std::max(newestHeader.changeCount, diskHeader.changeCount) + 1;
  } else {
    bool shortFile = false;
    result = readHeaderAt0(&shortFile);
    if (shortFile) throw InternalError{ContainerDamage::SHORT_READ};
    result.changeCount += 1;
  }
  result.dataEnd = result.pendingEnd = std::uint32_t(endOfData(result));
  try {
    writeHeaderAt0(result);
    flushFile();
  } catch (...) {
    restoreHeader(diskHeader);  // the pending area is untouched: recovery can run again
    forgetEverything();
    throw;
  }
  clearCache();
  pendingFound = false;
  pendingCopies.clear();
  diskHeader = header = result;
  headerLoaded = true;
  headerDirty = false;
  nextTemporary = kFirstTemporary;
}

// ---------------------------------------------------------------- open / refresh

int Container::open() {
  Impl& d = *impl_;
  d.forgetEverything();
  std::uint64_t bytes = 0;
  if (int error = d.file.size(&bytes)) throw OsFailure{error};
  if (bytes == 0) {
    d.fileIsNew = true;
    d.header = FileHeader{};
    d.header.rootPage = -1;
    // The empty header a first commit writes before its pages: its data ends
    // right after it, so that a file cut short there is a sound empty file.
    d.header.dataEnd = d.header.pendingEnd = std::uint32_t(page::kHeaderBytes);
    d.diskHeader = d.header;
    d.headerLoaded = true;
    return 0;
  }
  bool invalid = false;
  const FileHeader h = d.readHeaderAt0(&invalid);
  if (invalid || !Impl::regionsValid(h)) return 36;
  d.fileIsNew = false;
  refresh(false);
  return 0;
}

void Container::refresh(bool forWrite) {
  Impl& d = *impl_;
  // While no other open can write, only this container changes the file: the
  // header it holds is the one on disk, and reading it again would only cost
  // a read per operation.
  if (!d.othersMayWrite && (d.headerLoaded || d.fileIsNew)) {
    if (forWrite && d.pendingFound) {
      if (d.cutShort) throw InternalError{ContainerDamage::SHORT_READ};
      d.recover();
    }
    return;
  }
  if (d.fileIsNew) {
    std::uint64_t bytes = 0;
    if (int error = d.file.size(&bytes)) throw OsFailure{error};
    if (bytes == 0) return;
    d.fileIsNew = false;  // another opener has written it meanwhile
    d.headerLoaded = false;
  }
  bool invalid = false;
  const FileHeader h = d.readHeaderAt0(&invalid);
  if (invalid || !Impl::regionsValid(h)) throw InternalError{ContainerDamage::SHORT_READ};
  const bool changed = !d.headerLoaded || h.changeCount != d.diskHeader.changeCount ||
                       h.dataEnd != d.diskHeader.dataEnd || h.pendingEnd != d.diskHeader.pendingEnd;
  if (changed) {
    // Pages are on disk before any header names them, so a header whose
    // pages or pending area end past the end of the file belongs to a file
    // cut short (or a damaged header). What is there can still be read; a
    // write is refused (beginChange), since it would go after that end of
    // data and could grow the file towards 4 GB.
    std::uint64_t bytes = 0;
    if (int error = d.file.size(&bytes)) throw OsFailure{error};
    d.cutShort = !Impl::fitsInFile(h, bytes);
    const bool keepWork = dirty();
    d.dropCleanPages();
    d.diskHeader = h;
    d.headerLoaded = true;
    d.pendingFound = false;
    d.pendingCopies.clear();
    if (!keepWork) d.header = h;
    if (h.dataEnd != h.pendingEnd) {
      d.scanPendingArea();
      if (d.pendingReadable && !keepWork) d.header = d.newestHeader;
    }
  }
  if (forWrite && d.pendingFound) {
    if (d.cutShort) throw InternalError{ContainerDamage::SHORT_READ};
    d.recover();
  }
}

// ---------------------------------------------------------------- commit

void Container::setOthersMayWrite(bool othersMayWrite) { impl_->othersMayWrite = othersMayWrite; }

void Container::commit() {
  if (!dirty()) return;
  commitFirstHalf();
  commitSecondHalf();
}

void Container::commitFirstHalf() {
  Impl& d = *impl_;
  if (d.firstHalfDone || !dirty()) return;
  d.flushHeld();
  d.hook().lockReadersForCommit();
  d.readersLocked = true;
  const FileHeader committed = d.diskHeader;
  bool announced = false;
  try {
    // A new file gets its empty header first, so that the file is never a
    // stretch of pages without a valid header in front of them.
    if (d.fileIsNew) {
      d.writeHeaderAt0(committed);
      d.flushFile();
      d.fileIsNew = false;
    }
    const std::uint32_t committedEnd = std::max(committed.dataEnd, std::uint32_t(Impl::endOfData(committed)));
    const std::vector<CachedPage*> dirtyPages = d.placeDirtyPages();
    d.refuseUnaddressable(dirtyPages, committedEnd);
    const std::uint32_t newEnd = std::uint32_t(Impl::endOfData(d.header));
    const std::uint32_t pendingStart = std::max(newEnd, committedEnd);
    d.header.headerOffset = 0;
    d.header.headerSize = 512;
    d.header.dataEnd = d.header.pendingEnd = pendingStart;
    d.header.changeCount = committed.changeCount + 1;

    std::uint64_t pendingAt = pendingStart;
    d.homeWrites.clear();
    Impl::WriteRun pendingRun(d), newRun(d);
    for (CachedPage* p : dirtyPages) {
      const std::uint64_t home = page::offsetOf(p->ref);
      Bytes image = page::assemblePage(p->encoded, std::uint32_t(home), p->level, p->children, p->records.size());
      if (home < committedEnd) {
        pendingRun.add(pendingAt, image.data(), image.size());
        pendingAt += image.size();
        d.homeWrites.emplace_back(home, std::move(image));
      } else {
        newRun.add(home, image.data(), image.size());
      }
    }
    std::uint8_t headerImage[page::kHeaderBytes];
    page::encodeHeader(d.header, headerImage);
    pendingRun.add(pendingAt, headerImage, sizeof headerImage);
    pendingAt += sizeof headerImage;
    newRun.flush();
    pendingRun.flush();
    d.flushFile();

    FileHeader announce = committed;
    announce.dataEnd = pendingStart;
    announce.pendingEnd = std::uint32_t(pendingAt);
    announced = true;
    d.writeHeaderAt0(announce);
    d.flushFile();
    d.diskHeader = announce;
    d.finalDataEnd = newEnd;
    d.firstHalfDone = true;
  } catch (...) {
    // The header write or its flush failed: put the committed header back so
    // that the file keeps its last committed state.
    if (announced) d.restoreHeader(committed);
    d.unlockReaders();
    throw;
  }
}

void Container::commitSecondHalf() {
  Impl& d = *impl_;
  if (!d.firstHalfDone) return;
  try {
    Impl::WriteRun homeRun(d);
    for (const auto& [home, image] : d.homeWrites) homeRun.add(home, image.data(), image.size());
    homeRun.flush();
    // The pages must be on disk before a header says no write is pending.
    // The new header goes to offset 0 once, in its final form (the data
    // ending where the pages end, the change count moved on). A first copy
    // ending at the redo log's start would be replaced before any flush, and
    // while the readers are held out nobody reads it: a cut before the final
    // write leaves the announcing header, and the next writer rolls forward.
    d.flushFile();
    d.header.dataEnd = d.header.pendingEnd = d.finalDataEnd;
    d.header.changeCount += 1;
    d.writeHeaderAt0(d.header);
    d.flushFile();
  } catch (...) {
    // The redo log is complete and announced: the next writing operation
    // finishes this write. A header write that failed half-way is replaced by
    // the announcing header again. Until then everything is read from the file.
    d.restoreHeader(d.diskHeader);
    d.forgetEverything();
    d.unlockReaders();
    throw;
  }
  d.diskHeader = d.header;
  d.homeWrites.clear();
  d.firstHalfDone = false;
  d.headerDirty = false;
  const std::vector<CachedPage*> written = d.dirtyList;
  for (CachedPage* p : written) {
    p->onDisk = p->encoded;
    d.setClean(p);
  }
  d.nextTemporary = kFirstTemporary;
  d.unlockReaders();
}

void Container::discardPendingArea() {
  Impl& d = *impl_;
  if (d.firstHalfDone) {
    FileHeader h = d.diskHeader;
    h.dataEnd = h.pendingEnd = std::uint32_t(Impl::endOfData(h));
    h.changeCount += 1;
    try {
      d.writeHeaderAt0(h);
      d.flushFile();
    } catch (...) {
      d.restoreHeader(d.diskHeader);
      d.forgetEverything();
      d.unlockReaders();
      throw;
    }
    d.diskHeader = h;
    d.firstHalfDone = false;
    d.homeWrites.clear();
    d.unlockReaders();
  }
  discardChanges();
}

void Container::discardChanges() {
  Impl& d = *impl_;
  if (d.firstHalfDone) {
    discardPendingArea();
    return;
  }
  d.held.clear();
  d.dropDirtyPages();
  d.header = (d.pendingFound && d.pendingReadable) ? d.newestHeader : d.diskHeader;
  d.headerDirty = false;
  d.nextTemporary = kFirstTemporary;
}

void Container::truncateToDataEnd() {
  Impl& d = *impl_;
  refresh(true);
  // A commit cut short between its two header writes leaves dataEnd above the
  // end of the data. Every commit sets it right, so one is made before the
  // cut: a header must never name an end beyond the file.
  if (!d.fileIsNew && d.diskHeader.dataEnd != Impl::endOfData(d.diskHeader)) d.headerDirty = true;
  commit();
  if (d.fileIsNew) return;
  if (int error = d.file.truncate(Impl::endOfData(d.diskHeader))) throw OsFailure{error};
  d.flushFile();
}

}  // namespace glimra::datafile
