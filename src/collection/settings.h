// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: a profile file of [sections] holding key=value lines,
// read and written one string at a time.
//
// Rules: section and key names compare without regard to letter case; a value
// is read without the blanks around it (and without one pair of matching
// quotes around it); a missing file, section or key reads as the default; a
// write trims the trailing blanks of section, key, value and file name,
// replaces the first matching key in place or adds it at the end of its
// section (or a new section at the end of the file), and keeps every other
// line, comment and section as it was, in its order.
//
// Invariants: a write replaces the file in one step (a temporary file in the
// same directory, flushed, then renamed over it), so a crash leaves either the
// old or the new file, never a half-written one. A write that would break the
// file's structure (an empty name, a line break anywhere, '=' in a key, ']'
// in a section) is refused and leaves the file untouched.
#pragma once

#include <string>
#include <string_view>

namespace glimra::collection {

inline constexpr const char* SETTINGS_FILE_NAME = "Glimra.INI";

// The directory for settings files: $XDG_CONFIG_HOME, or ~/.config when that
// is unset or empty.
std::string settingsDirectory();

// A bare file name is resolved in settingsDirectory(); a name with a
// directory part is used as it is.
std::string settingsPath(std::string_view file = SETTINGS_FILE_NAME);

std::string readSetting(std::string_view section, std::string_view key,
                        std::string_view defaultValue, std::string_view file = SETTINGS_FILE_NAME);

// Returns false (with a reason in *error when given) when the value could
// not be written; the file is then unchanged.
bool writeSetting(std::string_view section, std::string_view key, std::string_view value,
                  std::string_view file = SETTINGS_FILE_NAME, std::string* error = nullptr);

// The currency sign shown before amounts: Currency of section [Display],
// UTF-8 in the file; "$" when it is not set or cannot be shown.
inline constexpr const char* CURRENCY_SECTION = "Display";
inline constexpr const char* CURRENCY_KEY = "Currency";
// Sets the sign amounts show (text/currency.h) from the settings file.
void readCurrencySetting();

}  // namespace glimra::collection
