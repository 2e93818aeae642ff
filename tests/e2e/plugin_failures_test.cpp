// The reader going away or failing while the plugin works, driven by a host
// in the test process so that a test can strike in the middle of a transfer,
// from the progress callback, between two blocks.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/fs_api.h"
#include "testing/e2e/in_process_host.h"
#include "testing/e2e/reader_fixture.h"
#include "testing/e2e/reader_image.h"

namespace pagora_e2e {
namespace {

using Names = std::vector<std::string>;

const Names kDisconnected = {"Pagora Disconnected"};

class PluginFailures : public ReaderFixture {
 protected:
  void SetUp() override {
    ReaderFixture::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(host_.Load(ModuleUnderTest(), &error)) << error;
    ASSERT_EQ(host_.List(), DemoEntries());
  }

  // Makes the next progress report of a transfer under way send `line` to
  // the simulator: after it, at least one more block remains to be sent.
  void StrikeMidway(const std::string& line) {
    host_.on_progress = [this, line, done = false](int percent) mutable {
      if (!done && percent > 0 && percent < 50) {
        done = true;
        Control(line);
      }
      return 0;
    };
  }

  // The download of a title, checked byte for byte against the image.
  void ExpectDownloadWorks(const DemoTitle& title) {
    host_.on_progress = nullptr;
    const std::string local = Local("check.rb");
    ASSERT_EQ(host_.Get(title.entry, local, FS_COPYFLAGS_OVERWRITE), FS_FILE_OK) << title.entry;
    EXPECT_TRUE(ReadFile(local) == ReadFile(BookPath(image_, title.storage, title.file)));
  }

  InProcessHost host_;
};

const DemoTitle& kBig = kDemoTitles[1];  // 97213 bytes: 24 blocks on internal memory

TEST_F(PluginFailures, UnpluggedBeforeATransfer) {
  Control("unplug");
  EXPECT_EQ(host_.Get(kBig.entry, Local("a.rb")), FS_FILE_READERROR);
  EXPECT_EQ(host_.List(), kDisconnected);
  WriteFile(Local("Late.rb"), MakeBook(3000, 'l'));
  EXPECT_EQ(host_.Put(Local("Late.rb"), "Late.rb"), FS_FILE_READERROR);
  EXPECT_FALSE(host_.Delete(kBig.entry));
  Control("replug");
  EXPECT_EQ(host_.List(), DemoEntries());
  ExpectDownloadWorks(kBig);
}

TEST_F(PluginFailures, UnpluggedDuringADownload) {
  StrikeMidway("unplug");
  EXPECT_EQ(host_.Get(kBig.entry, Local("a.rb")), FS_FILE_READERROR);
  EXPECT_LT(host_.reports().back(), 100) << "the transfer stopped where the reader went";
  EXPECT_EQ(host_.List(), kDisconnected) << "the plugin reset and finds no reader";
  Control("replug");
  EXPECT_EQ(host_.List(), DemoEntries());
  ExpectDownloadWorks(kBig);
}

TEST_F(PluginFailures, UnpluggedDuringAnUpload) {
  const std::string book = MakeBook(100000, 'p');
  WriteFile(Local("Half Way.rb"), book);
  StrikeMidway("unplug");
  EXPECT_EQ(host_.Put(Local("Half Way.rb"), "Half Way.rb"), FS_FILE_READERROR);
  EXPECT_EQ(host_.List(), kDisconnected);
  Control("replug");
  EXPECT_EQ(host_.List(), DemoEntries()) << "a broken upload leaves no title";
  EXPECT_TRUE(BookPath(image_, "internal", "Half Way.rb").empty());
  host_.on_progress = nullptr;
  ASSERT_EQ(host_.Put(Local("Half Way.rb"), "Half Way.rb"), FS_FILE_OK);
  EXPECT_TRUE(ReadFile(BookPath(image_, "internal", "Half Way.rb")) == book);
}

TEST_F(PluginFailures, CancelStopsADownloadAndLeavesTheTargetAsItWas) {
  WriteFile(Local("a.rb"), "the user's own");
  host_.on_progress = [](int percent) { return percent > 0 ? 1 : 0; };
  EXPECT_EQ(host_.Get(kBig.entry, Local("a.rb"), FS_COPYFLAGS_OVERWRITE), FS_FILE_USERABORT);
  EXPECT_EQ(host_.reports().size(), 2u) << "the report of 0 and the first block's";
  EXPECT_EQ(ReadFile(Local("a.rb")), "the user's own");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work_),
                          std::filesystem::directory_iterator()),
            1) << "no temporary file is left";
  EXPECT_EQ(host_.List(), DemoEntries()) << "the reader is found again";
  ExpectDownloadWorks(kBig);
}

