// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of glimra-file, the command-line tool for collection files.
// Each takes its arguments after the command name, writes its result to
// stdout and its errors to stderr, and returns the process exit code.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "collection/photo_images.h"
#include "datafile/file_check.h"

namespace glimra::tools {

// Exit codes, shown by --help.
enum ExitCode : int {
  EXIT_OK = 0,
  EXIT_DAMAGED = 1,  // the file is damaged: check found it, dump missed records, a writer refused
  EXIT_USAGE = 2,    // wrong arguments
  EXIT_FAILED = 3,   // the file could not be opened, read or written
  // find answers as a search tool does: 0 found, 1 nothing found, 2 error.
  EXIT_NOTHING_FOUND = 1,
  EXIT_FIND_ERROR = 2,
};

using Arguments = std::vector<std::string>;

int infoCommand(const Arguments& args);
int checkCommand(const Arguments& args);
int dumpCommand(const Arguments& args);
int generateCommand(const Arguments& args);
int buildCommand(const Arguments& args);  // build_commands.cpp
int packCommand(const Arguments& args);   // build_commands.cpp
int findCommand(const Arguments& args);   // commands_find.cpp
int exportCommand(const Arguments& args); // commands_export.cpp
int statsCommand(const Arguments& args);  // commands_stats.cpp
int importCommand(const Arguments& args); // commands_import.cpp
int photosCommand(const Arguments& args); // commands_photos.cpp
// The photos of the collection at path beside check and pack: each prints
// what it found or did; 0, or the exit code for the photos alone.
int checkPhotosOf(const std::string& path);
int packPhotosOf(const std::string& path);
// qt/add_photo_command.cpp: only in a build with Qt (GLIMRA_FILE_PHOTOS).
int addPhotoCommand(const Arguments& args);
// What reads photo files for add-photo and import: Qt's image readers in a
// build with Qt, else none (photos are then refused with a message).
collection::ImageInspector* toolImageInspector();

// A JSON string literal of UTF-8 text (commands_dump.cpp).
std::string jsonString(const std::string& utf8);
// qt/report_command.cpp: only in a build with Qt (GLIMRA_FILE_REPORTS).
int reportCommand(const Arguments& args);

// "glimra-file: " + message on stderr; returns code.
int fail(int code, const std::string& message);

// The exit code for a file that failed with data-file error `code`: damaged
// for a file that is there but holds no sound data file (Invalid Data File,
// or damage met while reading it), could not be opened otherwise.
int exitCodeFor(int code);

// From now on a wait for another program's locks is told on stderr once it
// has lasted a second ("Waiting for another program to finish writing
// FILE…"); with a limit, the wait is given up after that many seconds.
void sayWhenWaiting(std::optional<int> limitSeconds);

// "path: text (code)" for a check that could not open the file, naming the
// OS's reason when there is one.
std::string openFailure(const std::string& path, const datafile::FileCheckReport& report);

}  // namespace glimra::tools
