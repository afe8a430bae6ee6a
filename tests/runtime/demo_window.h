// SPDX-License-Identifier: GPL-3.0-or-later
// A catalogue-like window for the smoke test and the screenshot: a menu bar,
// a toolbar, a sheet with a list of a few hundred entries, the letter bar and
// a form of entry fields with pictures.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/declaration.h"
#include "runtime/queue.h"
#include "text/fixed_text.h"

namespace demo {

using glimra::collection::FixedText;
using namespace glimra::runtime;

enum : int {
  FILE_ = 1, FILENEW, FILEOPEN, FILESAVEAS, FILEEXIT_SEP, FILEEXIT,
  ORNAMENT = 6, GLMNEW, GLMDUPLICATE, GLMDELETE, GLMSAVE, GLMUNDO, GLMFIND,
  HELP = 29, HELPCONTENTS = 290, HELPSEARCH = 291, HELPSEP = 292, HELPABOUT = 30,
  SHEET = 31, ALL = 32,
  LETTER = 532, LETTER_A = 533,
  NEW = 559, DUPLICATE, DELETE, SAVE, UNDO, FIND, DESCRIPTION, LIBRARIAN,
  ADDPIC = 567,
  GLMLIST = 575, PANELUSE = 576, LISTBYSERIES = 577,
  FIRSTFIELD = 578,
};

#pragma pack(push, 1)
struct Entry {
  std::int32_t POINTER;
  FixedText<80> NAMEKEY;
  FixedText<80> SERIESKEY;
  FixedText<45> NAME;
  void clear() {
    POINTER = 0;
    NAMEKEY.clear();
    SERIESKEY.clear();
    NAME.clear();
  }
};

struct Record {
  FixedText<45> NAME;
  FixedText<30> CATEGORY;
  FixedText<35> SERIES;
  FixedText<5> SERIESNUM;
  FixedText<35> MANUF;
  FixedText<18> CONDITION;
  FixedText<30> ARTIST;
  FixedText<20> VALUE;     // amounts as the collection record holds them
  FixedText<20> YEAR;
  FixedText<18> LOCATION;
  FixedText<8> PURDATE;
  FixedText<35> CUSTOM1;
  FixedText<35> PURFROM;
  FixedText<35> CUSTOM2;
  FixedText<20> PURPRICE;
  FixedText<35> CUSTOM3;
};
#pragma pack(pop)

struct Model {
  Queue<Entry> ALLQUEUE;
  Record GL{};
  std::int32_t LETTERVALUE = 0;
  std::uint8_t LISTBYSERIESVALUE = 0;
  std::int16_t SHEETVALUE = 1;

  Model() { std::memset(&GL, ' ', sizeof GL); }

  void fill(int count) {
    static const char* names[] = {"Angel", "Bell", "Candy Cane", "Dove", "Evergreen", "Frosty Star", "Gingerbread",
                                  "Holly Wreath", "Icicle", "Jingle Sleigh", "Kissing Bells", "Lantern", "Mitten",
                                  "Nutcracker", "Owl", "Pine Cone", "Quail", "Reindeer", "Snowflake", "Teddy",
                                  "Umbrella Santa", "Violin", "Woodland Fox", "Xylophone", "Yule Log", "Zebra"};
    static const char* series[] = {"Frost Garden", "Nordic Glass", "Carved Pine", "Silver Bells", "Heirloom"};
    for (int i = 0; i < count; ++i) {
      const std::string name = std::string(names[i % 26]) + (i >= 26 ? " " + std::to_string(i / 26 + 1) : "");
      const std::string s = series[i % 5];
      ALLQUEUE.clearBuffer();
      ALLQUEUE.buffer.POINTER = i + 2;
      ALLQUEUE.buffer.NAME = name;
      ALLQUEUE.buffer.NAMEKEY = name + " (" + s + ")";
      ALLQUEUE.buffer.SERIESKEY = s + " " + name;
      ALLQUEUE.insertOrdered(&Entry::NAMEKEY, &Entry::NAME);
    }
  }

