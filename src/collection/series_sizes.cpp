// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/series_sizes.h"

#include <cstddef>

#include "collection/collection_statistics.h"
#include "collection/glimra_file.h"
#include "datafile/file_errors.h"

namespace glimra::collection {
namespace {

constexpr std::size_t SERIESKEY = 0;

datafile::TableDeclaration buildDeclaration() {
  datafile::TableDeclaration t;
  t.label = SERIES_SIZES_TABLE;
  t.recordLength = sizeof(SeriesSizeRecord);
  datafile::FieldDeclaration series;
  series.type = datafile::FieldType::STRING;
  series.offset = offsetof(SeriesSizeRecord, SERIES);
  series.name = "SZ:SERIES";
  series.size = sizeof(SeriesSizeRecord::SERIES);
  series.picture = "@s35";
  datafile::FieldDeclaration size;
  size.type = datafile::FieldType::LONG;
  size.offset = offsetof(SeriesSizeRecord, SIZE);
  size.name = "SZ:SIZE";
  size.size = 4;
  t.fields = {series, size};
  datafile::KeyDeclaration key;
  key.name = "SZ:SERIESKEY";
  key.flags = datafile::KeyFlag::NOCASE;
  key.components = {datafile::KeyComponent{0, false}};
  t.keys = {key};
  return t;
}

}  // namespace

const datafile::TableDeclaration& seriesSizesDeclaration() {
  static const datafile::TableDeclaration declaration = buildDeclaration();
  return declaration;
}

SeriesSizes::SeriesSizes(datafile::FileSystem& fileSystem) : file_(fileSystem) {
  file_.declare(seriesSizesDeclaration(), &SZ);
}

int SeriesSizes::open(const std::string& collectionPath, datafile::OpenMode mode) {
  close();
  tableName_ = collectionPath + "\\!" + SERIES_SIZES_TABLE;
  mode_ = mode;
  file_.setName(tableName_);
  const int error = file_.open(mode);
  absent_ = error == datafile::FileError::FILE_NOT_FOUND;
  return absent_ ? 0 : error;
}

void SeriesSizes::close() {
  if (file_.isOpen()) file_.close();
  absent_ = false;
}

int SeriesSizes::read(SeriesSizeMap* sizes) {
  sizes->clear();
  if (absent_) return 0;
  if (file_.setFile() != 0) return file_.errorCode();
  while (file_.next() == 0)
    if (SZ.SIZE > 0) (*sizes)[seriesKey(SZ.SERIES.clipped())] = SZ.SIZE;
  return file_.errorCode() == datafile::FileError::RECORD_NOT_AVAILABLE ? 0 : file_.errorCode();
}

int SeriesSizes::enter(std::string_view series, std::int32_t size) {
  if (absent_) {
    if (size == 0) return 0;  // nothing to remove
    if (file_.create() != 0) return file_.errorCode();
    if (file_.open(mode_) != 0) return file_.errorCode();
    absent_ = false;
  }
  if (file_.logout() != 0) return file_.errorCode();
  const int error = change(series, size);
  if (error != 0) {
    file_.rollback();
    return error;
  }
  return file_.commit();
}

int SeriesSizes::change(std::string_view series, std::int32_t size) {
  SZ.SERIES = series;
  const bool found = file_.getByKey(SERIESKEY) == 0;
  if (!found && file_.errorCode() != datafile::FileError::RECORD_NOT_FOUND) return file_.errorCode();
  if (size == 0) return found ? file_.erase() : 0;
  SZ.SERIES = series;  // as now entered
  SZ.SIZE = size;
  return found ? file_.put() : file_.add();
}

int tallySeries(datafile::FileSystem& fileSystem, const std::string& path, SeriesTally* tally, std::string* error) {
  GlRecord buffer;
  datafile::DataFile file(fileSystem);
  file.declare(glimraDeclaration(), &buffer);
  file.setName(path);
  if (file.open(datafile::READ_ONLY_DENY_NONE) != 0 ||
      forEachStoredOrnament(file, buffer, [&](const GlRecord& r) { tally->add(r); }) != 0) {
    const bool other = file.errorCode() == datafile::FileError::INVALID_RECORD_DECLARATION;
    *error = path + ": " + datafile::describeError(file) + (other ? ": not a collection file" : "");
    return file.errorCode();
  }
  return 0;
}

int readSeriesCompleteness(datafile::FileSystem& fileSystem, const std::string& path,
                           std::vector<SeriesCompleteness>* series, std::string* error) {
  series->clear();
  SeriesTally tally;
  if (const int failed = tallySeries(fileSystem, path, &tally, error); failed != 0) return failed;
  SeriesSizes sizes(fileSystem);
  SeriesSizeMap entered;
  if (sizes.open(path, datafile::READ_ONLY_DENY_NONE) != 0 || sizes.read(&entered) != 0) {
    *error = path + ": the series sizes: " + datafile::describeError(sizes.file());
    return sizes.file().errorCode();
  }
  *series = tally.result(entered);
  return 0;
}

}  // namespace glimra::collection
