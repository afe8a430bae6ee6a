// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a whole file so that a reader sees either the old file or the new
// one, never a half-written one: the text goes to a temporary file beside the
// target, is flushed to the disk, and is renamed over the target.
#pragma once

#include <string>

namespace glimra::collection {

// Writes text to path (creating its folder when missing). On failure the file
// at path is left as it was, no temporary file remains, and *error (when
// given) names the reason.
bool replaceFile(const std::string& path, const std::string& text, std::string* error);

}  // namespace glimra::collection
