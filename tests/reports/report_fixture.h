// SPDX-License-Identifier: GPL-3.0-or-later
// Small collections for the report tests: records made field by field and a
// collection file of exactly those records in a folder of its own.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "collection/sort_keys.h"
#include "datafile/datafile.h"
#include "reports/layouts.h"
#include "reports/page.h"
#include "reports/report_engine.h"
#include "text/picture.h"

namespace glimra::reports::testing {

// "N" and a number: "N7".
inline std::string numbered(std::string prefix, int number) {
  prefix += std::to_string(number);
  return prefix;
}

// A record with the given fields set (GlField, value); amounts are given as
// typed and stored as the entry stores them.
inline collection::GlRecord ornament(std::initializer_list<std::pair<int, std::string>> fields) {
  collection::GlRecord r;
  const auto& declared = collection::glimraDeclaration().fields;
  for (const auto& [field, value] : fields) {
    std::string stored = value;
    if (field == collection::GlField::VALUE || field == collection::GlField::PURPRICE)
      stored = collection::Picture::parse("N$9.2B").deformat(value).value;
    const auto& d = declared.at(static_cast<std::size_t>(field));
    std::string padded = stored.substr(0, d.size);
    padded.resize(d.size, ' ');
    std::copy(padded.begin(), padded.end(), reinterpret_cast<char*>(&r) + d.offset);
  }
  collection::buildKeys(r);
  return r;
}

class CollectionFolder {
 public:
  CollectionFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "glimra-reports-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  ~CollectionFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string path(const std::string& name) const { return (std::filesystem::path(folder_) / name).string(); }

  // Writes a collection file of exactly these records (no header record).
  void write(const std::string& name, const std::vector<collection::GlRecord>& records) {
    collection::GlRecord buffer;
    datafile::DataFile file;
    file.declare(collection::glimraDeclaration(), &buffer);
    file.setName(path(name));
    file.create();
    file.open(datafile::OpenMode{0x22});
    file.logout();  // one commit for them all
    for (const auto& r : records) {
      buffer = r;
      file.add();
    }
    file.commit();
    file.close();
  }

  // A collection file of exactly these records, opened into buffer.
  void open(datafile::DataFile& file, collection::GlRecord& buffer, const std::vector<collection::GlRecord>& records) {
    file.declare(collection::glimraDeclaration(), &buffer);
    file.setName(path("c.GLM"));
    file.create();
    file.open(datafile::OpenMode{0x22});
    for (const auto& r : records) {
      buffer = r;
      file.add();
    }
    buffer.clear();
  }

 private:
  std::string folder_;
};

// Prints each record once through a report's layout (then its totals band,
// when asked) and hands back the pages.
inline PageList printReport(const char* report, const std::vector<collection::GlRecord>& records,
                            const TextMeasure& measure, bool totals = false) {
  collection::GlRecord buffer;
  ReportEngine engine(reportLayout(*findReport(report)), buffer, measure);
  engine.open();
  for (const auto& r : records) {
    buffer = r;
    engine.print(DETAIL_BAND);
  }
  if (totals) engine.print(TOTALS_BAND);
  engine.endReport();
  return engine.takePages();
}

// The texts of a page's text items, in order.
inline std::vector<std::string> texts(const Page& page) {
  std::vector<std::string> out;
  for (const PageItem& item : page.items)
    if (item.kind == ItemKind::Text) out.emplace_back(page.textOf(item));
  return out;
}

// The first text item showing exactly text, or null.
inline const PageItem* findText(const Page& page, std::string_view text) {
  for (const PageItem& item : page.items)
    if (item.kind == ItemKind::Text && page.textOf(item) == text) return &item;
  return nullptr;
}

}  // namespace glimra::reports::testing
