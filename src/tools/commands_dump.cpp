// SPDX-License-Identifier: GPL-3.0-or-later
// dump: the data records of a table in record-number order, every field
// decoded through the definition stored in the file, as JSON lines or CSV.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <vector>

#include "collection/csv_export.h"
#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "datafile/os_file.h"
#include "datafile/table_catalog.h"
#include "text/cp1252.h"
#include "tools/commands.h"

namespace glimra::tools {

using namespace glimra::datafile;

namespace {

enum class Format { Json, Csv };

// Record numbers tried one by one when a walk misses records: a damaged
// header's last number must not send the rescue round four billion times.
constexpr std::uint32_t RESCUE_LIMIT = 0x00FFFFFF;

// A value ready for output: text (quoted in both formats) or a number.
struct Value {
  std::string text;
  bool isText = false;
};

template <class T>
T load(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof(T));
  return value;
}

std::string clipText(const std::uint8_t* at, std::size_t length) {
  std::string text(reinterpret_cast<const char*>(at), length);
  text.erase(text.find_last_not_of(' ') + 1);
  return collection::cp1252ToUtf8(text);
}

std::string realText(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

// Packed decimal: the first nibble is the sign (non-zero: negative), then
// digits; the last `decimals` digits follow the decimal point.
std::string decimalText(const std::uint8_t* at, std::size_t size, int decimals) {
  std::string digits;
  for (std::size_t i = 0; i < size; ++i) {
    if (i > 0) digits += static_cast<char>('0' + std::min(9, at[i] >> 4));
    digits += static_cast<char>('0' + std::min(9, at[i] & 15));
  }
  const bool negative = size > 0 && (at[0] >> 4) != 0;
  while (static_cast<int>(digits.size()) <= decimals) digits.insert(digits.begin(), '0');
  std::string whole = digits.substr(0, digits.size() - decimals);
  std::string fraction = digits.substr(digits.size() - decimals);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  fraction.erase(fraction.find_last_not_of('0') + 1);
  std::string text = whole + (fraction.empty() ? "" : "." + fraction);
  return (negative && text != "0" ? "-" : "") + text;
}

Value element(const FieldDeclaration& f, const std::uint8_t* at, std::size_t size) {
  switch (f.type) {
    case FieldType::STRING:
      return {clipText(at, size), true};
    case FieldType::CSTRING: {
      const auto* zero = static_cast<const std::uint8_t*>(std::memchr(at, 0, size));
      return {clipText(at, zero ? static_cast<std::size_t>(zero - at) : size), true};
    }
    case FieldType::PSTRING:
      return {size ? clipText(at + 1, std::min<std::size_t>(at[0], size - 1)) : "", true};
    case FieldType::BYTE:
      return {std::to_string(at[0])};
    case FieldType::SHORT:
      return {size >= 2 ? std::to_string(load<std::int16_t>(at)) : "null"};
    case FieldType::USHORT:
      return {size >= 2 ? std::to_string(load<std::uint16_t>(at)) : "null"};
    case FieldType::LONG:
      return {size >= 4 ? std::to_string(load<std::int32_t>(at)) : "null"};
    case FieldType::ULONG:
    case FieldType::DATE:
    case FieldType::TIME:
      return {size >= 4 ? std::to_string(load<std::uint32_t>(at)) : "null"};
    case FieldType::SREAL:
      return {size >= 4 ? realText(load<float>(at)) : "null"};
    case FieldType::REAL:
      return {size >= 8 ? realText(load<double>(at)) : "null"};
    case FieldType::DECIMAL:
    case FieldType::PDECIMAL:
      return {decimalText(at, size, f.decimals)};
    default: {
      std::string hex;
      for (std::size_t i = 0; i < size; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", at[i]);
        hex += two;
      }
      return {hex, true};
    }
  }
}

std::string csvField(const std::string& text) { return collection::csvCell(text); }

std::string render(const Value& v, Format format) {
  if (format == Format::Json) return v.isText ? jsonString(v.text) : v.text;
  return csvField(v.text == "null" && !v.isText ? "" : v.text);
}

// A field's value: one element, or a list of them for an array.
std::string fieldText(const FieldDeclaration& f, const std::uint8_t* image, Format format) {
  const std::size_t elements = f.elements ? f.elements : 1;
  const std::size_t size = f.size / elements;
  if (elements == 1) return render(element(f, image + f.offset, f.size), format);
  std::string out = format == Format::Json ? "[" : "";
  for (std::size_t i = 0; i < elements; ++i) {
    if (i) out += format == Format::Json ? "," : ";";
    const Value v = element(f, image + f.offset + i * size, size);
    out += format == Format::Json ? render(v, format) : v.text;
  }
  if (format == Format::Csv) return csvField(out);
  return out + "]";
}

}  // namespace

std::string jsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

int dumpCommand(const Arguments& args) {
  const char* usage = "usage: glimra-file dump FILE [--json|--csv] [--table NAME]";
  std::string path, table;
  Format format = Format::Json;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      format = Format::Json;
    } else if (args[i] == "--csv") {
      format = Format::Csv;
    } else if (args[i] == "--table" && i + 1 < args.size()) {
      table = args[++i];
    } else if (path.empty() && args[i].rfind("--", 0) != 0) {
      path = args[i];
    } else {
      return fail(EXIT_USAGE, usage);
    }
  }
  if (path.empty()) return fail(EXIT_USAGE, usage);
  path = TableAddress::parse(path, &posixFileSystem()).path;

  DataFile file;
  file.setName(table.empty() ? path : path + "\\!" + table);
  if (file.open(READ_ONLY_DENY_NONE) != 0) {
    // A file with one table of another name: dump that one.
    bool retried = false;
    if (table.empty() && file.errorCode() == FileError::FILE_NOT_FOUND && posixFileSystem().exists(path)) {
      DataFile probe;
      probe.setName(path);
      int error = 0;
      if (auto os = posixFileSystem().open(path, false, false, &error)) {
        try {
          Container container(*os);
          if (container.open() == 0) {
            container.refresh(false);
            const auto tables = listTables(container);
            if (tables.size() == 1) {
              file.setName(path + "\\!" + tables[0].name);
              retried = file.open(READ_ONLY_DENY_NONE) == 0;
            }
          }
        } catch (...) {
        }
      }
    }
    if (!retried) return fail(exitCodeFor(file.errorCode()), path + ": " + describeError(file));
  }

  const TableDeclaration& d = file.declaration();
  if (format == Format::Csv) {
    std::cout << "record";
    for (const FieldDeclaration& f : d.fields)
      if (f.type != FieldType::GROUP) std::cout << ',' << csvField(f.name);
    std::cout << '\n';
  }
  std::ostringstream line;
  auto print = [&] {
    const std::uint8_t* image = file.record().data();
    line.str("");
    if (format == Format::Json) {
      line << "{\"record\":" << file.pointer();
      for (const FieldDeclaration& f : d.fields)
        if (f.type != FieldType::GROUP) line << ',' << jsonString(f.name) << ':' << fieldText(f, image, format);
      line << "}\n";
    } else {
      line << file.pointer();
      for (const FieldDeclaration& f : d.fields)
        if (f.type != FieldType::GROUP) line << ',' << fieldText(f, image, format);
      line << '\n';
    }
    std::cout << line.str();
  };
  if (file.setFile() != 0) return fail(exitCodeFor(file.errorCode()), path + ": " + describeError(file));
  std::vector<bool> printed;
  std::size_t count = 0;
  while (file.next() == 0) {
    print();
    if (printed.size() <= file.pointer()) printed.resize(file.pointer() + 1);
    printed[file.pointer()] = true;
    ++count;
  }
  const bool walkFailed = file.errorCode() != FileError::RECORD_NOT_AVAILABLE;
  const std::string walkError = walkFailed ? describeError(file) : "";
  const std::uint32_t counted = file.records();
  if (!walkFailed && count == counted) return EXIT_OK;

  // The walk missed records: those a damaged page hides from it may still be
  // found one by one under their numbers. A partial dump is what a rescue needs.
  const std::size_t walked = count;
  std::size_t unreadable = 0;
  const std::uint32_t last = std::min<std::uint32_t>(file.container() ? file.container()->lastRecordNumber() : 0,
                                                     RESCUE_LIMIT);
  for (std::uint32_t number = 1; number <= last; ++number) {
    if (number < printed.size() && printed[number]) continue;
    if (file.get(number) == 0) {
      print();
      ++count;
    } else if (file.errorCode() != FileError::RECORD_NOT_FOUND) {
      ++unreadable;
    }
  }
  std::cout.flush();
  std::string warning = path + ": warning: the file is damaged: " + std::to_string(count) + " records dumped (" +
                        std::to_string(walked) + " in record order";
  if (count > walked) warning += ", " + std::to_string(count - walked) + " more found one by one";
  warning += "), its counter names " + std::to_string(counted);
  if (walkFailed) warning += "; reading in record order failed: " + walkError;
  if (unreadable) warning += "; " + std::to_string(unreadable) + " record numbers could not be read";
  return fail(EXIT_DAMAGED, warning);
}

}  // namespace glimra::tools
