// SPDX-License-Identifier: GPL-3.0-or-later
// For timing what a user waits for: with GLIMRA_QUIT_WHEN_SHOWN set, the
// program writes one line to standard error the first time it goes idle with
// the collection's list shown, and leaves:
//
//   glimra: list shown: 100000 rows; 0.912 s; cpu 0.851 s; peak 81234 kB
//
// (rows the main window's list holds, wall time since the process started,
// the process's CPU time and its peak resident memory until that moment); it
// leaves as Exit does, so a backup of the day still at work is dropped, and
// writes "glimra: peak at exit N kB" as the process ends.
// With GLIMRA_OPEN_WHEN_SHOWN=FILE as well, the program first writes that
// line for the collection it started with, then clicks the splash away,
// chooses File › Open and types FILE into the file dialog, and writes the
// line again (and leaves) once the list of FILE is shown. Neither changes
// anything when unset.
#pragma once

#include "runtime/window.h"

namespace glimra::app {

// Arms the hook when the environment asks for it; `main` is the main window,
// just opened.
void quitWhenShown(runtime::Window& main);

}  // namespace glimra::app
