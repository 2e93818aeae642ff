#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/links.h"
#include "state/reader_state.h"
#include "catalog/storage_tree.h"
#include "catalog/titles.h"
#include "testing/fake_driver.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

class LinksTest : public ::testing::Test {
 protected:
  // Builds both trees and the title list from replies, then links.
  void Load(const std::string& dir, const std::string& smdir, const std::string& titles) {
    fake.SetReply("__DIR", kDirHeader + dir);
    fake.SetReply("__SMDIR", kDirHeader + smdir);
    fake.SetReply("__TITLES", titles);
    RefreshStorageTree(*state, 1);
    RefreshStorageTree(*state, 2);
    RefreshTitles(*state);
    LinkTitles(*state, 1);
    LinkTitles(*state, 2);
  }
  TitleRecord* Title(int index) {
    EntryNode* n = state->title_list.head;
    for (int i = 0; i < index; ++i) n = n->next;
    return static_cast<TitleRecord*>(n->item);
  }
  FakeDriver fake;
  StatePtr state = MakeState();
};

const std::string kSeaRoad = DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n" +
                             DirLine(true, "SEAROA~1", "RB", "-----", "412345", "The Sea Road.rb") +
                             "\n";

TEST_F(LinksTest, FilenamesMatchReaderPathsExactly) {
  struct Case {
    const char* label;
    const char* filename;
    int storage;  // where the match is expected; 0 for none
  } cases[] = {
      {"leading backslash", "\\book\\The Sea Road.rb", 1},
      {"no backslash", "book\\The Sea Road.rb", 1},
      {"two backslashes", "\\\\book\\The Sea Road.rb", 0},
      {"case differs", "\\BOOK\\The Sea Road.rb", 0},
      {"card", "\\SM\\book\\The Sea Road.rb", 2},
  };
  for (const Case& c : cases) {
    Load(kSeaRoad, kSeaRoad,
         std::string("T1=title=\"S\" filename=\"") + c.filename + "\" size=\"1\"");
    TitleRecord* t = Title(0);
    if (c.storage == 0) {
      EXPECT_EQ(t->link, nullptr) << c.label;
      continue;
    }
    ASSERT_NE(t->link, nullptr) << c.label;
    EXPECT_EQ(t->link->parent->storage_index, c.storage) << c.label;
    EXPECT_EQ(t->link->title, t) << c.label << ": both ends are set";
  }
}

