#include "testing/fake_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "state/reader_state.h"
#include "devlink/exchange.h"
#include "testing/reply_pattern.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

std::string Generated(std::uint64_t offset, std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = PatternByte(offset + i);
  return s;
}

std::string Served(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
  return s;
}

TEST(FakeDriver, QueriesGetTheServedBytes) {
  struct Case {
    const char* label;
    std::size_t size;
    bool generated;
    std::int32_t limit;
    std::size_t expected;
  } cases[] = {
      {"short", 10000, false, kReplyLimit, 10000},
      {"whole blocks", 8192, false, kReplyLimit, 8192},
      {"cut at the limit", 70000, false, kReplyLimit, 65536},
      {"generated", 10000, true, kReplyLimit, 10000},
      {"generated, limit inside a block", 20000, true, 5000, 5000},
  };
  for (const Case& c : cases) {
    FakeDriver driver;
    const std::string bytes = c.generated ? Generated(0, c.size) : Served(c.size);
    if (c.generated) {
      driver.SetGeneratedReply("__X", c.size);
    } else {
      driver.SetReply("__X", bytes);
    }
    StatePtr state = MakeState();
    std::int32_t length = c.limit;
    ASSERT_EQ(DevQuery(*state, "__X", state->reply, &length), 0) << c.label;
    ASSERT_EQ(static_cast<std::size_t>(length), c.expected) << c.label;
    EXPECT_EQ(std::string(state->reply, c.expected), bytes.substr(0, c.expected)) << c.label;
  }
}

TEST(FakeDriver, UnknownNamesAndLaterServesAnswerAsExpected) {
  FakeDriver driver;
  StatePtr state = MakeState();
  std::int32_t length = kReplyLimit;
  EXPECT_EQ(DevQuery(*state, "__NONE", state->reply, &length), -1) << "empty first block";
  driver.SetReply("__X", "first");
  driver.SetReply("__X", "second");  // replaces, does not add
  ASSERT_EQ(DevQuery(*state, "__X", state->reply, &length), 0);
  EXPECT_EQ(std::string(state->reply, static_cast<std::size_t>(length)), "second");
}

TEST(FakeDriver, GeneratedBlocksDifferAndFillMatchesByteByByte) {
  const std::string first = Generated(0, 4096);
  EXPECT_NE(first, Generated(4096, 4096)) << "consecutive blocks";
  EXPECT_NE(first, Generated(4096 * 255, 4096)) << "distant blocks";
  const struct {
    const char* label;
    std::uint64_t offset;
    std::size_t n;
  } cases[] = {{"one block", 0, 4096}, {"across blocks", 4000, 9000}, {"far", 1ull << 32, 5000}};
  for (const auto& c : cases) {
    std::string filled(c.n, '\0');
    FillPattern(&filled[0], c.offset, c.n);
    EXPECT_EQ(filled, Generated(c.offset, c.n)) << c.label;
  }
}

TEST(FakeDriver, UploadsAreCountedAndTheNativeTableComesBack) {
  {
    FakeDriver driver;
    StatePtr state = MakeState();
    std::string buffer(20 + 10000, 'u');
    ASSERT_EQ(DevUpload(*state, buffer.data(), 10000, 20, nullptr), 0);
    EXPECT_EQ(driver.upload_bytes(), 10020u + 4096u + 1808u);
    EXPECT_EQ(driver.upload_calls(), 3u);
    driver.ClearUploads();
    EXPECT_EQ(driver.upload_bytes(), 0u);
    EXPECT_NE(&Os(), &NativePlatform());
  }
  EXPECT_EQ(&Os(), &NativePlatform());
}

