#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/reader_state.h"
#include "catalog/titles.h"
#include "testing/fake_driver.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

class TitlesTest : public ::testing::Test {
 protected:
  std::vector<const TitleRecord*> Refresh(const std::string& reply) {
    fake.SetReply("__TITLES", reply);
    EXPECT_EQ(RefreshTitles(*state), 0);
    std::vector<const TitleRecord*> out;
    for (EntryNode* n = state->title_list.head; n != nullptr; n = n->next) {
      out.push_back(static_cast<const TitleRecord*>(n->item));
    }
    return out;
  }
  FakeDriver fake;
  StatePtr state = MakeState();
};

TEST_F(TitlesTest, AttributeWalkStopsWhereTheLineGoesWrong) {
  struct Case {
    const char* label;
    std::string line;
    std::string title, author, url;
    std::int32_t size;
    bool anno;
  } cases[] = {
      {"usual",
       "T1=title=\"Sample Book\" author=\"Jane Doe\" filename=\"\\book\\sample.rb\" "
       "size=\"182344\" ANNO=\"no\"",
       "Sample Book", "Jane Doe", "", 182344, false},
      {"equals before first name", "T==title=\"A\"", "A", "", "", 0, false},
      {"every field empty", "T1==", "", "", "", 0, false},
      {"unrecognised only", "T1=genre=\"x\" shelf=\"y\"", "", "", "", 0, false},
      {"names in any case", "T1=TITLE=\"A\" Author=\"B\"", "A", "B", "", 0, false},
      {"unknown passed over", "T1=genre=\"x\" title=\"A\"", "A", "", "", 0, false},
      {"later value wins", "T1=title=\"A\" author=\"\" title=\"D\"", "D", "", "", 0, false},
      {"empty keeps earlier", "T1=title=\"A\" title=\"\"", "A", "", "", 0, false},
      {"equals inside value", "T1=title=\"Sample Book\" url=\"x?a=b\"", "Sample Book", "",
       "x?a=b", 0, false},
      {"two blanks", "T1=title=\"A\"  author=\"B\"", "", "", "", 0, false},
      {"no blank", "T1=title=\"A\"author=\"B\"", "", "", "", 0, false},
      {"unquoted first", "T1=size=12 title=\"A\"", "", "", "", 0, false},
      {"unquoted spoils the one before", "T1=title=\"A\" size=12 author=\"B\"", "", "", "", 0,
       false},
      {"closing quote missing", "T1=title=\"A\" author=\"B", "A", "", "", 0, false},
      {"unquoted keeps its quote", "T1=title=A\"", "A\"", "", "", 0, false},
      {"lone quote is empty", "T1=title=\"", "", "", "", 0, false},
      {"carriage return loses the last", "T1=title=\"A\" author=\"B\"\r", "A", "", "", 0, false},
      {"anno no", "T1=ANNO=\"no\"", "", "", "", 0, false},
      {"anno n", "T1=ANNO=\"n\"", "", "", "", 0, false},
      {"anno No", "T1=ANNO=\"No\"", "", "", "", 0, true},
      {"anno yes", "T1=anno=\"yes\"", "", "", "", 0, true},
      {"anno x", "T1=ANNO=\"x\"", "", "", "", 0, true},
      {"anno empty", "T1=ANNO=\"\"", "", "", "", 0, false},
      {"size abc", "T1=size=\"abc\"", "", "", "", 0, false},
      {"size -1", "T1=size=\"-1\"", "", "", "", -1, false},
      {"size 12kB", "T1=size=\"12kB\"", "", "", "", 12, false},
      {"size saturates", "T1=size=\"3000000000\"", "", "", "", INT32_MAX, false},
      {"long title keeps 127", "T1=title=\"" + std::string(300, 't') + "\"",
       std::string(127, 't'), "", "", 0, false},
  };
  for (const Case& c : cases) {
    auto titles = Refresh(c.line);
    ASSERT_EQ(titles.size(), 1u) << c.label;
    const TitleRecord& t = *titles[0];
    EXPECT_EQ(t.title, c.title) << c.label;
    EXPECT_EQ(t.author, c.author) << c.label;
    EXPECT_EQ(t.url, c.url) << c.label;
    EXPECT_EQ(t.size, c.size) << c.label;
    EXPECT_EQ(t.anno, c.anno) << c.label;
    EXPECT_EQ(t.link, nullptr) << c.label;
  }
}

TEST_F(TitlesTest, EveryAttributeReachesItsField) {
  auto titles = Refresh(
      "T9=title=\"T\" filename=\"\\SM\\book\\tides.rb\" publisher=\"P\" author=\"A\" "
      "isbn=\"0-00\" url=\"http://x\" username=\"me\" size=\"20480\" ANNO=\"yes\"");
  ASSERT_EQ(titles.size(), 1u);
  const TitleRecord& t = *titles[0];
  EXPECT_STREQ(t.filename, "\\SM\\book\\tides.rb");
  EXPECT_STREQ(t.publisher, "P");
  EXPECT_STREQ(t.isbn, "0-00");
  EXPECT_STREQ(t.url, "http://x");
  EXPECT_STREQ(t.username, "me");
  EXPECT_EQ(t.size, 20480);
  EXPECT_TRUE(t.anno);
}

TEST_F(TitlesTest, ReplyBecomesListNewestFirst) {
  auto titles = Refresh(
      "TITLECOUNT=\"3\"\r\nT1=title=\"A\"\r\nno equals here\nTITLE=\"X\"\nT2=title=\"B\" x=\"1\"\n"
      "T3=title=\"C\" x=\"1\"\nT3=title=\"C\" x=\"1\"");
  ASSERT_EQ(titles.size(), 4u) << "a single '=' line is a key/value line, not a title";
  EXPECT_STREQ(titles[0]->title, "C");
  EXPECT_STREQ(titles[1]->title, "C") << "identical lines give two records";
  EXPECT_STREQ(titles[2]->title, "B");
  EXPECT_STREQ(titles[3]->title, "") << "T1 ended in \\r and lost its only attribute";
  EXPECT_EQ(state->title_count, 3);

  EXPECT_TRUE(Refresh("no title here\n").empty());
  const char with_nul[] = "T1=title=\"A\" x=\"\"\n\0T2=title=\"B\" x=\"\"";
  EXPECT_EQ(Refresh(std::string(with_nul, sizeof with_nul - 1)).size(), 1u) << "a NUL ends the reply";
  fake.SetReply("__TITLES", "");
  EXPECT_EQ(RefreshTitles(*state), -1);
  EXPECT_EQ(state->title_list.head, nullptr);
}

TEST_F(TitlesTest, RecordTheListCannotTakeIsFreed) {
  fake.SetReply("__TITLES", "T1=title=\"A\" x=\"1\"\nT2=title=\"B\" x=\"1\"\n");
  fake.FailAllocation(fake.allocations() + 2);  // the first title's node
  ASSERT_EQ(RefreshTitles(*state), 0);
  ASSERT_NE(state->title_list.head, nullptr);
  EXPECT_STREQ(static_cast<TitleRecord*>(state->title_list.head->item)->title, "B");
  EXPECT_EQ(state->title_list.head->next, nullptr);
  Reset(*state);
  EXPECT_EQ(fake.live_allocations(), 0u);
}

}  // namespace
}  // namespace pagora
