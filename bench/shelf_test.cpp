#include "bench/shelf.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "catalog/links.h"
#include "state/reader_state.h"
#include "catalog/titles.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

TEST(Shelf, EveryTitleNamesOneFileAndLinksToIt) {
  for (int count : {1, 100, 1000}) {
    StatePtr state = MakeState();
    ASSERT_TRUE(FillShelf(*state, count)) << count;
    std::set<std::string> files;
    const auto* book =
        static_cast<const DirectoryEntry*>(state->roots[kStorageInternal].children.head->item);
    for (EntryNode* n = book->children.head; n != nullptr; n = n->next) {
      files.insert(std::string("\\book\\") + static_cast<const StorageEntry*>(n->item)->long_name);
    }
    std::set<std::string> named;
    for (EntryNode* n = state->title_list.head; n != nullptr; n = n->next) {
      named.insert(static_cast<const TitleRecord*>(n->item)->filename);
    }
    EXPECT_EQ(files.size(), static_cast<std::size_t>(count)) << count;
    EXPECT_EQ(named, files) << count;
    EXPECT_EQ(CountLinked(*state), 0) << count << ": nothing linked yet";
    EXPECT_EQ(FollowLinks(*state, kStorageInternal), 0) << count << ": nothing to follow";
    LinkTitles(*state, kStorageInternal);
    EXPECT_EQ(CountLinked(*state), count) << count;
    EXPECT_EQ(FollowLinks(*state, kStorageInternal), count) << count;
  }
}

TEST(Shelf, TitlesAreNotInTheFilesOrder) {
  StatePtr state = MakeState();
  ASSERT_TRUE(FillShelf(*state, 100));
  const auto* book =
      static_cast<const DirectoryEntry*>(state->roots[kStorageInternal].children.head->item);
  int same_place = 0;
  EntryNode* t = state->title_list.head;
  for (EntryNode* f = book->children.head; f != nullptr; f = f->next, t = t->next) {
    const std::string file =
        std::string("\\book\\") + static_cast<const StorageEntry*>(f->item)->long_name;
    if (file == static_cast<const TitleRecord*>(t->item)->filename) ++same_place;
  }
  EXPECT_LT(same_place, 5);
}

}  // namespace
}  // namespace pagora
