// SPDX-License-Identifier: GPL-3.0-or-later
// build and pack: completing or rebuilding the keys of a file's tables, and
// cutting the file after its data.
//
// build FILE [--full]  every key of every table (or of the table FILE names
//                      with "\!"), then every static index that needs it
//                      (under --full: all of them, from their first record)
// pack FILE            every key but the static indexes, then the file is cut
//                      right after its data
//
// Both check the file first and change nothing when it is damaged, except
// that build mends damaged keys by rebuilding them all (then checks again).
// When key entries disagree with their records, nothing tells which value is
// right: build lists them and goes on only under --accept-records, keeping
// the records' values (the backup keeps the entries').
//
// Long work shows a progress bar on stderr when it is a terminal. Ctrl-C asks
// the build to stop: the file keeps everything up to its last checkpoint and
// a later build goes on from there.
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "collection/backups.h"
#include "collection/collection_check.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "datafile/key_build.h"
#include "datafile/record_kinds.h"
#include "tools/commands.h"

namespace glimra::tools {

using namespace glimra::datafile;

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) { interrupted = 1; }

// One line on stderr, redrawn in place when the shown percentage moves.
class ProgressBar {
 public:
  explicit ProgressBar(std::string label) : label_(std::move(label)), shown_(isatty(STDERR_FILENO) != 0) {}
  ~ProgressBar() { finish(); }

  BuildAnswer update(const BuildStatus& s) {
    if (shown_) {
      const double perKey = s.recordsTotal ? double(std::min(s.recordsDone, s.recordsTotal)) / double(s.recordsTotal) : 1;
      const double whole = s.finished ? 1.0 : (double(s.keysDone) + perKey) / double(s.keysTotal ? s.keysTotal : 1);
      const int percent = static_cast<int>(whole * 100);
      if (percent != lastPercent_) {
        lastPercent_ = percent;
        constexpr int WIDTH = 30;
        const int filled = percent * WIDTH / 100;
        std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                     std::string(WIDTH - filled, '-').c_str(), percent);
        std::fflush(stderr);
        drawn_ = true;
      }
    }
    return interrupted ? BuildAnswer::Stop : BuildAnswer::Continue;
  }

  void finish() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
  }

 private:
  std::string label_;
  bool shown_;
  bool drawn_ = false;
  int lastPercent_ = -1;
};

std::string errorLine(int code, const BuildFailure& failure) {
  std::string text = errorTextFor(code) + " (" + std::to_string(code) + ")";
  if (!failure.fileErrorCode.empty()) text += ": " + failure.fileErrorText + " (" + failure.fileErrorCode + ")";
  return text;
}

std::uint32_t rebuildMark(DataFile& file, std::size_t key) {
  TreeRecord record;
  if (!file.container() ||
      !file.container()->find(counterKey(file.tableNumber(), static_cast<std::uint8_t>(key)), &record))
    return 0;
  const auto counter = Counter::parse(record.payload());
  return counter ? counter->mark : 0;
}

bool isStaticIndex(const KeyDeclaration& key) {
  return (key.flags & KeyFlag::INDEX) && !(key.flags & KeyFlag::DYNAMIC);
}

std::string keyName(const DataFile& file, std::size_t key) {
  const std::string& name = file.declaration().keys[key].name;
  return name.empty() ? "#" + std::to_string(key) : name;
}

