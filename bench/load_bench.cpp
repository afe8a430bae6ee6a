// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a collection file in the main window: from the start of the main
// procedure until the first row of the loaded list is shown (the whole file
// read once, every ornament inserted in order, the categories collected), on
// generated collections of 1,000, 10,000 and 100,000 ornaments. Reports the
// time per ornament, which stays flat when the load is close to linear.
//
// Two forms: opens one after another, as the benchmark repeats them (a small
// collection then stays in the processor's caches from one open to the next),
// and opens that each start with those caches full of other data, as a
// user's open after starting the program does (the file still in the
// system's page cache in both).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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

// Writes a buffer larger than the processor's caches, so that the next open
// finds nothing of its own there.
void fillProcessorCaches() {
  static std::vector<unsigned char> other(std::size_t(1) << 30);
  static unsigned char value = 0;
  std::memset(other.data(), ++value, other.size());
  benchmark::DoNotOptimize(other.data());
}

void openToFirstRow(benchmark::State& state, bool coldCaches) {
  const auto count = static_cast<std::size_t>(state.range(0));
  collectionOf(count);
  // One open before the timing: the first open of a day also takes the
  // day's backup, which is not the load.
  if (!openToFirstRow(count)) state.SkipWithError("not every ornament was listed");
  for (auto _ : state) {
    if (coldCaches) {
      state.PauseTiming();
      fillProcessorCaches();
      state.ResumeTiming();
    }
    if (!openToFirstRow(count)) {
      state.SkipWithError("not every ornament was listed");
      break;
    }
  }
  state.counters["per_ornament"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_OpenToFirstRow(benchmark::State& state) { openToFirstRow(state, false); }
void BM_OpenToFirstRowColdCaches(benchmark::State& state) { openToFirstRow(state, true); }
BENCHMARK(BM_OpenToFirstRow)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenToFirstRowColdCaches)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
