// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-window-bench: what a user waits for. Starts the real program
// (`glimra`, on Qt's offscreen platform) as a process of its own until its
// list is shown and it goes idle (GLIMRA_QUIT_WHEN_SHOWN, see
// src/app/quit_when_shown.h), for generated collections of 1,000, 10,000
// and 100,000 ornaments: started with the file, and File › Open of the file
// from the program running with an empty one; each with the day's backup
// still to take (the first start of a day) and already taken (every later
// one). Per run: the program's CPU time until its list is shown and its peak
// resident memory to its end (both as it reports them), beside the main
// window's load benchmark
// (`glimra-load-bench`, run as a process too) on the same file in the same
// run, and beside the memory of the list itself (the entries of ALLQUEUE).
//
// The files are the load benchmark's own (its folder under the temporary
// directory, generated once with the same seed). Settings and backups go to
// folders of this run, removed at its end. Runs alternate: each round runs
// every case of every size once.
//
// Usage: glimra-window-bench [--reps N] [--sizes N,N,...] [--glimra PATH]
//                            [--load-bench PATH] [--no-load-bench]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/catalogue_lists.h"
#include "collection/backups.h"
#include "collection/generator.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string processorName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown processor";
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// What one run of a process gave.
struct Outcome {
  double cpu = 0;          // user + system, seconds, the whole process
  double wall = 0;         // seconds from the start to its end
  std::string output;      // its standard error and output
};

// Runs argv with the environment changed by `env`, until it ends (or kill
// after `limitSeconds`).
Outcome runProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                   double limitSeconds = 300) {
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (!env.count(entry.substr(0, entry.find('=')))) environment.push_back(entry);
  }
  for (const auto& [name, value] : env)
    if (!value.empty()) environment.push_back(name + "=" + value);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0) fail("pipe");
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) fail("fork");
  if (child == 0) {
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    close(out[1]);
    execve(args[0], args.data(), envp.data());
    std::fprintf(stderr, "cannot run %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
  }
  close(out[1]);
  Outcome o;
  char chunk[4096];
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    const double left = limitSeconds - std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (left <= 0) {
      kill(child, SIGKILL);
      o.output += "\n(killed after " + std::to_string(int(limitSeconds)) + " s)";
      break;
    }
    if (poll(&p, 1, int(std::min(left, 1.0) * 1000)) <= 0) continue;
    const ssize_t n = read(out[0], chunk, sizeof chunk);
    if (n <= 0) break;
    o.output.append(chunk, std::size_t(n));
  }
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  o.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  o.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  return o;
}

