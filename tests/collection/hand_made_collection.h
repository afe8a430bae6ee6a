// SPDX-License-Identifier: GPL-3.0-or-later
// Small collections written by hand for the tests: ornaments made from a few
// fields and written behind a header record, as the program stores them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"

namespace glimra::collection::testing {

struct Ornament {
  const char* name;
  const char* category = "";
  const char* series = "";
  const char* seriesNumber = "";
  const char* value = "";
  const char* paid = "";
  const char* manufacturer = "";
  const char* year = "";
  const char* location = "";
  bool retired = false;
};

inline GlRecord recordOf(const Ornament& o) {
  GlRecord r;
  r.NAME = o.name;
  r.CATEGORY = o.category;
  r.SERIES = o.series;
  r.SERIESNUM = o.seriesNumber;
  r.VALUE = o.value;
  r.PURPRICE = o.paid;
  r.MANUF = o.manufacturer;
  r.YEAR = o.year;
  r.LOCATION = o.location;
  r.DELETED = o.retired ? 1 : 0;
  return r;
}

// A new collection file at path: the header record, then the ornaments.
inline void writeCollection(const std::string& path, const std::vector<Ornament>& ornaments,
                            datafile::FileSystem& fs = datafile::posixFileSystem()) {
  GlRecord buffer;
  datafile::DataFile file(fs);
  file.declare(glimraDeclaration(), &buffer);
  file.setName(path);
  ASSERT_EQ(file.create(), 0) << datafile::describeError(file);
  ASSERT_EQ(file.open(datafile::READ_WRITE_DENY_WRITE), 0) << datafile::describeError(file);
  buffer = GlRecord{};
  ASSERT_EQ(file.add(), 0) << datafile::describeError(file);
  for (const Ornament& o : ornaments) {
    buffer = recordOf(o);
    ASSERT_EQ(file.add(), 0) << datafile::describeError(file);
  }
  ASSERT_EQ(file.close(), 0);
}

}  // namespace glimra::collection::testing
