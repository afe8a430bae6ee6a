// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/key_encoding.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "datafile/record_kinds.h"

namespace glimra::datafile {
namespace {

void reverseInto(const std::uint8_t* value, std::size_t size, std::uint8_t* out) {
  for (std::size_t i = 0; i < size; ++i) out[i] = value[size - 1 - i];
}

void invert(std::uint8_t* out, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
}

}  // namespace

void encodeComponent(FieldType type, const std::uint8_t* value, std::size_t size, bool descending,
                     bool caseInsensitive, const CharacterTables& tables, std::uint8_t* out) {
  if (size == 0) return;
  bool text = false;
  switch (type) {
    case FieldType::STRING:
    case FieldType::GROUP:
      std::memcpy(out, value, size);
      text = true;
      break;
    case FieldType::CSTRING: {
      const auto* end = static_cast<const std::uint8_t*>(std::memchr(value, 0, size));
      const std::size_t n = end ? static_cast<std::size_t>(end - value) : size;
      std::memcpy(out, value, n);
      std::memset(out + n, 0, size - n);
      text = true;
      break;
    }
    case FieldType::PSTRING: {
      const std::size_t n = std::min<std::size_t>(value[0], size - 1);
      std::memcpy(out, value + 1, n);
      std::memset(out + n, 0, size - n);
      text = true;
      break;
    }
    case FieldType::SHORT:
    case FieldType::LONG:
      reverseInto(value, size, out);
      out[0] ^= 0x80;
      break;
    case FieldType::USHORT:
    case FieldType::ULONG:
    case FieldType::DATE:
    case FieldType::TIME:
      reverseInto(value, size, out);
      break;
    case FieldType::SREAL:
    case FieldType::REAL:
      reverseInto(value, size, out);
      if (out[0] & 0x80)
        invert(out, size);  // negative: a larger magnitude sorts lower
      else
        out[0] |= 0x80;
      break;
    case FieldType::DECIMAL: {
      std::memcpy(out, value, size);
      const bool negative = (out[0] & 0xF0) != 0;
      if (negative) out[0] &= 0x0F;
      out[0] ^= 0x80;
      if (negative) invert(out, size);
      break;
    }
    default:
      std::memcpy(out, value, size);
      break;
  }
  if (text) {
    if (caseInsensitive)
      for (std::size_t i = 0; i < size; ++i)
        if (tables.classes[out[i]] & CharacterTables::LOWER_CASE) out[i] = tables.upperCase[out[i]];
    if (tables.oem)
      for (std::size_t i = 0; i < size; ++i) out[i] = tables.oemWeights[windowsToOem(out[i])];
    else
      for (std::size_t i = 0; i < size; ++i) out[i] = tables.windowsWeights[out[i]];
  }
  if (descending) invert(out, size);
}

void decodeComponent(FieldType type, const std::uint8_t* encoded, std::size_t size, bool descending,
                     const CharacterTables& tables, std::uint8_t* out) {
  if (size == 0) return;
  Bytes value(encoded, encoded + size);
  if (descending) invert(value.data(), size);
  const bool text = type == FieldType::STRING || type == FieldType::GROUP || type == FieldType::CSTRING ||
                    type == FieldType::PSTRING;
  if (text) {
    const auto& weights = tables.oem ? tables.oemWeights : tables.windowsWeights;
    std::array<int, 256> character;
    character.fill(-1);
    for (int c = 255; c >= 0; --c) character[weights[c]] = c;  // the lowest character of each weight
    for (std::uint8_t& c : value) {
      const std::uint8_t plain = static_cast<std::uint8_t>(character[c] >= 0 ? character[c] : c);
      c = tables.oem ? oemToWindows(plain) : plain;
    }
  }
  switch (type) {
    case FieldType::PSTRING: {
      // The count byte is not kept: the text runs to its first zero byte.
      const auto* zero = static_cast<const std::uint8_t*>(std::memchr(value.data(), 0, size));
      const std::size_t n = std::min<std::size_t>(zero ? std::size_t(zero - value.data()) : size, size - 1);
      out[0] = static_cast<std::uint8_t>(n);
      std::memcpy(out + 1, value.data(), size - 1);
      return;
    }
    case FieldType::SHORT:
    case FieldType::LONG:
      value[0] ^= 0x80;
      reverseInto(value.data(), size, out);
      return;
    case FieldType::USHORT:
    case FieldType::ULONG:
    case FieldType::DATE:
    case FieldType::TIME:
      reverseInto(value.data(), size, out);
      return;
    case FieldType::SREAL:
    case FieldType::REAL:
      if (value[0] & 0x80)
        value[0] &= 0x7F;
      else
        invert(value.data(), size);
      reverseInto(value.data(), size, out);
      return;
    case FieldType::DECIMAL:
      if (value[0] & 0x80) {
        value[0] ^= 0x80;
      } else {
        invert(value.data(), size);
        value[0] = static_cast<std::uint8_t>((value[0] ^ 0x80) | 0xF0);  // any non-zero sign nibble is negative
      }
      std::memcpy(out, value.data(), size);
      return;
    default:
      std::memcpy(out, value.data(), size);
      return;
  }
}

bool isEmptyValue(FieldType type, const std::uint8_t* value, std::size_t size) {
  switch (type) {
    case FieldType::STRING:
    case FieldType::GROUP:
      return std::all_of(value, value + size, [](std::uint8_t c) { return c == ' '; });
    case FieldType::CSTRING:
    case FieldType::PSTRING:
      return size == 0 || value[0] == 0;
    default:
      return std::all_of(value, value + size, [](std::uint8_t c) { return c == 0; });
  }
}

std::size_t KeyEncoder::keyValueLength(std::size_t keyNumber) const {
  std::size_t length = KIND_PREFIX_BYTES;
  for (const KeyComponent& c : declaration_.keys[keyNumber].components) length += declaration_.fields[c.field].size;
  return length;
}

void KeyEncoder::writeKeyValue(std::uint32_t table, std::size_t keyNumber, const std::uint8_t* image,
                               std::uint8_t* out) const {
  const KeyDeclaration& key = declaration_.keys[keyNumber];
  putBigEndian32(out, table);
  out[KIND_PREFIX_BYTES - 1] = static_cast<std::uint8_t>(keyNumber);
  std::size_t at = KIND_PREFIX_BYTES;
  const bool noCase = (key.flags & KeyFlag::NOCASE) != 0;
  for (const KeyComponent& c : key.components) {
    const FieldDeclaration& f = declaration_.fields[c.field];
    encodeComponent(f.type, image + f.offset, f.size, c.descending, noCase, tables_, out + at);
    at += f.size;
  }
}

Bytes KeyEncoder::keyValue(std::uint32_t table, std::size_t keyNumber, const std::uint8_t* image) const {
  Bytes out(keyValueLength(keyNumber));
  writeKeyValue(table, keyNumber, image, out.data());
  return out;
}

bool KeyEncoder::allComponentsEmpty(std::size_t keyNumber, const std::uint8_t* image) const {
  for (const KeyComponent& c : declaration_.keys[keyNumber].components) {
    const FieldDeclaration& f = declaration_.fields[c.field];
    if (!isEmptyValue(f.type, image + f.offset, f.size)) return false;
  }
  return true;
}

std::optional<TreeRecord> KeyEncoder::entry(std::uint32_t table, std::size_t keyNumber, const std::uint8_t* image,
                                            std::uint32_t recordNumber) const {
  const KeyDeclaration& key = declaration_.keys[keyNumber];
  if ((key.flags & KeyFlag::OPT) && allComponentsEmpty(keyNumber, image)) return std::nullopt;
  // Built in place: one block for the whole entry, which a bulk add makes
  // for every key of every record.
  const std::size_t valueLength = keyValueLength(keyNumber);
  TreeRecord record;
  record.bytes.resizeForOverwrite(valueLength + 4);
  writeKeyValue(table, keyNumber, image, record.bytes.data());
  putBigEndian32(record.bytes.data() + valueLength, recordNumber);
  record.keyLength = static_cast<std::uint16_t>((key.flags & KeyFlag::DUP) ? valueLength + 4 : valueLength);
  return record;
}

void convertRecordText(const TableDeclaration& declaration, std::uint8_t* image, bool toOem) {
  for (const FieldDeclaration& f : declaration.fields) {
    const bool text = f.type == FieldType::STRING || f.type == FieldType::CSTRING || f.type == FieldType::PSTRING;
    if (!text || f.overlay != 0 || f.size == 0) continue;
    std::uint8_t* at = image + f.offset;
    std::size_t length = f.size;
    if (f.type == FieldType::CSTRING) {
      const void* zero = std::memchr(at, 0, f.size);
      if (zero) length = static_cast<const std::uint8_t*>(zero) - at;
    } else if (f.type == FieldType::PSTRING) {
      length = std::min<std::size_t>(at[0], f.size - 1);
      ++at;
    }
    if (toOem)
      windowsToOem(at, length);
    else
      oemToWindows(at, length);
  }
}

std::optional<std::uint32_t> entryRecordNumber(const TreeRecord& entry) {
  if (entry.bytes.size() < 9 || entry.bytes.size() - 4 < 5) return std::nullopt;
  return getBigEndian32(entry.bytes.data() + entry.bytes.size() - 4);
}

}  // namespace glimra::datafile

