// SPDX-License-Identifier: GPL-3.0-or-later
// Where the main window opens.
//
// The window opens where the user left it, at the size the user left it at,
// when that still fits wholly on one of the screens; the placement is kept in
// the settings file (section "MainWindow": Left, Top, Width, Height, in the
// window's dialog units). Otherwise, as on the first start, it takes the
// largest size of the design's proportions that fills at most 85% of the
// primary screen's usable width and height, never less than the design size,
// centred there (at the screen's top-left corner when even the design size
// does not fit). A window wider than the design is then laid out again by
// R_RESOLUTION, whose factor follows the width where the height allows it: a
// remembered height too low for the enlarged sheet is raised to fit it.
#pragma once

#include <optional>
#include <vector>

#include "runtime/declaration.h"

namespace glimra::catalogue {

// The share of a screen a window takes on the first start, in percent.
inline constexpr int FIRST_START_SCREEN_SHARE = 85;

// The placement to give the window, or nothing when no screen is known (the
// window stays as declared). `screens` as Window::screens() gives them.
std::optional<runtime::Rect> chooseWindowPlacement(const std::optional<runtime::Rect>& remembered,
                                                   const std::vector<runtime::Rect>& screens, int designWidth,
                                                   int designHeight);

// The placement kept in the settings file, if it holds all four numbers.
std::optional<runtime::Rect> rememberedWindowPlacement();
void rememberWindowPlacement(const runtime::Rect& at);

}  // namespace glimra::catalogue
