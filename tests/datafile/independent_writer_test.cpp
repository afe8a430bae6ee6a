// SPDX-License-Identifier: GPL-3.0-or-later
// A second writer of the file format, made for this test from the format's
// description alone and sharing no code with the engine: it lays out one
// table as a single uncompressed leaf page under the header. Its file must
// pass glimra-file check, open in the engine, and dump exactly as the same
// records written by the engine.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "datafile_fixture.h"
#include "run_tool.h"

namespace {

using Bytes = std::vector<unsigned char>;
using glimra::datafile::testing::runTool;

struct Row {
  std::string name;  // 8 characters, blank-padded
  std::int32_t number;
};
const std::vector<Row> ROWS = {{"pear", 30}, {"Apple", -5}, {"apple", 7}};

void le16(Bytes& b, unsigned v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void be32(Bytes& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back((v >> s) & 0xFF);
}
void le32(Bytes& b, std::uint32_t v) {
  for (int s = 0; s <= 24; s += 8) b.push_back((v >> s) & 0xFF);
}
void text(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
  if (s.empty()) b.push_back(0);
}
std::string padded(const std::string& s) { return (s + "        ").substr(0, 8); }

struct Rec {
  Bytes key, payload;
};

// The file: header + one leaf page holding every record in key order.
Bytes independentFile() {
  const std::uint32_t table = 1;
  std::vector<Rec> recs;
  auto prefix = [&](unsigned char kind) {
    Bytes k;
    be32(k, table);
    k.push_back(kind);
    return k;
  };
  // Key 0: name, case-insensitive, duplicates (record number in the key).
  for (std::size_t i = 0; i < ROWS.size(); ++i) {
    Rec r{prefix(0), {}};
    for (char c : padded(ROWS[i].name)) r.key.push_back(std::toupper(static_cast<unsigned char>(c)));
    be32(r.key, 2 + i);
    recs.push_back(r);
  }
  // Key 1: number, unique (record number as payload); signed big-endian with
  // the top bit flipped.
  for (std::size_t i = 0; i < ROWS.size(); ++i) {
    Rec r{prefix(1), {}};
    be32(r.key, static_cast<std::uint32_t>(ROWS[i].number) ^ 0x80000000u);
    be32(r.payload, 2 + i);
    recs.push_back(r);
  }
  for (std::size_t i = 0; i < ROWS.size(); ++i) {
    Rec r{prefix(0xF3), {}};
    be32(r.key, 2 + i);
    const std::string name = padded(ROWS[i].name);
    r.payload.assign(name.begin(), name.end());
    le32(r.payload, static_cast<std::uint32_t>(ROWS[i].number));
    recs.push_back(r);
  }
  for (unsigned char counted : {0x00, 0x01, 0xF3}) {
    Rec r{prefix(0xF6), {}};
    r.key.push_back(counted);
    le32(r.payload, 3);
    le32(r.payload, 0);
    recs.push_back(r);
  }
  Rec definition{prefix(0xFA), {}};
  definition.key.push_back(0);
  definition.key.push_back(0);
  Bytes& s = definition.payload;
  for (unsigned v : {1, 12, 2, 0, 2}) le16(s, v);
  s.push_back(18), le16(s, 0), text(s, "IW:NAME"), le16(s, 1), le16(s, 8), le16(s, 0), le16(s, 0);
  le16(s, 8), text(s, "@s8");
  s.push_back(6), le16(s, 8), text(s, "IW:NUMBER"), le16(s, 1), le16(s, 4), le16(s, 0), le16(s, 1);
  text(s, ""), text(s, "IW:NAMEKEY"), s.push_back(0x05), le16(s, 1), le16(s, 0), le16(s, 0);
  text(s, ""), text(s, "IW:NUMKEY"), s.push_back(0x00), le16(s, 1), le16(s, 1), le16(s, 0);
  recs.push_back(definition);
  Rec tables{prefix(0xFB), {0}};
  tables.key.push_back(0x01);
  for (int part = 0; part < 2; ++part)
    for (int c = 0; c < 256; ++c) tables.payload.push_back(c);
  for (int c = 0; c < 256; ++c) tables.payload.push_back(c >= 'a' && c <= 'z' ? c - 32 : c);
  for (int c = 0; c < 256; ++c) tables.payload.push_back(c >= 'a' && c <= 'z' ? 1 : 0);
  tables.payload.resize(tables.payload.size() + 128, 0);
  recs.push_back(tables);
  Rec name{{0xFE, 'U', 'N', 'N', 'A', 'M', 'E', 'D'}, {}};
  be32(name.payload, table);
  recs.push_back(name);

  // Ascending key order (unsigned bytes, a prefix first), then framed with
  // shared prefixes.
  std::sort(recs.begin(), recs.end(), [](const Rec& a, const Rec& b) { return a.key < b.key; });
  Bytes body;
  std::size_t bound = 13;
  Bytes previous;
  std::size_t previousLength = 0, previousKey = 0;
  for (const Rec& r : recs) {
    Bytes whole = r.key;
    whole.insert(whole.end(), r.payload.begin(), r.payload.end());
    std::size_t shared = 0;
    while (shared < 63 && shared < whole.size() && shared < previous.size() && whole[shared] == previous[shared]) ++shared;
    unsigned char flags = static_cast<unsigned char>(shared);
    if (whole.size() != previousLength) flags |= 0x80;
    if (r.key.size() != previousKey) flags |= 0x40;
    body.push_back(flags);
    if (flags & 0x80) le16(body, whole.size());
    if (flags & 0x40) le16(body, r.key.size());
    body.insert(body.end(), whole.begin() + shared, whole.end());
    bound += whole.size() + 5;
    previous = whole;
    previousLength = whole.size();
    previousKey = r.key.size();
  }
  const std::size_t size = 13 + body.size();
  const std::size_t units = (size + 255) / 256;
  Bytes page;
  le32(page, 512);
  le16(page, size);
  le16(page, size);
  le16(page, bound);
  le16(page, recs.size());
  page.push_back(0);
  page.insert(page.end(), body.begin(), body.end());
  page.resize(units * 256, 0xB0);

  Bytes header;
  le32(header, 0);
  le16(header, 512);
  le32(header, 512 + units * 256);  // end of committed data
  le32(header, 512 + units * 256);  // nothing pending
  for (unsigned char m : {0x74, 0x4F, 0x70, 0x53}) header.push_back(m);
  le16(header, 0);
  be32(header, 1 + ROWS.size());  // last number issued
  le32(header, 1);
  le32(header, 0);  // root: the page at unit 0
  // Regions in class order: the empty ones above the page's start where it ends.
  for (int i = 0; i < 60; ++i) le32(header, i > static_cast<int>(units) ? units : 0);
  for (int i = 0; i < 60; ++i) le32(header, i >= static_cast<int>(units) ? units : 0);
  header.resize(512, 0);
  header.insert(header.end(), page.begin(), page.end());
  return header;
}

TEST(IndependentWriter, ItsFileIsSoundAndReadsLikeTheEngines) {
  glimra::datafile::testing::TempDir dir;
  const std::string theirs = dir.file("independent.dat");
  {
    const Bytes bytes = independentFile();
    std::ofstream out(theirs, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  int code = -1;
  const std::string check = runTool("check " + theirs, &code);
  EXPECT_EQ(code, 0) << check;

  using namespace glimra::datafile;
  TableDeclaration d;
  d.recordLength = 12;
  d.fields = {{FieldType::STRING, 0, "IW:NAME", 1, 8, 0, "@s8"}, {FieldType::LONG, 8, "IW:NUMBER", 1, 4}};
  d.keys = {{"", "IW:NAMEKEY", KeyFlag::DUP | KeyFlag::NOCASE, {{0, false}}}, {"", "IW:NUMKEY", 0, {{1, false}}}};
  const std::string ours = dir.file("engine.dat");
  unsigned char buffer[12];
  DataFile file;
  file.declare(d, buffer);
  file.setName(ours);
  ASSERT_EQ(file.create(), 0);
  ASSERT_EQ(file.open(), 0);
  for (const Row& row : ROWS) {
    std::memcpy(buffer, padded(row.name).data(), 8);
    std::memcpy(buffer + 8, &row.number, 4);
    ASSERT_EQ(file.add(), 0);
  }
  ASSERT_EQ(file.close(), 0);

  const std::string theirDump = runTool("dump " + theirs, &code);
  EXPECT_EQ(code, 0);
  const std::string ourDump = runTool("dump " + ours, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(theirDump, ourDump);
  EXPECT_NE(theirDump.find("\"IW:NAME\":\"Apple\",\"IW:NUMBER\":-5"), std::string::npos) << theirDump;

  // The engine reads the other writer's keys in their order.
  file.setName(theirs);
  ASSERT_EQ(file.open(), 0) << describeError(file);
  std::vector<std::int32_t> numbers;
  ASSERT_EQ(file.setKey(1), 0);
  while (file.next() == 0) {
    std::int32_t number;
    std::memcpy(&number, buffer + 8, 4);
    numbers.push_back(number);
  }
  EXPECT_EQ(numbers, (std::vector<std::int32_t>{-5, 7, 30}));
  std::vector<std::string> names;
  ASSERT_EQ(file.setKey(0), 0);
  while (file.next() == 0) names.emplace_back(reinterpret_cast<char*>(buffer), 8);
  EXPECT_EQ(names, (std::vector<std::string>{"Apple   ", "apple   ", "pear    "}));
}

}  // namespace
