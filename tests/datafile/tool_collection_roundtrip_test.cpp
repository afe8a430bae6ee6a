// SPDX-License-Identifier: GPL-3.0-or-later
// The collection table end to end: 2,000 varied ornaments written through the
// record layer, then read back by other processes: every key walked both ways
// must give the records in the order of the key's rule (worked out here, from
// the record values), glimra-file check must find the file sound, and
// glimra-file dump must print every field of every record.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <variant>

#include "collection/generator.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "datafile_fixture.h"
#include "run_tool.h"
#include "text/cp1252.h"

namespace glimra::datafile {
namespace {

using collection::GlRecord;
using testing::runTool;
using testing::TempDir;

// Upper case of Windows-1252 letters, as a case-insensitive key folds them.
unsigned char upper1252(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
  if (c == 0xFF) return 0x9F;
  return c;
}

using Component = std::variant<long long, std::string>;

// The order of a key, worked out from the values: components compared as
// numbers or (folded) text, equal values by record number; OPT leaves out
// records whose components are all empty.
std::vector<std::uint32_t> expectedOrder(const TableDeclaration& d, const KeyDeclaration& key,
                                         const std::map<std::uint32_t, GlRecord>& records) {
  std::vector<std::pair<std::vector<Component>, std::uint32_t>> rows;
  for (const auto& [number, record] : records) {
    const auto* image = reinterpret_cast<const unsigned char*>(&record);
    std::vector<Component> values;
    bool allEmpty = true;
    for (const KeyComponent& c : key.components) {
      const FieldDeclaration& f = d.fields[c.field];
      if (f.type == FieldType::STRING) {
        std::string text(reinterpret_cast<const char*>(image + f.offset), f.size);
        allEmpty = allEmpty && text.find_first_not_of(' ') == std::string::npos;
        if (key.flags & KeyFlag::NOCASE)
          for (char& ch : text) ch = static_cast<char>(upper1252(static_cast<unsigned char>(ch)));
        values.emplace_back(text);
      } else if (f.type == FieldType::LONG) {
        std::int32_t v;
        std::memcpy(&v, image + f.offset, 4);
        allEmpty = allEmpty && v == 0;
        values.emplace_back(static_cast<long long>(v));
      } else {
        allEmpty = allEmpty && image[f.offset] == 0;
        values.emplace_back(static_cast<long long>(image[f.offset]));
      }
    }
    if ((key.flags & KeyFlag::OPT) && allEmpty) continue;
    rows.emplace_back(std::move(values), number);
  }
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    for (std::size_t i = 0; i < a.first.size(); ++i) {
      const auto& x = a.first[i];
      const auto& y = b.first[i];
      if (x.index() == 1) {
        const auto& s = std::get<1>(x);
        const auto& t = std::get<1>(y);
        const int c = std::memcmp(s.data(), t.data(), s.size());  // unsigned bytes
        if (c != 0) return c < 0;
      } else if (x != y) {
        return x < y;
      }
    }
    return a.second < b.second;
  });
  std::vector<std::uint32_t> order;
  for (const auto& row : rows) order.push_back(row.second);
  return order;
}

// Reads "text" or a number after "name": in one JSON line.
std::string jsonValue(const std::string& line, const std::string& name) {
  const std::string marker = "\"" + name + "\":";
  std::size_t at = line.find(marker);
  if (at == std::string::npos) return "<missing>";
  at += marker.size();
  if (line[at] != '"') return line.substr(at, line.find_first_of(",}", at) - at);
  std::string value;
  for (++at; at < line.size() && line[at] != '"'; ++at) {
    if (line[at] == '\\') {
      const char e = line[++at];
      value += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
    } else {
      value += line[at];
    }
  }
  return value;
}

