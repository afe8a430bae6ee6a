// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/dynamic_index.h"

namespace glimra::datafile {

namespace {

// std::less<> compares a Bytes key with a view through this wrapper.
struct View {
  ByteView bytes;
};
bool operator<(const Bytes& a, const View& b) { return compareKeys(a, b.bytes) < 0; }
bool operator<(const View& a, const Bytes& b) { return compareKeys(a.bytes, b) < 0; }

}  // namespace

bool DynamicIndexes::insert(std::size_t key, const TreeRecord& entry) {
  const ByteView k = entry.key();
  return indexes_[key].try_emplace(Bytes(k.begin(), k.end()), entry).second;
}

bool DynamicIndexes::find(std::size_t key, ByteView entryKey, TreeRecord* out) const {
  const auto index = indexes_.find(key);
  if (index == indexes_.end()) return false;
  const auto it = index->second.find(View{entryKey});
  if (it == index->second.end()) return false;
  if (out) *out = it->second;
  return true;
}

bool DynamicIndexes::findFirstGreater(std::size_t key, ByteView probe, TreeRecord* out) const {
  const auto index = indexes_.find(key);
  if (index == indexes_.end()) return false;
  const auto it = index->second.upper_bound(View{probe});
  if (it == index->second.end()) return false;
  if (out) *out = it->second;
  return true;
}

bool DynamicIndexes::findLastLess(std::size_t key, ByteView probe, TreeRecord* out) const {
  const auto index = indexes_.find(key);
  if (index == indexes_.end()) return false;
  auto it = index->second.lower_bound(View{probe});
  if (it == index->second.begin()) return false;
  --it;
  if (out) *out = it->second;
  return true;
}

std::uint32_t DynamicIndexes::count(std::size_t key) const {
  const auto index = indexes_.find(key);
  return index == indexes_.end() ? 0 : static_cast<std::uint32_t>(index->second.size());
}

}  // namespace glimra::datafile
