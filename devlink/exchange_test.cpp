#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "state/reader_state.h"
#include "devlink/device.h"
#include "devlink/exchange.h"
#include "testing/fake_driver.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

std::vector<std::int32_t> g_progress;
// The report at which the host cancels; 0 never.
std::size_t g_cancel_at = 0;
int Record(std::int32_t percent) {
  g_progress.push_back(percent);
  return g_cancel_at != 0 && g_progress.size() >= g_cancel_at ? 1 : 0;
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_progress.clear();
    g_cancel_at = 0;
  }
  void Dirty() { state->free_memory = 99; }
  bool WasReset() const { return state->free_memory == 0; }
  std::vector<std::uint32_t> Rooms(std::uint32_t code) const {
    std::vector<std::uint32_t> out;
    for (const FakeCall& c : fake.ControlCalls(code)) out.push_back(c.output_room);
    return out;
  }
  FakeDriver fake;
  StatePtr state = MakeState();
  TempDir dir;
};

TEST_F(ExchangeTest, WholeRepliesGrowInWholeBlocks) {
  const std::string lines = [] {
    std::string text;
    for (int i = 0; text.size() < (17u << 20); ++i) text += "T=title=\"" + std::to_string(i) + "\"\n";
    return text;
  }();
  struct Case {
    const char* label;
    std::size_t reply;
    std::size_t length;  // what the reply holds
    std::size_t nexts;   // continuation calls
    bool cut;
  } cases[] = {
      // Replies below the old limit take the calls they always took.
      {"short first block", 10, 10, 0, false},
      {"three blocks", 10000, 10000, 2, false},
      {"just below the old limit", 65535, 65535, 15, false},
      // A full last block asks once more to see the end.
      {"exactly the old limit", 65536, 65536, 16, false},
      {"past the old limit", 200000, 200000, 48, false},
      {"past the bound: cut at the last whole line", lines.size(),
       lines.rfind('\n', (16u << 20) - 1) + 1, (16u << 20) / 4096 - 1, true},
  };
  for (const Case& c : cases) {
    fake.ClearCalls();
    fake.SetReply("__TITLES", lines.substr(0, c.reply));
    Reply reply;
    ASSERT_EQ(DevQueryWhole(*state, "__TITLES", &reply), 0) << c.label;
    ASSERT_EQ(static_cast<std::size_t>(reply.length()), c.length) << c.label;
    EXPECT_TRUE(std::memcmp(reply.text(), lines.data(), c.length) == 0) << c.label;
    EXPECT_EQ(reply.text()[c.length], '\0') << c.label;
    EXPECT_EQ(reply.cut(), c.cut) << c.label;
    EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_QUERY_NEXT).size(), c.nexts) << c.label;
    for (std::uint32_t room : Rooms(IOCTL_DEV_QUERY_NEXT)) EXPECT_EQ(room, 4096u) << c.label;
  }
  EXPECT_EQ(fake.live_allocations(), 0u) << "every larger buffer given back";
  // Without memory to grow into, the query fails and holds nothing.
  fake.SetReply("__TITLES", lines.substr(0, 100000));
  fake.FailAllocation(fake.allocations() + 1);
  Reply reply;
  EXPECT_EQ(DevQueryWhole(*state, "__TITLES", &reply), -1);
  EXPECT_EQ(Os().get_last_error(), kErrorNotEnoughMemory);
  EXPECT_EQ(fake.live_allocations(), 0u);
}

TEST_F(ExchangeTest, QueryReadsBlocksUpToTheLimit) {
  struct Case {
    const char* label;
    std::size_t reply;
    std::int32_t limit;
    std::int32_t length;
    std::vector<std::uint32_t> next_rooms;
  } cases[] = {
      {"three blocks", 10000, 65536, 10000, {4096, 4096}},
      {"multiple of the block ends with an empty one", 8192, 65536, 8192, {4096, 4096}},
      {"cut at the limit", 20000, 5000, 5000, {904}},
      {"one full block fills the limit", 9000, 4096, 4096, {}},
      {"short first block", 10, 65536, 10, {}},
      {"endless reply stops at the limit", 1 << 20, 65536, 65536,
       std::vector<std::uint32_t>(15, 4096)},
  };
  std::vector<char> buffer(70000);
  for (const Case& c : cases) {
    fake.ClearCalls();
    fake.SetReply("__STATUS", Pattern(c.reply));
    std::int32_t length = c.limit;
    ASSERT_EQ(DevQuery(*state, "__STATUS", buffer.data(), &length), 0) << c.label;
    EXPECT_EQ(length, c.length) << c.label;
    EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(length)),
              Pattern(c.reply).substr(0, static_cast<std::size_t>(c.length)))
        << c.label;
    auto starts = fake.ControlCalls(IOCTL_DEV_QUERY_START);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].input, std::string("__STATUS", 9)) << "the name and its NUL";
    EXPECT_EQ(starts[0].output_room, static_cast<std::uint32_t>(c.limit < 4096 ? c.limit : 4096));
    EXPECT_EQ(Rooms(IOCTL_DEV_QUERY_NEXT), c.next_rooms) << c.label;
    for (const FakeCall& next : fake.ControlCalls(IOCTL_DEV_QUERY_NEXT)) {
      EXPECT_EQ(next.input, "") << c.label;
    }
    EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_PROBE).size(), 1u) << c.label << ": one probe";
  }
}

