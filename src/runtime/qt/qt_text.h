// SPDX-License-Identifier: GPL-3.0-or-later
// The screen's edge: the program's Windows-1252 text becomes the QString a
// widget shows. (The way back, which may refuse a character, goes through
// FieldValue or utf8ToCp1252.)
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "text/cp1252.h"

namespace glimra::runtime {

inline QString toQt(std::string_view cp1252) {
  return QString::fromStdString(collection::cp1252ToUtf8(cp1252));
}

}  // namespace glimra::runtime
