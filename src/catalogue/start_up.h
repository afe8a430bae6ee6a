// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the program's entry procedure, the splash window shown once at
// start and the about box, and the names of the pictures they show.
//
// The pictures and help pages are compiled into the program as resources
// (":/images/…", ":/help/…"); a window whose picture is missing still works.
#pragma once

#include <string>

#include "catalogue/display_glimra.h"
#include "runtime/runtime.h"

namespace glimra::catalogue {

inline constexpr const char* LOGO_IMAGE = ":/images/logo.svg";
inline constexpr const char* WALLPAPER_IMAGE = ":/images/wallpaper.svg";
inline constexpr const char* SPLASH_IMAGE = ":/images/splash.svg";
inline constexpr const char* ABOUT_IMAGE = ":/images/about.svg";
inline constexpr const char* PRESENT_IMAGE = ":/images/present.svg";
inline constexpr const char* SPLASH_TITLE = "Welcome to Glimra";
inline constexpr const char* ABOUT_TITLE = "About Glimra";
// The splash's version line: "Version " and the program's own version
// (PROGRAM_VERSION, set in CMakeLists.txt), as the about box and --version
// show it.
std::string splashVersionText();
// The about box's line under the authors.
inline constexpr const char* ABOUT_LICENSE_TEXT = "License: GNU GPL v3 or later";

// The about box's second line: what the program is, with its version.
std::string aboutVersionLine();

// The program: clears the globals, names the help file and runs the main
// procedure; returns when the main window has closed.
void runGlimra(runtime::Runtime& runtime, DisplayGlimra& main);

// The splash window: closes after 5 seconds or at the first mouse click.
void GLMSPLASH(runtime::Runtime& runtime);

// The about box: runs until OK.
void ABOUTGLIMRA(runtime::Runtime& runtime);

}  // namespace glimra::catalogue
