// SPDX-License-Identifier: GPL-3.0-or-later
// Driver options and the hooks object of one open file.
#include "datafile/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "datafile/file_errors.h"
#include "datafile/transactions.h"

namespace glimra::datafile {
namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// A decimal 32-bit value, signed or unsigned ("-1" is 4294967295).
std::optional<std::uint32_t> parseFlags(std::string_view text) {
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end || text.empty()) return std::nullopt;
  if (value < -2147483648LL || value > 4294967295LL) return std::nullopt;
  return std::uint32_t(value);
}

// What "REGISTER" refers to: one object per program.
const int registration = 0;

}  // namespace

std::string registrationReference() {
  return std::to_string(reinterpret_cast<std::uintptr_t>(&registration));
}

std::string DriverOptions::send(std::string_view text, TableOptionAccess* table) {
  text = trimmed(text);
  const std::size_t equals = text.find('=');
  const bool setting = equals != std::string_view::npos;
  const std::string_view name = trimmed(text.substr(0, equals));
  const std::string_view value = setting ? trimmed(text.substr(equals + 1)) : std::string_view();

  if (sameIgnoringCase(name, "TCF")) {
    if (!setting) return controlFileOption();
    setControlFileOption(std::string(value));
    return {};
  }
  if (sameIgnoringCase(name, "FULLBUILD")) {
    if (!setting) return fullBuild_ ? "ON" : "OFF";
    fullBuild_ = sameIgnoringCase(value, "ON");
    return {};
  }
  if (sameIgnoringCase(name, "FLAGS")) {
    if (!table) return {};
    if (!setting) return std::to_string(table->flagsValue());
    if (const auto flags = parseFlags(value)) table->setFlagsValue(*flags);
    return {};
  }
  if (sameIgnoringCase(name, "PNM")) {
    if (!setting || !table || value.empty()) return {};
    return table->storedTableName(value).value_or(std::string());
  }
  if (sameIgnoringCase(name, "REGISTER") && !setting) return registrationReference();
  return {};
}

// ---------------------------------------------------------------- hooks

// ---------------------------------------------------------------- one file

DriverFile::DriverFile(OsFile& file, OpenMode mode, FileSystem& fileSystem, std::string dataFilePath,
                       std::optional<FileCipher> cipher)
    : file_(file),
      mode_(mode),
      fileSystem_(fileSystem),
      dataFilePath_(std::move(dataFilePath)),
      cipher_(std::move(cipher)),
      share_(file, mode) {}

DriverFile::~DriverFile() = default;

int DriverFile::acquire() {
  if (int refused = share_.acquire()) return refused;
  locks_ = std::make_unique<FileLocks>(file_, mode_, dataFilePath_);
  return 0;
}

void DriverFile::lockReadersForCommit() {
  if (locks_) locks_->lockForCommit();
}

void DriverFile::unlockReadersAfterCommit() {
  if (locks_) locks_->unlockAfterCommit();
}

bool DriverFile::allowRollForward(Container& container) {
  return rollForwardAllowed(container, fileSystem_, dataFilePath_);
}

void DriverFile::encipher(std::uint8_t* buffer, std::size_t length) {
  if (cipher_) cipher_->encipher(buffer, length);
}

void DriverFile::decipher(std::uint8_t* buffer, std::size_t length) {
  if (cipher_) cipher_->decipher(buffer, length);
}

// ---------------------------------------------------------------- hooks

DriverHooks::DriverHooks(std::string_view ownerPassword) {
  const std::string_view password = ownerPassword.substr(0, ownerPassword.find('\0'));
  if (!password.empty()) cipher_.emplace(password);
}

DriverHooks::~DriverHooks() { detach(); }

int DriverHooks::attach(OsFile& file, OpenMode mode, FileSystem& fileSystem, std::string dataFilePath,
                        TableOptionAccess* table) {
  detach();
  auto attached = std::make_shared<DriverFile>(file, mode, fileSystem, std::move(dataFilePath), cipher_);
  if (int refused = attached->acquire()) return refused;
  join(std::move(attached), table);
  return 0;
}

void DriverHooks::join(std::shared_ptr<DriverFile> file, TableOptionAccess* table) {
  detach();
  file_ = std::move(file);
  table_ = table;
  options_ = DriverOptions();
}

void DriverHooks::detach() {
  operations_.clear();
  file_.reset();
  table_ = nullptr;
}

int DriverHooks::beginOperation(DataFile&, bool writes) {
  FileLocks* l = locks();
  if (!l) return 0;
  bool gaveUp = false;
  FileLocks::Guard guard = l->forOperation(writes, &gaveUp);
  if (gaveUp) return FileError::FILE_ALREADY_LOCKED;
  operations_.push_back(std::move(guard));
  return 0;
}

void DriverHooks::endOperation(DataFile&, bool) {
  if (!operations_.empty()) operations_.pop_back();
}

int DriverHooks::lockRecord(DataFile&, std::uint32_t recordNumber) {
  FileLocks* l = locks();
  return l ? l->lockRecord(recordNumber) : 0;
}

void DriverHooks::unlockRecord(DataFile&, std::uint32_t recordNumber) {
  if (FileLocks* l = locks()) l->unlockRecord(recordNumber);
}

int DriverHooks::recordRead(DataFile&, std::uint32_t recordNumber) {
  FileLocks* l = locks();
  return l ? l->recordRead(recordNumber) : 0;
}

bool DriverHooks::othersMayWrite(const DataFile&) const { return !file_ || !file_->deniesWrite(); }

std::optional<std::string> DriverHooks::option(DataFile&, std::string_view text) {
  return options_.send(text, table_);
}

void DriverHooks::lockReadersForCommit() {
  if (file_) file_->lockReadersForCommit();
}

void DriverHooks::unlockReadersAfterCommit() {
  if (file_) file_->unlockReadersAfterCommit();
}

bool DriverHooks::allowRollForward(Container& container) { return !file_ || file_->allowRollForward(container); }

void DriverHooks::encipher(std::uint8_t* buffer, std::size_t length) {
  if (cipher_) cipher_->encipher(buffer, length);
}

void DriverHooks::decipher(std::uint8_t* buffer, std::size_t length) {
  if (cipher_) cipher_->decipher(buffer, length);
}

}  // namespace glimra::datafile
