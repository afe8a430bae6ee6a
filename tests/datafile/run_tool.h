// SPDX-License-Identifier: GPL-3.0-or-later
// Runs glimra-file with arguments (as a shell command line) and gives back
// what it printed, stdout and stderr together, and its exit code.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace glimra::datafile::testing {

inline std::string runTool(const std::string& arguments, int* exitCode) {
  FILE* pipe = popen((std::string(GLIMRA_TOOL_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  std::string out;
  char buffer[65536];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

// The bytes of a file ("" when it cannot be read): what a command must leave
// as it was.
inline std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace glimra::datafile::testing
