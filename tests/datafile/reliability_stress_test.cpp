// SPDX-License-Identifier: GPL-3.0-or-later
// Several processes on one real collection file: writers add records (alone
// or in transactions of several) and rewrite their own records; readers walk
// the file over and over; the parent kills a random one of them with SIGKILL
// every few tens of milliseconds and starts a new one in its place. Every
// record carries its own check (the description is derived from the other
// fields), every transaction's records carry the transaction's size, and
// records are never deleted, so each reader can tell a torn read: a record
// whose fields disagree, a transaction seen in part, a record count that
// shrinks, or a walk that fails with anything but "no more records". At the
// end the file must pass the integrity check.
//
// Knobs: GLIMRA_STRESS_SECONDS (default 2), GLIMRA_STRESS_WRITERS (2),
// GLIMRA_STRESS_READERS (2).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <random>

#include "datafile/file_check.h"
#include "datafile_fixture.h"
#include "reliability_support.h"

namespace glimra::datafile::testing {
namespace {

using collection::GlRecord;

std::string checkText(const GlRecord& r) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::string_view part : {r.NAME.raw(), r.CATEGORY.raw(), r.SERIESNUM.raw(), r.VALUE.raw()})
    for (char c : part) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  std::string text;
  for (int i = 0; i < 40; ++i) text += std::to_string(h % 97) + "-", h = h * 6364136223846793005ull + 1;
  return text;
}

struct Stats {
  std::uint64_t operations = 0, reads = 0, torn = 0, errors = 0;
  std::string firstProblem;
};

void saveStats(const std::string& path, const Stats& s) {
  std::ofstream out(path + ".tmp", std::ios::trunc);
  out << s.operations << ' ' << s.reads << ' ' << s.torn << ' ' << s.errors << ' ' << s.firstProblem << '\n';
  out.close();
  std::rename((path + ".tmp").c_str(), path.c_str());
}

Stats loadStats(const std::string& path) {
  Stats s;
  std::ifstream in(path);
  in >> s.operations >> s.reads >> s.torn >> s.errors;
  in >> std::ws;
  std::getline(in, s.firstProblem);
  return s;
}

[[noreturn]] void writer(const std::string& file, const std::string& statsPath, const std::string& id) {
  Stats stats;
  std::mt19937 random(static_cast<unsigned>(getpid()));
  CollectionFile f(posixFileSystem(), file);
  if (f.file.open(OpenMode{0x42}) != 0) {
    stats.errors = 1;
    stats.firstProblem = "writer open: " + describeError(f.file);
    saveStats(statsPath, stats);
    _exit(1);
  }
  std::vector<std::uint32_t> mine;
  for (std::uint64_t batch = 0;; ++batch) {
    int rc = 0;
    if (mine.empty() || random() % 10 < 7) {
      const std::size_t n = 1 + random() % 4;
      if (n > 1) rc = f.file.logout();
      std::vector<std::uint32_t> added;
      for (std::size_t i = 0; rc == 0 && i < n; ++i) {
        f.buffer.clear();
        f.buffer.NAME = id + "-" + std::to_string(batch) + "-" + std::to_string(i);
        f.buffer.CATEGORY = id + "-" + std::to_string(batch);
        f.buffer.SERIESNUM = std::to_string(n);
        f.buffer.VALUE = std::to_string(random() % 1000);
        f.buffer.DESCRIPTION = checkText(f.buffer);
        rc = f.file.add();
        if (rc == 0) added.push_back(f.file.pointer());
      }
      if (n > 1 && rc == 0) rc = f.file.commit();
      std::string error = rc ? describeError(f.file) + " " + f.file.fileErrorCode() : "";
      if (n > 1 && rc != 0 && f.file.inTransaction()) f.file.rollback();
      if (rc == 0) mine.insert(mine.end(), added.begin(), added.end());
      if (rc != 0 && stats.firstProblem.empty()) stats.firstProblem = "writer add: " + error;
    } else {
      rc = f.file.get(mine[random() % mine.size()]);
      if (rc == 0) {
        f.buffer.VALUE = std::to_string(random() % 1000);
        f.buffer.DESCRIPTION = checkText(f.buffer);
        rc = f.file.put();
      }
      if (rc != 0 && stats.firstProblem.empty())
        stats.firstProblem = "writer put: " + describeError(f.file) + " " + f.file.fileErrorCode();
    }
    ++stats.operations;
    if (rc != 0) ++stats.errors;
    if (stats.operations % 4 == 0 || rc != 0) saveStats(statsPath, stats);
  }
}