TEST_F(ExchangeTest, QueryFailuresAndUntrustedCounts) {
  std::vector<char> buffer(65537, '\x7f');
  std::int32_t length = 65536;
  // An empty first block: -1, no reset, the link stays open, length unchanged.
  fake.SetReply("__TITLES", "");
  Dirty();
  EXPECT_EQ(DevQuery(*state, "__TITLES", buffer.data(), &length), -1);
  EXPECT_EQ(length, 65536);
  EXPECT_FALSE(WasReset());
  EXPECT_EQ(state->device, FakeDeviceHandle());

  // A driver that claims more than the room it was given: the count is cut
  // to the room and nothing is written past the buffer.
  fake.SetBlocks("__DIR", {std::string(5000, 'a'), std::string(9000, 'b'), "c"});
  length = 4100;
  EXPECT_EQ(DevQuery(*state, "__DIR", buffer.data(), &length), 0);
  EXPECT_EQ(length, 4100);
  EXPECT_EQ(buffer[4099], 'b');
  EXPECT_EQ(buffer[4100], '\x7f');

  for (std::uint32_t code : {IOCTL_DEV_QUERY_START, IOCTL_DEV_QUERY_NEXT}) {
    FakeDriver local;
    StatePtr s = MakeState();
    s->free_memory = 99;
    local.SetReply("__DIR", Pattern(9000));
    local.FailWhen([code](const FakeCall& c) { return c.control_code == code; }, 1167);
    length = 65536;
    EXPECT_EQ(DevQuery(*s, "__DIR", buffer.data(), &length), -1) << code;
    EXPECT_EQ(s->free_memory, 0) << code << ": reset";
    EXPECT_EQ(s->device, InvalidOsHandle()) << code;
    EXPECT_EQ(length, 65536) << code;
    EXPECT_EQ(Os().get_last_error(), 1167u) << code;
  }
}

TEST_F(ExchangeTest, DownloadWritesTheReplyAndReportsPercentages) {
  // The longest name a POSIX folder takes; Windows' is as long.
  const std::string longest_name = std::string(250, 'n') + ".rb.x";
  struct Case {
    const char* label;
    std::size_t size;
    std::int32_t expected;
    std::vector<std::int32_t> progress;
    std::string target = "book.rb";
    std::vector<std::string> beside = {};  // the user's files next to the target
  } cases[] = {
      {"three blocks", 10000, 10000, {40, 81, 100}},
      {"empty last block", 8192, 8192, {50, 100, 100}},
      {"no expected size", 5000, 0, {0, 0}},
      {"longer than expected", 8000, 4000, {102, 200}},
      {"expected size of one", 5000, 1, {409600, 500000}},
      {"target name at the folder's limit", 10, 10, {100}, longest_name},
      {"files named like temporaries beside the target", 10, 10, {100}, "book.rb",
       {"book.rb.pagora-part", "~pgr0000.tmp", "~pgr0001.tmp", "~pgr0002.tmp"}},
  };
  for (const Case& c : cases) {
    g_progress.clear();
    TempDir folder;
    for (const std::string& name : c.beside) WriteFile(folder.File(name), "the user's " + name);
    const std::string local = folder.File(c.target);
    fake.SetReply("\\book\\x.rb", Pattern(c.size));
    ASSERT_EQ(DevDownload(*state, "\\book\\x.rb", local.c_str(), c.expected, Record, false), 0) << c.label;
    EXPECT_EQ(ReadFile(local), Pattern(c.size)) << c.label;
    EXPECT_EQ(g_progress, c.progress) << c.label;
    std::vector<std::string> names = c.beside;
    names.push_back(c.target);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(folder.Names(), names) << c.label << ": no temporary left";
    for (const std::string& name : c.beside) {
      EXPECT_EQ(ReadFile(folder.File(name)), "the user's " + name) << c.label;
    }
  }
  // The temporary file is made exclusively, never over an existing file.
  for (const FakeCall& call : fake.calls()) {
    if (call.op == "create_file" && call.input != fake.device_path) {
      EXPECT_EQ(call.disposition, kCreateNew) << call.input;
    }
  }
  EXPECT_EQ(fake.live_allocations(), 0u);
}

