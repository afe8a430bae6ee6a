// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting for another program: while another open of the collection file
// holds a lock that Save, Add or Delete needs, the user sees a notice after a
// second; when the lock comes free the operation goes on, and Cancel ends it
// with a message, the file untouched and the form as it was, so that the user
// can try again.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"
#include "datafile/locks.h"
#include "program/lock_wait_notice.h"

namespace catalogue_test {
namespace {

using glimra::runtime::Key;
using glimra::runtime::ShownWaitNotice;
namespace lock_bytes = glimra::datafile::lock_bytes;

const std::vector<Ornament> kTree = {{"Star", "Winter", "Glass"}, {"Bell", "Alpine", "Metal"}, {"Candle", "Winter", "Glass"}};
// Rows on the ALL tab: Bell (Alpine), Candle (Winter), Star (Winter).

// A lock byte held by an open of its own, as another program holds it.
class OtherProgram {
 public:
  OtherProgram(const fs::path& file, std::uint64_t byte) : byte_(byte) {
    int error = 0;
    file_ = glimra::datafile::posixFileSystem().open(file.string(), true, false, &error);
    EXPECT_TRUE(file_) << error;
  }
  void take() { held_ = file_ && file_->lock(byte_, 1, true) == 0; }
  void release() {
    if (held_) file_->unlock(byte_, 1);
    held_ = false;
  }
  bool holds() const { return held_; }

 private:
  std::unique_ptr<glimra::datafile::OsFile> file_;
  std::uint64_t byte_;
  bool held_ = false;
};

TEST_F(CatalogueTest, AnOperationWaitingForAnotherProgramGoesOnOrIsCancelled) {
  struct Operation {
    const char* name;
    std::function<void(ScriptedWindow&)> prepare;  // if any, before the other program takes its lock
    std::function<void(ScriptedWindow&)> run;
    const char* failureCaption;
    std::vector<std::string> done;  // the file once the operation went through
  };
  const Operation save{"save", [](ScriptedWindow& w) {
                         w.focus(control::GL_NAME);
                         w.type(control::GL_NAME, "Lantern");
                       },
                       [](ScriptedWindow& w) { w.click(control::SAVE); }, "Can't Save Record",
                       {"", "Star", "Bell", "Candle [deleted]", "Lantern"}};
  const Operation add{"add", nullptr, [](ScriptedWindow& w) { w.pressKey(control::GLMLIST, Key::Insert); },
                      "Can't Add Record", {"", "Star", "Bell", "Candle", " [deleted]"}};
  const Operation erase{"delete", nullptr,
                        [](ScriptedWindow& w) { w.pressKey(control::GLMLIST, Key::Delete); }, "Can't Delete Record",
                        {"", "Star", "Bell", "Candle [deleted]"}};
  struct Case {
    const Operation& operation;
    std::uint64_t held;  // the writer byte keeps every write out; a reader's slot keeps out the commit
    bool cancel;         // else the other program lets go at the third look
  };
  const Case cases[] = {
      {save, lock_bytes::kWriter, true},    {save, lock_bytes::kWriter, false}, {save, lock_bytes::kBase + 7, true},
      {add, lock_bytes::kBase + 7, false},  {add, lock_bytes::kWriter, true},   {erase, lock_bytes::kWriter, true},
      {erase, lock_bytes::kBase + 7, false},
  };
  const std::vector<std::string> untouched = {"", "Star", "Bell", "Candle"};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.operation.name) + (c.held == lock_bytes::kWriter ? ", writer" : ", reader") +
                 (c.cancel ? ", cancelled" : ", freed"));
    writeCollection(path("Tree.GLM"), kTree);
    remember(path("Tree.GLM"));
    OtherProgram other(path("Tree.GLM"), c.held);
    Session session;
    session.runtime.duringWait = [&](const ShownWaitNotice& notice) {
      if (notice.looks < 3) return false;
      if (!c.cancel) other.release();
      return c.cancel;
    };
    std::vector<std::string> whileCancelled, afterOperation;
    std::string nameAfterCancel;
    session.act([](ScriptedWindow& w) { w.chooseRow(control::GLMLIST, 2); });  // Candle
    if (c.operation.prepare) session.act(c.operation.prepare);
    session
        .check([&](ScriptedWindow&) {
          other.take();
          ASSERT_TRUE(other.holds());
        })
        .act(c.operation.run)
        .check([&](ScriptedWindow& w) {
          if (!c.cancel) return;
          whileCancelled = recordsIn(path("Tree.GLM"));
          nameAfterCancel = w.shownText(control::GL_NAME);
          other.release();
        });
    if (c.cancel) session.act(c.operation.run);  // the user tries again
    session.check([&](ScriptedWindow&) { afterOperation = recordsIn(path("Tree.GLM")); });
    session.run();

    if (session.runtime.waitNotices.size() != 1u) {
      ADD_FAILURE() << session.runtime.waitNotices.size() << " notices";
      continue;
    }
    const ShownWaitNotice& notice = session.runtime.waitNotices[0];
    EXPECT_EQ(notice.text, glimra::program::lockWaitText(path("Tree.GLM").string()));
    EXPECT_EQ(notice.text, "Waiting for another program to finish writing " + path("Tree.GLM").string() + "\u2026");
    EXPECT_EQ(notice.caption, glimra::program::LOCK_WAIT_CAPTION);
    EXPECT_FALSE(notice.shown);  // gone with the wait
    EXPECT_EQ(notice.cancelled, c.cancel);
    if (c.cancel) {
      ASSERT_EQ(session.runtime.messages.size(), 1u);
      EXPECT_EQ(session.runtime.messages[0].caption, c.operation.failureCaption);
      EXPECT_EQ(session.runtime.messages[0].text.rfind(
                    "File Is Already Locked (another program is using the file; nothing was changed)", 0),
                0u)
          << session.runtime.messages[0].text;
      EXPECT_EQ(whileCancelled, untouched);
      if (&c.operation == &save) EXPECT_EQ(nameAfterCancel, "Lantern");  // the edit waits in the form
    } else {
      EXPECT_TRUE(session.runtime.messages.empty());
    }
    EXPECT_EQ(afterOperation, c.operation.done);
  }
}

}  // namespace
}  // namespace catalogue_test
