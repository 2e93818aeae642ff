#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/reader_state.h"
#include "catalog/status.h"
#include "catalog/titles.h"
#include "testing/fake_driver.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

class StatusTest : public ::testing::Test {
 protected:
  // Serves `reply` as the "__STATUS" answer and refreshes.
  int Refresh(const std::string& reply) {
    fake.SetReply("__STATUS", reply);
    return RefreshStatus(*state);
  }
  std::vector<const StatusRecord*> Records() const {
    std::vector<const StatusRecord*> out;
    for (EntryNode* n = state->status_list.head; n != nullptr; n = n->next) {
      out.push_back(static_cast<const StatusRecord*>(n->item));
    }
    return out;
  }
  FakeDriver fake;
  StatePtr state = MakeState();
};

TEST_F(StatusTest, LinesSplitIntoKeyAndValues) {
  struct Case {
    const char* label;
    std::string line;
    std::string key;
    std::vector<std::string> values;
  } cases[] = {
      {"usual", "KEY=\"a b\" \"c\"", "KEY", {"a b", "c"}},
      {"four at most", "KEY=\"a\" \"b\" \"c\" \"d\" \"e\"", "KEY", {"a", "b", "c", "d"}},
      {"empty quotes give nothing", "KEY=\"\" \"b\"", "KEY", {"b"}},
      {"two blanks are a value", "KEY=\"a\"  \"b\"", "KEY", {"a", "  ", "b"}},
      {"unquoted stays whole", "KEY=plain text", "KEY", {"plain text"}},
      {"leading = stays in key", "=X", "=X", {}},
      {"crlf as lf", "KEY=\"v\"\r", "KEY", {"v"}},
      {"no value text", "KEY=", "KEY", {}},
      {"only equals", "===", "", {}},
      {"stray quote and equals", "K=\"a=b\" \"", "K", {"a=b"}},
      {"long value cut", "K=\"" + std::string(80, 'v') + "\"", "K", {std::string(63, 'v')}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Refresh(c.line), 0) << c.label;
    auto records = Records();
    ASSERT_EQ(records.size(), 1u) << c.label;
    const StatusRecord& r = *records[0];
    EXPECT_EQ(r.key, c.key) << c.label;
    ASSERT_EQ(r.value_count, static_cast<int>(c.values.size())) << c.label;
    for (int i = 0; i < kStatusValueCount; ++i) {
      const std::string want = i < r.value_count ? c.values[static_cast<std::size_t>(i)] : "";
      EXPECT_EQ(r.values[i], want) << c.label << " value " << i + 1;
    }
  }
}

TEST_F(StatusTest, StatusValuesFollowTheirKeys) {
  ASSERT_EQ(Refresh("SM_PRESENT=\"Yes\"\nFLASHFREE=\"2818048\"\nSM_FLASHFREE=\"77\"\n"
                    "FLASHID=\"A1\" \"32\"\nOFLASHID01=\"B2\" \"16\"\nDATE=\"2003 11 27\"\n"
                    "TIME=\"9 5 30\"\nVERSION=\"1.2\"\nBATTERY=\"Full\"\nEXTID=\"E\"\n"
                    "USERID=\"U\"\nXYZ=\"1\" \"2\"\nTITLECOUNT=\"9\""),
            0);
  EXPECT_TRUE(state->card_present);
  EXPECT_EQ(state->free_memory, 2818048);
  EXPECT_EQ(state->sm_free_memory, 77);
  EXPECT_EQ(state->flash_size, 33554432u);
  EXPECT_EQ(state->card_flash_size, 16777216u);
  EXPECT_STREQ(state->date, "2003/11/27");
  EXPECT_STREQ(state->time, "09:05:30");
  ASSERT_NE(state->version, nullptr);
  EXPECT_STREQ(state->version, "1.2");
  EXPECT_STREQ(state->battery, "Full");
  EXPECT_STREQ(state->extension_id, "E");
  EXPECT_STREQ(state->user_id, "U");
  EXPECT_EQ(state->title_count, 0) << "the status reply never sets the title count";
  auto records = Records();
  ASSERT_EQ(records.size(), 13u);
  EXPECT_STREQ(records[0]->key, "TITLECOUNT") << "the list reads newest first";
  EXPECT_STREQ(records[1]->key, "XYZ");
  EXPECT_EQ(records[1]->value_count, 2);
}