TEST_F(LinksTest, OnlyBookFilesInFirstLevelDirectoriesAreLinked) {
  const std::string dir =
      DirLine(false, "TOP", "RB", "-----", "1", "top.rb") + "\n" +
      DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n" +
      DirLine(true, "SUB", "", "-D---", "0", "sub") + "\n" +
      DirLine(true, "DEEP", "RB", "-----", "1", "deep.rb") + "\n" +
      DirLine(false, "SYSTEM", "", "-D---", "0", "system") + "\n" +
      DirLine(true, "CONFIG", "INI", "-----", "1", "config.ini") + "\n";
  Load(dir, "",
       "T1=title=\"top\" filename=\"\\\\top.rb\" x=\"\"\n"
       "T2=title=\"deep\" filename=\"\\book\\sub\\deep.rb\" x=\"\"\n"
       "T3=title=\"ini\" filename=\"\\system\\config.ini\" x=\"\"\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Title(i)->link, nullptr) << Title(i)->title;
}

TEST_F(LinksTest, TieBreaks) {
  // Two titles name one file: the one nearer the head (later in the reply) wins.
  Load(kSeaRoad, "",
       "T1=title=\"first\" filename=\"\\book\\The Sea Road.rb\" x=\"\"\n"
       "T2=title=\"second\" filename=\"\\book\\The Sea Road.rb\" x=\"\"\n");
  EXPECT_STREQ(Title(0)->title, "second");
  EXPECT_NE(Title(0)->link, nullptr);
  EXPECT_EQ(Title(1)->link, nullptr);

  // Two files with one path: both link to the title, whose link ends at the
  // file visited last (the older one, since child lists read newest first).
  Load(kSeaRoad + DirLine(true, "SEAROA~2", "RB", "-----", "9", "The Sea Road.rb") + "\n", "",
       "T1=title=\"t\" filename=\"\\book\\The Sea Road.rb\" x=\"\"\n");
  auto* book = static_cast<DirectoryEntry*>(state->roots[1].children.head->item);
  auto* newer = static_cast<StorageEntry*>(book->children.head->item);
  auto* older = static_cast<StorageEntry*>(book->children.head->next->item);
  EXPECT_EQ(newer->title, Title(0));
  EXPECT_EQ(older->title, Title(0));
  EXPECT_EQ(Title(0)->link, older);
}

TEST_F(LinksTest, WithoutMemoryForTheIndexTheLinksAreTheSame) {
  const std::string dir = kSeaRoad + DirLine(true, "SEAROA~2", "RB", "-----", "9", "The Sea Road.rb") +
                          "\n" + DirLine(true, "OTHER", "RB", "-----", "9", "other.rb") + "\n";
  const std::string titles =
      "T1=title=\"first\" filename=\"\\book\\The Sea Road.rb\" x=\"\"\n"
      "T2=title=\"second\" filename=\"book\\The Sea Road.rb\" x=\"\"\n"
      "T3=title=\"other\" filename=\"\\book\\other.rb\" x=\"\"\n"
      "T4=title=\"none\" filename=\"\\book\\none.rb\" x=\"\"\n";
  auto links = [&] {
    std::vector<std::string> out;
    for (EntryNode* n = state->title_list.head; n != nullptr; n = n->next) {
      auto* t = static_cast<TitleRecord*>(n->item);
      out.push_back(std::string(t->title) + "->" + (t->link ? t->link->key : "none"));
    }
    return out;
  };
  Load(dir, "", titles);
  const auto indexed = links();
  EXPECT_EQ(indexed, (std::vector<std::string>{"none->none", "other->OTHER", "second->SEAROA~1",
                                               "first->none"}));
  // Same again, with the index's allocation failing: the walk gives the same.
  fake.SetReply("__DIR", kDirHeader + dir);
  fake.SetReply("__TITLES", titles);
  RefreshStorageTree(*state, 1);
  RefreshTitles(*state);
  fake.FailAllocation(fake.allocations() + 1);
  LinkTitles(*state, 1);
  EXPECT_EQ(links(), indexed);
}

TEST_F(LinksTest, ReaderPathOfEntriesAndRoots) {
  Load(kSeaRoad, kSeaRoad, "");
  auto* book = static_cast<DirectoryEntry*>(state->roots[2].children.head->item);
  auto* file = static_cast<StorageEntry*>(book->children.head->item);
  char buffer[128];
  EXPECT_STREQ(ReaderPath(*file, buffer, sizeof buffer), "SM\\book\\The Sea Road.rb");
  char* allocated = ReaderPath(*file, nullptr, 0);
  ASSERT_NE(allocated, nullptr);
  EXPECT_STREQ(allocated, "SM\\book\\The Sea Road.rb");
  Os().release(allocated);
  EXPECT_STREQ(ReaderPath(state->roots[1], buffer, sizeof buffer), "\\") << "a root is its own parent";
  char tiny[8];
  EXPECT_EQ(ReaderPath(*file, tiny, sizeof tiny), nullptr) << "a path that does not fit";
}

TEST_F(LinksTest, DeleteTitleSendsTheEraseScript) {
  Load("", kSeaRoad, "T1=title=\"S\" filename=\"\\SM\\book\\The Sea Road.rb\" x=\"\"");
  ASSERT_NE(Title(0)->link, nullptr);
  fake.ClearCalls();
  EXPECT_EQ(DeleteTitle(*Title(0)->link), 0);
  auto uploads = fake.ControlCalls(0x222020);
  ASSERT_EQ(uploads.size(), 1u);
  const std::string script = "CMD!\nDELTITLE SM\\book\\The Sea Road.rb\n#/* Erase title */\n";
  EXPECT_EQ(script.size(), 57u);
  EXPECT_EQ(uploads[0].input, std::string("__WHATYOUWANT", 14) + script) << "no NUL after it";
  EXPECT_EQ(fake.ControlCalls(0x222024).size(), 0u);
  EXPECT_NE(Title(0)->link, nullptr) << "the catalog is unchanged until the next listing";

  fake.FailWhen([](const FakeCall& c) { return c.control_code == 0x222020; }, 31);
  EXPECT_EQ(DeleteTitle(*Title(0)->link), -1);
  EXPECT_EQ(state->title_list.head, nullptr) << "a failed exchange resets";
}

}  // namespace
}  // namespace pagora