TEST(CollectionRoundTrip, KeysCheckAndDumpAgreeWithTheRecordsWritten) {
  TempDir dir;
  const std::string path = dir.file("ROUNDTRIP.GLM");
  const TableDeclaration& declaration = collection::glimraDeclaration();
  std::map<std::uint32_t, GlRecord> written;
  {
    GlRecord buffer = collection::generatedHeaderRecord(3);
    DataFile file;
    file.declare(declaration, &buffer);
    file.setName(path);
    ASSERT_EQ(file.create(), 0) << describeError(file);
    ASSERT_EQ(file.open(OpenMode{0x22}), 0) << describeError(file);
    ASSERT_EQ(file.add(), 0);
    written[file.pointer()] = buffer;
    auto records = collection::generateOrnaments(2000, 11);
    for (std::size_t i = 0; i < records.size(); ++i) {
      GlRecord& r = records[i];
      if (i % 50 == 7) r.NAME = r.NAME.str() + "x";
      if (i % 50 == 8) {  // the same name in other letter cases
        std::string lower = records[i - 1].NAME.str();
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        r.NAME = lower;
      }
      if (i % 97 == 0) r.DELETED = 1;
      if (i % 31 == 0) r.CREATEDDATE = -r.CREATEDDATE;  // negative values sort first
      if (i % 500 == 0) {
        ASSERT_EQ(file.logout(), 0);
      }
      buffer = r;
      ASSERT_EQ(file.add(), 0) << describeError(file);
      written[file.pointer()] = r;
      if (i % 500 == 499) {
        ASSERT_EQ(file.commit(), 0) << describeError(file);
      }
    }
    ASSERT_EQ(file.close(), 0);
  }

  // Another process walks every key both ways and writes what it met.
  const std::string walks = dir.file("walks.txt");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::ofstream out(walks);
    GlRecord buffer;
    DataFile file;
    file.declare(declaration, &buffer);
    file.setName(path);
    if (file.open(OpenMode{0x22}) != 0) _exit(2);
    for (std::size_t k = 0; k < declaration.keys.size(); ++k) {
      for (bool forward : {true, false}) {
        out << k << (forward ? " f" : " b");
        file.setKey(k);
        while ((forward ? file.next() : file.previous()) == 0) out << ' ' << file.pointer();
        out << " end" << file.errorCode() << " count" << file.records(k) << '\n';
      }
    }
    out.close();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::ifstream in(walks);
  std::string line;
  std::size_t lines = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::size_t k;
    std::string direction, word;
    words >> k >> direction;
    std::vector<std::uint32_t> met;
    std::string end, count;
    while (words >> word) {
      if (word.rfind("end", 0) == 0) {
        end = word;
        words >> count;
        break;
      }
      met.push_back(static_cast<std::uint32_t>(std::stoul(word)));
    }
    auto expected = expectedOrder(declaration, declaration.keys[k], written);
    if (direction == "b") std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(met, expected) << declaration.keys[k].name << " " << direction;
    EXPECT_EQ(end, "end33");
    EXPECT_EQ(count, "count" + std::to_string(expected.size())) << declaration.keys[k].name;
    ++lines;
  }
  EXPECT_EQ(lines, 2 * declaration.keys.size());

  int code = -1;
  const std::string check = runTool("check " + path, &code);
  EXPECT_EQ(code, 0) << check;

  const std::string dump = runTool("dump " + path, &code);
  ASSERT_EQ(code, 0) << dump.substr(0, 2000);
  std::istringstream lineStream(dump);
  auto it = written.begin();
  std::size_t dumped = 0;
  while (std::getline(lineStream, line)) {
    ASSERT_NE(it, written.end()) << "more records dumped than written";
    EXPECT_EQ(jsonValue(line, "record"), std::to_string(it->first));
    const auto* image = reinterpret_cast<const unsigned char*>(&it->second);
    for (const FieldDeclaration& f : declaration.fields) {
      std::string want;
      if (f.type == FieldType::GROUP) continue;
      if (f.type == FieldType::STRING) {
        std::string text(reinterpret_cast<const char*>(image + f.offset), f.size);
        text.erase(text.find_last_not_of(' ') + 1);
        want = collection::cp1252ToUtf8(text);
      } else if (f.type == FieldType::LONG) {
        std::int32_t v;
        std::memcpy(&v, image + f.offset, 4);
        want = std::to_string(v);
      } else {
        want = std::to_string(image[f.offset]);
      }
      EXPECT_EQ(jsonValue(line, f.name), want) << "record " << it->first << " " << f.name;
    }
    ++it;
    ++dumped;
  }
  EXPECT_EQ(dumped, written.size());
}

}  // namespace
}  // namespace glimra::datafile
