// SPDX-License-Identifier: GPL-3.0-or-later
// A long random session against a generated collection: adds, copies, edits
// with saves, deletes, undos, row and tab changes and "Sort by Series"
// switches, each checked against a small model of the file's records and of
// the list. At the end the reopened file must list exactly the model's live
// ornaments, and the file must pass the integrity check.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "catalogue_fixture.h"
#include "collection/generator.h"
#include "datafile/file_check.h"

namespace catalogue_test {
namespace {

using glimra::runtime::EventKind;
using glimra::runtime::Key;

struct ModelRecord {
  std::string name;
  std::string category;
  bool deleted = false;
};

struct ModelUndo {
  int action;  // 1 add or copy, 3 save, 4 delete
  std::int32_t pointer;
  std::int32_t oldPointer;
};

// What the file holds and what ALLQUEUE lists, by record pointer.
struct Model {
  std::map<std::int32_t, ModelRecord> file;
  std::multiset<std::int32_t> listed;
  std::int32_t pending = 0;
  std::vector<ModelUndo> undo;
  ModelRecord form;     // what the form holds
  bool editing = false; // a field was entered since the record was shown

  void dropPending() {
    if (pending == 0) return;
    file.erase(pending);
    listed.erase(pending);
    pending = 0;
    editing = false;
  }
  void save(std::int32_t shown, std::int32_t saved) {
    file[shown].deleted = true;
    listed.erase(shown);
    ModelRecord next = form;
    next.deleted = false;
    file[saved] = next;
    listed.insert(saved);
    undo.push_back({3, saved, shown});
    pending = 0;
    editing = false;
  }
  void purge() {
    for (auto it = file.begin(); it != file.end();)
      it = it->second.deleted || it->second.name.empty() ? file.erase(it) : std::next(it);
    listed.clear();
    for (const auto& [pointer, record] : file) listed.insert(pointer);
    undo.clear();
    pending = 0;
    editing = false;
  }
  void undoLast() {
    if (undo.empty()) return;  // Undo is disabled
    dropPending();
    editing = false;
    const ModelUndo last = undo.back();
    undo.pop_back();
    if (last.action == 3) {
      file[last.pointer].deleted = true;
      listed.erase(last.pointer);
      file[last.oldPointer].deleted = false;
      listed.insert(last.oldPointer);
    } else if (last.action == 4) {
      file[last.pointer].deleted = false;
      listed.insert(last.pointer);
    }
  }
  std::multiset<std::string> liveNames() const {
    std::multiset<std::string> names;
    for (const auto& [pointer, record] : file)
      if (!record.deleted && !record.name.empty()) names.insert(record.name);
    return names;
  }
};

class Soak {
 public:
  Soak(Session& session, Model& model, int operations, std::uint32_t seed)
      : session_(session), program_(session.program), model_(model), left_(operations), random_(seed) {}

  int done = 0;
  std::map<std::string, int> counts;

  // Runs at every idle moment: settles the last operation in the model,
  // checks, and starts the next one.
  void idle(ScriptedWindow& w) {
    if (settle_) settle_();
    settle_ = nullptr;
    check(w);
    if (::testing::Test::HasFatalFailure() || left_ == 0) return;
    --left_;
    ++done;
    next(w);
    w.post(0, EventKind::Timer);  // ignored by the window; keeps its loop turning
  }

 private:
  int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random_); }
  std::string freshName() { return "Soak " + std::to_string(++serial_); }

