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
// in a settings directory of its own; made once per size.
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
  glimra::collection::writeSetting("CurrentFile", "GlimraFile", file.string());
  return file;
}

void BM_OpenToFirstRow(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  collectionOf(count);
  for (auto _ : state) {
    glimra::runtime::ScriptedRuntime runtime;
    glimra::program::Program shared(runtime);
    glimra::catalogue::DisplayGlimra program(shared);
    // The window closes as soon as it waits for the user: the first row is shown.
    glimra::catalogue::runGlimra(runtime, program);
    if (program.ALLQUEUE.count() != static_cast<int>(count)) {
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
