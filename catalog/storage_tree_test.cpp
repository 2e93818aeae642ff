#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/reader_state.h"
#include "catalog/storage_tree.h"
#include "testing/fake_driver.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

std::vector<StorageEntry*> Children(const DirectoryEntry& dir) {
  std::vector<StorageEntry*> out;
  for (EntryNode* n = dir.children.head; n != nullptr; n = n->next) {
    out.push_back(static_cast<StorageEntry*>(n->item));
  }
  return out;
}

const DirectoryEntry& AsDir(const StorageEntry* e) { return *static_cast<const DirectoryEntry*>(e); }

class StorageTreeTest : public ::testing::Test {
 protected:
  std::vector<StorageEntry*> Refresh(const std::string& body, int storage = 1) {
    fake.SetReply(storage == 1 ? "__DIR" : "__SMDIR", kDirHeader + body);
    EXPECT_EQ(RefreshStorageTree(*state, storage), 0);
    return Children(state->roots[storage]);
  }
  FakeDriver fake;
  StatePtr state = MakeState();
};

TEST_F(StorageTreeTest, WorkedExample) {
  const std::string body =
      DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n" +
      DirLine(true, "SEAROA~1", "RB", "-----", "412345", "The Sea Road.rb") + "\n" +
      DirLine(true, "NOTES", "TXT", "-----", "2048", "notes.txt") + "\n" +
      DirLine(false, "SYSTEM", "", "-D---", "0", "system") + "\n" +
      DirLine(true, "CONFIG", "INI", "-----", "311", "config.ini") + "\n" +
      DirLine(false, "README", "TXT", "-----", "100", "readme.txt") + "\n";
  auto top = Refresh(body);
  ASSERT_EQ(top.size(), 3u);
  EXPECT_STREQ(top[0]->long_name, "readme.txt");
  EXPECT_EQ(top[0]->type_code, 9);
  EXPECT_EQ(top[0]->size, 100);
  EXPECT_STREQ(top[1]->long_name, "system");
  EXPECT_STREQ(top[2]->long_name, "book");
  EXPECT_EQ(top[2]->type_code, kTypeDirectory);
  EXPECT_EQ(AsDir(top[2]).storage_index, 1);
  auto system = Children(AsDir(top[1]));
  ASSERT_EQ(system.size(), 1u);
  EXPECT_STREQ(system[0]->long_name, "config.ini");
  EXPECT_EQ(system[0]->type_code, 2);
  auto book = Children(AsDir(top[2]));
  ASSERT_EQ(book.size(), 2u);
  EXPECT_STREQ(book[0]->long_name, "notes.txt");
  EXPECT_EQ(book[0]->size, 2048);
  EXPECT_STREQ(book[1]->long_name, "The Sea Road.rb");
  EXPECT_STREQ(book[1]->key, "SEAROA~1");
  EXPECT_STREQ(book[1]->extension, "RB");
  EXPECT_STREQ(book[1]->values[0], "-----");
  EXPECT_EQ(book[1]->type_code, kTypeBook);
  EXPECT_EQ(book[1]->size, 412345);
  EXPECT_EQ(book[1]->parent, top[2]);
  EXPECT_EQ(book[1]->state, state.get());
}

TEST_F(StorageTreeTest, LinesAtTheirEdges) {
  struct Case {
    const char* label;
    std::string body;
    // Top-level long names (newest first), then the names under the first directory.
    std::vector<std::string> top;
    std::vector<std::string> inside;
  } cases[] = {
      {"headers only", "", {}, {}},
      {"plus line at the root", DirLine(true, "A", "RB", "-----", "1", "a.rb"), {"a.rb"}, {}},
      {"crlf like lf",
       DirLine(false, "D", "", "-D---", "0", "d") + "\r\n" +
           DirLine(true, "A", "RB", "-----", "1", "a.rb") + "\r\n",
       {"d"}, {"a.rb"}},
      {"lone cr stays text", DirLine(false, "A", "RB", "-----", "1", "a.rb\r"), {"a.rb\r"}, {}},
      {"blank line sends plus lines to the root",
       DirLine(false, "D", "", "-D---", "0", "d") + "\n\n" +
           DirLine(true, "A", "RB", "-----", "1", "a.rb"),
       {"a.rb", "d"}, {}},
      {"D first is a file", DirLine(false, "D", "", "D----", "0", "d"), {"d"}, {}},
      {"three columns make an entry", DirLine(false, "NAME", "", "-----", "", "long"), {"long"}, {}},
      {"name and long name are not enough", DirLine(false, "NAME", "", "", "", "long"), {}, {}},
      {"empty line", "\n\n", {}, {}},
      {"nested directories",
       DirLine(false, "D", "", "-D---", "0", "d") + "\n" +
           DirLine(true, "E", "", "-D---", "0", "e") + "\n" +
           DirLine(true, "A", "RB", "-----", "1", "a.rb"),
       {"d"}, {"e"}},
  };
  for (const Case& c : cases) {
    auto top = Refresh(c.body);
    std::vector<std::string> names;
    for (auto* e : top) names.push_back(e->long_name);
    EXPECT_EQ(names, c.top) << c.label;
    if (!c.inside.empty() && !top.empty()) {
      std::vector<std::string> inside;
      for (auto* e : Children(AsDir(top.back()))) inside.push_back(e->long_name);
      EXPECT_EQ(inside, c.inside) << c.label;
    }
  }
  Reset(*state);
  EXPECT_EQ(fake.live_allocations(), 0u);
}