  // Picks an operation the window offers now, by weight, and starts it.
  void next(ScriptedWindow& w) {
    const bool onAll = program_.CURRENTTEXT == "ALL";
    const std::int32_t shown = program_.CURRENTPOINTER;
    enum Operation { Add, Copy, Edit, Save, Row, Delete, Undo, Tab, Sort };
    static const std::pair<Operation, int> weights[] = {{Add, 12}, {Copy, 6}, {Edit, 22}, {Save, 12}, {Row, 15},
                                                        {Delete, 8}, {Undo, 12}, {Tab, 9}, {Sort, 2}};
    for (;;) {
      int roll = pick(0, 97);
      Operation operation = Add;
      for (const auto& [candidate, weight] : weights) {
        operation = candidate;
        if (roll < weight) break;
        roll -= weight;
      }
      switch (operation) {
        case Add:
          if (!w.isEnabled(control::NEW)) continue;
          return add(w, false, onAll);
        case Copy:
          if (!w.isEnabled(control::DUPLICATE) || model_.editing) continue;
          return add(w, true, onAll);
        case Edit:
          if (shown == 0 || !w.isEnabled(control::GL_NAME)) continue;
          return edit(w);
        case Save:
          if (!w.isEnabled(control::SAVE)) continue;
          return save(w, shown);
        case Row:
          if (program_.ACTQUEUE.count() < 2) continue;
          return rowChange(w, shown);
        case Delete:
          if (shown == 0) continue;
          return remove(w, shown);
        case Undo: {
          if (!w.isEnabled(control::UNDO)) continue;
          note("undo");
          // An edit in the form is taken back first, the history left alone.
          const bool takesBackEdit =
              program_.PENDINGADD == 0 && glimra::collection::toImage(program_.GL) != program_.CURRENTRECORD;
          settle_ = [this, takesBackEdit] {
            if (takesBackEdit || model_.undo.empty())
              model_.editing = false;
            else
              model_.undoLast();
          };
          w.click(pick(0, 1) ? control::UNDO : control::GLMUNDO);
          return;
        }
        case Tab:
          return chooseTab(w);
        case Sort:
          note("sort");
          answerNoIfAsked([this] {
            model_.dropPending();
            model_.purge();
          });
          w.click(control::LISTBYSERIES);
          return;
      }
    }
  }

  // Tab changes, the sort switch and Add ask before an unsaved edit goes;
  // the soak answers No, so that the edit goes as it always did, and takes
  // back the answer when nothing was asked.
  void answerNoIfAsked(std::function<void()> settle) {
    session_.runtime.messageAnswers.push_back(glimra::runtime::No);
    settle_ = [this, settle = std::move(settle)] {
      if (!session_.runtime.messageAnswers.empty()) session_.runtime.messageAnswers.clear();
      if (settle) settle();
    };
  }

  void note(const std::string& operation) {
    ++counts[operation];
    lastOperation_ = operation;
  }

  void save(ScriptedWindow& w, std::int32_t shown) {
    note("save");
    if (model_.pending != 0 && model_.form.name.empty()) {
      settle_ = [this] { model_.dropPending(); };
    } else {
      settle_ = [this, shown] { model_.save(shown, newestUndoPointer()); };
    }
    w.click(pick(0, 1) ? control::SAVE : control::GLMSAVE);
  }

  void remove(ScriptedWindow& w, std::int32_t shown) {
    note("delete");
    if (model_.pending != 0) {
      settle_ = [this] { model_.dropPending(); };
    } else {
      settle_ = [this, shown] {
        model_.file[shown].deleted = true;
        model_.listed.erase(shown);
        model_.undo.push_back({4, shown, 0});
        model_.editing = false;
      };
    }
    if (pick(0, 1))
      w.pressKey(control::GLMLIST, Key::Delete);
    else
      w.click(control::GLMDELETE);
  }

  void chooseTab(ScriptedWindow& w) {
    note("tab");
    const auto tabs = w.tabs(control::SHEET);
    const int tab = tabs[static_cast<std::size_t>(pick(0, static_cast<int>(tabs.size()) - 1))];
    if (program_.CURRENTTEXT != w.text(tab)) {
      answerNoIfAsked([this] {
        model_.dropPending();
        model_.editing = false;
      });
    }
    w.chooseTab(tab);
  }

  void add(ScriptedWindow& w, bool copy, bool onAll) {
    note(copy ? "copy" : "add");
    ModelRecord source = copy ? model_.form : ModelRecord{"", onAll ? "" : program_.CURRENTTEXT.str(), false};
    answerNoIfAsked(nullptr);
    const auto asked = settle_;
    settle_ = [this, source, onAll, asked] {
      asked();
      const std::int32_t pointer = program_.PENDINGADD;
      ASSERT_NE(pointer, 0);
      ASSERT_EQ(model_.file.count(pointer), 0u) << "a new record reuses pointer " << pointer;
      model_.file[pointer] = {source.name, source.category, true};
      if (onAll) model_.listed.insert(pointer);
      model_.pending = pointer;
      model_.undo.push_back({1, pointer, 0});
      model_.form = model_.file[pointer];
      model_.editing = true;  // the focus goes to the Name field
    };
    w.focus(control::GLMLIST);
    w.click(copy ? control::DUPLICATE : control::NEW);
  }