// The lines the program writes when its list is shown.
struct Shown {
  long rows = 0;
  double wall = 0, cpu = 0;
  long peakKb = 0;
};
std::vector<Shown> shownLines(const std::string& output) {
  static const std::regex line(R"(glimra: list shown: (\d+) rows; ([0-9.]+) s; cpu ([0-9.]+) s; peak (\d+) kB)");
  std::vector<Shown> lines;
  for (std::sregex_iterator it(output.begin(), output.end(), line), end; it != end; ++it)
    lines.push_back(Shown{std::stol((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stol((*it)[4])});
  return lines;
}

// The program's own peak resident memory, as it ends (wait4's ru_maxrss
// would include this process's own peak from before the program's exec).
long peakAtExit(const Outcome& o) {
  static const std::regex line(R"(glimra: peak at exit (\d+) kB)");
  std::smatch m;
  if (!std::regex_search(o.output, m, line)) fail("the program gave no peak at exit\n" + o.output);
  return std::stol(m[1]);
}

struct Options {
  int reps = 3;
  std::vector<std::size_t> sizes{1'000, 10'000, 100'000};
  fs::path glimra, loadBench;
  bool withLoadBench = true;
};

enum class Case { Start, StartWithBackup, Open, OpenWithBackup };
constexpr Case kCases[] = {Case::Start, Case::StartWithBackup, Case::Open, Case::OpenWithBackup};
const char* caseName(Case c) {
  switch (c) {
    case Case::Start: return "start";
    case Case::StartWithBackup: return "start, daily backup";
    case Case::Open: return "File > Open";
    case Case::OpenWithBackup: return "File > Open, daily backup";
  }
  return "";
}

struct Samples {
  std::vector<double> cpu, wall, peakMb;
};

class WindowBench {
 public:
  explicit WindowBench(Options o) : opt_(std::move(o)) {
    root_ = fs::temp_directory_path() / ("glimra-window-bench-" + std::to_string(getpid()));
    fs::create_directories(root_ / "settings");
    fs::create_directories(root_ / "kept");  // backups of the day, taken once
  }
  ~WindowBench() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void run() {
    std::fprintf(stderr, "processor: %s; load average at the start %s\n", processorName().c_str(), loadAverage().c_str());
    startLoad_ = loadAverage();
    empty_ = collectionOf(0);
    for (std::size_t n : opt_.sizes) collectionOf(n);
    // Untimed: each file's backup of the day, into the folder the runs
    // without a backup use (taken here, whole: a program that leaves once its
    // list is shown drops a backup still at work).
    std::vector<fs::path> files{empty_};
    for (std::size_t n : opt_.sizes) files.push_back(collectionOf(n));
    for (const fs::path& file : files) keepBackupOf(file);
    for (int rep = 0; rep < opt_.reps; ++rep) {
      std::fprintf(stderr, "round %d/%d\n", rep + 1, opt_.reps);
      Outcome base = launch(empty_, "", root_ / "kept");
      const auto baseLines = shownLines(base.output);
      if (baseLines.size() != 1) fail("the empty collection: no list shown\n" + base.output);
      empty_cpu_.push_back(baseLines.front().cpu);
      empty_peak_.push_back(double(peakAtExit(base)) / 1024);
      for (std::size_t n : opt_.sizes) {
        std::vector<Case> order(std::begin(kCases), std::end(kCases));
        if (rep % 2) std::reverse(order.begin(), order.end());
        for (Case c : order) measure(n, c);
        if (opt_.withLoadBench) loadBench(n);
      }
    }
    endLoad_ = loadAverage();
  }

  void report() const;

 private:
  fs::path collectionOf(std::size_t n) {
    // The load benchmark's file for n (the same folder, name and seed).
    const fs::path dir = fs::temp_directory_path() / ("glimra-load-bench-" + std::to_string(n));
    const fs::path file = n == 0 ? root_ / "Empty.GLM" : dir / "Collection.GLM";
    if (!fs::exists(file)) {
      fs::create_directories(file.parent_path());
      std::string error;
      if (glimra::collection::generateCollectionFile(file.string(), n, 1, &error) != 0)
        fail("cannot generate " + file.string() + ": " + error);
    }
    return file;
  }

  // Backups go under $XDG_DATA_HOME, the program's and this process's alike.
  static void useBackupsIn(const fs::path& folder) { setenv("XDG_DATA_HOME", folder.c_str(), 1); }

  void keepBackupOf(const fs::path& file) {
    useBackupsIn(root_ / "kept");
    const glimra::collection::BackupResult taken = glimra::collection::backUpCollection(file.string());
    if (!taken.ok || glimra::collection::dailyBackupDue(file.string()))
      fail("cannot take the day's backup of " + file.string());
  }

  // What a run with a backup of the day to take left in its folder: a whole
  // backup or none, never a temporary (the program drops a backup still at
  // work when it leaves).
  static void checkNoHalfBackup(const fs::path& folder, const std::string& what) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec))
      if (entry.is_regular_file() && entry.path().extension() != ".GLM")
        fail(what + ": left " + entry.path().string() + " behind");
  }

  // The program started with `file`; with `openNext`, File › Open of it.
  Outcome launch(const fs::path& file, const std::string& openNext, const fs::path& backups) {
    return runProcess({opt_.glimra.string(), file.string()},
                      {{"QT_QPA_PLATFORM", "offscreen"},
                       {"GLIMRA_QUIT_WHEN_SHOWN", "1"},
                       {"GLIMRA_OPEN_WHEN_SHOWN", openNext},
                       {"XDG_CONFIG_HOME", (root_ / "settings").string()},
                       {"XDG_DATA_HOME", backups.string()},
                       {"XDG_RUNTIME_DIR", (root_ / "settings").string()}});
  }

  void measure(std::size_t n, Case c) {
    const bool backup = c == Case::StartWithBackup || c == Case::OpenWithBackup;
    const bool open = c == Case::Open || c == Case::OpenWithBackup;
    const fs::path fresh = root_ / "fresh";  // no backup of the day yet
    fs::remove_all(fresh);
    fs::create_directories(fresh);
    const fs::path file = collectionOf(n);
    const Outcome o = open ? launch(empty_, file.string(), backup ? fresh : root_ / "kept")
                           : launch(file, "", backup ? fresh : root_ / "kept");
    checkNoHalfBackup(fresh, std::string(caseName(c)) + ", " + std::to_string(n) + " ornaments");
    fs::remove_all(fresh);
    const auto lines = shownLines(o.output);
    if (lines.size() != (open ? 2u : 1u) || lines.back().rows != long(n))
      fail(std::string(caseName(c)) + ", " + std::to_string(n) + " ornaments: the list was not shown whole\n" +
           o.output);
    Samples& s = samples_[n][c];
    // Until the list is shown (a backup of the day still at work then is
    // dropped on the way out, which the user does not wait for); File › Open:
    // after the empty collection's list was shown.
    s.cpu.push_back(open ? lines.back().cpu - lines.front().cpu : lines.back().cpu);
    s.wall.push_back(open ? lines.back().wall - lines.front().wall : lines.back().wall);
    s.peakMb.push_back(double(peakAtExit(o)) / 1024);
  }

  void loadBench(std::size_t n) {
    const Outcome o = runProcess({opt_.loadBench.string(), "--benchmark_filter=BM_OpenToFirstRowColdCaches/" +
                                                               std::to_string(n) + "$",
                                  "--benchmark_format=json", "--benchmark_min_time=0.2"},
                                 {});
    static const std::regex cpu(R"("cpu_time": ([0-9.eE+-]+),)");
    std::smatch m;
    if (!std::regex_search(o.output, m, cpu)) fail("glimra-load-bench gave no time:\n" + o.output);
    loadCpu_[n].push_back(std::stod(m[1]) / 1e3);  // ms → s
  }

  Options opt_;
  fs::path root_, empty_;
  std::string startLoad_, endLoad_;
  std::vector<double> empty_cpu_, empty_peak_;
  std::map<std::size_t, std::map<Case, Samples>> samples_;
  std::map<std::size_t, std::vector<double>> loadCpu_;
};