[[noreturn]] void reader(const std::string& file, const std::string& statsPath) {
  Stats stats;
  std::uint32_t lastCount = 0;
  auto torn = [&](const std::string& what) {
    ++stats.torn;
    if (stats.firstProblem.empty()) stats.firstProblem = what;
  };
  for (;;) {
    CollectionFile f(posixFileSystem(), file);
    if (f.file.open(OpenMode{0x40}) != 0) {
      ++stats.errors;
      if (stats.firstProblem.empty()) stats.firstProblem = "reader open: " + describeError(f.file);
      saveStats(statsPath, stats);
      continue;
    }
    for (int pass = 0; pass < 5; ++pass) {
      const std::uint32_t count = f.file.records();
      if (count < lastCount) torn("record count went from " + std::to_string(lastCount) + " to " + std::to_string(count));
      lastCount = std::max(lastCount, count);
      std::map<std::string, std::pair<std::size_t, std::size_t>> batches;  // seen, size
      if (f.file.setFile() == 0) {
        while (f.file.next() == 0) {
          if (f.buffer.NAME.isBlank()) continue;  // the header record of the file
          if (f.buffer.DESCRIPTION != checkText(f.buffer))
            torn("record " + std::to_string(f.file.pointer()) + " disagrees with its check");
          auto& b = batches[f.buffer.CATEGORY.str()];
          ++b.first;
          b.second = std::strtoul(f.buffer.SERIESNUM.str().c_str(), nullptr, 10);
        }
      }
      if (f.file.errorCode() != 33) {
        ++stats.errors;
        if (stats.firstProblem.empty()) stats.firstProblem = "reader walk: " + describeError(f.file);
      }
      for (const auto& [batch, b] : batches)
        if (b.first != b.second)
          torn("transaction " + batch + " seen with " + std::to_string(b.first) + " of " + std::to_string(b.second) +
               " records");
      ++stats.reads;
      saveStats(statsPath, stats);
    }
    f.file.close();
  }
}

TEST(ReliabilityStress, KilledWritersNeverShowReadersATornState) {
  const double seconds = static_cast<double>(envSize("GLIMRA_STRESS_SECONDS", 2));
  const std::size_t writers = envSize("GLIMRA_STRESS_WRITERS", 2);
  const std::size_t readers = envSize("GLIMRA_STRESS_READERS", 2);
  TempDir dir;
  const std::string file = dir.file("stress.GLM");
  {
    CollectionFile f(posixFileSystem(), file);
    ASSERT_EQ(f.file.create(), 0);
    ASSERT_EQ(f.file.open(), 0);
    f.buffer.clear();
    ASSERT_EQ(f.file.add(), 0);  // a blank header record, as a collection file has
    ASSERT_EQ(f.file.close(), 0);
  }
  struct Slot {
    bool isWriter;
    pid_t pid = 0;
    int generation = 0;
  };
  std::vector<Slot> slots;
  for (std::size_t i = 0; i < writers; ++i) slots.push_back({true});
  for (std::size_t i = 0; i < readers; ++i) slots.push_back({false});
  std::vector<std::string> statFiles;
  auto start = [&](std::size_t i) {
    Slot& s = slots[i];
    const std::string stats = dir.file("stats-" + std::to_string(i) + "-" + std::to_string(s.generation));
    statFiles.push_back(stats);
    const std::string id = "w" + std::to_string(i) + "." + std::to_string(s.generation);
    ++s.generation;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      if (s.isWriter) writer(file, stats, id);
      reader(file, stats);
    }
    s.pid = pid;
  };
  for (std::size_t i = 0; i < slots.size(); ++i) start(i);

  std::mt19937 random(11);
  std::size_t kills = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    usleep(20000 + random() % 60000);
    const std::size_t i = random() % slots.size();
    kill(slots[i].pid, SIGKILL);
    waitpid(slots[i].pid, nullptr, 0);
    ++kills;
    start(i);
  }
  for (Slot& s : slots) {
    kill(s.pid, SIGKILL);
    waitpid(s.pid, nullptr, 0);
  }

  Stats total;
  for (const std::string& path : statFiles) {
    const Stats s = loadStats(path);
    total.operations += s.operations;
    total.reads += s.reads;
    total.torn += s.torn;
    total.errors += s.errors;
    if (total.firstProblem.empty() && !s.firstProblem.empty()) total.firstProblem = s.firstProblem;
  }
  const FileCheckReport report = checkDataFile(posixFileSystem(), file);
  std::cout << "[ reliability ] " << statFiles.size() << " processes (" << writers << " writers, " << readers
            << " readers at a time), " << kills << " kills, " << total.operations << " writer operations, "
            << total.reads << " reader walks, " << total.torn << " torn reads, " << total.errors
            << " errors; final check: " << report.summary() << "\n";
  if (!total.firstProblem.empty()) std::cout << "[ reliability ] first problem:" << total.firstProblem << "\n";
  // A run in which nobody got to work proves nothing: writers wrote, readers
  // walked, and none of them met an error.
  EXPECT_GT(total.operations, 0u);
  EXPECT_GT(total.reads, 0u);
  EXPECT_EQ(total.errors, 0u) << total.firstProblem;
  EXPECT_EQ(total.torn, 0u) << total.firstProblem;
  EXPECT_TRUE(report.sound()) << (report.problems.empty() ? report.summary() : report.problems[0]);
}

}  // namespace
}  // namespace glimra::datafile::testing
