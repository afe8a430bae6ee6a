// SPDX-License-Identifier: GPL-3.0-or-later
// stats: what a collection is worth, grouped as the Statistics window groups
// it, as a table or as JSON.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "collection/collection_statistics.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "text/cp1252.h"
#include "text/picture.h"
#include "tools/commands.h"

namespace glimra::tools {
namespace {

std::size_t characters(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
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

}  // namespace

int statsCommand(const Arguments& args) {
  const char* usage = "usage: glimra-file stats FILE [--by category|manufacturer|year|location|series] [--json]";
  std::string path;
  collection::Grouping by = collection::Grouping::Category;
  bool json = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--by" && i + 1 < args.size()) {
      if (!collection::findGrouping(args[++i], &by)) return fail(EXIT_USAGE, usage);
    } else if (path.empty() && args[i].rfind("--", 0) != 0) {
      path = args[i];
    } else {
      return fail(EXIT_USAGE, usage);
    }
  }
  if (path.empty()) return fail(EXIT_USAGE, usage);

  collection::GlRecord buffer;
  datafile::DataFile file;
  file.declare(collection::glimraDeclaration(), &buffer);
  file.setName(path);
  if (file.open(datafile::READ_ONLY_DENY_NONE) != 0) {
    const bool other = file.errorCode() == datafile::FileError::INVALID_RECORD_DECLARATION;
    return fail(exitCodeFor(file.errorCode()),
                path + ": " + datafile::describeError(file) + (other ? ": not a collection file" : ""));
  }
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
      out << name << std::string(nameWidth - characters(name), ' ') << std::setw(8) << count << std::setw(18)
          << value << std::setw(18) << paid << std::setw(18) << gain << '\n';
    };
    row(grouping.heading, "Count", "Value", "Paid", "Gain");
    for (const auto& g : groups)
      row(groupName(g), std::to_string(g.count), collection::amountText(g.value), collection::amountText(g.paid),
          collection::amountText(g.gain()));
    const auto& t = statistics.total;
    row("Total", std::to_string(t.count), collection::amountText(t.value), collection::amountText(t.paid),
        collection::amountText(t.gain()));
    if (statistics.notNumbers > 0)
      out << statistics.notNumbers << (statistics.notNumbers == 1 ? " value that is" : " values that are")
          << " not a number counted as 0\n";
  }
  std::cout << out.str();
  return EXIT_OK;
}

}  // namespace glimra::tools