TEST_F(StorageTreeTest, ColumnsAreCutAtTheirWidths) {
  // Nine name characters: the ninth falls on the separator.
  std::string line = "ABCDEFGHI" + DirLine(false, "", "RB", "-----", "00012345", "x").substr(9);
  auto top = Refresh(line);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_STREQ(top[0]->key, "ABCDEFGH");
  EXPECT_EQ(top[0]->size, 12345);

  top = Refresh(DirLine(false, "AB CD", "RB", "-----", "", "long name with blanks  "));
  ASSERT_EQ(top.size(), 1u);
  EXPECT_STREQ(top[0]->key, "AB");
  EXPECT_EQ(top[0]->size, 0) << "absent size";
  EXPECT_STREQ(top[0]->long_name, "long name with blanks  ");

  top = Refresh(DirLine(false, "A", "rb", "-----", "1", std::string(200, 'L')));
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(std::string(top[0]->long_name), std::string(127, 'L'));
  EXPECT_EQ(top[0]->type_code, 9) << "lower-case extension";

  top = Refresh(DirLine(false, "D", "", "-D---", "999", "d"));
  EXPECT_EQ(top[0]->size, 0) << "a directory's size column is ignored";
}

TEST_F(StorageTreeTest, FailuresLeaveTheTreeAsStated) {
  Refresh(DirLine(false, "A", "RB", "-----", "1", "a.rb"));
  fake.SetReply("__DIR", "");
  EXPECT_EQ(RefreshStorageTree(*state, 1), -1) << "no bytes is a failed query";
  EXPECT_EQ(state->roots[1].children.head, nullptr);

  fake.SetReply("__DIR", std::string("\0junk", 5));
  EXPECT_EQ(RefreshStorageTree(*state, 1), 0);
  EXPECT_EQ(state->roots[1].children.head, nullptr);

  // No memory for the second entry: -1, the first stays until the next refresh.
  fake.SetReply("__DIR", kDirHeader + DirLine(false, "A", "RB", "-----", "1", "a.rb") + "\n" +
                             DirLine(false, "B", "RB", "-----", "1", "b.rb"));
  fake.FailAllocation(fake.allocations() + 3);
  EXPECT_EQ(RefreshStorageTree(*state, 1), -1);
  ASSERT_EQ(Children(state->roots[1]).size(), 1u);
  Reset(*state);
  EXPECT_EQ(fake.live_allocations(), 0u);

  // No memory for the node that lists a directory in the root: it is left
  // out with its own entries, and the refresh goes on with the next line.
  fake.SetReply("__DIR", kDirHeader + DirLine(false, "D", "", "-D---", "0", "d") + "\n" +
                             DirLine(true, "IN", "RB", "-----", "1", "in.rb") + "\n" +
                             DirLine(false, "B", "RB", "-----", "1", "b.rb"));
  fake.FailAllocation(fake.allocations() + 3);  // discovery's buffer, entry D, its node
  EXPECT_EQ(RefreshStorageTree(*state, 1), 0);
  auto top = Children(state->roots[1]);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_STREQ(top[0]->long_name, "b.rb");
  Reset(*state);
  EXPECT_EQ(fake.live_allocations(), 0u) << "the entry nobody lists is freed";
}

TEST_F(StorageTreeTest, CardTreeHangsUnderRootTwo) {
  auto top = Refresh(DirLine(false, "BOOK", "", "-D---", "0", "book"), 2);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(AsDir(top[0]).storage_index, 2);
  EXPECT_EQ(fake.ControlCalls(0x222018).back().input, std::string("__SMDIR", 8));
}

}  // namespace
}  // namespace pagora
