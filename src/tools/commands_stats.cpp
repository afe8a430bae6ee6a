// SPDX-License-Identifier: GPL-3.0-or-later
// stats: what a collection is worth, grouped as the Statistics window groups
// it, as a table or as JSON.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "collection/collection_statistics.h"
#include "collection/glimra_file.h"
#include "collection/value_over_time.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "text/cp1252.h"
#include "text/picture.h"
#include "text/std_date.h"
#include "tools/commands.h"

namespace glimra::tools {
namespace {

std::size_t characters(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// An amount as the tables show it, with the currency sign of the settings,
// as UTF-8.
std::string money(std::int64_t millionths) { return collection::cp1252ToUtf8(collection::amountText(millionths)); }

// Text right-aligned in `width` characters.
std::string rightAligned(const std::string& utf8, std::size_t width) {
  const std::size_t n = characters(utf8);
  return n >= width ? utf8 : std::string(width - n, ' ') + utf8;
}

std::string groupName(const collection::GroupTotals& g) {
  return g.name.empty() ? "(none)" : collection::cp1252ToUtf8(g.name);
}

void printJsonGroup(std::ostream& out, const collection::GroupTotals& g, bool named) {
  out << '{';
  if (named) out << "\"name\":" << jsonString(collection::cp1252ToUtf8(g.name)) << ',';
  out << "\"count\":" << g.count << ",\"value\":" << collection::millionthsText(g.value)
      << ",\"paid\":" << collection::millionthsText(g.paid) << ",\"gain\":" << collection::millionthsText(g.gain())
      << '}';
}

// Opens the collection file at path read-only beside any writer; the exit
// code (told) when it cannot.
int openToRead(const std::string& path, datafile::DataFile& file, collection::GlRecord& buffer) {
  file.declare(collection::glimraDeclaration(), &buffer);
  file.setName(path);
  if (file.open(datafile::READ_ONLY_DENY_NONE) == 0) return EXIT_OK;
  const bool other = file.errorCode() == datafile::FileError::INVALID_RECORD_DECLARATION;
  return fail(exitCodeFor(file.errorCode()),
              path + ": " + datafile::describeError(file) + (other ? ": not a collection file" : ""));
}

// stats FILE --over-time: the value of the ornaments owned at the end of
// each month or year, beside what was paid for them.
int valueOverTimeCommand(const std::string& path, collection::Period period, bool json, const char* usage,
                         const std::string& byName) {
  if (!byName.empty() && byName != "month" && byName != "year") return fail(EXIT_USAGE, usage);
  collection::GlRecord buffer;
  datafile::DataFile file;
  if (const int exit = openToRead(path, file, buffer); exit != EXIT_OK) return exit;
  collection::ValuationTable valuations;
  if (valuations.open(path, datafile::READ_ONLY_DENY_NONE) != 0)
    return fail(exitCodeFor(valuations.file().errorCode()), path + ": " + datafile::describeError(valuations.file()));
  std::vector<collection::PeriodTotals> periods;
  if (const int error = collection::readValueOverTime(file, buffer, valuations, period, collection::today(), &periods);
      error != 0)
    return fail(exitCodeFor(error), path + ": " + datafile::describeError(file));
  std::ostringstream out;
  if (json) {
    out << "{\"by\":\"" << (period == collection::Period::Month ? "month" : "year") << "\",\"periods\":[";
    for (std::size_t i = 0; i < periods.size(); ++i) {
      const auto& p = periods[i];
      out << (i ? "," : "") << "{\"period\":\"" << p.label() << "\",\"count\":" << p.count
          << ",\"value\":" << collection::millionthsText(p.value) << ",\"paid\":" << collection::millionthsText(p.paid)
          << '}';
    }
    out << "]}\n";
  } else {
    out << (period == collection::Period::Month ? "Month  " : "Year   ") << rightAligned("Count", 8)
        << rightAligned("Value", 18) << rightAligned("Paid", 18) << '\n';
    for (const auto& p : periods)
      out << p.label() << std::string(7 - p.label().size(), ' ') << rightAligned(std::to_string(p.count), 8)
          << rightAligned(money(p.value), 18) << rightAligned(money(p.paid), 18) << '\n';
    if (periods.empty()) out << "no ornament with a purchase date up to today\n";
  }
  std::cout << out.str();
  return EXIT_OK;
}

}  // namespace

int statsCommand(const Arguments& args) {
  const char* usage =
      "usage: glimra-file stats FILE [--by category|manufacturer|year|location|series] [--json]\n"
      "       glimra-file stats FILE --over-time [--by month|year] [--json]";
  std::string path;
  collection::Grouping by = collection::Grouping::Category;
  bool json = false;
  bool overTime = false;
  std::string byName;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--over-time") {
      overTime = true;
    } else if (args[i] == "--by" && i + 1 < args.size()) {
      byName = args[i + 1];
      if (byName == "month" || (byName == "year" && overTime)) {
        ++i;
        continue;
      }
      if (!collection::findGrouping(args[++i], &by)) return fail(EXIT_USAGE, usage);
    } else if (path.empty() && args[i].rfind("--", 0) != 0) {
      path = args[i];
    } else {
      return fail(EXIT_USAGE, usage);
    }
  }
  if (path.empty()) return fail(EXIT_USAGE, usage);
  if (overTime) return valueOverTimeCommand(path, byName == "month" ? collection::Period::Month : collection::Period::Year,
                                            json, usage, byName);
  if (byName == "month") return fail(EXIT_USAGE, usage);

  collection::GlRecord buffer;
  datafile::DataFile file;
  if (const int exit = openToRead(path, file, buffer); exit != EXIT_OK) return exit;
  collection::CollectionStatistics statistics;
  if (collection::readCollectionStatistics(file, buffer, &statistics) != 0)
    return fail(exitCodeFor(file.errorCode()), path + ": " + datafile::describeError(file));
  file.close();

  const auto& grouping = collection::groupingNames()[static_cast<std::size_t>(by)];
  const auto& groups = statistics.of(by);
  std::ostringstream out;
  if (json) {
    out << "{\"by\":\"" << grouping.option << "\",\"groups\":[";
    for (std::size_t i = 0; i < groups.size(); ++i) {
      if (i) out << ',';
      printJsonGroup(out, groups[i], true);
    }
    out << "],\"total\":";
    printJsonGroup(out, statistics.total, false);
    out << ",\"notNumbers\":" << statistics.notNumbers << "}\n";
  } else {
    std::size_t nameWidth = characters(grouping.heading);
    for (const auto& g : groups) nameWidth = std::max(nameWidth, characters(groupName(g)));
    nameWidth = std::max<std::size_t>(nameWidth, 5);
    auto row = [&](const std::string& name, const std::string& count, const std::string& value,
                   const std::string& paid, const std::string& gain) {
      out << name << std::string(nameWidth - characters(name), ' ') << rightAligned(count, 8)
          << rightAligned(value, 18) << rightAligned(paid, 18) << rightAligned(gain, 18) << '\n';
    };
    row(grouping.heading, "Count", "Value", "Paid", "Gain");
    for (const auto& g : groups)
      row(groupName(g), std::to_string(g.count), money(g.value), money(g.paid), money(g.gain()));
    const auto& t = statistics.total;
    row("Total", std::to_string(t.count), money(t.value), money(t.paid), money(t.gain()));
    if (statistics.notNumbers > 0)
      out << statistics.notNumbers << (statistics.notNumbers == 1 ? " value that is" : " values that are")
          << " not a number counted as 0\n";
  }
  std::cout << out.str();
  return EXIT_OK;
}

}  // namespace glimra::tools
