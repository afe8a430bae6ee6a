// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/definition_stream.h"

#include "datafile/memo_pieces.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile {
namespace {

class StreamWriter {
 public:
  void u8(std::uint8_t v) { out_.push_back(v); }
  void u16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void text(const std::string& s) {
    out_.insert(out_.end(), s.begin(), s.end());
    out_.push_back(0);
    if (s.empty()) out_.push_back(0);  // an empty (not absent) string
  }
  Bytes take() { return std::move(out_); }

 private:
  Bytes out_;
};

class StreamReader {
 public:
  explicit StreamReader(ByteView in) : in_(in) {}
  bool ok() const { return ok_; }
  std::uint8_t u8() {
    if (pos_ + 1 > in_.size()) return fail();
    return in_[pos_++];
  }
  std::uint16_t u16() {
    if (pos_ + 2 > in_.size()) return fail();
    const std::uint16_t v = static_cast<std::uint16_t>(in_[pos_] | (in_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  std::string text() {
    std::string s;
    while (pos_ < in_.size() && in_[pos_] != 0) s.push_back(static_cast<char>(in_[pos_++]));
    if (pos_ >= in_.size()) return fail(), std::string();
    ++pos_;                       // the terminator
    if (s.empty()) u8();          // 00 00 empty, 00 01 absent: both read as ""
    return s;
  }

 private:
  std::uint8_t fail() {
    ok_ = false;
    pos_ = in_.size();
    return 0;
  }
  ByteView in_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

bool isStringType(FieldType t) {
  return t == FieldType::STRING || t == FieldType::CSTRING || t == FieldType::PSTRING;
}
bool isDecimalType(FieldType t) { return t == FieldType::DECIMAL || t == FieldType::PDECIMAL; }

}  // namespace

Bytes encodeDefinition(const TableDeclaration& d) {
  StreamWriter w;
  bool blob = false;
  for (const auto& m : d.memos) blob = blob || (m.flags & MEMO_BLOB);
  w.u16(blob ? 2 : 1);
  w.u16(d.recordLength);
  w.u16(static_cast<std::uint16_t>(d.fields.size()));
  w.u16(static_cast<std::uint16_t>(d.memos.size()));
  w.u16(static_cast<std::uint16_t>(d.keys.size()));
  for (std::size_t i = 0; i < d.fields.size(); ++i) {
    const FieldDeclaration& f = d.fields[i];
    const std::uint16_t elements = f.elements ? f.elements : 1;
    w.u8(static_cast<std::uint8_t>(f.type));
    w.u16(f.offset);
    w.text(f.name);
    w.u16(elements);
    w.u16(f.size);
    w.u16(f.overlay);
    w.u16(static_cast<std::uint16_t>(i));
    if (isDecimalType(f.type)) {
      w.u8(f.decimals);
      w.u8(static_cast<std::uint8_t>(f.size / elements));
    } else if (isStringType(f.type)) {
      w.u16(static_cast<std::uint16_t>(f.size / elements));
      w.text(f.picture);
    }
  }
  for (const auto& m : d.memos) {
    w.text(m.externalName);
    w.text(m.name);
    w.u16(m.size);
    w.u16(m.flags);
  }
  for (const auto& k : d.keys) {
    w.text(k.externalName);
    w.text(k.name);
    w.u8(k.flags);
    w.u16(static_cast<std::uint16_t>(k.components.size()));
    for (const auto& c : k.components) {
      w.u16(c.field);
      w.u16(c.descending ? 1 : 0);
    }
  }
  return w.take();
}

std::optional<TableDeclaration> decodeDefinition(ByteView stream) {
  StreamReader r(stream);
  TableDeclaration d;
  const std::uint16_t version = r.u16();
  d.recordLength = r.u16();
  const std::uint16_t fieldCount = r.u16();
  const std::uint16_t memoCount = r.u16();
  const std::uint16_t keyCount = r.u16();
  if (!r.ok() || (version != 1 && version != 2)) return std::nullopt;
  for (std::uint16_t i = 0; i < fieldCount && r.ok(); ++i) {
    FieldDeclaration f;
    f.type = static_cast<FieldType>(r.u8());
    f.offset = r.u16();
    f.name = r.text();
    f.elements = r.u16();
    f.size = r.u16();
    f.overlay = r.u16();
    if (r.u16() != i) return std::nullopt;  // fields are numbered in order
    if (isDecimalType(f.type)) {
      f.decimals = r.u8();
      r.u8();  // element size: derived from size and elements
    } else if (isStringType(f.type)) {
      r.u16();  // element length: derived from size and elements
      f.picture = r.text();
    }
    d.fields.push_back(std::move(f));
  }
  for (std::uint16_t i = 0; i < memoCount && r.ok(); ++i) {
    MemoDeclaration m;
    m.externalName = r.text();
    m.name = r.text();
    m.size = r.u16();
    m.flags = r.u16();
    d.memos.push_back(std::move(m));
  }
  for (std::uint16_t i = 0; i < keyCount && r.ok(); ++i) {
    KeyDeclaration k;
    k.externalName = r.text();
    k.name = r.text();
    k.flags = r.u8();
    const std::uint16_t components = r.u16();
    for (std::uint16_t c = 0; c < components && r.ok(); ++c) {
      KeyComponent component;
      component.field = r.u16();
      component.descending = (r.u16() & 0x01) != 0;
      k.components.push_back(component);
    }
    d.keys.push_back(std::move(k));
  }
  if (!r.ok()) return std::nullopt;
  return d;
}

const char* fieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::BYTE: return "BYTE";
    case FieldType::SHORT: return "SHORT";
    case FieldType::USHORT: return "USHORT";
    case FieldType::DATE: return "DATE";
    case FieldType::TIME: return "TIME";
    case FieldType::LONG: return "LONG";
    case FieldType::ULONG: return "ULONG";
    case FieldType::SREAL: return "SREAL";
    case FieldType::REAL: return "REAL";
    case FieldType::DECIMAL: return "DECIMAL";
    case FieldType::PDECIMAL: return "PDECIMAL";
    case FieldType::BFLOAT4: return "BFLOAT4";
    case FieldType::BFLOAT8: return "BFLOAT8";
    case FieldType::STRING: return "STRING";
    case FieldType::CSTRING: return "CSTRING";
    case FieldType::PSTRING: return "PSTRING";
    case FieldType::GROUP: return "GROUP";
  }
  return "unknown type";
}

namespace {

std::string count(std::size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

std::string fieldShape(const FieldDeclaration& f) {
  std::string text = std::string(fieldTypeName(f.type)) + " of " + count(f.size, "byte") + " at offset " +
                     std::to_string(f.offset);
  if ((f.elements ? f.elements : 1) != 1) text += " in " + count(f.elements, "element");
  if (f.overlay) text += " over an earlier field";
  return text;
}

std::string keyShape(const KeyDeclaration& k) {
  std::string text = "flags " + std::to_string(k.flags & ~KeyFlag::PRIMARY) + " over field";
  text += k.components.size() == 1 ? "" : "s";
  for (std::size_t c = 0; c < k.components.size(); ++c)
    text += (c ? ", " : " ") + std::string(k.components[c].descending ? "-" : "") +
            std::to_string(k.components[c].field);
  if (k.components.empty()) text += " (none)";
  return text;
}

}  // namespace

std::string structureDifference(const TableDeclaration& a, const TableDeclaration& b) {
  auto blob = [](const TableDeclaration& d) {
    for (const auto& m : d.memos)
      if (m.flags & MEMO_BLOB) return true;
    return false;
  };
  const std::string has = ", the declaration has ";
  if (a.recordLength != b.recordLength)
    return "records of " + count(a.recordLength, "byte") + has + std::to_string(b.recordLength);
  if (a.fields.size() != b.fields.size()) return count(a.fields.size(), "field") + has + std::to_string(b.fields.size());
  if (a.memos.size() != b.memos.size()) return count(a.memos.size(), "memo") + has + std::to_string(b.memos.size());
  if (a.keys.size() != b.keys.size()) return count(a.keys.size(), "key") + has + std::to_string(b.keys.size());
  if (blob(a) != blob(b)) return std::string(blob(a) ? "a BLOB memo" : "no BLOB memo") + has + (blob(b) ? "one" : "none");
  for (std::size_t i = 0; i < a.fields.size(); ++i) {
    const auto& x = a.fields[i];
    const auto& y = b.fields[i];
    if (x.type != y.type || x.offset != y.offset || (x.elements ? x.elements : 1) != (y.elements ? y.elements : 1) ||
        x.size != y.size || x.overlay != y.overlay)
      return "field " + std::to_string(i) + " (" + y.name + ") is a " + fieldShape(x) + has + "a " + fieldShape(y);
  }
  for (std::size_t i = 0; i < a.memos.size(); ++i) {
    const auto& x = a.memos[i];
    const auto& y = b.memos[i];
    if ((x.flags & MEMO_BINARY) != (y.flags & MEMO_BINARY) || (!(x.flags & MEMO_BLOB) && x.size != y.size))
      return "memo " + std::to_string(i) + " (" + y.name + ") holds " + count(x.size, "byte") + " with flags " +
             std::to_string(x.flags) + has + std::to_string(y.size) + " with flags " + std::to_string(y.flags);
  }
  for (std::size_t i = 0; i < a.keys.size(); ++i) {
    const auto& x = a.keys[i];
    const auto& y = b.keys[i];
    bool same = (x.flags & ~KeyFlag::PRIMARY) == (y.flags & ~KeyFlag::PRIMARY) &&
                x.components.size() == y.components.size();
    for (std::size_t c = 0; same && c < x.components.size(); ++c)
      same = x.components[c].field == y.components[c].field && x.components[c].descending == y.components[c].descending;
    if (!same) return "key " + std::to_string(i) + " (" + y.name + ") has " + keyShape(x) + has + keyShape(y);
  }
  return {};
}

bool sameStructure(const TableDeclaration& a, const TableDeclaration& b) { return structureDifference(a, b).empty(); }

std::string nameDifference(const TableDeclaration& a, const TableDeclaration& b) {
  for (std::size_t i = 0; i < a.fields.size() && i < b.fields.size(); ++i)
    if (a.fields[i].name != b.fields[i].name)
      return "field " + std::to_string(i) + " is named " + quoted(a.fields[i].name) + ", the declaration names it " +
             quoted(b.fields[i].name);
  for (std::size_t i = 0; i < a.memos.size() && i < b.memos.size(); ++i)
    if (a.memos[i].name != b.memos[i].name)
      return "memo " + std::to_string(i) + " is named " + quoted(a.memos[i].name) + ", the declaration names it " +
             quoted(b.memos[i].name);
  for (std::size_t i = 0; i < a.keys.size() && i < b.keys.size(); ++i)
    if (a.keys[i].name != b.keys[i].name)
      return "key " + std::to_string(i) + " is named " + quoted(a.keys[i].name) + ", the declaration names it " +
             quoted(b.keys[i].name);
  return {};
}

std::size_t keyValueLength(const TableDeclaration& d, const KeyDeclaration& key) {
  std::size_t length = 0;
  for (const auto& c : key.components)
    if (c.field < d.fields.size()) length += d.fields[c.field].size;
  return length;
}

int validateDeclaration(const TableDeclaration& d) {
  // A data record is 9 key bytes + the record image.
  if (d.recordLength == 0 || std::size_t{d.recordLength} + 9 > MAX_RECORD_BYTES) return 47;
  for (const auto& f : d.fields) {
    if (f.offset + std::size_t{f.size} > d.recordLength) return 47;
    if (f.elements == 0 || f.size % f.elements != 0) return 47;
    if (f.type == FieldType::PSTRING && f.size == 0) return 47;
  }
  for (const auto& m : d.memos)
    if (m.size > MAX_MEMO_SIZE) return 47;
  if (d.memos.size() > 255 || d.keys.size() > MAX_KEYS) return 47;
  for (const auto& k : d.keys) {
    if (k.components.empty()) continue;
    for (const auto& c : k.components) {
      if (c.field >= d.fields.size()) return 47;
      if (d.fields[c.field].elements > 1) return 75;
    }
    // A key entry: table number, kind, components, record number.
    if (5 + keyValueLength(d, k) + 4 > MAX_RECORD_BYTES) return 47;
  }
  return 0;
}

}  // namespace glimra::datafile