TEST(FakeDriver, FilesInMemoryFollowTheDispositionsAndNeverReachTheDisk) {
  FakeDriver driver;
  driver.files_in_memory = true;
  driver.memory_files["old"] = "abc";
  const Platform& os = Os();
  struct Case {
    const char* label;
    const char* path;
    std::uint32_t disposition;
    std::uint32_t error;  // 0: the file opens
  } cases[] = {
      {"new name, create new", "part", kCreateNew, 0},
      {"existing name, create new", "old", kCreateNew, kErrorFileExists},
      {"missing name, open existing", "none", kOpenExisting, kErrorFileNotFound},
  };
  for (const Case& c : cases) {
    OsHandle file = os.create_file(c.path, kGenericWrite, 0, c.disposition, 0);
    EXPECT_EQ(file == InvalidOsHandle(), c.error != 0) << c.label;
    if (c.error != 0) {
      EXPECT_EQ(os.get_last_error(), c.error) << c.label;
    } else {
      EXPECT_EQ(os.close_handle(file), 1) << c.label;
    }
  }
  OsHandle file = os.create_file("part", kGenericWrite, 0, kCreateAlways, 0);
  std::uint32_t n = 0;
  ASSERT_EQ(os.write_file(file, "hello", 5, &n), 1);
  os.close_handle(file);
  ASSERT_EQ(os.move_file("part", "old", kMoveFileReplaceExisting), 1);
  file = os.create_file("part", kGenericWrite, 0, kCreateAlways, 0);
  os.close_handle(file);
  EXPECT_EQ(os.move_file("part", "old", 0), 0) << "no replace without the flag";
  EXPECT_EQ(os.get_last_error(), kErrorAlreadyExists);
  EXPECT_EQ(os.get_file_attributes("part"), kFileAttributeNormal);
  EXPECT_EQ(os.delete_file("part"), 1);
  EXPECT_EQ(os.get_file_attributes("part"), kInvalidFileAttributes);
  EXPECT_EQ(driver.memory_files, (std::map<std::string, std::string>{{"old", "hello"}}));
  file = os.create_file("old", kGenericRead, 0, kOpenExisting, 0);
  std::uint32_t high = 7;
  EXPECT_EQ(os.get_file_size(file, &high), 5u);
  EXPECT_EQ(high, 0u);
  char buffer[8] = {};
  ASSERT_EQ(os.read_file(file, buffer, sizeof buffer, &n), 1);
  EXPECT_EQ(std::string(buffer, n), "hello");
  os.close_handle(file);
  EXPECT_EQ(os.delete_file("old"), 1);
  EXPECT_EQ(os.delete_file("old"), 0) << "deleted once";
  EXPECT_TRUE(driver.memory_files.empty());
  EXPECT_FALSE(std::filesystem::exists("old")) << "nothing on the disk";
}

TEST(FakeDriver, ScriptedFatesAndAnswersReplaceTheRepliesAndNothingIsKeptWhenQuiet) {
  FakeDriver driver;
  driver.record_calls = false;
  driver.SetReply("__X", "from the reply");
  std::vector<std::string_view> seen;
  driver.FailBy([&](const FakeCall& call) {
    seen.push_back(call.op);
    return 0u;
  });
  // Fills the room and claims one byte more.
  driver.AnswerBy([](char* out, std::uint32_t room) {
    std::memset(out, 's', room);
    return room + 1;
  });
  StatePtr state = MakeState();
  std::int32_t length = 100;
  ASSERT_EQ(DevQuery(*state, "__X", state->reply, &length), 0);
  EXPECT_EQ(std::string(state->reply, static_cast<std::size_t>(length)), std::string(100, 's'));
  EXPECT_EQ(seen.back(), "device_io_control");
  EXPECT_TRUE(driver.calls().empty()) << "quiet";

  driver.ClearFailures();
  driver.FailBy([](const FakeCall& call) {
    return call.op == "device_io_control" ? kErrorGenFailure : 0u;
  });
  length = 100;
  EXPECT_EQ(DevQuery(*state, "__X", state->reply, &length), -1);
  EXPECT_EQ(Os().get_last_error(), kErrorGenFailure);
}

}  // namespace
}  // namespace pagora
