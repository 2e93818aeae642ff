#include <gtest/gtest.h>

#include <cstring>

#include "state/entry_list.h"
#include "state/reader_state.h"
#include "state/records.h"
#include "testing/fake_driver.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

TEST(EntryList, AddKeepsOneNodePerItemAndPutsNewestFirst) {
  FakeDriver fake;
  EntryList list{nullptr, false};
  int a = 1, b = 1;  // equal content, distinct items
  EXPECT_EQ(ListAdd(list, &a), 0);
  EXPECT_EQ(ListAdd(list, &a), 0);
  EXPECT_EQ(ListAdd(list, &b), 0);
  ASSERT_NE(list.head, nullptr);
  EXPECT_EQ(list.head->item, &b);
  ASSERT_NE(list.head->next, nullptr);
  EXPECT_EQ(list.head->next->item, &a);
  EXPECT_EQ(list.head->next->next, nullptr);

  fake.FailAllocation(fake.allocations() + 1);
  int c = 3;
  EXPECT_EQ(ListAdd(list, &c), -1);
  EXPECT_EQ(list.head->item, &b) << "a failed add leaves the list unchanged";
  ListClear(list);
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(fake.live_allocations(), 0u);
}

TEST(Records, InitStatusRecordFillsKeyAndFirstValueOnly) {
  StatusRecord r;
  std::memset(&r, 'x', sizeof r);
  InitStatusRecord(&r, "KEY", "value");
  EXPECT_STREQ(r.key, "KEY");
  EXPECT_STREQ(r.values[0], "value");
  EXPECT_STREQ(r.values[1], "");
  EXPECT_STREQ(r.values[3], "");
  EXPECT_EQ(r.value_count, 0);
  InitStatusRecord(&r, nullptr, nullptr);
  EXPECT_STREQ(r.key, "");
  EXPECT_STREQ(r.values[0], "");
  // A text wider than the field keeps its first 63 characters.
  const std::string wide(100, 'k');
  InitStatusRecord(&r, wide.c_str(), nullptr);
  EXPECT_EQ(std::string(r.key), std::string(63, 'k'));
}

TEST(Records, TypeCodesFollowTheExtensionTable) {
  struct Case {
    const char* label;
    const char* extension;
    int code;
  } cases[] = {{"book", "RB", 1},  {"ini", "INI", 2},  {"dashes", "---", 3}, {"inf", "INF", 4},
               {"ri", "RI", 5},    {"an", "AN", 6},    {"xml", "XML", 7},    {"db", "DB", 8},
               {"query", "??", 9}, {"htm", "HTM", 10}, {"empty", "", 9},     {"lower", "rb", 9},
               {"unknown", "TXT", 9}};
  for (const Case& c : cases) EXPECT_EQ(TypeCodeOf(c.extension), c.code) << c.label;
}

TEST(Records, ConstructorsFillEntriesAndLinkThemNewestFirst) {
  FakeDriver fake;
  StatePtr state = MakeState();
  DirectoryEntry& root = state->roots[1];
  void* m1 = Os().allocate(sizeof(DirectoryEntry));
  DirectoryEntry* dir = ConstructDirectoryEntry(m1, state.get(), &root, "BOOK", "book", "-D---", 1);
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir->type_code, kTypeDirectory);
  EXPECT_EQ(dir->size, 0);
  EXPECT_EQ(dir->storage_index, 1);
  StorageEntry* f1 = ConstructFileEntry(Os().allocate(sizeof(StorageEntry)), state.get(), dir,
                                        "A", "RB", "a.rb", 7, "-----");
  StorageEntry* f2 = ConstructFileEntry(Os().allocate(sizeof(StorageEntry)), state.get(), dir,
                                        "A", "RB", "a.rb", 7, "-----");
  EXPECT_EQ(f1->type_code, kTypeBook);
  EXPECT_STREQ(f1->key, "A");
  EXPECT_STREQ(f1->values[0], "-----");
  EXPECT_EQ(f1->parent, dir);
  EXPECT_EQ(f1->title, nullptr);
  EXPECT_EQ(dir->children.head->item, f2) << "two equal entries are two children, newest first";
  EXPECT_EQ(dir->children.head->next->item, f1);

  // A parent that cannot take the entry gives none; the caller frees it.
  void* m3 = Os().allocate(sizeof(StorageEntry));
  fake.FailAllocation(fake.allocations() + 1);
  EXPECT_EQ(ConstructFileEntry(m3, state.get(), dir, "B", "RB", "b.rb", 1, "-----"), nullptr);
  Os().release(m3);

  EXPECT_EQ(ClearChildren(root), 0);
  EXPECT_EQ(root.children.head, nullptr);
  EXPECT_EQ(ClearChildren(root), 0);
  EXPECT_STREQ(root.values[0], "-D---") << "the root itself stays";
  EXPECT_EQ(root.storage_index, 1);
  EXPECT_EQ(fake.live_allocations(), 0u);
}

TEST(Records, ClearChildrenFreesTreesDeeperThanAnyStack) {
  FakeDriver fake;
  StatePtr state = MakeState();
  DirectoryEntry* parent = &state->roots[2];
  for (int depth = 0; depth < 200000; ++depth) {
    parent = ConstructDirectoryEntry(Os().allocate(sizeof(DirectoryEntry)), state.get(), parent,
                                     "D", "d", "-D---", 2);
    ConstructFileEntry(Os().allocate(sizeof(StorageEntry)), state.get(), parent, "F", "RB", "f",
                       1, "-----");
  }
  ClearChildren(state->roots[2]);
  EXPECT_EQ(fake.live_allocations(), 0u);
}

TEST(ReaderStateTest, ConstructionAndResetLeaveAnEmptyDisconnectedState) {
  FakeDriver fake;
  StatePtr state = MakeState();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(state->roots[i].children.head, nullptr);
    EXPECT_EQ(state->roots[i].storage_index, i);
    EXPECT_STREQ(state->roots[i].values[0], "-D---");
    EXPECT_EQ(state->roots[i].parent, nullptr);
  }
  EXPECT_EQ(state->status_list.head, nullptr);
  EXPECT_TRUE(state->status_list.owns_items);
  EXPECT_EQ(state->title_list.head, nullptr);
  EXPECT_TRUE(state->title_list.owns_items);
  EXPECT_EQ(state->device, InvalidOsHandle());
  EXPECT_FALSE(state->device_path_known);

  state->title_count = 12;
  state->free_memory = 5;
  state->card_present = true;
  std::strcpy(state->date, "2003/11/27");
  std::strcpy(state->probe_reply, "probe");
  Reset(*state);
  EXPECT_EQ(state->title_count, 12) << "reset keeps the title count";
  EXPECT_STREQ(state->probe_reply, "probe") << "and the probe reply";
  EXPECT_EQ(state->free_memory, 0);
  EXPECT_FALSE(state->card_present);
  EXPECT_STREQ(state->date, "");
  EXPECT_EQ(fake.CountOf("close_handle"), 0u) << "a closed link is not closed again";
}

}  // namespace
}  // namespace pagora
