// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program's file dialogs start: in the folder of the collection
// file, so that copies, exports and saved reports land beside the collection
// unless the user goes elsewhere; while no collection names a folder that is
// there (the first start), in the user's documents folder.
#pragma once

#include <string>
#include <string_view>

#include "runtime/runtime.h"

namespace glimra::program {

// The folder, with `name` in it when one is given (a name the dialog offers).
std::string fileDialogStart(const runtime::Runtime& runtime, const std::string& collectionPath,
                            std::string_view name = {});

}  // namespace glimra::program
