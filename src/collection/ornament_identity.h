// SPDX-License-Identifier: GPL-3.0-or-later
// The identity of an ornament: what the photo index (and any other table that
// keeps something per ornament) refers to, since a record's pointer changes
// at every save (a save adds the edited contents as a new record).
//
// The identity is the record's created stamp, GL:CREATEDDATE and
// GL:CREATEDTIME, as eight bytes. It lives in the record itself, so it
// survives everything that keeps a record's contents: a save carries the
// created stamp over to the new version, undo and delete only swap deleted
// flags, a copy of the file (Save As, a backup, an archive) and a pack keep
// the records as they are, and a program that reads only the collection
// table carries it along without knowing. A copied ornament is a new record
// with new stamps, so it has an identity of its own.
//
// Unique: every ornament this program writes (Add, Copy, an import, the
// generator) gets a stamp no other record of the file carries: the current
// date and time, or, when a record of the file already carries that stamp or
// a later one (a clock set back, several rows imported in one moment), the
// next hundredth of a second after the latest stamp in the file. Files
// written before (an import used to give all its rows one stamp) open as
// they are; the load gives each ornament that shares its stamp with another
// a stamp of its own (all but the first in record order), before anything
// can be attached to it (giveSharedStampsTheirOwn).
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/gl_record.h"
#include "datafile/datafile.h"

namespace glimra::collection {

struct OrnamentId {
  std::int32_t date = 0;  // standard date
  std::int32_t time = 0;  // standard time
  auto operator<=>(const OrnamentId&) const = default;
  bool isNull() const { return date == 0 && time == 0; }
  // "78500.4512345": for messages and the tool's listings.
  std::string text() const;
};

OrnamentId identityOf(const GlRecord& record);
void setIdentity(GlRecord& record, OrnamentId id);

// The stamp a hundredth of a second later (past the day's last, the next
// day's first).
OrnamentId nextStamp(OrnamentId id);

// The latest created stamp of any record of the open collection file (through
// its created-stamp key), in *latest; {0, 0} for an empty file. The buffer
// is kept as it was; the file's current record is not.
int latestStamp(datafile::DataFile& file, GlRecord& buffer, OrnamentId* latest);

// A stamp for a new ornament: `wanted` (normally today and now) when it is
// later than every stamp of the file, else the hundredth after the latest.
// The buffer is kept as it was; the file's current record is not.
int freshIdentity(datafile::DataFile& file, GlRecord& buffer, OrnamentId wanted, OrnamentId* fresh);

// A live record and its identity, as a load meets it.
struct StampedRecord {
  OrnamentId id;
  std::uint32_t pointer = 0;
};

// Gives every live record that shares its created stamp with an earlier one
// (record order), and every one without a stamp (0), a stamp of its own
// after the latest of the file, through a
// put of the record, in the caller's transaction when one is open. `live` is
// every live record of the file; *restamped counts the changed ones. The
// buffer is left holding the last record changed.
int giveSharedStampsTheirOwn(datafile::DataFile& file, GlRecord& buffer, std::vector<StampedRecord> live,
                             std::size_t* restamped);

}  // namespace glimra::collection
