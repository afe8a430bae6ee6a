// SPDX-License-Identifier: GPL-3.0-or-later
#include "collection/settings.h"

#include "collection/replace_file.h"
#include "text/cp1252.h"
#include "text/currency.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace glimra::collection {
namespace {


std::string_view trimTrailing(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view trim(std::string_view s) {
  s = trimTrailing(s);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

// The file as lines without their line ends; crlf tells which line end the
// file uses, so that lines added keep to it.
struct ProfileText {
  std::vector<std::string> lines;
  bool crlf = false;
};

enum class ReadResult { READ, MISSING, FAILED };

ReadResult readProfile(const std::string& path, ProfileText& profile) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::MISSING : ReadResult::FAILED;
  std::string text;
  char chunk[4096];
  while (true) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return ReadResult::FAILED;
    }
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  std::size_t start = 0;
  bool firstLineEnd = true;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    const bool hadCr = !line.empty() && line.back() == '\r';
    if (hadCr) line.pop_back();
    if (firstLineEnd && end < text.size()) {
      profile.crlf = hadCr;
      firstLineEnd = false;
    }
    profile.lines.push_back(std::move(line));
    start = end + 1;
  }
  return ReadResult::READ;
}

// The section name of a header line "[name]", or nullopt.
std::optional<std::string_view> sectionOf(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  return trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// The key of a "key=value" line, or nullopt for comments and other lines.
std::optional<std::string_view> keyOf(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return trim(line.substr(0, eq));
}

// Where a section and a key lie in the lines; npos for what is absent.
struct Location {
  std::size_t section = std::string::npos;  // the header line
  std::size_t end = 0;                      // one past the section's last line
  std::size_t key = std::string::npos;
};

Location locate(const ProfileText& profile, std::string_view section, std::string_view key) {
  Location where;
  for (std::size_t i = 0; i < profile.lines.size(); ++i) {
    const auto name = sectionOf(profile.lines[i]);
    if (where.section != std::string::npos) {
      if (name) break;
      where.end = i + 1;
      if (where.key == std::string::npos) {
        const auto k = keyOf(profile.lines[i]);
        if (k && sameName(*k, key)) where.key = i;
      }
    } else if (name && sameName(*name, section)) {
      where.section = i;
      where.end = i + 1;
    }
  }
  return where;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool fail(std::string* error, std::string reason) {
  if (error) *error = std::move(reason);
  return false;
}


}  // namespace

std::string settingsDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;  // a relative value is ignored, as it must be absolute
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return std::string(home) + "/.config";
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return std::string(pw->pw_dir) + "/.config";
  return ".config";
}

std::string settingsPath(std::string_view file) {
  file = trimTrailing(file);
  if (file.find('/') != std::string_view::npos) return std::string(file);
  return settingsDirectory() + "/" + std::string(file);
}

std::string readSetting(std::string_view section, std::string_view key, std::string_view defaultValue,
                        std::string_view file) {
  section = trim(section);
  key = trim(key);
  ProfileText profile;
  if (readProfile(settingsPath(file), profile) != ReadResult::READ) return std::string(defaultValue);
  const Location where = locate(profile, section, key);
  if (where.key == std::string::npos) return std::string(defaultValue);
  const std::string& line = profile.lines[where.key];
  std::string_view value = trim(std::string_view(line).substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

bool writeSetting(std::string_view section, std::string_view key, std::string_view value, std::string_view file,
                  std::string* error) {
  section = trim(section);
  key = trim(key);
  value = trimTrailing(value);
  file = trimTrailing(file);
  if (file.empty()) return fail(error, "No settings file was named.");
  if (section.empty() || key.empty()) return fail(error, "A setting needs a section and a key.");
  if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
    return fail(error, "A setting cannot hold a line break.");
  if (section.find(']') != std::string_view::npos) return fail(error, "A section name cannot hold ']'.");
  if (key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[')
    return fail(error, "A key cannot hold '=' or begin with ';' or '['.");

  const std::string path = settingsPath(file);
  ProfileText profile;
  if (readProfile(path, profile) == ReadResult::FAILED)
    return fail(error, "Cannot read " + path + ", so it is left as it is.");

  const std::string entry = std::string(key) + "=" + std::string(value);
  const Location where = locate(profile, section, key);
  if (where.key != std::string::npos) {
    // The same line already: nothing to write (the program writes some
    // settings on every start, and a write is a flush of the file and its folder).
    if (profile.lines[where.key] == entry) return true;
    profile.lines[where.key] = entry;
  } else if (where.section != std::string::npos) {
    // After the section's last non-blank line, so a blank line before the
    // next section stays where it is.
    std::size_t at = where.end;
    while (at > where.section + 1 && trim(profile.lines[at - 1]).empty()) --at;
    profile.lines.insert(profile.lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
  } else {
    if (!profile.lines.empty() && !trim(profile.lines.back()).empty()) profile.lines.emplace_back();
    profile.lines.push_back("[" + std::string(section) + "]");
    profile.lines.push_back(entry);
  }

  const char* lineEnd = profile.crlf ? "\r\n" : "\n";
  std::string text;
  for (const auto& line : profile.lines) text += line + lineEnd;
  return replaceFile(path, text, error);
}

void readCurrencySetting() {
  const Cp1252Conversion sign = utf8ToCp1252(readSetting(CURRENCY_SECTION, CURRENCY_KEY, "$"));
  setCurrencySign(sign.ok ? sign.text : "$");
}

}  // namespace glimra::collection