void WindowBench::report() const {
  std::printf("glimra-window-bench: %d rounds; processor: %s (%ld CPUs)\n", opt_.reps, processorName().c_str(),
              sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("load average: %s at the start, %s at the end\n", startLoad_.c_str(), endLoad_.c_str());
  const double emptyPeak = median(empty_peak_);
  std::printf("the program with an empty collection: CPU %.3f s, peak %.1f MB (medians)\n\n", median(empty_cpu_),
              emptyPeak);
  std::printf("%-10s %-26s %9s %9s %9s %10s %9s %10s %9s %8s\n", "ornaments", "what", "CPU", "wall", "peak",
              "peak-empty", "list", "over list", "load CPU", "CPU/load");
  for (const auto& [n, byCase] : samples_) {
    const double list = double(n * sizeof(glimra::catalogue::AllEntry)) / (1024 * 1024);
    const auto load = loadCpu_.find(n);
    const double loadCpu = load == loadCpu_.end() ? 0 : median(load->second);
    for (Case c : kCases) {
      const auto it = byCase.find(c);
      if (it == byCase.end()) continue;
      const double cpu = median(it->second.cpu), wall = median(it->second.wall), peak = median(it->second.peakMb);
      char loadText[16] = "-", ratio[16] = "-";
      if (loadCpu > 0) {
        std::snprintf(loadText, sizeof loadText, "%.3f s", loadCpu);
        std::snprintf(ratio, sizeof ratio, "%.2f", cpu / loadCpu);
      }
      std::printf("%-10zu %-26s %7.3f s %7.3f s %6.1f MB %7.1f MB %6.1f MB %9.2f %9s %8s\n", n, caseName(c), cpu,
                  wall, peak, peak - emptyPeak, list, (peak - emptyPeak) / list, loadText, ratio);
    }
  }
  std::printf(
      "\nCPU: the process's user + system time until the list was shown (File > Open: after the empty collection\n"
      "was shown); wall: to the list shown; peak: the process's peak resident memory to its end; peak-empty: above the program with an empty\n"
      "collection; list: the entries of the list of all ornaments; load CPU: glimra-load-bench's CPU time for the\n"
      "same file (cold caches), median of its own repetitions, in the same run.\n");
  const std::size_t largest = samples_.empty() ? 0 : samples_.rbegin()->first;
  if (largest == 0) return;
  const auto& byCase = samples_.at(largest);
  const auto load = loadCpu_.find(largest);
  const double list = double(largest * sizeof(glimra::catalogue::AllEntry)) / (1024 * 1024);
  std::printf("goals at %zu: ", largest);
  if (load != loadCpu_.end()) {
    const double r = median(byCase.at(Case::Start).cpu) / median(load->second);
    std::printf("start / load %.2f (<= 1.5 %s)  ", r, r <= 1.5 ? "met" : "MISSED");
  }
  const double b = median(byCase.at(Case::StartWithBackup).cpu) / median(byCase.at(Case::Start).cpu);
  std::printf("start with backup / without %.2f (<= 1.1 %s)  ", b, b <= 1.1 ? "met" : "MISSED");
  const double m = (median(byCase.at(Case::Start).peakMb) - emptyPeak) / list;
  std::printf("start's peak above empty / list %.2f (<= 1.5 %s)\n", m, m <= 1.5 ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  const fs::path here = fs::canonical("/proc/self/exe").parent_path();
  opt.glimra = here.parent_path() / "src" / "app" / "glimra";
  opt.loadBench = here / "glimra-load-bench";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--reps") {
      opt.reps = std::max(1, std::atoi(value().c_str()));
    } else if (a == "--sizes") {
      opt.sizes.clear();
      std::stringstream list(value());
      for (std::string item; std::getline(list, item, ',');) opt.sizes.push_back(std::stoul(item));
    } else if (a == "--glimra") {
      opt.glimra = value();
    } else if (a == "--load-bench") {
      opt.loadBench = value();
    } else if (a == "--no-load-bench") {
      opt.withLoadBench = false;
    } else {
      std::fprintf(stderr,
                   "usage: glimra-window-bench [--reps N] [--sizes N,N,...] [--glimra PATH] [--load-bench PATH] "
                   "[--no-load-bench]\n");
      return 2;
    }
  }
  try {
    WindowBench bench(opt);
    bench.run();
    bench.report();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "glimra-window-bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
