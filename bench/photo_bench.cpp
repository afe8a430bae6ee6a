// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-photo-bench: what photos cost, each beside its reference measured
// in the same run (the machine is shared: ratios, not absolute times, are the
// figures to compare).
//
//   add       adding a 3 MB photo to an ornament (hashed while copied into
//             the store, flushed, renamed, folder flushed, then the index
//             changed in one commit) against copying the same bytes to a new
//             file and flushing it; and, apart, the image check a real add
//             makes first (a scaled decode of a 3 MB, 12-megapixel JPEG).
//   open      opening a collection of 10,000 ornaments whose index holds
//             20,000 photos, to its first row in the main window, against
//             the same collection without photos; and the collection file's
//             growth per photo.
//   backup    a backup of a collection with about 2 GB of photos after one
//             photo changed: the bytes it writes (the process's own I/O
//             counters) against the bytes of the photos it holds.
//
// Usage: glimra-photo-bench [add|open|backup]... (all three without one).
// Works in a folder of its own under $TMPDIR, removed afterwards; the backup
// part needs about 2.2 GB free there, on the file system of the backups
// ($XDG_DATA_HOME is pointed into that folder).
#include <QCoreApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "catalogue/display_glimra.h"
#include "catalogue/start_up.h"
#include "collection/backups.h"
#include "collection/generator.h"
#include "collection/glimra_file.h"
#include "collection/ornament_photos.h"
#include "collection/photo_index.h"
#include "collection/photo_store.h"
#include "collection/qt/photo_images_qt.h"
#include "collection/settings.h"
#include "datafile/os_file.h"
#include "program/program.h"
#include "runtime/scripted_runtime.h"

namespace {

namespace fs = std::filesystem;
using namespace glimra;
using Clock = std::chrono::steady_clock;

fs::path workFolder() {
  static const fs::path folder = [] {
    fs::path f = fs::temp_directory_path() / ("glimra-photo-bench-" + std::to_string(::getpid()));
    fs::create_directories(f);
    return f;
  }();
  return folder;
}

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Random bytes: incompressible, as a photo's are.
std::string randomBytes(std::size_t n, unsigned seed) {
  std::mt19937_64 random(seed);
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i + 8 <= n; i += 8) {
    const std::uint64_t v = random();
    std::memcpy(bytes.data() + i, &v, 8);
  }
  return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Takes every file as a JPEG of 4000 × 3000 without looking: the add's own
// cost, apart from the image check.
class TrustingImages final : public collection::ImageInspector {
 public:
  collection::ImageFacts inspect(const std::string&) override {
    return collection::ImageFacts{true, {}, "jpg", 4000, 3000};
  }
};

std::string generated(const fs::path& path, std::size_t count) {
  std::string error;
  if (collection::generateCollectionFile(path.string(), count, 1, &error) != 0) {
    std::fprintf(stderr, "cannot generate %s: %s\n", path.c_str(), error.c_str());
    std::exit(1);
  }
  return path.string();
}

// The identities of the live ornaments of a collection, in record order.
std::vector<collection::OrnamentId> ornamentsOf(const std::string& path) {
  collection::GlRecord r;
  datafile::DataFile file;
  file.declare(collection::glimraDeclaration(), &r);
  file.setName(path);
  std::vector<collection::OrnamentId> ids;
  if (file.open(datafile::READ_ONLY_DENY_NONE) != 0) return ids;
  file.setFile();
  for (bool header = true; file.next() == 0; header = false)
    if (!header && r.DELETED == 0) ids.push_back(collection::identityOf(r));
  return ids;
}

void benchAdd() {
  constexpr std::size_t PHOTO = 3 << 20;
  constexpr int RUNS = 15;
  const fs::path folder = workFolder() / "add";
  fs::create_directories(folder);
  const std::string collection = generated(folder / "Add.GLM", 200);
  const auto ornaments = ornamentsOf(collection);
  TrustingImages trusting;
  std::vector<double> add, copy, stored, indexed;
  for (int i = 0; i < RUNS; ++i) {
    const std::string source = (folder / ("photo" + std::to_string(i) + ".jpg")).string();
    writeFile(source, randomBytes(PHOTO, 100 + i));
    // The reference: the same bytes copied to a new file and flushed.
    {
      const auto start = Clock::now();
      int error = 0;
      datafile::FileSystem& disk = datafile::posixFileSystem();
      auto from = disk.open(source, false, false, &error);
      auto to = disk.open((folder / ("copy" + std::to_string(i))).string(), true, true, &error);
      std::vector<char> buffer(1 << 20);
      for (std::uint64_t offset = 0;;) {
        std::size_t got = 0;
        from->readAt(offset, buffer.data(), buffer.size(), &got);
        if (got == 0) break;
        to->writeAt(offset, buffer.data(), got);
        offset += got;
      }
      to->flush();
      copy.push_back(millisecondsSince(start));
    }
    {
      const auto start = Clock::now();
      collection::PhotoStore store(collection);
      const collection::PhotoIntake intake = collection::takeInPhotos(store, trusting, {source});
      stored.push_back(millisecondsSince(start));
      const auto indexStart = Clock::now();
      collection::PhotoIndex index;
      std::vector<collection::PhotoEntry> photos;
      index.open(collection, datafile::READ_WRITE_DENY_WRITE);
      index.photosOf(ornaments[i], &photos);
      index.ensureTable();
      if (!intake.ok || index.replace(ornaments[i], collection::withPhotosAdded(photos, intake.photos)) != 0) {
        std::fprintf(stderr, "add failed: %s\n", intake.error.c_str());
        std::exit(1);
      }
      add.push_back(millisecondsSince(start));
      indexed.push_back(millisecondsSince(indexStart));
    }
  }
  // The image check of a real camera photo: 12 megapixels, about 3 MB.
  QImage picture(4000, 3000, QImage::Format_RGB32);
  std::mt19937 random(5);
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x) line[x] = qRgb((x + y) & 255, (x * 3) & 255, random() & 63);
  }
  const std::string jpeg = (folder / "camera.jpg").string();
  picture.save(QString::fromStdString(jpeg), "JPEG", 92);
  collection::QtImageInspector inspector;
  std::vector<double> check;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    if (!inspector.inspect(jpeg).ok) std::exit(1);
    check.push_back(millisecondsSince(start));
  }
  std::printf("add a 3 MB photo (store and index)   %8.2f ms   (median of %d)\n", median(add), RUNS);
  std::printf("  of which the file stored            %8.2f ms   (read, hashed, written, flushed, named)\n",
              median(stored));
  std::printf("  of which the index written          %8.2f ms   (one commit of the collection file)\n",
              median(indexed));
  std::printf("copy 3 MB to a new file and flush    %8.2f ms\n", median(copy));
  std::printf("  ratio add / copy                   %8.2f    (goal <= 1.5)\n", median(add) / median(copy));
  std::printf("image check of a %.1f MB 12 MP JPEG   %8.2f ms   (the scaled decode an add makes first)\n",
              double(fs::file_size(jpeg)) / (1 << 20), median(check));
}

