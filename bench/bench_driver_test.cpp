#include "bench/bench_driver.h"

#include <gtest/gtest.h>

#include <string>

#include "state/reader_state.h"
#include "devlink/exchange.h"
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

TEST(BenchDriver, QueriesGetTheServedBytes) {
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
    BenchDriver driver;
    const std::string bytes = c.generated ? Generated(0, c.size) : Served(c.size);
    if (c.generated) {
      driver.ServeGenerated("__X", c.size);
    } else {
      driver.Serve("__X", bytes);
    }
    StatePtr state = MakeState();
    std::int32_t length = c.limit;
    ASSERT_EQ(DevQuery(*state, "__X", state->reply, &length), 0) << c.label;
    ASSERT_EQ(static_cast<std::size_t>(length), c.expected) << c.label;
    EXPECT_EQ(std::string(state->reply, c.expected), bytes.substr(0, c.expected)) << c.label;
  }
}

TEST(BenchDriver, UnknownNamesAndLaterServesAnswerAsExpected) {
  BenchDriver driver;
  StatePtr state = MakeState();
  std::int32_t length = kReplyLimit;
  EXPECT_EQ(DevQuery(*state, "__NONE", state->reply, &length), -1) << "empty first block";
  driver.Serve("__X", "first");
  driver.Serve("__X", "second");  // replaces, does not add
  ASSERT_EQ(DevQuery(*state, "__X", state->reply, &length), 0);
  EXPECT_EQ(std::string(state->reply, static_cast<std::size_t>(length)), "second");
}

TEST(BenchDriver, GeneratedBlocksDifferAndFillMatchesByteByByte) {
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

TEST(BenchDriver, UploadsAreCountedAndTheNativeTableComesBack) {
  {
    BenchDriver driver;
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

}  // namespace
}  // namespace pagora
