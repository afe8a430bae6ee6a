// SPDX-License-Identifier: GPL-3.0-or-later
// The integrity check against a file that another process keeps changing: it
// reads one committed state, so it never reports damage that is not there.
#include <gtest/gtest.h>

#include <chrono>

#include "datafile/file_check.h"
#include "datafile_fixture.h"
#include "locks_support.h"

namespace glimra::datafile::testing {
namespace {

// Adds a batch of items and deletes it again, each as one commit of many
// pages (splits, key entries of five keys, counters), until told to stop.
int commitInALoop(const std::string& path, const Pipe& started, const Pipe& stop, OpenMode mode) {
  const TableDeclaration declaration = itemDeclaration();
  Item buffer{};
  DataFile file;
  file.declare(declaration, &buffer);
  file.setName(path);
  if (file.open(mode) != 0) return 2;
  started.send('S');
  for (int round = 0; stop.receive(0) == 0; ++round) {
    if (file.logout() != 0) return 3;
    for (int i = 0; i < 60; ++i) {
      buffer = item("r" + std::to_string(round % 13), 1000 + i, i * 0.5);
      if (file.add() != 0) return 4;
    }
    if (file.commit() != 0) return 5;
    if (file.logout() != 0) return 6;
    if (file.setKey(NUMBERKEY) != 0) return 7;
    while (file.next() == 0)
      if (buffer.number >= 1000 && file.erase() != 0) return 8;
    if (file.commit() != 0) return 9;
  }
  return 0;
}

TEST(FileCheck, NeverReportsDamageWhileAnotherProcessCommits) {
  TempDir dir;
  const std::string path = dir.file("busy.dat");
  {
    const TableDeclaration declaration = itemDeclaration();
    Item buffer{};
    DataFile file;
    file.declare(declaration, &buffer);
    file.setName(path);
    ASSERT_EQ(file.create(), 0);
    ASSERT_EQ(file.open(), 0);
    for (int i = 0; i < 300; ++i) {
      buffer = item("base" + std::to_string(i % 17), i, i, std::to_string(i));
      ASSERT_EQ(file.add(), 0);
    }
    file.close();
  }
  // The collection's own mode (deny write) and the shared one (deny none).
  for (const OpenMode mode : {OpenMode{0x22}, OpenMode{0x42}}) {
    Pipe started, stop;
    Child writer([&] { return commitInALoop(path, started, stop, mode); });
    ASSERT_EQ(started.receive(), 'S');
    int checks = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until || checks < 20) {
      const FileCheckReport report = checkDataFile(posixFileSystem(), path);
      ASSERT_TRUE(report.sound()) << "mode " << mode.value << ", check " << checks << ": "
                                  << (report.problems.empty() ? report.summary() : report.problems[0]);
      ++checks;
    }
    stop.send('X');
    EXPECT_EQ(writer.wait(), 0) << "mode " << mode.value;
  }
}

}  // namespace
}  // namespace glimra::datafile::testing