TEST_F(PluginFailures, AFailedCallAtEachStepIsReportedAndRecovered) {
  const std::string book = MakeBook(50000, 'f');
  WriteFile(Local("Fresh.rb"), book);

  // Listing: the first exchange (internal memory's tree) fails, so its
  // titles are listed but cannot be found for a download; the card's can.
  Control("fail 1");
  EXPECT_EQ(host_.List(), DemoEntries());
  EXPECT_EQ(host_.Get(kBig.entry, Local("a.rb")), FS_FILE_NOTFOUND);
  ExpectDownloadWorks(kDemoTitles[0]);
  EXPECT_EQ(host_.List(), DemoEntries());
  ExpectDownloadWorks(kBig);

  // Download, at its start and midway.
  Control("fail 1");
  EXPECT_EQ(host_.Get(kBig.entry, Local("a.rb"), FS_COPYFLAGS_OVERWRITE), FS_FILE_READERROR);
  EXPECT_EQ(host_.List(), DemoEntries());
  StrikeMidway("fail 1");
  EXPECT_EQ(host_.Get(kBig.entry, Local("a.rb"), FS_COPYFLAGS_OVERWRITE), FS_FILE_READERROR);
  EXPECT_EQ(host_.List(), DemoEntries());
  ExpectDownloadWorks(kBig);

  // Upload, at its start (the status query) and midway.
  Control("fail 1");
  EXPECT_EQ(host_.Put(Local("Fresh.rb"), "Fresh.rb"), FS_FILE_READERROR);
  StrikeMidway("fail 1");
  EXPECT_EQ(host_.Put(Local("Fresh.rb"), "Fresh.rb"), FS_FILE_READERROR);
  EXPECT_TRUE(BookPath(image_, "internal", "Fresh.rb").empty());
  host_.on_progress = nullptr;
  EXPECT_EQ(host_.Put(Local("Fresh.rb"), "Fresh.rb"), FS_FILE_OK);
  EXPECT_TRUE(ReadFile(BookPath(image_, "internal", "Fresh.rb")) == book);

  // Deletion: the connection test fails, nothing is erased; then it works.
  EXPECT_EQ(host_.List().size(), 6u);
  Control("fail 1");
  EXPECT_FALSE(host_.Delete(kBig.entry));
  EXPECT_FALSE(BookPath(image_, kBig.storage, kBig.file).empty());
  EXPECT_EQ(host_.List().size(), 6u);
  EXPECT_TRUE(host_.Delete(kBig.entry));
  EXPECT_TRUE(BookPath(image_, kBig.storage, kBig.file).empty());
}

TEST_F(PluginFailures, DriverErrorsMapToResults) {
  struct Case {
    const char* label;
    std::uint32_t error;
    int result;
  };
  const Case cases[] = {
      {"file not found", 2, FS_FILE_NOTFOUND},     {"path not found", 3, FS_FILE_NOTFOUND},
      {"access denied", 5, FS_FILE_NOTFOUND},      {"file exists", 80, FS_FILE_EXISTS},
      {"general failure", 31, FS_FILE_READERROR},  {"disk full", 112, FS_FILE_READERROR},
      {"not connected", 1167, FS_FILE_READERROR},
  };
  for (const Case& c : cases) {
    StrikeMidway("fail 1 " + std::to_string(c.error));
    EXPECT_EQ(host_.Get(kBig.entry, Local("a.rb"), FS_COPYFLAGS_OVERWRITE), c.result) << c.label;
    EXPECT_EQ(host_.List(), DemoEntries()) << c.label;
  }
}

}  // namespace
}  // namespace pagora_e2e
