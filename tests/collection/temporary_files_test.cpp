// SPDX-License-Identifier: GPL-3.0-or-later
// Temporaries a kill leaves behind: the next run of the same kind removes
// them (an export or any file written whole, a backup, the program's start
// for backups); a temporary whose owner is still at work stays, and so does
// every file the user made, whatever its name.
#include "collection/temporary_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "collection/backups.h"
#include "collection/generator.h"
#include "collection/replace_file.h"
#include "datafile/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace glimra::collection;
using glimra::datafile::testing::TempDir;

// The temporary of a writer of `target` killed while it wrote: made by a
// child process that dies by SIGKILL holding it.
std::string killedWritersTemporary(const std::string& target) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    int error = 0;
    std::optional<OwnedTemporary> owned = OwnedTemporary::create(target, &error);
    const std::string path = owned ? owned->path() : "";
    if (::write(fds[1], path.data(), path.size()) < 0) _exit(2);
    ::close(fds[1]);
    std::raise(SIGKILL);
    _exit(1);
  }
  ::close(fds[1]);
  char buffer[4096];
  const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_GT(n, 0);
  return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

void touch(const std::string& path) { std::ofstream(path) << "the user's own"; }

TEST(Temporaries, AKilledWritersTemporaryGoesWithTheNextRunAndNothingElseDoes) {
  TempDir dir;
  ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  const std::string collection = dir.file("Tree.GLM");
  std::string error;
  ASSERT_EQ(generateCollectionFile(collection, 5, 3, &error), 0) << error;
  ASSERT_TRUE(backUpCollection(collection).ok);
  const std::string backups = backupFolderOf(collection);
  const std::string otherBackups = backupRoot() + "/Other-00000000";
  fs::create_directories(otherBackups);

  struct Case {
    const char* what;
    std::string target;                // whose writer was killed
    std::function<void()> nextRun;     // the next run of the same kind
  };
  const std::string csv = dir.file("out.csv");
  const Case cases[] = {
      {"an export (a file written whole)", csv, [&] { ASSERT_TRUE(replaceFile(csv, "Name\r\n", &error)) << error; }},
      {"a backup", backups + "/Tree 2026-12-10 12.00.00.GLM", [&] { ASSERT_TRUE(backUpCollection(collection).ok); }},
      {"a backup of another collection, at the program's start", otherBackups + "/Other 2026-12-10 12.00.00.GLM",
       [] { removeAbandonedBackupTemporaries(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string killed = killedWritersTemporary(c.target);
    ASSERT_TRUE(fs::exists(killed)) << killed;
    // A writer of the same target still at work, and the user's files with
    // names alike.
    int createError = 0;
    std::optional<OwnedTemporary> live = OwnedTemporary::create(c.target, &createError);
    ASSERT_TRUE(live) << createError;
    const std::string folder = fs::path(c.target).parent_path().string();
    const std::vector<std::string> users = {c.target + ".partial-notes", c.target + ".bak", c.target + ".partial-1234567",
                                            folder + "/.partial-abcdef"};
    for (const std::string& file : users) touch(file);

    c.nextRun();
    EXPECT_FALSE(fs::exists(killed)) << "left behind: " << killed;
    EXPECT_TRUE(fs::exists(live->path())) << "a live writer's temporary was taken away";
    for (const std::string& file : users) EXPECT_TRUE(fs::exists(file)) << "the user's file was removed: " << file;
  }
}

}  // namespace