// Builds one table; prints its outcome. Returns an exit code.
int buildTable(const std::string& name, bool packing, bool full) {
  DataFile file;
  file.setName(name);
  if (file.open() != 0) return fail(EXIT_FAILED, name + ": " + describeError(file));
  const std::string table = TableAddress::parse(name).table;
  const std::uint32_t records = file.records();

  BuildSettings settings;
  settings.fullBuild = full;
  ProgressBar bar((packing ? "packing " : "building ") + table);
  settings.progress = [&](const BuildStatus& s) { return bar.update(s); };
  BuildFailure failure;
  int rc = packing ? pack(file, settings, &failure) : buildFile(file, settings, &failure);
  std::size_t indexes = 0;
  for (std::size_t k = 0; !packing && k < file.declaration().keys.size(); ++k) {
    if (rc == FileError::BUILD_CANCELLED || rc == FileError::FILE_SYSTEM_ERROR) break;
    if (!isStaticIndex(file.declaration().keys[k]) || (!full && rebuildMark(file, k) == 0)) continue;
    BuildFailure indexFailure;
    const int indexRc = buildKey(file, k, settings, &indexFailure);
    ++indexes;
    if (rc == 0 || indexRc == FileError::BUILD_CANCELLED || indexRc == FileError::FILE_SYSTEM_ERROR) {
      rc = indexRc;
      failure = indexFailure;
    }
  }
  bar.finish();

  const std::string where = name + ": ";
  if (rc != 0 && rc != FileError::DUPLICATE_KEY) return fail(EXIT_FAILED, where + errorLine(rc, failure));
  for (std::size_t k = 0; k < file.declaration().keys.size(); ++k) {
    const std::uint32_t mark = rebuildMark(file, k);
    if (mark != 0 && !(packing && isStaticIndex(file.declaration().keys[k])))
      std::cerr << "glimra-file: " << where << "key " << keyName(file, k) << " incomplete from record " << mark
                << '\n';
  }
  if (rc == FileError::DUPLICATE_KEY) return fail(EXIT_FAILED, where + errorLine(rc, failure));
  std::cout << where << (packing ? "packed, " : "built, ") << records << " records";
  if (indexes) std::cout << ", " << indexes << " static ind" << (indexes == 1 ? "ex" : "exes") << " rebuilt";
  std::cout << '\n';
  return EXIT_OK;
}

// The first problems a check found, on stderr; check lists them all.
void listProblems(const std::string& path, const FileCheckReport& report) {
  constexpr std::size_t SHOWN = 8;
  for (std::size_t i = 0; i < report.problems.size() && i < SHOWN; ++i)
    std::cerr << "glimra-file: " << path << ": " << report.problems[i] << '\n';
  if (report.problems.size() > SHOWN)
    std::cerr << "glimra-file: " << path << ": " << report.summary() << " (check lists them all)\n";
}

// The disagreements a check found, as a collector reads them.
void listDisagreements(const std::string& path, const FileCheckReport& report) {
  constexpr std::size_t SHOWN = 20;
  for (std::size_t i = 0; i < report.disagreements.size() && i < SHOWN; ++i)
    std::cerr << "glimra-file: " << path << ": " << collection::describeDisagreement(report.disagreements[i]) << '\n';
  if (report.disagreements.size() > SHOWN)
    std::cerr << "glimra-file: " << path << ": and " << report.disagreements.size() - SHOWN
              << " more (check lists them all)\n";
}