// Runs the program until its main window shows its first row.
std::size_t openToFirstRow() {
  runtime::ScriptedRuntime runtime;
  program::Program shared(runtime);
  catalogue::DisplayGlimra program(shared);
  catalogue::runGlimra(runtime, program);
  return static_cast<std::size_t>(program.ALLQUEUE.count());
}

void benchOpen() {
  constexpr std::size_t ORNAMENTS = 10'000, PER_ORNAMENT = 2;
  constexpr int RUNS = 11;
  const fs::path folder = workFolder() / "open";
  fs::create_directories(folder);
  const std::string without = generated(folder / "Without.GLM", ORNAMENTS);
  const std::string with = (folder / "With.GLM").string();
  fs::copy_file(without, with);
  {
    collection::PhotoIndex index;
    index.open(with, datafile::READ_WRITE_DENY_WRITE);
    index.ensureTable();
    index.file().logout();
    std::uint32_t n = 0;
    for (const collection::OrnamentId& id : ornamentsOf(with)) {
      std::vector<collection::PhotoEntry> photos(PER_ORNAMENT);
      for (collection::PhotoEntry& p : photos) {
        char hash[65];
        std::snprintf(hash, sizeof hash, "%064x", ++n);
        p.hash = hash;
        p.type = "jpg";
        p.role = collection::PhotoRole::Other;
        p.width = 4000;
        p.height = 3000;
        p.bytes = 3'000'000 + n;
        p.originalName = "IMG_" + std::to_string(20240000 + n) + ".jpg";
        p.addedDate = 81000;
        p.addedTime = 3'000'000 + n;
      }
      photos[0].role = collection::PhotoRole::Front;
      index.replace(id, photos);
    }
    if (index.file().commit() != 0) std::exit(1);
  }
  const double growth = double(fs::file_size(with)) - double(fs::file_size(without));
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
  std::vector<double> times[2];
  for (int run = 0; run < RUNS; ++run)
    for (int which = 0; which < 2; ++which) {
      collection::writeSetting("CurrentFile", "GlimraFile", which ? with : without);
      const auto start = Clock::now();
      if (openToFirstRow() != ORNAMENTS) std::exit(1);
      if (run > 0) times[which].push_back(millisecondsSince(start));  // the first open takes the day's backup
    }
  std::printf("open 10,000 ornaments, 20,000 photos %8.2f ms   (median of %d, to the first row)\n", median(times[1]),
              RUNS - 1);
  std::printf("open the same without photos         %8.2f ms\n", median(times[0]));
  std::printf("  ratio with / without               %8.3f    (goal <= 1.1)\n", median(times[1]) / median(times[0]));
  std::printf("collection file growth per photo     %8.1f bytes (goal < 300; %.0f bytes for %zu photos)\n",
              growth / double(ORNAMENTS * PER_ORNAMENT), growth, ORNAMENTS * PER_ORNAMENT);
}

