// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/start_up.h"

#include "glimra_version.h"

namespace glimra::catalogue {

using runtime::ControlDeclaration;
using runtime::ControlKind;
using runtime::EventKind;
using runtime::Key;
using runtime::WindowDeclaration;

std::string aboutVersionLine() { return std::string("Ornament catalogue, version ") + PROGRAM_VERSION; }

std::string splashVersionText() { return std::string("Version ") + PROGRAM_VERSION; }

void runGlimra(runtime::Runtime& runtime, DisplayGlimra& main) {
  main.clearGlobals();
  runtime.setHelpFile("GLM.HLP");
  main.DISPLAYGLIMRA();
}

namespace {

enum SplashControl : int { SPLASH_PICTURE = 1, SPLASH_VERSION, SPLASH_LINE };
enum AboutControl : int {
  ABOUT_PICTURE = 1, ABOUT_NAME, ABOUT_LINE, ABOUT_WRITTEN_BY, ABOUT_AUTHOR, ABOUT_CONTACT, ABOUT_OK, ABOUT_LICENSE
};

ControlDeclaration text(int number, std::string words, runtime::Rect at, unsigned flags = 0) {
  ControlDeclaration control{number, ControlKind::Text, std::move(words), at};
  control.flags = flags;
  return control;
}

WindowDeclaration splashDeclaration() {
  WindowDeclaration window;
  window.title = SPLASH_TITLE;
  window.at = {-1, -1, 220, 128};
  ControlDeclaration picture{SPLASH_PICTURE, ControlKind::Image, "", {10, 6, 200, 92}};
  picture.icon = SPLASH_IMAGE;
  window.controls.push_back(picture);
  window.controls.push_back(text(SPLASH_VERSION, splashVersionText(), {10, 102, 200, 10}, runtime::Centred | runtime::Bold));
  window.controls.push_back(
      text(SPLASH_LINE, "Click anywhere to begin", {10, 113, 200, 10}, runtime::Centred));
  return window;
}

WindowDeclaration aboutDeclaration() {
  WindowDeclaration window;
  window.title = ABOUT_TITLE;
  window.at = {-1, -1, 220, 112};
  window.wallpaper = WALLPAPER_IMAGE;
  ControlDeclaration picture{ABOUT_PICTURE, ControlKind::Image, "", {8, 8, 64, 64}};
  picture.icon = ABOUT_IMAGE;
  window.controls.push_back(picture);
  window.controls.push_back(text(ABOUT_NAME, "Glimra", {82, 10, 130, 10}, runtime::Bold));
  window.controls.push_back(text(ABOUT_LINE, aboutVersionLine(), {82, 22, 130, 10}));
  window.controls.push_back({ABOUT_WRITTEN_BY, ControlKind::Prompt, "Written by:", {82, 40, 130, 10}});
  window.controls.push_back(text(ABOUT_AUTHOR, "The Glimra developers", {82, 51, 130, 10}));
  window.controls.push_back(text(ABOUT_CONTACT, "for collectors of ornaments", {82, 62, 130, 10}));
  window.controls.push_back(text(ABOUT_LICENSE, ABOUT_LICENSE_TEXT, {82, 75, 130, 10}));
  ControlDeclaration ok{ABOUT_OK, ControlKind::Button, "OK", {162, 90, 50, 14}};
  ok.flags = runtime::DefaultButton;
  window.controls.push_back(ok);
  return window;
}

bool isMouseClick(Key key) { return key == Key::MouseLeft || key == Key::MouseLeftDouble || key == Key::MouseRight; }

}  // namespace

void GLMSPLASH(runtime::Runtime& runtime) {
  auto window = runtime.open(splashDeclaration());
  for (;;) {
    const runtime::Event event = window->accept();
    if (event.closes()) break;
    switch (event.kind) {
      case EventKind::OpenWindow:
        window->setTimer(500);
        window->alertKey(0, Key::MouseLeft);
        window->alertKey(0, Key::MouseLeftDouble);
        window->alertKey(0, Key::MouseRight);
        break;
      case EventKind::Timer:
        window->close();
        break;
      case EventKind::AlertKey:
        if (isMouseClick(event.key)) window->close();
        break;
      default:
        break;
    }
  }
}

void ABOUTGLIMRA(runtime::Runtime& runtime) {
  auto window = runtime.open(aboutDeclaration());
  window->alertKey(0, Key::Escape);  // Esc closes the box, as OK does
  for (;;) {
    const runtime::Event event = window->accept();
    if (event.closes()) break;
    if (event.is(ABOUT_OK, EventKind::Accepted) || event.isKey(Key::Escape)) window->close();
  }
}

}  // namespace glimra::catalogue
