// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/gl_record.h"

#include <cstring>

namespace glimra::collection {

void GlRecord::clear() {
  // Blank everything, then zero the numeric fields and groups.
  std::memset(static_cast<void*>(this), ' ', sizeof(GlRecord));
  DELETED = 0;
  CREATEDDATE = 0;
  CREATEDTIME = 0;
  CHANGEDDATE = 0;
  CHANGEDTIME = 0;
  LISTBYSERIES = 0;
}

GlRecordImage toImage(const GlRecord& record) {
  GlRecordImage image;
  std::memcpy(image.data(), &record, GL_RECORD_SIZE);
  return image;
}

void fromImage(GlRecord& record, const GlRecordImage& image) {
  std::memcpy(static_cast<void*>(&record), image.data(), GL_RECORD_SIZE);
}

GlRecordImage blankImage() {
  GlRecordImage image;
  image.fill(' ');
  return image;
}

}  // namespace glimra::collection
