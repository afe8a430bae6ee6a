// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/committed_copy.h"

#include <memory>
#include <vector>

#include "datafile/container.h"
#include "datafile/locks.h"

namespace glimra::datafile {

CommittedCopy copyCommittedFile(FileSystem& from, const std::string& source, FileSystem& to,
                                const std::string& target) {
  CommittedCopy result;
  int error = 0;
  std::unique_ptr<OsFile> in = from.open(source, false, false, &error);
  if (!in) {
    result.osError = error ? error : ENOENT;
    result.sourceSide = true;
    return result;
  }
  try {
    FileLocks locks(*in, READ_ONLY_DENY_NONE, source);
    FileLocks::Guard slot = locks.forOperation(false, &result.gaveUp);
    if (result.gaveUp) return result;
    std::unique_ptr<OsFile> out = to.open(target, true, true, &error);
    if (!out) {
      result.osError = error ? error : EIO;
      return result;
    }
    std::vector<std::uint8_t> buffer(1 << 16);
    std::uint64_t offset = 0;
    for (;;) {
      std::size_t got = 0;
      if (int e = in->readAt(offset, buffer.data(), buffer.size(), &got)) {
        result.osError = e;
        result.sourceSide = true;
        return result;
      }
      if (got == 0) break;
      if (int e = out->writeAt(offset, buffer.data(), got)) {
        result.osError = e;
        return result;
      }
      offset += got;
    }
    result.osError = out->flush();
  } catch (const OsFailure& failure) {  // a lock request the OS refused
    result.osError = failure.code ? failure.code : EIO;
    result.sourceSide = true;
  }
  return result;
}

}  // namespace glimra::datafile
