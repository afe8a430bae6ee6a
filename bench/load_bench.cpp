// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a collection file in the main window: from the start of the main
// procedure until the first row of the loaded list is shown (the whole file
// read once, every ornament inserted in order, the categories collected), on
// generated collections of 1,000, 10,000 and 100,000 ornaments. Reports the
// time per ornament, which stays flat when the load is close to linear.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "catalogue/display_glimra.h"
#include "catalogue/start_up.h"
#include "collection/generator.h"
#include "collection/settings.h"
#include "program/program.h"
#include "runtime/scripted_runtime.h"

namespace {

namespace fs = std::filesystem;

// A generated collection of `count` ornaments, remembered as the current file
// in a settings directory of its own (which also takes its backups); made
// once per size.
fs::path collectionOf(std::size_t count) {
  const fs::path dir = fs::temp_directory_path() / ("glimra-load-bench-" + std::to_string(count));
  const fs::path file = dir / "Collection.GLM";
  if (!fs::exists(file)) {
    fs::create_directories(dir);
    std::string error;
    if (glimra::collection::generateCollectionFile(file.string(), count, 1, &error) != 0) {
      std::fprintf(stderr, "cannot generate %s: %s\n", file.c_str(), error.c_str());
      std::exit(1);
    }
  }
  ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  ::setenv("XDG_DATA_HOME", dir.c_str(), 1);  // the day's backup goes beside the file
  glimra::collection::writeSetting("CurrentFile", "GlimraFile", file.string());
  return file;
}

// Runs the program until its main window waits for the user (the first row
// is shown there); false when not every ornament was listed.
bool openToFirstRow(std::size_t count) {
  glimra::runtime::ScriptedRuntime runtime;
  glimra::program::Program shared(runtime);
  glimra::catalogue::DisplayGlimra program(shared);
  glimra::catalogue::runGlimra(runtime, program);
  return program.ALLQUEUE.count() == static_cast<int>(count);
}

void BM_OpenToFirstRow(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  collectionOf(count);
  // One open before the timing: the first open of a day also takes the
  // day's backup, which is not the load.
  if (!openToFirstRow(count)) state.SkipWithError("not every ornament was listed");
  for (auto _ : state) {
    if (!openToFirstRow(count)) {
      state.SkipWithError("not every ornament was listed");
      break;
    }
  }
  state.counters["per_ornament"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_OpenToFirstRow)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