TEST_F(ExchangeTest, FailedDownloadLeavesTheLocalFileAsItWas) {
  struct Case {
    const char* label;
    std::function<bool(const FakeCall&)> fail;
    std::string reply;
    bool reset;
    bool reader_touched;
    std::size_t cancel_at = 0;  // the report the host answers with a cancel
    bool replace = true;
    std::uint32_t error = 5;    // with a reply: the failure's error
  } cases[] = {
      {"open fails", [](const FakeCall& c) { return c.control_code == IOCTL_DEV_PROBE; }, "x", true, false},
      {"file cannot be made", [](const FakeCall& c) { return c.op == "create_file" && c.disposition == kCreateNew; },
       "x", false, false},
      {"start call fails", [](const FakeCall& c) { return c.control_code == IOCTL_DEV_QUERY_START; },
       Pattern(9000), true, true},
      {"first block empty", [](const FakeCall&) { return false; }, "", false, true},
      {"write fails", [](const FakeCall& c) { return c.op == "write_file"; }, Pattern(9000), false,
       true},
      {"continuation fails", [](const FakeCall& c) { return c.control_code == IOCTL_DEV_QUERY_NEXT; },
       Pattern(9000), true, true},
      {"replace fails", [](const FakeCall& c) { return c.op == "move_file"; }, Pattern(100),
       false, true},
      {"disk full", nullptr, Pattern(9000), false, true, 0, true, kErrorDiskFull},
      {"a file stands at the target, no replace", [](const FakeCall&) { return false; },
       Pattern(100), false, true, 0, false, kErrorAlreadyExists},
      {"cancelled at the first block", [](const FakeCall&) { return false; }, Pattern(9000), true,
       true, 1, true, kErrorCancelled},
      {"cancelled at the last block", [](const FakeCall&) { return false; }, Pattern(9000), true,
       true, 3, true, kErrorCancelled},
  };
  for (const Case& c : cases) {
    FakeDriver local;
    StatePtr s = MakeState();
    ASSERT_EQ(DevOpen(*s), 0);
    s->free_memory = 99;
    local.SetReply("\\book\\x.rb", c.reply);
    if (c.fail) {
      local.FailWhen(c.fail, 5);
    } else {
      local.short_writes = true;
    }
    g_progress.clear();
    g_cancel_at = c.cancel_at;
    const std::string target = dir.File("kept.rb");
    WriteFile(target, "the user's own file");
    EXPECT_EQ(DevDownload(*s, "\\book\\x.rb", target.c_str(), 100, Record, c.replace), -1)
        << c.label;
    const std::uint32_t error = Os().get_last_error();  // before the checks' own file calls
    EXPECT_EQ(ReadFile(target), "the user's own file") << c.label;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"kept.rb"}) << c.label;
    EXPECT_EQ(s->free_memory == 0, c.reset) << c.label;
    EXPECT_EQ(local.ControlCalls(IOCTL_DEV_QUERY_START).size(), c.reader_touched ? 1u : 0u)
        << c.label;
    if (c.reply != "") {
      EXPECT_EQ(error, c.error) << c.label << ": the failure's error";
    }
    if (c.cancel_at != 0) {
      EXPECT_EQ(local.ControlCalls(IOCTL_DEV_QUERY_NEXT).size(), c.cancel_at - 1)
          << c.label << ": no block asked for after the cancel";
      EXPECT_FALSE(s->device_path_known) << c.label << ": the next exchange discovers";
    }
    EXPECT_EQ(local.live_allocations(), 0u) << c.label;
    Reset(*s);
  }
}

TEST_F(ExchangeTest, UploadSendsTheDataThenRepeatsItFromTheSecondBlock) {
  std::string buffer = std::string(19, 'n') + '\0' + Pattern(10000);
  ASSERT_EQ(DevUpload(*state, buffer.data(), 10000, 20, Record), 0);
  auto start = fake.ControlCalls(IOCTL_DEV_UPLOAD_START);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].input, buffer) << "10,020 bytes";
  EXPECT_EQ(start[0].output_room, 0u);
  auto next = fake.ControlCalls(IOCTL_DEV_UPLOAD_NEXT);
  ASSERT_EQ(next.size(), 2u);
  EXPECT_EQ(next[0].input, Pattern(10000).substr(4096, 4096));
  EXPECT_EQ(next[1].input, Pattern(10000).substr(8192));
  EXPECT_EQ(g_progress, (std::vector<std::int32_t>{41, 81, 100}));

  g_progress.clear();
  fake.ClearCalls();
  ASSERT_EQ(DevUpload(*state, "ab", 0, 3, Record), 0);
  EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_START)[0].input, std::string("ab", 3));
  EXPECT_TRUE(fake.ControlCalls(IOCTL_DEV_UPLOAD_NEXT).empty());
  EXPECT_EQ(g_progress, std::vector<std::int32_t>{100});

  for (std::uint32_t code : {IOCTL_DEV_UPLOAD_START, IOCTL_DEV_UPLOAD_NEXT}) {
    FakeDriver local;
    StatePtr s = MakeState();
    s->free_memory = 1;
    local.FailWhen([code](const FakeCall& c) { return c.control_code == code; }, 31);
    EXPECT_EQ(DevUpload(*s, buffer.data(), 10000, 20, nullptr), -1);
    EXPECT_EQ(s->free_memory, 0) << "reset";
  }
}

