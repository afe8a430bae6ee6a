// SPDX-License-Identifier: GPL-3.0-or-later
// export: the live ornaments of a collection file as a spreadsheet file.
#include <iostream>

#include "collection/csv_export.h"
#include "tools/commands.h"

namespace glimra::tools {

int exportCommand(const Arguments& args) {
  const char* usage = "usage: glimra-file export FILE --csv OUT";
  std::string path, out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--csv" && i + 1 < args.size() && out.empty())
      out = args[++i];
    else if (path.empty() && args[i].rfind("--", 0) != 0)
      path = args[i];
    else
      return fail(EXIT_USAGE, usage);
  }
  if (path.empty() || out.empty()) return fail(EXIT_USAGE, usage);
  const collection::CsvExport result = collection::exportCollectionCsv(path, out);
  if (!result.ok) return fail(EXIT_FAILED, result.error);
  std::cout << out << ": " << result.ornaments << (result.ornaments == 1 ? " ornament" : " ornaments") << " exported\n";
  return EXIT_OK;
}

}  // namespace glimra::tools
