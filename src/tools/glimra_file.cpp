// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file: looks into, checks, dumps and makes collection files.
#include <cstdio>
#include <iostream>
#include <string>

#include "collection/settings.h"
#include "datafile/file_errors.h"
#include "datafile/locks.h"
#include "glimra_version.h"
#include "tools/commands.h"

namespace glimra::tools {

int fail(int code, const std::string& message) {
  std::cerr << "glimra-file: " << message << '\n';
  return code;
}

int exitCodeFor(int code) {
  return code == datafile::FileError::INVALID_DATA_FILE || code == datafile::FileError::FILE_SYSTEM_ERROR ? EXIT_DAMAGED
                                                                                                           : EXIT_FAILED;
}

void sayWhenWaiting(std::optional<int> limitSeconds) {
  datafile::setLockWaitObserver([limitSeconds, said = false](const std::string& path, std::chrono::seconds waited) mutable {
    if (!said) std::cerr << "glimra-file: Waiting for another program to finish writing " << path << "\u2026\n";
    said = true;
    return !limitSeconds || waited.count() < *limitSeconds;
  });
}

std::string openFailure(const std::string& path, const datafile::FileCheckReport& report) {
  std::string text = path + ": " + datafile::errorTextFor(report.openError) + " (" + std::to_string(report.openError) + ")";
  if (report.osError) text += ": " + datafile::osErrorText(report.osError);
  return text;
}

namespace {

const char* USAGE =
    "usage: glimra-file COMMAND FILE [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  info FILE                    the file's header, regions and tables with their\n"
    "                               fields, keys and counts\n"
    "  check FILE                   walks every page, record and key entry and verifies\n"
    "                               every invariant, and that each table of a\n"
    "                               collection is stored with the declaration the\n"
    "                               program opens it with; prints each problem (a key\n"
    "                               entry that disagrees with its record with both\n"
    "                               values), or one line of summary when the file is\n"
    "                               sound; bytes that carry no meaning are not looked\n"
    "                               at: the filler after each page's data, the\n"
    "                               header's reserved field and the unused first entry\n"
    "                               of its region table, what lies after the data, the\n"
    "                               unused part of the character tables, and the\n"
    "                               display pictures, external names, decimals and\n"
    "                               element lengths a declaration stores (the program\n"
    "                               uses its own); then checks the photo index against\n"
    "                               the photo folder (FILE's name with .photos): a\n"
    "                               missing file or one whose content no longer\n"
    "                               matches its name is damage; a file nobody refers to\n"
    "                               and entries of removed ornaments are left for pack;\n"
    "                               each problem names its ornament\n"
    "  dump FILE [--json|--csv] [--table NAME]\n"
    "                               the data records in record-number order, each field\n"
    "                               decoded through the definition stored in the file\n"
    "                               (JSON lines by default; text as UTF-8 without its\n"
    "                               trailing blanks; groups appear through their fields)\n"
    "  build FILE [--full] [--accept-records] [--no-backup] [--wait SECONDS]\n"
    "                               completes (or with --full rebuilds) the keys of the\n"
    "                               file's tables; where key entries disagree with\n"
    "                               their records it lists both values and rebuilds\n"
    "                               only with --accept-records, which keeps the\n"
    "                               records' values (the backup keeps the entries')\n"
    "  pack FILE [--no-backup] [--wait SECONDS]\n"
    "                               builds every key, then cuts the file after its data\n"
    "                               (build and pack check the file first and leave a\n"
    "                               damaged one as it is; build mends damaged keys;\n"
    "                               while another program writes they wait, saying\n"
    "                               so, for at most --wait SECONDS when given; both\n"
    "                               first take a checked backup of the file, as the\n"
    "                               program does, under $XDG_DATA_HOME/Glimra/backups,\n"
    "                               and change nothing when it fails, unless\n"
    "                               --no-backup is given; pack also takes the photo\n"
    "                               entries of removed ornaments out of the index and\n"
    "                               moves photo files nobody refers to into the photo\n"
    "                               folder's unused folder: no photo is deleted)\n"
    "  generate FILE --records N [--seed S]\n"
    "                               a new collection file (replacing FILE) with a header\n"
    "                               record and N made-up ornaments; the same seed gives\n"
    "                               the same file\n"
    "  find FILE TEXT [--ignore-case] [--json]\n"
    "                               the live ornaments whose record holds TEXT (at most\n"
    "                               20 characters; leading blanks count, trailing ones\n"
    "                               do not), as the catalogue's Find lists them: record\n"
    "                               number and sort key, one a line (JSON lines with\n"
    "                               --json); --ignore-case folds case as the keys do\n"
    "  export FILE --csv OUT        the live ornaments as a spreadsheet file: a header\n"
    "                               row with the form's labels, one row per ornament,\n"
    "                               UTF-8, dates as YYYY-MM-DD, amounts as plain\n"
    "                               numbers, and a last column Photos (paths relative\n"
    "                               to OUT) when the collection has photos; OUT is\n"
    "                               replaced only when all is written\n"
    "  import FILE --csv IN [--map COLUMN=FIELD ...] [--encoding E] [--delimiter C]\n"
    "         [--titles yes|no] [--skip-refused] [--no-backup]\n"
    "                               the rows of a spreadsheet file as new ornaments,\n"
    "                               all or none, after a backup of FILE; refused cells\n"
    "                               are listed and nothing is imported unless\n"
    "                               --skip-refused\n"
    "  stats FILE [--by category|manufacturer|year|location|series] [--json]\n"
    "                               the live ornaments grouped (by category unless\n"
    "                               --by says otherwise): count, sum of values, sum\n"
    "                               of purchase prices and the gain, with the totals;\n"
    "                               amounts that are not numbers count as 0 and are\n"
    "                               counted\n"
    "  stats FILE --over-time [--by month|year] [--json]\n"
    "                               the value of the ornaments owned at the end of\n"
    "                               each year (or month) up to today, beside what was\n"
    "                               paid for them\n"
    "  photos FILE [--json]         every photo of every ornament: record number and\n"
    "                               name, position, role, file, size in pixels and\n"
    "                               bytes, rotation, caption and the name it had\n"
    "                               (JSON lines with --json)\n"
#ifdef GLIMRA_FILE_PHOTOS
    "  add-photo FILE RECORD IMAGE...\n"
    "                               adds the images (JPEG, PNG, WebP, GIF, BMP, TIFF;\n"
    "                               at most 100 MB each) as photos of the ornament at\n"
    "                               record number RECORD (as dump and find give it),\n"
    "                               after its photos, all or none\n"
#endif
#ifdef GLIMRA_FILE_REPORTS
    "  report FILE REPORT --pdf OUT.pdf\n"
    "                               one of the sixteen reports as a PDF, REPORT one of\n"
    "                               name, series, category, manufacturer, year,\n"
    "                               location, stock, custom1, custom2, name-all,\n"
    "                               name-description, value, lent-to, date-lent,\n"
    "                               given-to, date-given, or wanted (the numbers\n"
    "                               missing from each series)\n"
#endif
    "  --help                       this text\n"
    "  --version                    the program's version and license\n"
    "\n"
    "Exit codes:\n"
    "  0  success (check: the file is sound)\n"
    "  1  the file is damaged (it is there but is not a sound collection, a\n"
    "     damaged header, a file cut short or a photo missing or changed\n"
    "     included): check found damage, dump could not read every record, or\n"
    "     build or pack refused to change it\n"
    "  2  wrong arguments\n"
    "  3  the file could not be opened at all (missing, no permission, not a\n"
    "     regular file), or a file could not be written\n"
    "  find: 0 found, 1 nothing found, 2 error (the file is only read)\n";

}  // namespace
}  // namespace glimra::tools

