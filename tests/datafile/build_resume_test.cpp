// SPDX-License-Identifier: GPL-3.0-or-later
// Builds that stop half-way: a power cut after any write, a failed write, or
// a cancel through the progress callback. Each leaves a file that checks
// sound, with its data records untouched and its rebuild marks saying where
// to resume; the resumed build ends with the entries of an uninterrupted one.
#include <map>

#include "build_support.h"
#include "datafile/file_errors.h"

namespace glimra::datafile {
namespace {

using namespace testing;

constexpr int RECORDS = 64;
const std::vector<std::size_t> STORED_KEYS = {NAMEKEY, NUMBERKEY, AMOUNTKEY, CODEKEY, CODEUNIQUE, NAMEINDEX};

// Small checkpoints and batches, so a build of a small table commits often.
BuildSettings frequentCheckpoints() {
  BuildSettings settings;
  settings.checkpointPages = 1;
  settings.batchRecords = 16;
  return settings;
}

// A table whose records were all appended: every key waits for a build.
// Every fifth record repeats the number of the one before it, so the unique
// number key refuses records all along the walk.
void makeAppended(BuildTable& t) {
  for (int i = 0; i < RECORDS; ++i) {
    const std::string name = "n" + std::to_string((i * 37) % RECORDS);
    t.write(item(name, i % 5 == 4 ? i - 1 : i, (i % 7) - 3.5, i % 3 ? "c" + std::to_string(i) : ""), true);
  }
}

struct KeyView {
  std::vector<std::uint32_t> entries;
  std::uint32_t count = 0;
  std::uint32_t mark = 0;
  bool operator==(const KeyView&) const = default;
};
using KeyState = std::map<std::size_t, KeyView>;

KeyState keyState(BuildTable& t) {
  KeyState state;
  for (std::size_t k : STORED_KEYS) state[k] = {t.entries(k), t.counter(k).count, t.counter(k).mark};
  return state;
}

// The whole build: every key of the table, then the static index.
int buildAll(BuildTable& t, const BuildSettings& settings) {
  const int file = buildFile(t.file, settings);
  const int index = buildKey(t.file, NAMEINDEX, settings);
  return file ? file : index;
}

struct Reference {
  std::vector<std::uint8_t> appended;  // the file before the build
  KeyState keys;
  std::vector<Bytes> data;
  std::uint64_t steps = 0;
};

// The incremental build starts from the appended table; the full one from
// the table with its keys complete, so that it first drops their entries.
Reference uninterrupted(bool fullBuild) {
  Reference r;
  {
    BuildTable t;
    makeAppended(t);
    if (fullBuild) buildAll(t, {});
    t.file.close();
    r.appended = t.fs.contents(BUILD_PATH);
  }
  BuildTable t(r.appended);
  r.data = t.data();
  t.fs.resetCounters();
  BuildSettings settings = frequentCheckpoints();
  settings.fullBuild = fullBuild;
  EXPECT_EQ(buildAll(t, settings), FileError::DUPLICATE_KEY);
  r.steps = t.fs.steps();
  r.keys = keyState(t);
  EXPECT_EQ(r.keys[NUMBERKEY].entries.size(), std::size_t(RECORDS - RECORDS / 5));
  EXPECT_GT(r.keys[NUMBERKEY].mark, 0u);
  EXPECT_EQ(t.check(), "");
  return r;
}

// Opens the file again after a reboot or a failure, checks it, and resumes
// the build (incremental) to its end.
void resumeAndCompare(BuildTable& t, const Reference& reference, const std::string& where, bool* resumedLate) {
  t.file.close();
  ASSERT_EQ(t.file.open(), 0) << where << ": " << describeError(t.file);
  ASSERT_EQ(t.check(), "") << where;
  ASSERT_EQ(t.data(), reference.data) << where;
  if (t.counter(NAMEKEY).mark > t.data().size() / 2) *resumedLate = true;
  EXPECT_EQ(buildAll(t, frequentCheckpoints()), FileError::DUPLICATE_KEY) << where;
  EXPECT_EQ(keyState(t), reference.keys) << where;
  EXPECT_EQ(t.data(), reference.data) << where;
  EXPECT_EQ(t.check(), "") << where;
}

TEST(BuildResume, APowerCutAtAnyPointResumesToTheSameEntries) {
  for (bool fullBuild : {false, true}) {
    const Reference reference = uninterrupted(fullBuild);
    ASSERT_GT(reference.steps, 20u);
    bool resumedLate = false;
    // Every cut early in the first key, then a sample across the rest; the
    // way unflushed writes survive alternates from cut to cut.
    std::size_t run = 0;
    for (std::uint64_t cut = 0; cut < reference.steps; cut += cut < 40 ? 1 : 8, ++run) {
      const UnflushedWrites mode = run % 2 ? UnflushedWrites::TornAtSectors : UnflushedWrites::Dropped;
      const std::string where = "full " + std::to_string(fullBuild) + " cut " + std::to_string(cut) + " mode " +
                                std::to_string(int(mode));
      BuildTable t(reference.appended);
      t.fs.resetCounters();
      t.fs.plan.crashAfter = cut;
      BuildSettings settings = frequentCheckpoints();
      settings.fullBuild = fullBuild;
      buildAll(t, settings);
      t.fs.reboot(mode, static_cast<std::uint32_t>(cut) + 11);
      ASSERT_NO_FATAL_FAILURE(resumeAndCompare(t, reference, where, &resumedLate));
      if (HasFailure()) return;
    }
    EXPECT_TRUE(resumedLate) << "no cut fell after a checkpoint late in the first key";
  }
}

TEST(BuildResume, AFailedWriteEndsWithError90AndResumes) {
  const Reference reference = uninterrupted(true);
  bool resumedLate = false;
  for (std::uint64_t failing = 1; failing < reference.steps; failing += 11) {
    const std::string where = "failing write " + std::to_string(failing);
    BuildTable t(reference.appended);
    t.fs.resetCounters();
    t.fs.plan.failWrite = failing;
    BuildSettings settings = frequentCheckpoints();
    settings.fullBuild = true;
    BuildFailure failure;
    const int rc = buildFile(t.file, settings, &failure);
    if (t.fs.writes() < failing) continue;  // the build ended before that write
    EXPECT_EQ(rc, FileError::FILE_SYSTEM_ERROR) << where;
    EXPECT_EQ(failure.fileErrorCode, "5") << where;  // EIO
    t.fs.plan = FaultPlan{};
    ASSERT_NO_FATAL_FAILURE(resumeAndCompare(t, reference, where, &resumedLate));
  }
  EXPECT_TRUE(resumedLate);
}

TEST(BuildResume, ProgressIsReportedAndACancelEndsWithError93) {
  const Reference reference = uninterrupted(false);
  BuildTable t(reference.appended);
  std::vector<BuildStatus> calls;
  BuildSettings settings = frequentCheckpoints();
  settings.progressInterval = 10;
  settings.progress = [&](const BuildStatus& s) {
    calls.push_back(s);
    return s.key == NAMEKEY && s.recordsDone == 50 ? BuildAnswer::Stop : BuildAnswer::Continue;
  };
  EXPECT_EQ(buildKey(t.file, NAMEKEY, settings), FileError::BUILD_CANCELLED);
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].recordsDone, 10u);
  EXPECT_EQ(calls[0].recordsTotal, std::uint64_t(RECORDS));
  EXPECT_FALSE(calls.back().finished);
  // Work up to the last checkpoint stays; the mark says where to go on.
  const Counter counter = t.counter(NAMEKEY);
  EXPECT_GT(counter.mark, t.data().size() / 2);
  EXPECT_EQ(t.entries(NAMEKEY).size(), counter.count);
  EXPECT_EQ(t.check(), "");

  calls.clear();
  settings.progress = [&](const BuildStatus& s) {
    calls.push_back(s);
    return BuildAnswer::Continue;
  };
  EXPECT_EQ(buildFile(t.file, settings), FileError::DUPLICATE_KEY);
  ASSERT_FALSE(calls.empty());
  EXPECT_TRUE(calls.back().finished);
  EXPECT_EQ(calls.back().keysDone, 6u);  // the five keys and the dynamic index
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const BuildStatus& s) { return s.finished; }), 1);
  ASSERT_EQ(buildKey(t.file, NAMEINDEX, {}), 0);
  EXPECT_EQ(keyState(t), reference.keys);
  EXPECT_EQ(t.check(), "");
}

}  // namespace
}  // namespace glimra::datafile
