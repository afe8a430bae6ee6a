// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-valuation-bench: the collection's value over time (months and years)
// of 20,000 ornaments with 100,000 valuations, read from the file as the
// Statistics window and `glimra-file stats --over-time` read it, against the
// reference measured in the same run: the window's grouping statistics
// (readCollectionStatistics) of the same file. Prints the medians of 5 runs.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "collection/collection_statistics.h"
#include "collection/generator.h"
#include "collection/glimra_file.h"
#include "text/std_date.h"
#include "collection/value_over_time.h"

namespace {

namespace fs = std::filesystem;
using namespace glimra;
using Clock = std::chrono::steady_clock;

constexpr std::size_t ORNAMENTS = 20'000;
constexpr std::size_t VALUATIONS_EACH = 5;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void fail(const char* what) {
  std::fprintf(stderr, "valuation bench: %s\n", what);
  std::exit(1);
}

// Five valuations per live ornament, yearly after its purchase (or from
// 2000), in one transaction.
void addValuations(const std::string& path) {
  collection::GlRecord r;
  datafile::DataFile file;
  file.declare(collection::glimraDeclaration(), &r);
  file.setName(path);
  if (file.open(datafile::READ_WRITE_DENY_WRITE) != 0) fail("cannot open the file");
  collection::ValuationTable table;
  if (table.open(path, datafile::READ_WRITE_DENY_WRITE) != 0 || table.ensureTable() != 0) fail("no table");
  std::vector<std::pair<collection::OrnamentId, std::int32_t>> ornaments;
  collection::forEachStoredOrnament(file, r, [&](const collection::GlRecord& record) {
    if (!collection::isLiveOrnament(record)) return;
    const std::int32_t bought = collection::storedDay(record.PURDATE.clipped());
    ornaments.emplace_back(collection::identityOf(record), bought != 0 ? bought : 72'000);
  });
  if (file.logout() != 0) fail("no transaction");
  std::size_t n = 0;
  for (const auto& [id, bought] : ornaments) {
    std::vector<collection::Valuation> list;
    for (std::size_t k = 1; k <= VALUATIONS_EACH; ++k, ++n)
      list.push_back({bought + static_cast<std::int32_t>(k * 365), std::to_string(10 + n % 90) + ".00",
                      collection::ValuationKind::Appraisal, "bench", ""});
    if (table.replace(id, list) != 0) fail("cannot write valuations");
  }
  if (file.commit() != 0) fail("cannot commit");
  std::printf("%zu ornaments, %zu valuations\n", ornaments.size(), n);
}

}  // namespace

int main() {
  const fs::path folder = fs::temp_directory_path() / ("glimra-valuation-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string path = (folder / "Valued.GLM").string();
  std::string error;
  if (collection::generateCollectionFile(path, ORNAMENTS, 1, &error) != 0) fail(error.c_str());
  addValuations(path);

  std::vector<double> months, years, grouping, reading;
  std::size_t periods = 0;
  for (int run = 0; run < 5; ++run) {
    for (const collection::Period period : {collection::Period::Month, collection::Period::Year}) {
      const auto start = Clock::now();
      collection::GlRecord r;
      datafile::DataFile file;
      file.declare(collection::glimraDeclaration(), &r);
      file.setName(path);
      collection::ValuationTable table;
      std::vector<collection::PeriodTotals> totals;
      if (file.open(datafile::READ_ONLY_DENY_NONE) != 0 || table.open(path, datafile::READ_ONLY_DENY_NONE) != 0 ||
          collection::readValueOverTime(file, r, table, period, collection::today(), &totals) != 0)
        fail("cannot read the value over time");
      (period == collection::Period::Month ? months : years).push_back(millisecondsSince(start));
      if (period == collection::Period::Month) periods = totals.size();
    }
    const auto start = Clock::now();
    collection::GlRecord r;
    datafile::DataFile file;
    file.declare(collection::glimraDeclaration(), &r);
    file.setName(path);
    collection::CollectionStatistics statistics;
    if (file.open(datafile::READ_ONLY_DENY_NONE) != 0 || collection::readCollectionStatistics(file, r, &statistics) != 0)
      fail("cannot read the statistics");
    grouping.push_back(millisecondsSince(start));
    const auto valuationsStart = Clock::now();
    collection::ValuationTable table;
    std::vector<collection::OrnamentValuations> lists;
    if (table.open(path, datafile::READ_ONLY_DENY_NONE) != 0 || table.all(&lists) != 0) fail("cannot read valuations");
    reading.push_back(millisecondsSince(valuationsStart));
  }
  std::printf("value over time by month (%zu months): %.1f ms (goal < 1000 ms)\n", periods, median(months));
  std::printf("value over time by year:               %.1f ms\n", median(years));
  std::printf("reference, grouping statistics:        %.1f ms  (by month / reference %.2f)\n", median(grouping),
              median(months) / median(grouping));
  std::printf("of which reading the valuations:       %.1f ms\n", median(reading));
  fs::remove_all(folder);
  return 0;
}
