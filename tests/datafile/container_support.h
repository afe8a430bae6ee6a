// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the container tests: records from text, a container over
// a file of the in-memory file system, reading the whole tree back, and a
// check of every structural invariant of a committed file.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "datafile/container.h"
#include "datafile/fault_file.h"
#include "datafile/page_codec.h"

namespace glimra::datafile::testing {

inline TreeRecord makeRecord(const std::string& key, const std::string& payload = {}) {
  TreeRecord r;
  r.bytes.assign(key.begin(), key.end());
  r.bytes.insert(r.bytes.end(), payload.begin(), payload.end());
  r.keyLength = std::uint16_t(key.size());
  return r;
}

inline ByteView view(const std::string& s) { return ByteView(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); }
inline std::string keyText(const TreeRecord& r) { return std::string(r.bytes.begin(), r.bytes.begin() + r.keyLength); }
inline std::string payloadText(const TreeRecord& r) { return std::string(r.bytes.begin() + r.keyLength, r.bytes.end()); }

using Model = std::map<std::string, std::string>;

// One file of a FaultFileSystem with a container over it.
struct OpenFile {
  std::unique_ptr<OsFile> file;
  std::unique_ptr<Container> container;
  int openResult = -1;

  OpenFile(FaultFileSystem& fs, const std::string& path, bool create = false) {
    int error = 0;
    file = fs.open(path, true, create || !fs.exists(path), &error);
    container = std::make_unique<Container>(*file);
    openResult = container->open();
  }
  Container& operator*() { return *container; }
  Container* operator->() { return container.get(); }
};

// Every record in key order, walked with findFirst / findFirstGreater.
inline Model readAll(Container& c) {
  Model all;
  TreeRecord r;
  bool more = c.findFirst(&r);
  while (more) {
    all[keyText(r)] = payloadText(r);
    const Bytes key(r.bytes.begin(), r.bytes.begin() + r.keyLength);
    more = c.findFirstGreater(ByteView(key), &r);
  }
  return all;
}

// Checks page order, separators, levels, sizes and packed regions; returns the
// number of pages.
inline int checkInvariants(Container& c) {
  const FileHeader& h = c.header();
  std::map<std::int32_t, Container::PageInfo> pages;
  c.walkPages([&](const Container::PageInfo& info) {
    EXPECT_TRUE(pages.emplace(info.reference, info).second) << "page reached twice: " << info.reference;
  });
  std::string previousLeafKey;
  bool firstLeaf = true;
  // Recursive check from the root: returns the first key of the subtree.
  std::function<std::string(std::int32_t, int)> check = [&](std::int32_t ref, int expectLevel) -> std::string {
    const auto& p = pages.at(ref);
    if (expectLevel >= 0) {
      EXPECT_EQ(p.level, expectLevel) << "page " << ref;
    }
    EXPECT_FALSE(p.records.empty()) << "empty page " << ref;
    EXPECT_GE(ref, 0) << "unplaced page in a committed file";
    EXPECT_EQ(p.sizeClass, page::classOf(p.storedSize)) << "page " << ref;
    EXPECT_LE(p.expandedSize, p.sizeBound) << "page " << ref;
    EXPECT_EQ(p.sizeBound, page::sizeBoundOf(p.records, p.level > 0)) << "page " << ref;
    EXPECT_EQ(p.compressed, p.storedSize < p.expandedSize);
    for (std::size_t i = 1; i < p.records.size(); ++i)
      EXPECT_LT(compareKeys(p.records[i - 1].key(), p.records[i].key()), 0) << "order in page " << ref;
    if (p.level == 0) {
      for (const auto& r : p.records) {
        if (!firstLeaf) {
          EXPECT_LT(previousLeafKey, keyText(r));
        }
        firstLeaf = false;
        previousLeafKey = keyText(r);
      }
    } else {
      EXPECT_EQ(p.children.size(), p.records.size());
      for (std::size_t i = 0; i < p.children.size(); ++i) {
        EXPECT_EQ(p.records[i].bytes.size(), p.records[i].keyLength) << "separator with payload";
        const std::string first = check(p.children[i], p.level - 1);
        EXPECT_EQ(keyText(p.records[i]), first) << "separator " << i << " of page " << ref;
      }
    }
    return p.records.empty() ? std::string() : keyText(p.records.front());
  };
  if (h.rootPage != -1) check(h.rootPage, -1);
  // Regions: packed, in class order, and exactly the reachable pages.
  std::set<std::int32_t> slots;
  for (int i = 1; i <= page::kClassCount; ++i) {
    EXPECT_LE(h.regionStart[i], h.regionEnd[i]);
    EXPECT_EQ((h.regionEnd[i] - h.regionStart[i]) % i, 0u);
    if (i < page::kClassCount) {
      EXPECT_LE(h.regionEnd[i], h.regionStart[i + 1]) << "region " << i;
    }
    for (std::uint32_t s = h.regionStart[i]; s < h.regionEnd[i]; s += std::uint32_t(i)) slots.insert(std::int32_t(s));
  }
  std::set<std::int32_t> reached;
  for (const auto& [ref, info] : pages) reached.insert(ref);
  EXPECT_EQ(slots, reached) << "regions hold holes or unreachable pages";
  return int(pages.size());
}

}  // namespace glimra::datafile::testing