TEST_F(StatusTest, NumbersAndTextsAtTheirEdges) {
  struct Case {
    const char* label;
    std::string reply;
    bool card_present;
    std::int32_t free_memory;
    std::uint32_t flash_size;
    const char* date;
    const char* time;
  } cases[] = {
      {"lower-case yes", "SM_PRESENT=\"yes\"", false, 0, 0, "", ""},
      {"keys are exact", "flashfree=\"100\"\nFLASHFREE =\"5\"", false, 0, 0, "", ""},
      {"later line wins", "FLASHFREE=\"1\"\nFLASHFREE=\"2\"", false, 2, 0, "", ""},
      {"FLASHID without size", "FLASHID=\"A1\"", false, 0, 0, "", ""},
      {"4095 MiB exact", "FLASHID=\"A\" \"4095\"", false, 0, 4095u << 20, "", ""},
      {"4096 MiB saturates", "FLASHID=\"A\" \"4096\"", false, 0, 0xFFFFFFFFu, "", ""},
      {"negative MiB is 0", "FLASHID=\"A\" \"-3\"", false, 0, 0, "", ""},
      {"free memory saturates", "FLASHFREE=\"99999999999999\"", false, INT32_MAX, 0, "", ""},
      {"free memory low end", "FLASHFREE=\"-99999999999\"", false, INT32_MIN, 0, "", ""},
      {"free memory with junk", "FLASHFREE=\" +12kB\"", false, 12, 0, "", ""},
      {"empty date", "DATE=\"\"", false, 0, 0, "", ""},
      {"date", "DATE=\"27 11 2003\"", false, 0, 0, "27/11/2003", ""},
      {"long date keeps 49", "DATE=\"" + std::string(70, '1') + "\"", false, 0, 0,
       "1111111111111111111111111111111111111111111111111", ""},
      {"time", "TIME=\"23 59 7\"", false, 0, 0, "", "23:59:07"},
      {"long hour", "TIME=\"100 2 3\"", false, 0, 0, "", "100:02:03"},
      {"negative", "TIME=\"-1 2 3\"", false, 0, 0, "", "-1:02:03"},
      {"missing numbers are 0", "TIME=\"7\"", false, 0, 0, "", "07:00:00"},
      {"not a number", "TIME=\"x 1 2\"", false, 0, 0, "", "00:00:00"},
  };
  for (const Case& c : cases) {
    Reset(*state);
    ASSERT_EQ(Refresh(c.reply), 0) << c.label;
    EXPECT_EQ(state->card_present, c.card_present) << c.label;
    EXPECT_EQ(state->free_memory, c.free_memory) << c.label;
    EXPECT_EQ(state->flash_size, c.flash_size) << c.label;
    EXPECT_STREQ(state->date, c.date) << c.label;
    EXPECT_STREQ(state->time, c.time) << c.label;
  }
}

TEST_F(StatusTest, RefreshReplacesListAndReferencesButKeepsOtherValues) {
  ASSERT_EQ(Refresh("VERSION=\"1.2\"\nFLASHFREE=\"10\""), 0);
  ASSERT_NE(state->version, nullptr);
  // A reply without any "=" line: empty list, no references, numbers kept.
  ASSERT_EQ(Refresh("just text\n\n"), 0);
  EXPECT_EQ(state->status_list.head, nullptr);
  EXPECT_EQ(state->version, nullptr);
  EXPECT_EQ(state->free_memory, 10);
  // No bytes at all is a failed query.
  ASSERT_EQ(Refresh("VERSION=\"1\""), 0);
  EXPECT_EQ(Refresh(""), -1);
  EXPECT_EQ(state->status_list.head, nullptr);
  EXPECT_EQ(state->version, nullptr);
  // A NUL ends the reply.
  const char with_nul[] = "FLASHFREE=\"3\"\nA=\"1\"\0FLASHFREE=\"4\"\n";
  ASSERT_EQ(Refresh(std::string(with_nul, sizeof with_nul - 1)), 0);
  EXPECT_EQ(state->free_memory, 3);
  EXPECT_EQ(Records().size(), 2u);
}

TEST_F(StatusTest, TitleReplyStoresWithoutKeepingReferences) {
  fake.SetReply("__TITLES", "TITLECOUNT=\"2\"\nVERSION=\"9\"\nFLASHFREE=\"44\"\n");
  ASSERT_EQ(RefreshTitles(*state), 0);
  EXPECT_EQ(state->title_count, 2);
  EXPECT_EQ(state->free_memory, 44);
  EXPECT_EQ(state->version, nullptr);
  EXPECT_EQ(state->title_list.head, nullptr);
  EXPECT_EQ(fake.live_allocations(), 0u) << "key/value records of the title reply are freed";
}

TEST_F(StatusTest, RecordTheListCannotTakeLeavesNoReferenceBehind) {
  fake.SetReply("__STATUS", "VERSION=\"1.2\"\nFLASHFREE=\"10\"\nTITLECOUNT=\"7\"\n");
  // Allocations: record 1, node 1, record 2, node 2. Fail the first node.
  fake.FailAllocation(fake.allocations() + 2);
  fake.FailAllocation(fake.allocations() + 6);  // and the title count's node
  state->title_count = 3;
  ASSERT_EQ(RefreshStatus(*state), 0);
  EXPECT_EQ(state->title_count, 3) << "the status reply never sets the title count";
  EXPECT_EQ(state->version, nullptr);
  EXPECT_EQ(state->free_memory, 10);
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_STREQ(Records()[0]->key, "FLASHFREE");
  Reset(*state);
  EXPECT_EQ(fake.live_allocations(), 0u);
}

}  // namespace
}  // namespace pagora
