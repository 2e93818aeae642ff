#include "bench/replies.h"

#include <gtest/gtest.h>

#include <set>

#include "testing/fake_driver.h"
#include "bench/full_reader.h"
#include "bench/shelf.h"
#include "catalog/links.h"
#include "state/reader_state.h"
#include "catalog/status.h"
#include "catalog/storage_tree.h"
#include "catalog/titles.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

int Count(const EntryList& list) {
  int n = 0;
  for (EntryNode* node = list.head; node != nullptr; node = node->next) ++n;
  return n;
}

TEST(Replies, PaddingIsSpreadToTheExactSize) {
  const struct {
    const char* label;
    std::size_t base, bytes;
    int count;
    std::vector<std::size_t> pads;
  } cases[] = {
      {"remainder on the first lines", 10, 17, 3, {3, 2, 2}},
      {"nothing to add", 10, 10, 2, {0, 0}},
      {"already too long", 11, 10, 2, {}},
      {"no lines", 0, 10, 0, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SpreadPadding(c.base, c.bytes, c.count), c.pads) << c.label;
  }
}

TEST(Replies, FullRepliesAreExactlyTheLimit) {
  const std::vector<std::string> names = BookNames(kFullFiles);
  const struct {
    const char* label;
    std::string reply;
  } cases[] = {
      {"dir", BookDirReply(names)},
      {"titles", TitlesReply(names, kFullTitles)},
      {"status", StatusReply(kFullStatusLines)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.reply.size(), kFullReply) << c.label;
    EXPECT_EQ(c.reply.back(), '\n') << c.label << ": the last line is whole";
  }
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size())
      << "file names are distinct";
  for (const std::string& name : names) ASSERT_LE(name.size(), 127u) << name;
}

// The replies must mean to the plugin what the benchmarks count on.
TEST(Replies, ThePluginReadsTheFullReaderWhole) {
  FakeDriver driver;
  ServeFullReader(driver);
  StatePtr state = MakeState();
  ASSERT_EQ(RefreshStorageTree(*state, kStorageInternal), 0);
  ASSERT_EQ(RefreshStorageTree(*state, kStorageCard), 0);
  ASSERT_EQ(RefreshTitles(*state), 0);
  ASSERT_EQ(Count(state->roots[kStorageInternal].children), 1);
  const auto* book =
      static_cast<const DirectoryEntry*>(state->roots[kStorageInternal].children.head->item);
  EXPECT_STREQ(book->long_name, "book");
  EXPECT_EQ(Count(book->children), kFullFiles);
  for (EntryNode* n = book->children.head; n != nullptr; n = n->next) {
    ASSERT_EQ(static_cast<const StorageEntry*>(n->item)->type_code, kTypeBook);
  }
  EXPECT_EQ(Count(state->title_list), kFullTitles);
  EXPECT_EQ(state->title_count, kFullTitles);
  LinkTitles(*state, kStorageInternal);
  EXPECT_EQ(CountLinked(*state), kFullTitles);

  ASSERT_EQ(RefreshStatus(*state), 0);
  EXPECT_EQ(Count(state->status_list), kFullStatusLines + kReaderStatusKeys);
  EXPECT_EQ(state->free_memory, 2818048);
  EXPECT_TRUE(state->card_present);
  const auto* last = static_cast<const StatusRecord*>(state->status_list.head->item);
  EXPECT_EQ(last->value_count, 2);
  EXPECT_STREQ(last->values[1], "second");
}

}  // namespace
}  // namespace pagora
