// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/window_placement.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "collection/settings.h"

namespace glimra::catalogue {

using runtime::Rect;

namespace {

constexpr const char* SECTION = "MainWindow";
constexpr const char* KEYS[] = {"Left", "Top", "Width", "Height"};

bool fits(const Rect& at, const Rect& screen) {
  return at.x >= screen.x && at.y >= screen.y && at.x + at.width <= screen.x + screen.width &&
         at.y + at.height <= screen.y + screen.height;
}

// The height the enlarged layout of a window this wide needs.
int heightForWidth(int width, int designWidth, int designHeight) {
  return static_cast<int>((static_cast<long long>(designHeight) * width + designWidth - 1) / designWidth);
}

}  // namespace

std::optional<Rect> chooseWindowPlacement(const std::optional<Rect>& remembered, const std::vector<Rect>& screens,
                                          int designWidth, int designHeight) {
  if (screens.empty()) return std::nullopt;
  if (remembered && remembered->width >= designWidth && remembered->height >= designHeight) {
    Rect at = *remembered;
    at.height = std::max(at.height, heightForWidth(at.width, designWidth, designHeight));
    for (const Rect& screen : screens)
      if (fits(at, screen)) return at;
  }
  const Rect& screen = screens.front();
  const long long share = FIRST_START_SCREEN_SHARE;
  // The largest width whose proportional height also stays within the share.
  const int byWidth = static_cast<int>(screen.width * share / 100);
  const int byHeight = static_cast<int>(static_cast<long long>(screen.height) * share / 100 * designWidth / designHeight);
  const int width = std::max(designWidth, std::min(byWidth, byHeight));
  const int height = std::max(designHeight, heightForWidth(width, designWidth, designHeight));
  Rect at{screen.x + (screen.width - width) / 2, screen.y + (screen.height - height) / 2, width, height};
  if (!fits(at, screen)) {
    at.x = screen.x;
    at.y = screen.y;
  }
  return at;
}

std::optional<Rect> rememberedWindowPlacement() {
  int values[4];
  for (int i = 0; i < 4; ++i) {
    const std::string text = collection::readSetting(SECTION, KEYS[i], "");
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, values[i]);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  }
  return Rect{values[0], values[1], values[2], values[3]};
}

void rememberWindowPlacement(const Rect& at) {
  const int values[4] = {at.x, at.y, at.width, at.height};
  for (int i = 0; i < 4; ++i) collection::writeSetting(SECTION, KEYS[i], std::to_string(values[i]));
}

}  // namespace glimra::catalogue