int main(int argc, char** argv) {
  using namespace glimra::tools;
  Arguments args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << USAGE;
    return EXIT_USAGE;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  sayWhenWaiting(std::nullopt);
  glimra::collection::readCurrencySetting();
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << USAGE;
    return EXIT_OK;
  }
  if (command == "--version") {
    std::cout << "glimra-file (Glimra) " << glimra::PROGRAM_VERSION << '\n' << glimra::VERSION_NOTICE;
    return EXIT_OK;
  }
  if (command == "info") return infoCommand(args);
  if (command == "check") return checkCommand(args);
  if (command == "dump") return dumpCommand(args);
  if (command == "generate") return generateCommand(args);
  if (command == "build") return buildCommand(args);
  if (command == "pack") return packCommand(args);
  if (command == "find") return findCommand(args);
  if (command == "export") return exportCommand(args);
  if (command == "stats") return statsCommand(args);
  if (command == "import") return importCommand(args);
  if (command == "photos") return photosCommand(args);
#ifdef GLIMRA_FILE_PHOTOS
  if (command == "add-photo") return addPhotoCommand(args);
#endif
#ifdef GLIMRA_FILE_REPORTS
  if (command == "report") return reportCommand(args);
#endif
  std::cerr << "glimra-file: unknown command '" << command << "'\n\n" << USAGE;
  return EXIT_USAGE;
}