// Bytes this process has written: to write() calls, and to the storage.
std::pair<std::uint64_t, std::uint64_t> bytesWritten() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0, wchar = 0, storage = 0;
  while (io >> key >> value) {
    if (key == "wchar:") wchar = value;
    if (key == "write_bytes:") storage = value;
  }
  return {wchar, storage};
}

void benchBackup() {
  constexpr std::size_t PHOTO = 3 << 20, PHOTOS = 683;  // 2.0 GiB
  const fs::path folder = workFolder() / "backup";
  fs::create_directories(folder);
  ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
  const std::string collection = generated(folder / "Backed.GLM", PHOTOS);
  const auto ornaments = ornamentsOf(collection);
  TrustingImages trusting;
  collection::PhotoStore store(collection);
  std::vector<collection::PhotoEntry> added;
  for (std::size_t i = 0; i < PHOTOS; ++i) {
    const std::string source = (folder / "source.jpg").string();
    writeFile(source, randomBytes(PHOTO, 1000 + unsigned(i)));
    const collection::PhotoIntake intake = collection::takeInPhotos(store, trusting, {source});
    if (!intake.ok) std::exit(1);
    added.push_back(intake.photos[0]);
  }
  collection::PhotoIndex index;
  index.open(collection, datafile::READ_WRITE_DENY_WRITE);
  index.ensureTable();
  for (std::size_t i = 0; i < PHOTOS; ++i) index.replace(ornaments[i], {added[i]});
  index.close();
  std::uint64_t photoBytes = 0;
  for (const auto& e : fs::directory_iterator(store.folder())) photoBytes += e.file_size();
  ::sync();
  const auto first = collection::backUpCollection(collection, datafile::posixFileSystem(), 1796904000);
  if (!first.ok) std::exit(1);

  // One photo changes: a new one takes the place of ornament 1's.
  writeFile((folder / "source.jpg").string(), randomBytes(PHOTO, 7));
  const collection::PhotoIntake changed = collection::takeInPhotos(store, trusting, {(folder / "source.jpg").string()});
  index.open(collection, datafile::READ_WRITE_DENY_WRITE);
  index.replace(ornaments[0], changed.photos);
  index.close();
  ::sync();
  const auto before = bytesWritten();
  const auto start = Clock::now();
  const auto second = collection::backUpCollection(collection, datafile::posixFileSystem(), 1796904000 + 3600);
  const double ms = millisecondsSince(start);
  ::sync();
  const auto after = bytesWritten();
  if (!second.ok) std::exit(1);
  std::printf("photos in the collection             %8.1f MB in %zu files\n", photoBytes / 1048576.0, PHOTOS + 1);
  std::printf("backup after one photo changed       %8.2f MB written (write calls), %.2f MB to storage, %.0f ms\n",
              (after.first - before.first) / 1048576.0, (after.second - before.second) / 1048576.0, ms);
  std::printf("  ratio written / photos held        %8.4f    (goal: under 10 MB written)\n",
              double(after.first - before.first) / double(photoBytes));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);  // Qt's image plugins for the image check
  std::vector<std::string> parts(argv + 1, argv + argc);
  if (parts.empty()) parts = {"add", "open", "backup"};
  for (const std::string& part : parts) {
    if (part == "add") benchAdd();
    else if (part == "open") benchOpen();
    else if (part == "backup") benchBackup();
    else {
      std::fprintf(stderr, "usage: glimra-photo-bench [add|open|backup]...\n");
      return 2;
    }
  }
  std::error_code ec;
  fs::remove_all(workFolder(), ec);
  return 0;
}
