// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/ornament_identity.h"

#include <algorithm>
#include <limits>

#include "collection/glimra_file.h"
#include "datafile/file_errors.h"
#include "text/std_date.h"

namespace glimra::collection {

std::string OrnamentId::text() const { return std::to_string(date) + "." + std::to_string(time); }

OrnamentId identityOf(const GlRecord& record) { return OrnamentId{record.CREATEDDATE, record.CREATEDTIME}; }

void setIdentity(GlRecord& record, OrnamentId id) {
  record.CREATEDDATE = id.date;
  record.CREATEDTIME = id.time;
}

OrnamentId nextStamp(OrnamentId id) {
  if (id.time < FIRST_STANDARD_TIME) return OrnamentId{id.date, FIRST_STANDARD_TIME};
  if (id.time >= LAST_STANDARD_TIME) return OrnamentId{id.date + 1, FIRST_STANDARD_TIME};
  return OrnamentId{id.date, id.time + 1};
}

int latestStamp(datafile::DataFile& file, GlRecord& buffer, OrnamentId* latest) {
  const GlRecord kept = buffer;
  // A probe past every entry of the created-stamp key; the entry before it is
  // the latest stamp.
  buffer.CREATEDDATE = std::numeric_limits<std::int32_t>::max();
  buffer.CREATEDTIME = std::numeric_limits<std::int32_t>::max();
  buffer.DELETED = 0xFF;
  int error = file.setKeyFromBuffer(GlKey::CREATEDKEY);
  if (error == 0) error = file.previous();
  *latest = error == 0 ? identityOf(buffer) : OrnamentId{};
  buffer = kept;
  return error == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : error;
}

int freshIdentity(datafile::DataFile& file, GlRecord& buffer, OrnamentId wanted, OrnamentId* fresh) {
  OrnamentId latest;
  if (const int error = latestStamp(file, buffer, &latest); error != 0) return error;
  *fresh = wanted > latest ? wanted : nextStamp(latest);
  return 0;
}

int giveSharedStampsTheirOwn(datafile::DataFile& file, GlRecord& buffer, std::vector<StampedRecord> live,
                             std::size_t* restamped) {
  *restamped = 0;
  std::stable_sort(live.begin(), live.end(), [](const StampedRecord& a, const StampedRecord& b) {
    return a.id != b.id ? a.id < b.id : a.pointer < b.pointer;
  });
  std::vector<std::uint32_t> sharing;
  for (std::size_t i = 0; i < live.size(); ++i)
    if (live[i].id.isNull() || (i > 0 && live[i].id == live[i - 1].id)) sharing.push_back(live[i].pointer);
  if (sharing.empty()) return 0;
  OrnamentId next;
  if (const int error = latestStamp(file, buffer, &next); error != 0) return error;
  for (std::uint32_t pointer : sharing) {
    next = nextStamp(next);
    if (const int error = file.get(pointer); error != 0) return error;
    setIdentity(buffer, next);
    if (const int error = file.put(); error != 0) return error;
    ++*restamped;
  }
  return 0;
}

}  // namespace glimra::collection
