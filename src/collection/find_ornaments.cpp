// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/find_ornaments.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "collection/gl_record.h"
#include "collection/sort_keys.h"
#include "datafile/file_errors.h"
#include "datafile/text_search.h"

namespace glimra::collection {

int findOrnaments(datafile::DataFile& file, std::string_view findText, bool ignoreCase,
                  std::vector<FoundOrnament>* found) {
  found->clear();
  // The header record comes first in record order; the search starts after it.
  if (int rc = file.setFile()) return rc;
  if (int rc = file.next()) return rc == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : rc;
  datafile::TextSearch search;
  search.text = findText;
  search.ignoreCase = ignoreCase;
  search.skipWhenSetAt = offsetof(GlRecord, DELETED);
  search.after = file.pointer();
  std::vector<std::uint32_t> matches;
  if (int rc = datafile::findText(file, search, &matches)) return rc;

  GlRecord record;
  for (std::uint32_t pointer : matches) {
    if (int rc = file.get(pointer)) return rc;
    std::memcpy(static_cast<void*>(&record), file.record().data(), sizeof record);
    FoundOrnament entry;
    entry.pointer = static_cast<std::int32_t>(pointer);
    entry.nameKey = record.NAMEKEY;
    entry.seriesKey = record.SERIESKEY;
    entry.name = record.NAME;
    entry.sortKey = record.NAMEKEY;
    if (record.NAMEKEY.clipped().empty()) {
      entry.sortKey = record.SERIESKEY;
      entry.keyType = 2;
    }
    found->push_back(entry);
  }
  std::stable_sort(found->begin(), found->end(), [](const FoundOrnament& a, const FoundOrnament& b) {
    const auto order = compareSortKeys(a.sortKey.raw(), b.sortKey.raw());
    return order != 0 ? order < 0 : compareSortKeys(a.name.raw(), b.name.raw()) < 0;
  });
  return 0;
}

}  // namespace glimra::collection
