// SPDX-License-Identifier: GPL-3.0-or-later
// generate: a new collection file of made-up ornaments.
#include <iostream>

#include "collection/generator.h"
#include "tools/commands.h"

namespace glimra::tools {

namespace {

bool parseNumber(const std::string& text, std::uint64_t* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19) return false;
  *value = std::stoull(text);
  return true;
}

}  // namespace

int generateCommand(const Arguments& args) {
  const char* usage = "usage: glimra-file generate FILE --records N [--seed S]";
  std::string path;
  std::uint64_t records = 0, seed = 1;
  bool haveRecords = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--records" || args[i] == "--seed") && i + 1 < args.size()) {
      std::uint64_t* target = args[i] == "--records" ? &records : &seed;
      if (!parseNumber(args[i + 1], target)) return fail(EXIT_USAGE, "not a number: " + args[i + 1]);
      haveRecords = haveRecords || args[i] == "--records";
      ++i;
    } else if (path.empty() && args[i].rfind("--", 0) != 0) {
      path = args[i];
    } else {
      return fail(EXIT_USAGE, usage);
    }
  }
  if (path.empty() || !haveRecords) return fail(EXIT_USAGE, usage);
  if (records > 10'000'000) return fail(EXIT_USAGE, "--records: at most 10000000");
  std::string error;
  if (collection::generateCollectionFile(path, records, seed, &error) != 0)
    return fail(EXIT_FAILED, path + ": " + error);
  std::cout << path << ": header record and " << records << " ornaments (seed " << seed << ")\n";
  return EXIT_OK;
}

}  // namespace glimra::tools
