// SPDX-License-Identifier: GPL-3.0-or-later
// CHECKOPEN: makes sure a data file is open before a procedure uses it,
// creating a missing file when asked and ending the program through the
// standard warnings when the file cannot be used.
//
// It returns with the file open (or already open), or ends the program. A file
// whose keys must be rebuilt is offered a rebuild; the rebuild is done by the
// caller's `rebuildKeys` (returning 0 on success, else an error code left in
// the file), or by the file's own BUILDfile when none is given.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "datafile/datafile.h"
#include "runtime/runtime.h"

namespace glimra::program {

using KeyRebuilder = std::function<int(datafile::DataFile&)>;

// OVERRIDECREATE 1: a missing file is created. OVERRIDEOPENMODE: the open
// mode, 22h (read/write, deny write) when omitted.
void CHECKOPEN(runtime::Runtime& runtime, datafile::DataFile& file,
               std::optional<std::uint8_t> OVERRIDECREATE = std::nullopt,
               std::optional<std::uint8_t> OVERRIDEOPENMODE = std::nullopt, const KeyRebuilder& rebuildKeys = {});

}  // namespace glimra::program
