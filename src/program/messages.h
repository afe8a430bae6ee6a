// SPDX-License-Identifier: GPL-3.0-or-later
// How the program tells the user of a failed step.
//
// CHECKERROR reports the last error of a step under a caption that names the
// step and lets processing continue: nothing is shown when the step
// succeeded. STANDARDWARNING shows one of the numbered standard warnings built
// from the collection file's last error and, for the fatal ones, ends the
// program through the runtime's halt (a "Halt" box, then exit code 0).
#pragma once

#include <string>
#include <string_view>

#include "datafile/datafile.h"
#include "runtime/runtime.h"

namespace glimra::program {

// The text CHECKERROR shows for a data-file error: the error text, and for a
// file-system error (90) the operating system's detail after it.
std::string fileErrorMessage(const datafile::DataFile& file);

// When `code` is not 0: a message box with `text` followed by ten blanks,
// captioned `caption`, with the information icon and OK.
void CHECKERROR(runtime::Runtime& runtime, int code, std::string_view text, std::string_view caption);
// The last operation of the collection file.
void CHECKERROR(runtime::Runtime& runtime, const datafile::DataFile& file, std::string_view caption);
// The last operation of an in-memory list.
void CHECKERROR(runtime::Runtime& runtime, std::string_view caption);

// Shows warning WARNINGID for the last error of `file`; returns its result
// (the button pressed, or 2 for warning 2 answered Yes). A fatal warning
// halts the program and returns only when the runtime's exit path does.
int STANDARDWARNING(runtime::Runtime& runtime, const datafile::DataFile& file, int WARNINGID,
                    std::string_view WARNINGTEXT1 = {}, std::string_view WARNINGTEXT2 = {});

}  // namespace glimra::program
