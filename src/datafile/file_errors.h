// SPDX-License-Identifier: GPL-3.0-or-later
// The error codes of the data-file layer and their texts. An internal error
// (internal_errors.h) ends as error 90, "Possible data corruption".
#pragma once

#include <string>

namespace glimra::datafile {

namespace FileError {
constexpr int NONE = 0;
constexpr int FILE_NOT_FOUND = 2;
constexpr int ACCESS_DENIED = 5;
constexpr int FILE_ALREADY_LOCKED = 32;
constexpr int RECORD_NOT_AVAILABLE = 33;
constexpr int RECORD_NOT_FOUND = 35;
constexpr int INVALID_DATA_FILE = 36;
constexpr int FILE_NOT_OPEN = 37;
constexpr int DUPLICATE_KEY = 40;
constexpr int RECORD_ALREADY_HELD = 43;
constexpr int KEY_FILE_MUST_BE_REBUILT = 46;
constexpr int INVALID_RECORD_DECLARATION = 47;
constexpr int FILE_ALREADY_OPEN = 52;
constexpr int INVALID_FIELD_TYPE = 75;
constexpr int RECORD_CHANGED = 89;
constexpr int FILE_SYSTEM_ERROR = 90;
constexpr int BUILD_CANCELLED = 93;
}  // namespace FileError

std::string errorTextFor(int code);

constexpr const char* DATA_CORRUPTION_TEXT = "Possible data corruption in file";

// The file-error text of internal error `number`: DATA_CORRUPTION_TEXT, with
// what is wrong after it where a user can act on that (a header whose last
// record number leaves no room for another record).
std::string dataCorruptionText(int number);

}  // namespace glimra::datafile