  void edit(ScriptedWindow& w) {
    note("edit");
    w.focus(control::GLMLIST);
    const int what = pick(0, 9);
    if (what < 5) {
      model_.form.name = what == 0 ? "" : freshName();
      w.type(control::GL_NAME, model_.form.name);
    } else if (what < 8) {
      static const char* const categories[] = {"Glass", "Wood", "Metal", "Felt", "Amber", ""};
      model_.form.category = categories[pick(0, 5)];
      w.type(control::GL_CATEGORY, model_.form.category);
    } else {
      w.type(control::GL_SERIES, "Series " + std::to_string(pick(1, 9)));
    }
    // Entering a field starts the edit even when the text stays the same.
    model_.editing = true;
  }

  void rowChange(ScriptedWindow& w, std::int32_t shown) {
    note("row");
    const int count = program_.ACTQUEUE.count();
    int row = pick(1, count);
    if (row == w.choice(control::GLMLIST)) row = row == count ? 1 : row + 1;
    const bool dropsPending = model_.pending != 0 && model_.form.name.empty();
    const bool saves = program_.RECORDCHANGED != 0;
    settle_ = [this, shown, dropsPending, saves] {
      if (dropsPending) {
        model_.dropPending();
      } else {
        model_.pending = 0;
        if (saves) model_.save(shown, newestUndoPointer());
      }
      model_.editing = false;
    };
    w.chooseRow(control::GLMLIST, row);
  }

  std::int32_t newestUndoPointer() const {
    const auto* entry = program_.UNDOQUEUE.peek(program_.UNDOQUEUE.count());
    return entry ? entry->POINTER : 0;
  }

  void check(ScriptedWindow& w) {
    SCOPED_TRACE("after operation " + std::to_string(done) + ": " + lastOperation_);
    // ALLQUEUE lists exactly the model's entries, each under its record's name
    // (the blank row of an addition under none), the stored ones in order.
    std::multiset<std::int32_t> listed;
    const glimra::catalogue::AllEntry* previous = nullptr;
    for (int position = 1; position <= program_.ALLQUEUE.count(); ++position) {
      const auto& entry = *program_.ALLQUEUE.peek(position);
      const std::int32_t pointer = entry.POINTER;  // a copy: the packed entry's field is not aligned
      listed.insert(pointer);
      const auto it = model_.file.find(pointer);
      ASSERT_NE(it, model_.file.end()) << "listed pointer " << pointer << " is not in the file";
      if (pointer == model_.pending) {
        EXPECT_TRUE(entry.NAME.isBlank());
        continue;
      }
      EXPECT_EQ(entry.NAME.str(), it->second.name);
      EXPECT_EQ(entry.CATEGORY.str(), it->second.category.substr(0, 24));
      if (previous) {
        const auto& key = program_.LISTBYSERIES ? entry.SERIESKEY : entry.NAMEKEY;
        const auto& previousKey = program_.LISTBYSERIES ? previous->SERIESKEY : previous->NAMEKEY;
        EXPECT_FALSE(glimra::collection::compareSortKeys(key.raw(), previousKey.raw()) < 0)
            << "out of order at row " << position;
      }
      previous = &entry;
    }
    ASSERT_EQ(listed, model_.listed) << "pending " << model_.pending << ", tab " << program_.CURRENTTEXT.str()
                                     << ", shown " << program_.CURRENTPOINTER << ", messages "
                                     << session_.runtime.messages.size()
                                     << (session_.runtime.messages.empty() ? std::string()
                                                                           : " " + session_.runtime.messages.back().caption + ": " +
                                                                                 session_.runtime.messages.back().text);
    // A category tab shows the category's entries of ALLQUEUE, in order.
    if (program_.CURRENTTEXT != "ALL") {
      std::vector<std::int32_t> expected, shown;
      for (int position = 1; position <= program_.ALLQUEUE.count(); ++position) {
        const auto& entry = *program_.ALLQUEUE.peek(position);
        const std::int32_t pointer = entry.POINTER;
        if (entry.CATEGORY == program_.CURRENTTEXT && pointer != model_.pending) expected.push_back(pointer);
      }
      for (int position = 1; position <= program_.TABQUEUE.count(); ++position) {
        const std::int32_t pointer = program_.TABQUEUE.peek(position)->POINTER;
        if (pointer != model_.pending) shown.push_back(pointer);
      }
      EXPECT_EQ(shown, expected);
      EXPECT_EQ(w.text(program_.CURRENTTAB), program_.CURRENTTEXT.str());
    }
    EXPECT_EQ(program_.PENDINGADD, model_.pending);
    EXPECT_EQ(program_.RECORDCHANGED != 0, model_.editing);
    EXPECT_EQ(program_.UNDOQUEUE.count(), static_cast<int>(model_.undo.size()));
    // Undo is offered for the history, and for an edit not saved yet.
    EXPECT_EQ(w.isEnabled(control::UNDO), !model_.undo.empty() || (model_.editing && program_.PENDINGFIND == 0));
    // The form shows the record it names.
    if (!model_.editing && program_.CURRENTPOINTER != 0) {
      const auto it = model_.file.find(program_.CURRENTPOINTER);
      ASSERT_NE(it, model_.file.end());
      EXPECT_EQ(program_.GL.NAME.str(), it->second.name);
      model_.form = it->second;
    } else if (!model_.editing) {
      model_.form = ModelRecord{};  // the empty form of an empty list
    }
  }

