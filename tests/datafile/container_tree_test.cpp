// SPDX-License-Identifier: GPL-3.0-or-later
// The tree of records: lookups, inserts and deletes against a std::map model,
// with every structural invariant checked after each commit and after reopening.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "container_support.h"

namespace glimra::datafile::testing {
namespace {

TEST(ContainerTree, InsertFindEraseCommitReopen) {
  FaultFileSystem fs;
  {
    OpenFile f(fs, "a.dat");
    ASSERT_EQ(f.openResult, 0);
    f->insert(makeRecord("beta", "2"));
    f->insert(makeRecord("alpha", "1"));
    f->insert(makeRecord("gamma", "3"));
    EXPECT_TRUE(f->dirty());
    f->commit();
    EXPECT_FALSE(f->dirty());
    EXPECT_TRUE(f->erase(view("beta")));
    EXPECT_FALSE(f->erase(view("beta")));
    f->commit();
  }
  OpenFile f(fs, "a.dat");
  ASSERT_EQ(f.openResult, 0);
  EXPECT_EQ(readAll(*f), (Model{{"alpha", "1"}, {"gamma", "3"}}));
  TreeRecord r;
  ASSERT_TRUE(f->find(view("gamma"), &r));
  EXPECT_EQ(payloadText(r), "3");
  EXPECT_FALSE(f->find(view("gam"), &r));
  checkInvariants(*f);
}

// Steps continue from the leaf of the previous step; every change in between
// (an insert beside it, an erase, a page dropped from the cache, a commit)
// must be seen by the next step.
TEST(ContainerTree, StepsSeeChangesMadeBetweenThem) {
  FaultFileSystem fs;
  OpenFile f(fs, "steps.dat");
  ASSERT_EQ(f.openResult, 0);
  for (const char* k : {"b", "d", "f", "h"}) f->insert(makeRecord(k, "x"));
  f->commit();
  TreeRecord r;
  auto next = [&](const std::string& probe) { return f->findFirstGreater(view(probe), &r) ? keyText(r) : "-"; };
  auto previous = [&](const std::string& probe) { return f->findLastLess(view(probe), &r) ? keyText(r) : "-"; };
  EXPECT_EQ(next("b"), "d");
  f->insert(makeRecord("c", "new"));
  EXPECT_EQ(next("b"), "c");
  EXPECT_EQ(next("c"), "d");
  ASSERT_TRUE(f->erase(view("f")));
  EXPECT_EQ(next("d"), "h");
  EXPECT_EQ(previous("h"), "d");
  f->replace(makeRecord("e", "y"));
  EXPECT_EQ(previous("h"), "e");
  f->discardChanges();  // back to b d f h
  EXPECT_EQ(next("d"), "f");
  EXPECT_EQ(previous("f"), "d");
  EXPECT_EQ(next("h"), "-");
  EXPECT_EQ(previous("b"), "-");
  // A change committed by another open is seen after refresh.
  EXPECT_EQ(next("b"), "d");
  {
    OpenFile other(fs, "steps.dat");
    other->insert(makeRecord("c", "other"));
    other->commit();
  }
  f->refresh(false);
  EXPECT_EQ(next("b"), "c");
}

TEST(ContainerTree, DuplicateKeyAndOversizeRecordAreInternalErrors) {
  FaultFileSystem fs;
  OpenFile f(fs, "a.dat");
  f->insert(makeRecord("k", "x"));
  try {
    f->insert(makeRecord("k", "y"));
    FAIL() << "duplicate accepted";
  } catch (const InternalError& e) {
    EXPECT_EQ(e.number, 706);
  }
  try {
    f->insert(makeRecord("big", std::string(15094 - 3, 'x')));
    FAIL() << "oversize record accepted";
  } catch (const InternalError& e) {
    EXPECT_EQ(e.number, 824);
  }
}

TEST(ContainerTree, EmptyTreeLookupsFindNothing) {
  FaultFileSystem fs;
  OpenFile f(fs, "a.dat");
  TreeRecord r;
  EXPECT_FALSE(f->findFirst(&r));
  EXPECT_FALSE(f->findLast(&r));
  EXPECT_FALSE(f->findFirstGreater(view(""), &r));
  EXPECT_FALSE(f->findLastLessOrEqual(view("z"), &r));
  EXPECT_FALSE(f->erase(view("z")));
  // Deleting the last record empties the tree and frees every page.
  f->insert(makeRecord("only"));
  f->commit();
  EXPECT_TRUE(f->erase(view("only")));
  f->commit();
  EXPECT_EQ(f->header().rootPage, -1);
  EXPECT_EQ(f->endOfData(), 512u);
  EXPECT_EQ(checkInvariants(*f), 0);
}

// Random inserts, replacements and deletes of records from a few bytes to
// several kilobytes: splits, root growth, class changes, region sliding and
// freeing all happen. Lookups are compared with the model at every step.
TEST(ContainerTree, RandomOperationsAgainstModel) {
  FaultFileSystem fs;
  std::mt19937 random(20261210);
  Model model;
  auto randomKey = [&] {
    std::string key = "k" + std::to_string(random() % 3000);
    if (random() % 4 == 0) key += std::string(random() % 70, char('a' + random() % 3));  // long shared prefixes
    // Zero bytes after a shared part: such keys differ from their shorter
    // namesakes only in length, beyond what a search sees in one word.
    if (random() % 6 == 0) key += std::string(random() % 12, '\0') + std::string(random() % 2, char(random() % 3));
    return key;
  };
  auto randomPayload = [&] {
    const std::size_t sizes[] = {0, 3, 20, 120, 700, 2500, 6000};
    std::string payload(sizes[random() % 7], char('A' + random() % 26));
    for (char& c : payload)
      if (random() % 5 == 0) c = char(random() % 256);
    return payload;
  };
  auto compareLookups = [&](Container& c) {
    for (int i = 0; i < 20; ++i) {
      const std::string probe = randomKey();
      TreeRecord r;
      auto above = model.upper_bound(probe);
      ASSERT_EQ(c.findFirstGreater(view(probe), &r), above != model.end()) << probe;
      if (above != model.end()) {
        EXPECT_EQ(keyText(r), above->first);
      }
      auto atOrBelow = model.upper_bound(probe);
      const bool hasLe = atOrBelow != model.begin();
      ASSERT_EQ(c.findLastLessOrEqual(view(probe), &r), hasLe) << probe;
      if (hasLe) {
        EXPECT_EQ(keyText(r), std::prev(atOrBelow)->first);
      }
      auto below = model.lower_bound(probe);
      const bool hasLess = below != model.begin();
      ASSERT_EQ(c.findLastLess(view(probe), &r), hasLess) << probe;
      if (hasLess) {
        EXPECT_EQ(keyText(r), std::prev(below)->first);
      }
      const bool present = model.count(probe) != 0;
      ASSERT_EQ(c.find(view(probe), &r), present);
      if (present) {
        EXPECT_EQ(payloadText(r), model[probe]);
      }
    }
    TreeRecord r;
    ASSERT_EQ(c.findFirst(&r), !model.empty());
    if (!model.empty()) {
      EXPECT_EQ(keyText(r), model.begin()->first);
    }
    ASSERT_EQ(c.findLast(&r), !model.empty());
    if (!model.empty()) {
      EXPECT_EQ(keyText(r), model.rbegin()->first);
    }
  };

  int maxPages = 0, commits = 0;
  for (int round = 0; round < 40; ++round) {
    OpenFile f(fs, "tree.dat");
    ASSERT_EQ(f.openResult, 0);
    ASSERT_EQ(readAll(*f), model) << "after reopening, round " << round;
    // Early rounds grow the file, later ones shrink it again.
    const int insertPercent = round < 25 ? 70 : 25;
    for (int step = 0; step < 60; ++step) {
      const std::string key = randomKey();
      if (random() % 8 == 0) {
        // Rewrite a run of neighbouring records (sharing leaves) plus a key
        // that may be absent; new payloads of the same or another length.
        std::vector<std::string> keys;
        for (auto it = model.lower_bound(key); it != model.end() && keys.size() < 6; ++it) keys.push_back(it->first);
        keys.push_back(randomKey());
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        std::vector<Bytes> keyBytes;
        std::vector<std::string> payloads;
        for (const std::string& k : keys) {
          keyBytes.emplace_back(k.begin(), k.end());
          payloads.push_back(random() % 2 ? model.count(k) ? std::string(model[k].size(), 'R') : "R" : randomPayload());
        }
        const std::vector<bool> found =
            f->rewriteAll(keyBytes, [&](std::size_t i, TreeRecord& r) { r = makeRecord(keys[i], payloads[i]); });
        for (std::size_t i = 0; i < keys.size(); ++i) {
          ASSERT_EQ(found[i], model.count(keys[i]) == 1) << keys[i];
          if (found[i]) model[keys[i]] = payloads[i];
        }
      } else if (int(random() % 100) < insertPercent) {
        const std::string payload = randomPayload();
        f->replace(makeRecord(key, payload));
        model[key] = payload;
      } else {
        ASSERT_EQ(f->erase(view(key)), model.erase(key) == 1) << key;
      }
      if (step % 7 == 0) compareLookups(*f);
      if (step % 15 == 14) {
        f->commit();
        ++commits;
        maxPages = std::max(maxPages, checkInvariants(*f));
        if (::testing::Test::HasFailure()) return;
      }
    }
    f->commit();
    checkInvariants(*f);
    compareLookups(*f);
    if (::testing::Test::HasFailure()) return;
  }
  // The tree had to grow several levels and use many pages.
  EXPECT_GT(maxPages, 50);
  OpenFile f(fs, "tree.dat");
  EXPECT_EQ(readAll(*f), model);
  checkInvariants(*f);
}

TEST(ContainerTree, RecordNumbersAreBigEndianAndEndBelowFE) {
  FaultFileSystem fs;
  {
    OpenFile f(fs, "n.dat");
    EXPECT_EQ(f->newRecordNumber(), 1u);
    EXPECT_EQ(f->newRecordNumber(), 2u);
    f->setLastRecordNumber(0x01020304);
    f->commit();
  }
  const Bytes bytes = fs.contents("n.dat");
  ASSERT_GE(bytes.size(), 512u);
  EXPECT_EQ(bytes[20], 0x01);
  EXPECT_EQ(bytes[21], 0x02);
  EXPECT_EQ(bytes[22], 0x03);
  EXPECT_EQ(bytes[23], 0x04);
  OpenFile f(fs, "n.dat");
  EXPECT_EQ(f->lastRecordNumber(), 0x01020304u);
  f->setLastRecordNumber(0xFDFFFFFE);
  EXPECT_EQ(f->newRecordNumber(), 0xFDFFFFFFu);
  try {
    f->newRecordNumber();
    FAIL() << "number space not exhausted";
  } catch (const InternalError& e) {
    EXPECT_EQ(e.number, 1173);
  }
}

TEST(ContainerTree, DiscardChangesRestoresCommittedState) {
  FaultFileSystem fs;
  OpenFile f(fs, "d.dat");
  for (int i = 0; i < 200; ++i) f->insert(makeRecord("key" + std::to_string(i), std::string(300, 'p')));
  f->commit();
  const Model committed = readAll(*f);
  const Bytes bytes = fs.contents("d.dat");
  // A same-length rewrite alone is a change (it waits for the commit apart
  // from its page) and is dropped with the rest.
  const std::vector<Bytes> rewritten = {Bytes{'k', 'e', 'y', '1', '5'}};
  f->rewriteAll(rewritten, [](std::size_t, TreeRecord& r) { r = makeRecord("key15", std::string(300, 'r')); });
  EXPECT_TRUE(f->dirty());
  for (int i = 0; i < 200; i += 2) f->erase(view("key" + std::to_string(i)));
  f->insert(makeRecord("new", "n"));
  f->discardChanges();
  EXPECT_FALSE(f->dirty());
  EXPECT_EQ(readAll(*f), committed);
  f->commit();
  EXPECT_EQ(fs.contents("d.dat"), bytes);
  checkInvariants(*f);
}

}  // namespace
}  // namespace glimra::datafile::testing
