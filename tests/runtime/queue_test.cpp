// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory lists: ordered inserts, reads by position and by key, deletes
// of the entry last read, and a large load.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "runtime/queue.h"

namespace {

using glimra::collection::FixedText;
using glimra::runtime::kEntryNotFound;
using glimra::runtime::lastError;
using glimra::runtime::Queue;

#pragma pack(push, 1)
struct Item {
  std::int32_t POINTER;
  FixedText<20> KEY;
  FixedText<10> NAME;
  void clear() {
    POINTER = 0;
    KEY.clear();
    NAME.clear();
  }
};
#pragma pack(pop)

void insert(Queue<Item>& q, const std::string& key, const std::string& name, int pointer) {
  q.buffer.KEY = key;
  q.buffer.NAME = name;
  q.buffer.POINTER = pointer;
  q.insertOrdered(&Item::KEY, &Item::NAME);
}

std::string dump(const Queue<Item>& q) {
  std::string out;
  for (int i = 1; i <= q.count(); ++i) {
    const Item* e = q.peek(i);
    out += e->KEY.str() + "/" + e->NAME.str() + "#" + std::to_string(e->POINTER) + " ";
  }
  return out;
}

TEST(Queue, InsertsInOrderOfKeysWithDuplicatesAfterTheirEquals) {
  Queue<Item> q;
  insert(q, "PEAR", "b", 1);
  insert(q, "APPLE", "z", 2);
  insert(q, "PEAR", "a", 3);
  insert(q, "PEAR", "b", 4);  // equal to #1 on both keys: goes after it
  insert(q, "", "", 5);       // blank sorts first
  EXPECT_EQ(dump(q), "/#5 APPLE/z#2 PEAR/a#3 PEAR/b#1 PEAR/b#4 ");
  EXPECT_EQ(q.position(), 1);  // the entry just inserted, the blank one
}

TEST(Queue, ComparesTextIgnoringTrailingBlanks) {
  Queue<Item> q;
  insert(q, "AB", "x", 1);
  insert(q, "AB ", "x", 2);  // the same key
  insert(q, "A", "x", 3);    // "A" < "AB": a shorter value compares as if padded with blanks
  insert(q, "A!", "x", 4);   // '!' sorts after a blank
  EXPECT_EQ(dump(q), "A/x#3 A!/x#4 AB/x#1 AB/x#2 ");

  q.buffer.KEY = "AB";
  q.buffer.NAME = "x";
  ASSERT_TRUE(q.getByKey(&Item::KEY, &Item::NAME));
  EXPECT_EQ(int(q.buffer.POINTER), 1);  // the first of the equal entries
  EXPECT_EQ(q.position(), 3);
}

TEST(Queue, GetByPositionFailsOutsideOneToCount) {
  Queue<Item> q;
  insert(q, "A", "a", 10);
  insert(q, "B", "b", 20);
  struct Case {
    int position;
    bool found;
  } cases[] = {{0, false}, {-1, false}, {1, true}, {2, true}, {3, false}};
  for (const auto& c : cases) {
    q.buffer.POINTER = -7;
    EXPECT_EQ(q.get(c.position), c.found) << c.position;
    if (c.found) {
      EXPECT_EQ(int(q.buffer.POINTER), c.position * 10);
      EXPECT_EQ(lastError().code, 0);
    } else {
      EXPECT_EQ(int(q.buffer.POINTER), -7) << "a failed read leaves the buffer alone";
      EXPECT_EQ(lastError().code, kEntryNotFound);
      EXPECT_EQ(lastError().text, "Entry Not Found");
    }
  }
}

TEST(Queue, GetByKeyReportsNotFound) {
  Queue<Item> q;
  insert(q, "A", "a", 1);
  q.clearBuffer();
  q.buffer.KEY = "B";
  EXPECT_FALSE(q.getByKey(&Item::KEY));
  EXPECT_EQ(lastError().code, kEntryNotFound);
  q.buffer.POINTER = 1;
  EXPECT_TRUE(q.getByKey(&Item::POINTER));
  EXPECT_EQ(q.buffer.KEY.str(), "A");
}

TEST(Queue, DeleteRemovesTheEntryLastReadAndTheNextTakesItsPlace) {
  // The walk that removes every entry carrying one pointer: delete, then look
  // at the same position again.
  Queue<Item> q;
  const int pointers[] = {7, 3, 7, 7, 5, 7};
  for (int i = 0; i < 6; ++i) {
    q.buffer.clear();
    q.buffer.POINTER = pointers[i];
    q.append();
  }
  for (int position = 1; position <= q.count();) {
    ASSERT_TRUE(q.get(position));
    if (q.buffer.POINTER == 7) {
      ASSERT_TRUE(q.deleteLastRead());
    } else {
      ++position;
    }
  }
  ASSERT_EQ(q.count(), 2);
  EXPECT_EQ(int(q.peek(1)->POINTER), 3);
  EXPECT_EQ(int(q.peek(2)->POINTER), 5);
  EXPECT_FALSE(q.deleteLastRead()) << "nothing read since the last delete";
  EXPECT_EQ(lastError().code, kEntryNotFound);

  q.removeAll();
  EXPECT_TRUE(q.empty());
  EXPECT_FALSE(q.get(1));
}

TEST(Queue, ClearBufferBlanksTextAndZeroesNumbers) {
  Queue<Item> q;
  std::memset(&q.buffer, 'x', sizeof q.buffer);
  q.clearBuffer();
  EXPECT_EQ(int(q.buffer.POINTER), 0);
  EXPECT_EQ(q.buffer.KEY.raw(), std::string(20, ' '));
}

TEST(Queue, LoadsAHundredThousandEntriesInOrderAndWalksThemByPosition) {
  Queue<Item> q;
  std::mt19937 random(42);
  std::uniform_int_distribution<int> letter(0, 25);
  const int n = 100000;
  for (int i = 0; i < n; ++i) {
    std::string key;
    for (int k = 0; k < 6; ++k) key += static_cast<char>('A' + letter(random));
    insert(q, key, "n", i);
    ASSERT_EQ(int(q.peek(q.position())->POINTER), i) << "position() names the inserted entry";
  }
  ASSERT_EQ(q.count(), n);
  std::string previous;
  for (int i = 1; i <= n; ++i) {
    ASSERT_TRUE(q.get(i));
    const std::string key = q.buffer.KEY.str();
    ASSERT_LE(previous, key) << "at " << i;
    previous = key;
  }
  // Deleting from the middle keeps the positions consistent.
  ASSERT_TRUE(q.get(n / 2));
  const int after = q.peek(n / 2 + 1)->POINTER;
  ASSERT_TRUE(q.deleteLastRead());
  EXPECT_EQ(q.count(), n - 1);
  EXPECT_EQ(int(q.peek(n / 2)->POINTER), after);
}

TEST(Queue, AppendedThenSortedStandsAsInsertedOneByOne) {
  // Many equal keys (duplicates keep their arrival order) and enough entries
  // for several blocks; afterwards ordered inserts and deletes still work.
  // Both fields whole (blank-padded): their bytes sort as the ordered insert
  // compares. The second layout puts blanks between them, so that the name
  // lies beyond the first 32 bytes of the sort key.
  for (const std::size_t gap : {std::size_t(0), std::size_t(14)}) {
    SCOPED_TRACE(gap);
    Queue<Item> inserted, sorted;
    std::mt19937 random(7);
    for (int i = 0; i < 1000; ++i) {
      const std::string key(1 + random() % 3, static_cast<char>('A' + random() % 4));
      const std::string name = random() % 2 ? "x" : "y";
      insert(inserted, key, name, i);
      sorted.buffer.KEY = key;
      sorted.buffer.NAME = name;
      sorted.buffer.POINTER = i;
      sorted.append();
    }
    sorted.sortByKey(30 + gap, [gap](const Item& e, unsigned char* out) {
      std::memcpy(out, e.KEY.raw().data(), 20);
      std::memset(out + 20, ' ', gap);
      std::memcpy(out + 20 + gap, e.NAME.raw().data(), 10);
    });
    EXPECT_EQ(dump(sorted), dump(inserted));
    insert(inserted, "B", "x", 5000);
    insert(sorted, "B", "x", 5000);
    EXPECT_EQ(sorted.position(), inserted.position());
    ASSERT_TRUE(inserted.get(10) && sorted.get(10));
    ASSERT_TRUE(inserted.deleteLastRead() && sorted.deleteLastRead());
    EXPECT_EQ(dump(sorted), dump(inserted));
  }
}

TEST(Queue, ListSourceShowsOneFieldWithoutDisturbingTheBuffer) {
  Queue<Item> q;
  insert(q, "B KEY", "b", 2);
  insert(q, "A KEY", "a", 1);
  ASSERT_TRUE(q.get(2));
  auto byKey = q.source(&Item::KEY);
  auto byName = q.source(&Item::NAME);
  EXPECT_EQ(byKey->count(), 2);
  EXPECT_EQ(byKey->text(1), "A KEY");
  EXPECT_EQ(byName->text(2), "b");
  EXPECT_EQ(byName->text(3), "");
  EXPECT_EQ(q.position(), 2);
  EXPECT_EQ(q.buffer.NAME.str(), "b");
}

}  // namespace
