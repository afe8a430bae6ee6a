// SPDX-License-Identifier: GPL-3.0-or-later
// find: the ornaments of a collection file whose record holds a text, as the
// catalogue's Find lists them.
#include <iostream>

#include "collection/find_ornaments.h"
#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "collection/record_search.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "text/cp1252.h"
#include "tools/commands.h"

namespace glimra::tools {

using namespace glimra::datafile;

namespace {
// As many characters as the Find dialog's entry takes.
constexpr std::size_t kFindTextLength = 20;
}  // namespace

int findCommand(const Arguments& args) {
  const char* usage = "usage: glimra-file find FILE TEXT [--ignore-case] [--json]";
  std::vector<std::string> positional;
  bool ignoreCase = false, json = false;
  for (const std::string& a : args) {
    if (a == "--ignore-case")
      ignoreCase = true;
    else if (a == "--json")
      json = true;
    else if (a.rfind("--", 0) == 0)
      return fail(EXIT_FIND_ERROR, usage);
    else
      positional.push_back(a);
  }
  if (positional.size() != 2) return fail(EXIT_FIND_ERROR, usage);
  const std::string& path = positional[0];

  const collection::Cp1252Conversion text = collection::utf8ToCp1252(positional[1]);
  if (!text.ok) return fail(EXIT_FIND_ERROR, "the text to find: " + text.reason);
  if (collection::clipTrailingBlanks(text.text).empty()) return fail(EXIT_FIND_ERROR, "the text to find is blank");
  if (text.text.size() > kFindTextLength)
    return fail(EXIT_FIND_ERROR, "the text to find is longer than " + std::to_string(kFindTextLength) + " characters");

  collection::GlRecord buffer;
  DataFile file;
  file.declare(collection::glimraDeclaration(), &buffer);
  file.setName(path);
  if (file.open(READ_ONLY_DENY_NONE) != 0) {
    const bool other = file.errorCode() == FileError::INVALID_RECORD_DECLARATION;
    return fail(EXIT_FIND_ERROR, path + ": " + describeError(file) + (other ? ": not a collection file" : ""));
  }
  std::vector<collection::FoundOrnament> found;
  const std::string findText = ignoreCase ? collection::upperCp1252(text.text) : text.text;
  if (collection::findOrnaments(file, findText, ignoreCase, &found) != 0)
    return fail(EXIT_FIND_ERROR, path + ": " + describeError(file));
  for (const collection::FoundOrnament& f : found) {
    const std::string sortKey = collection::cp1252ToUtf8(f.sortKey.clipped());
    if (json)
      std::cout << "{\"record\":" << f.pointer << ",\"sortKey\":" << jsonString(sortKey)
                << ",\"name\":" << jsonString(collection::cp1252ToUtf8(f.name.clipped()))
                << ",\"keyType\":" << int(f.keyType) << "}\n";
    else
      std::cout << f.pointer << '\t' << sortKey << '\n';
  }
  return found.empty() ? EXIT_NOTHING_FOUND : EXIT_OK;
}

}  // namespace glimra::tools