TEST_F(ExchangeTest, PercentagesNeverOverflow) {
  EXPECT_EQ(Percent(4096, 10000), 40);
  EXPECT_EQ(Percent(21474836, 21474836), 100);
  EXPECT_EQ(Percent(INT32_MAX, INT32_MAX), 100);
  EXPECT_EQ(Percent(std::int64_t{INT32_MAX} - 4096, INT32_MAX), 99);
  EXPECT_EQ(Percent(std::int64_t{1} << 40, 1), INT32_MAX);
  EXPECT_EQ(Percent(-5000, 100), -5000);
}

TEST_F(ExchangeTest, CommandGoesInOneStartCall) {
  const std::string text(40, 'c');
  ASSERT_EQ(DevSendCommand(*state, "__WHATYOUWANT", text.data(), 40), 0);
  auto start = fake.ControlCalls(IOCTL_DEV_UPLOAD_START);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].input.size(), 54u);
  EXPECT_EQ(start[0].input, std::string("__WHATYOUWANT", 14) + text);
  EXPECT_TRUE(fake.ControlCalls(IOCTL_DEV_UPLOAD_NEXT).empty());

  fake.ClearCalls();
  fake.FailAllocation(fake.allocations() + 1);
  EXPECT_EQ(DevSendCommand(*state, "__WHATYOUWANT", text.data(), 40), -1);
  EXPECT_TRUE(fake.calls().empty()) << "no memory: the reader is not touched";
  EXPECT_EQ(fake.live_allocations(), 0u);
}

TEST_F(ExchangeTest, UploadFileReadsTheBookWholeBehindItsTarget) {
  const std::string book = dir.File("b.rb");
  WriteFile(book, Pattern(5000));
  ASSERT_EQ(DevUploadFile(*state, "\\book\\b.rb", book.c_str(), Record), 0);
  auto start = fake.ControlCalls(IOCTL_DEV_UPLOAD_START);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].input, std::string("\\book\\b.rb", 11) + Pattern(5000));
  EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_NEXT)[0].input, Pattern(5000).substr(4096));
  EXPECT_EQ(g_progress, (std::vector<std::int32_t>{81, 100}));
  EXPECT_EQ(fake.live_allocations(), 0u);
}

TEST_F(ExchangeTest, UploadFileRefusesBeforeTouchingTheReader) {
  const std::string empty = dir.File("empty.rb");
  WriteFile(empty, "");
  const std::string huge = dir.File("huge.rb");
  WriteFile(huge, "");
  const std::string book = dir.File("book.rb");
  WriteFile(book, Pattern(100));
  struct Case {
    const char* label;
    std::string path;
    std::uintmax_t resize;  // 0: as written
    std::function<bool(const FakeCall&)> fail;
    std::uint32_t error;    // 0: not checked
  } cases[] = {
      {"missing", dir.File("missing.rb"), 0, nullptr, 2},
      {"empty", empty, 0, nullptr, 0},
      {"2 GiB with the header", huge, std::uintmax_t{INT32_MAX} - 10, nullptr, 223},
      {"past 4 GiB", huge, (std::uintmax_t{1} << 32) + 5, nullptr, 223},
      {"read fails", book, 0, [](const FakeCall& c) { return c.op == "read_file"; }, 5},
      {"no memory", book, 0, nullptr, 8},
  };
  for (const Case& c : cases) {
    FakeDriver local;
    StatePtr s = MakeState();
    if (c.resize != 0) std::filesystem::resize_file(c.path, c.resize);
    if (c.fail) local.FailWhen(c.fail, 5);
    if (std::string(c.label) == "no memory") local.FailAllocation(1);
    EXPECT_EQ(DevUploadFile(*s, "\\book\\x.rb", c.path.c_str(), Record), -1) << c.label;
    EXPECT_TRUE(local.ControlCalls().empty()) << c.label;
    if (c.error != 0) {
      EXPECT_EQ(Os().get_last_error(), c.error) << c.label;
    }
    EXPECT_EQ(local.live_allocations(), 0u) << c.label;
  }
}

}  // namespace
}  // namespace pagora