  Session& session_;
  DisplayGlimra& program_;
  Model& model_;
  int left_;
  std::mt19937 random_;
  std::function<void()> settle_;
  int serial_ = 0;
  std::string lastOperation_;
};

TEST_F(CatalogueTest, FiveThousandRandomOperationsKeepTheFileAndTheListsInStep) {
  const fs::path file = path("Soak.GLM");
  std::string error;
  ASSERT_EQ(glimra::collection::generateCollectionFile(file.string(), 40, 7, &error), 0) << error;
  remember(file);

  Model model;
  {
    GlRecord record;
    glimra::datafile::DataFile reader;
    reader.declare(glimra::collection::glimraDeclaration(), &record);
    reader.setName(file.string());
    ASSERT_EQ(reader.open(), 0);
    reader.setFile();
    reader.next();  // the header record
    while (reader.next() == 0) {
      const auto pointer = static_cast<std::int32_t>(reader.pointer());
      model.file[pointer] = {record.NAME.str(), record.CATEGORY.str(), false};
      model.listed.insert(pointer);
    }
  }

  constexpr int kOperations = 5000;
  Session session;
  Soak soak(session, model, kOperations, 2024);
  session.runtime.whenOpened[glimra::catalogue::MAIN_WINDOW_TITLE] = [&](ScriptedWindow& window) {
    window.onIdle = [&](ScriptedWindow& w) { soak.idle(w); };
  };
  glimra::catalogue::runGlimra(session.runtime, session.program);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(soak.done, kOperations);
  // Nothing but the questions before an edit was left.
  for (const auto& message : session.runtime.messages)
    EXPECT_EQ(message.text.rfind("Save changes to ", 0), 0u) << message.caption << ": " << message.text;
  for (const auto& [name, count] : soak.counts) std::cout << "  " << name << ": " << count << "\n";

  // Reopened, the file lists exactly the model's live ornaments.
  Session reopened;
  std::multiset<std::string> listedNames;
  reopened.check([&](ScriptedWindow&) {
    for (int position = 1; position <= reopened.program.ALLQUEUE.count(); ++position)
      listedNames.insert(reopened.program.ALLQUEUE.peek(position)->NAME.str());
  });
  reopened.run();
  EXPECT_EQ(listedNames, model.liveNames());

  const auto report = glimra::datafile::checkDataFile(glimra::datafile::posixFileSystem(), file.string());
  EXPECT_TRUE(report.sound()) << report.summary();
}

}  // namespace
}  // namespace catalogue_test