int run(const Arguments& args, bool packing) {
  const char* usage =
      packing ? "usage: glimra-file pack FILE [--no-backup] [--wait SECONDS]"
              : "usage: glimra-file build FILE [--full] [--accept-records] [--no-backup] [--wait SECONDS]";
  std::string path;
  bool full = false;
  bool acceptRecords = false;
  bool backUp = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--full" && !packing) {
      full = true;
    } else if (arg == "--accept-records" && !packing) {
      acceptRecords = true;
    } else if (arg == "--no-backup") {
      backUp = false;
    } else if (arg == "--wait" && i + 1 < args.size()) {
      const std::string& seconds = args[++i];
      if (seconds.empty() || seconds.size() > 6 || seconds.find_first_not_of("0123456789") != std::string::npos)
        return fail(EXIT_USAGE, "--wait: a number of seconds, not " + seconds);
      sayWhenWaiting(std::stoi(seconds));
    } else if (!arg.empty() && arg[0] == '-') {
      return fail(EXIT_USAGE, usage);
    } else if (path.empty()) {
      path = arg;
    } else {
      return fail(EXIT_USAGE, usage);
    }
  }
  if (path.empty()) return fail(EXIT_USAGE, usage);

  // Before any change the check decides whether this writer may go on: a
  // writer never works on damage it cannot mend (a build over a broken tree,
  // or a cut after what a damaged header calls the end of data, would make it
  // worse for good). Damage of keys alone is mended by rebuilding them.
  const TableAddress address = TableAddress::parse(path, &posixFileSystem());
  const char* verb = packing ? "pack" : "build";
  const FileCheckReport before = collection::checkCollectionFile(posixFileSystem(), address.path);
  if (before.openError) return fail(EXIT_FAILED, openFailure(address.path, before));
  const collection::KeyRepair repair = collection::keyRepairFor(before);
  const bool mending = repair != collection::KeyRepair::NotNeeded;
  const bool overruling = repair == collection::KeyRepair::AskFirst;
  if (mending) {
    if (packing || repair == collection::KeyRepair::Impossible) {
      listProblems(address.path, before);
      return fail(EXIT_DAMAGED, address.path + ": damaged, left as it was: " + verb +
                                    " cannot mend this (dump saves the records it can read)");
    }
    if (overruling) {
      listDisagreements(address.path, before);
      if (!acceptRecords)
        return fail(EXIT_DAMAGED,
                    address.path + ": left as it was: " + std::to_string(before.disagreements.size()) +
                        " key entr" + (before.disagreements.size() == 1 ? "y disagrees" : "ies disagree") +
                        " with " + (before.disagreements.size() == 1 ? "its record" : "their records") +
                        ", and which value is right cannot be told; a rebuild would keep the records' values for "
                        "good (build --accept-records does that, after a backup that keeps the key entries' values)");
      std::cerr << "glimra-file: " << address.path
                << ": only keys are damaged: rebuilding every key from the records, keeping the records' values "
                   "(--accept-records)\n";
    } else {
      listProblems(address.path, before);
      std::cerr << "glimra-file: " << address.path << ": only keys are damaged: rebuilding every key from the records\n";
    }
    full = true;
  }
  std::vector<std::string> tables;
  if (address.tableNamed)
    tables.push_back(path);
  else
    for (const CheckedTable& table : before.tableList) tables.push_back(address.path + "\\!" + table.name);
  if (tables.empty()) return fail(EXIT_FAILED, address.path + ": holds no table: nothing to " + verb);
  // The file is rewritten: a backup first, or nothing happens.
  if (backUp) {
    // Keys about to be mended may be damaged in the backup too; its records are whole.
    const collection::BackupResult backup =
        collection::backUpCollection(address.path, posixFileSystem(), std::time(nullptr), mending);
    if (!backup.ok)
      return fail(EXIT_FAILED, address.path + ": left as it was: no backup could be taken: " + backup.error +
                                   " (--no-backup goes on without one)");
    std::cerr << "glimra-file: " << address.path << ": backup " << backup.path
              << (overruling ? " (it keeps the key entries' values)" : "") << "\n";
  } else if (overruling) {
    std::cerr << "glimra-file: " << address.path << ": no backup: the key entries' values are not kept\n";
  }
  const auto previous = std::signal(SIGINT, onInterrupt);
  int exit = EXIT_OK;
  for (const std::string& table : tables) {
    const int rc = buildTable(table, packing, full);
    if (rc != EXIT_OK) exit = rc;
    if (interrupted) break;
  }
  std::signal(SIGINT, previous);
  // A pack of the whole file tidies its photos too: entries of ornaments
  // that are gone, and files nobody refers to moved aside.
  if (packing && !address.tableNamed && exit == EXIT_OK && !interrupted) exit = packPhotosOf(address.path);
  if (mending && exit == EXIT_OK) {
    const FileCheckReport after = collection::checkCollectionFile(posixFileSystem(), address.path);
    if (!after.sound()) {
      listProblems(address.path, after);
      return fail(EXIT_DAMAGED, address.path + ": still damaged after the " + verb);
    }
  }
  return exit;
}

}  // namespace

int buildCommand(const Arguments& args) { return run(args, false); }
int packCommand(const Arguments& args) { return run(args, true); }

}  // namespace glimra::tools
