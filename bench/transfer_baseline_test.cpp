#include "bench/transfer_baseline.h"

#include <gtest/gtest.h>

#include "testing/fake_driver.h"
#include "bench/local_files.h"
#include "state/reader_state.h"
#include "devlink/exchange.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

// The baseline is only a fair measure when it moves what the plugin moves.
TEST(TransferBaseline, DownloadWritesWhatThePluginWrites) {
  for (std::uint64_t size : {1ull, 4096ull, 8192ull, 10000ull, 1ull << 20}) {
    FakeDriver driver;
    driver.SetGeneratedReply("\\book\\b.rb", size);
    TempDir dir;
    StatePtr state = MakeState();
    const std::string plugin_file = dir.File("plugin.rb");
    const std::string baseline_file = dir.File("baseline.rb");
    ASSERT_EQ(DevDownload(*state, "\\book\\b.rb", plugin_file.c_str(), 0, nullptr, true), 0) << size;
    EXPECT_EQ(BaselineDownload(FakeDeviceHandle(), "\\book\\b.rb", baseline_file.c_str()),
              static_cast<long long>(size))
        << size;
    EXPECT_TRUE(HoldsPattern(baseline_file, size)) << size;
    EXPECT_EQ(ReadFile(baseline_file), ReadFile(plugin_file)) << size;
  }
}

TEST(TransferBaseline, UploadSendsWhatThePluginSends) {
  for (std::uint64_t size : {1ull, 4096ull, 10000ull, 1ull << 20}) {
    FakeDriver driver;
    TempDir dir;
    const std::string source = dir.File("up.rb");
    ASSERT_TRUE(WritePatternFile(source, size));
    StatePtr state = MakeState();
    ASSERT_EQ(DevUploadFile(*state, "\\book\\up.rb", source.c_str(), nullptr), 0) << size;
    const std::uint64_t plugin_bytes = driver.upload_bytes();
    const std::size_t plugin_calls = driver.upload_calls();
    driver.ClearUploads();
    EXPECT_EQ(BaselineUpload(FakeDeviceHandle(), "\\book\\up.rb", source.c_str()),
              static_cast<long long>(size))
        << size;
    EXPECT_EQ(driver.upload_bytes(), plugin_bytes) << size;
    EXPECT_EQ(driver.upload_calls(), plugin_calls) << size;
  }
}

TEST(TransferBaseline, FailuresGiveMinusOne) {
  FakeDriver driver;
  TempDir dir;
  EXPECT_EQ(BaselineUpload(FakeDeviceHandle(), "\\book\\x.rb", dir.File("none").c_str()),
            -1)
      << "missing source";
  driver.SetGeneratedReply("\\book\\b.rb", 100);
  EXPECT_EQ(BaselineDownload(FakeDeviceHandle(), "\\book\\b.rb",
                             dir.File("no-such-dir/x.rb").c_str()),
            -1)
      << "target cannot be created";
  EXPECT_EQ(BaselineDownload(nullptr, "\\book\\b.rb", dir.File("x.rb").c_str()), -1)
      << "no device";
}

}  // namespace
}  // namespace pagora
