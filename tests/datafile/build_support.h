// SPDX-License-Identifier: GPL-3.0-or-later
// Small tables for the key-build tests: the item table of the record layer's
// tests plus a static index and a dynamic index, kept on the in-memory file
// system, and ways to look at a key's counter and entries.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datafile/fault_file.h"
#include "datafile/file_check.h"
#include "datafile/key_build.h"
#include "datafile/record_kinds.h"
#include "datafile_fixture.h"

namespace glimra::datafile::testing {

// Keys 0..4 as itemDeclaration(); then NAMEINDEX, a static index over the
// name (case-insensitive, duplicates), and NUMBERDYNAMIC, a dynamic index over
// the number (duplicates).
enum BuildKey : std::size_t { NAMEINDEX = CODEUNIQUE + 1, NUMBERDYNAMIC };

inline TableDeclaration buildDeclaration() {
  TableDeclaration t = itemDeclaration();
  t.keys.push_back({"", "IT:NAMEINDEX", KeyFlag::INDEX | KeyFlag::DUP | KeyFlag::NOCASE, {{0, false}}});
  t.keys.push_back({"", "IT:NUMBERDYNAMIC", KeyFlag::DYNAMIC | KeyFlag::INDEX | KeyFlag::DUP, {{1, false}}});
  return t;
}

constexpr const char* BUILD_PATH = "items.dat";

// An open item file on an in-memory file system.
struct BuildTable {
  FaultFileSystem fs;
  TableDeclaration declaration = buildDeclaration();
  Item buffer{};
  DataFile file{fs};

  BuildTable() {
    file.declare(declaration, &buffer);
    file.setName(BUILD_PATH);
    EXPECT_EQ(file.create(), 0);
    EXPECT_EQ(file.open(), 0) << describeError(file);
  }
  // The file as another table's file system held it (contents of BUILD_PATH).
  explicit BuildTable(const std::vector<std::uint8_t>& contents) {
    fs.setContents(BUILD_PATH, contents);
    file.declare(declaration, &buffer);
    file.setName(BUILD_PATH);
    EXPECT_EQ(file.open(), 0) << describeError(file);
  }

  std::uint32_t write(const Item& value, bool append) {
    buffer = value;
    EXPECT_EQ(append ? file.append() : file.add(), 0) << describeError(file);
    return file.pointer();
  }

  Counter counter(std::size_t key) {
    TreeRecord record;
    EXPECT_TRUE(file.container()->find(counterKey(file.tableNumber(), static_cast<std::uint8_t>(key)), &record));
    return Counter::parse(record.payload()).value_or(Counter{99999, 99999});
  }

  // The record numbers of a stored key's entries, in key order.
  std::vector<std::uint32_t> entries(std::size_t key) { return walk(file, key); }

  // Every data record's stored bytes, in record-number order.
  std::vector<Bytes> data() {
    std::vector<Bytes> out;
    Bytes prefix = kindPrefix(file.tableNumber(), RecordKind::DATA);
    TreeRecord record;
    Bytes probe = prefix;
    while (file.container()->findFirstGreater(probe, &record) &&
           hasKindPrefix(record.key(), file.tableNumber(), RecordKind::DATA)) {
      out.emplace_back(record.bytes.begin(), record.bytes.end());
      probe.assign(record.key().begin(), record.key().end());
    }
    return out;
  }

  std::string check() {
    const FileCheckReport report = checkDataFile(fs, BUILD_PATH);
    return report.sound() ? "" : report.problems.empty() ? report.summary() : report.problems.front();
  }
};

}  // namespace glimra::datafile::testing