  WindowDeclaration declaration() {
    WindowDeclaration w;
    w.title = "Glimra";
    w.at = {-1, -1, 429, 256};
    w.font = {"", 9};
    auto& c = w.controls;
    auto menu = [&](int n, const char* text, int parent = 0) { c.push_back({n, ControlKind::Menu, text, {}, {}, {}, {}, {}, {}, parent}); };
    auto item = [&](int n, const char* text, int parent, const char* shortcut = "", unsigned flags = 0) {
      ControlDeclaration d{n, ControlKind::MenuItem, text};
      d.parent = parent;
      d.shortcut = shortcut;
      d.flags = flags;
      c.push_back(d);
    };
    auto separator = [&](int n, int parent) { c.push_back({n, ControlKind::Separator, "", {}, {}, {}, {}, {}, {}, parent}); };
    menu(FILE_, "&File");
    item(FILENEW, "&Create New File...", FILE_);
    item(FILEOPEN, "&Open Existing File ...", FILE_);
    item(FILESAVEAS, "&Save File As ...", FILE_);
    separator(FILEEXIT_SEP + 1000, FILE_);
    item(FILEEXIT, "E&xit", FILE_);
    menu(ORNAMENT, "&Ornament");
    item(GLMNEW, "&Add", ORNAMENT, "Ctrl+A");
    item(GLMDUPLICATE, "&Copy", ORNAMENT);
    item(GLMDELETE, "&Delete", ORNAMENT, "Ctrl+D");
    item(GLMSAVE, "&Save", ORNAMENT);
    item(GLMUNDO, "&Undo", ORNAMENT);
    item(GLMFIND, "&Find", ORNAMENT);
    menu(HELP, "&Help");
    item(HELPCONTENTS, "&How to Use Glimra ...", HELP, "", HelpContents);
    item(HELPSEARCH, "&Search Glimra Help...", HELP, "", HelpSearch);
    separator(HELPSEP, HELP);
    item(HELPABOUT, "&About Glimra ...", HELP);

    c.push_back({SHEET, ControlKind::Sheet, "", {3, 3, 418, 249}, Binding::to(SHEETVALUE)});
    c.push_back({ALL, ControlKind::Tab, "ALL", {}, {}, {}, {}, {}, {}, SHEET});
    ControlDeclaration letters{LETTER, ControlKind::OptionGroup, "", {}, Binding::to(LETTERVALUE)};
    c.push_back(letters);
    for (int n = 0; n < 26; ++n) {
      const char letter = static_cast<char>('A' + n);
      ControlDeclaration radio{LETTER_A + n, ControlKind::Radio, std::string(1, letter), {19 + 13 * n, 235, 13, 13}};
      radio.icon = std::string(":/icons/letter_") + letter + ".svg";
      radio.parent = LETTER;
      c.push_back(radio);
    }
    const char* tools[][2] = {{"add", "Add New Ornament"}, {"copy", "Create Duplicate Ornament"},
                              {"delete", "Delete Ornament"}, {"save", "Save Ornament Contents"},
                              {"undo", "Undo Last Operation"}, {"find", "Find Matching Ornaments"},
                              {"description", "Description of Ornament"}, {"librarian", "Librarian"}};
    for (int i = 0; i < 8; ++i) {
      ControlDeclaration tool{NEW + i, ControlKind::ToolbarButton, tools[i][1]};
      tool.icon = std::string(":/icons/") + tools[i][0] + ".svg";
      c.push_back(tool);
    }
    for (int i = 0; i < 8; ++i) {
      ControlDeclaration picture{ADDPIC + i, ControlKind::Image, "", {207 + 25 * i, 42, 11, 11}};
      picture.icon = std::string(":/icons/") + tools[i][0] + ".svg";
      c.push_back(picture);
    }
    c.push_back({GLMLIST, ControlKind::List, "", {9, 21, 175, 193}});
    c.push_back({PANELUSE, ControlKind::Panel, "", {187, 57, 230, 158}});
    c.push_back({LISTBYSERIES, ControlKind::Check, "Sort by Series:", {60, 217, 70, 12}, Binding::to(LISTBYSERIESVALUE)});

    struct Field {
      const char* prompt;
      Binding use;
      const char* picture;
    };
    const Field fields[] = {
        {"Name:", Binding::to(GL.NAME), "s45"},          {"Category:", Binding::to(GL.CATEGORY), "s30"},
        {"Series:", Binding::to(GL.SERIES), "s35"},      {"Series #:", Binding::to(GL.SERIESNUM), "s5"},
        {"Manufacturer:", Binding::to(GL.MANUF), "s35"}, {"Condition:", Binding::to(GL.CONDITION), "s18"},
        {"Artist:", Binding::to(GL.ARTIST), "s30"},      {"Value:", Binding::to(GL.VALUE), "N$9.2B"},
        {"Year Made:", Binding::to(GL.YEAR), "s20"},     {"Location:", Binding::to(GL.LOCATION), "s18"},
        {"Purchase Date:", Binding::to(GL.PURDATE), "d1"}, {"Stock #:", Binding::to(GL.CUSTOM1), "s35"},
        {"Purchased From:", Binding::to(GL.PURFROM), "s35"}, {"Custom1:", Binding::to(GL.CUSTOM2), "s35"},
        {"Purchase Price:", Binding::to(GL.PURPRICE), "N$9.2B"}, {"Custom2:", Binding::to(GL.CUSTOM3), "s35"},
    };
    for (int i = 0; i < 16; ++i) {
      int promptX = 190, entryX = 246, width = 70, y = 0;
      if (i < 2) {
        y = 64 + 17 * i;
        width = i == 0 ? 150 : 100;
      } else {
        const int row = 3 + (i - 2) / 2;
        y = 98 + 17 * (row - 3);
        if ((i - 2) % 2 == 1) {
          promptX = 324;
          entryX = 361;
          width = 50;
        }
      }
      c.push_back({FIRSTFIELD + 2 * i, ControlKind::Prompt, fields[i].prompt, {promptX, y, -1, 10}});
      ControlDeclaration entry{FIRSTFIELD + 2 * i + 1, i == 1 ? ControlKind::Combo : ControlKind::Entry, "",
                               {entryX, y - 2, width, 12}, fields[i].use, fields[i].picture};
      c.push_back(entry);
    }
    return w;
  }
};

}  // namespace demo
