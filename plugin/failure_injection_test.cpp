// Every platform call and every allocation of a listing, a download, an
// upload and a deletion is made to fail in turn, until an operation runs
// with nothing left to fail. After each run the module must hold nothing
// it should not, the link must be closed or open as a reset leaves it, and
// the local files must be as the user left them unless the download
// succeeded.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "devlink/device.h"
#include "devlink/exchange.h"
#include "plugin/file_ops.h"
#include "testing/plugin_fixture.h"

namespace pagora {
namespace {

constexpr std::uint32_t kInjected = 80;  // maps to FS_FILE_EXISTS: easy to tell apart

struct Operation {
  const char* label;
  // Runs the operation; gives its result code (BOOL or handle test for the
  // listing) so the sweep can tell a clean run.
  std::function<int(PluginTest&, TempDir&)> run;
  int clean_result;
};

class FailureInjection : public PluginTest {
 protected:
  void Prepare() {
    fake.ClearFailures();
    Reset(Reader());
    LoadExampleReader(fake);
    fake.SetReply("\\book\\The Sea Road.rb", Pattern(9000));
    fake.SetReply("__STATUS", "FLASHFREE=\"100000\"\nOFLASHID01=\"C\" \"16\"\n");
    WriteFile(dir.File("local.rb"), "the user's own file");
    WriteFile(dir.File("upload.rb"), Pattern(6000));
  }

  static int Listing(PluginTest& t, TempDir&) {
    std::string root = Remote("");
    WIN32_FIND_DATAA fd{};
    HANDLE h = FsFindFirst(&root[0], &fd);
    int n = 0;
    if (h != InvalidHandleValue() && h != reinterpret_cast<HANDLE>(1)) {
      for (n = 1; FsFindNext(h, &fd); ++n) {
      }
    }
    (void)t;
    return n;
  }
  static int Download(PluginTest&, TempDir& d) {
    std::string remote = Remote("A Sea Road [Ann Wren].rb");
    std::string local = d.File("local.rb");
    return FsGetFile(&remote[0], &local[0], FS_COPYFLAGS_OVERWRITE, nullptr);
  }
  static int Upload(PluginTest&, TempDir& d) {
    std::string local = d.File("upload.rb");
    std::string remote = Remote("upload.rb");
    return FsPutFile(&local[0], &remote[0], 0);
  }
  static int Delete(PluginTest&, TempDir&) {
    std::string remote = Remote("Atlas [].rb");
    return FsDeleteFile(&remote[0]);
  }

  // What must hold after any run, failed or not.
  void CheckAfter(const char* label, std::size_t k, int result, bool download) {
    const ReaderState& state = Reader();
    EXPECT_EQ(fake.open_device_handles(), state.device != InvalidOsHandle() ? 1u : 0u)
        << label << " k=" << k;
    if (!state.device_path_known) {
      EXPECT_EQ(state.device, InvalidOsHandle()) << label << " k=" << k;
    }
    EXPECT_EQ(fake.open_info_sets(), 0u) << label << " k=" << k;
    const auto names = dir.Names();
    EXPECT_EQ(names, (std::vector<std::string>{"local.rb", "upload.rb"}))
        << label << " k=" << k << ": no temporary or stray file";
    if (download) {
      EXPECT_EQ(ReadFile(dir.File("local.rb")),
                result == FS_FILE_OK ? Pattern(9000) : "the user's own file")
          << label << " k=" << k;
    } else {
      EXPECT_EQ(ReadFile(dir.File("local.rb")), "the user's own file") << label << " k=" << k;
    }
    EXPECT_EQ(ReadFile(dir.File("upload.rb")), Pattern(6000)) << label << " k=" << k;
    Reset(Reader());
    EXPECT_EQ(fake.live_allocations(), 0u) << label << " k=" << k << ": nothing leaks";
  }

  static std::vector<Operation> Operations() {
    return {{"listing", Listing, 3},
            {"download", Download, FS_FILE_OK},
            {"upload", Upload, FS_FILE_OK},
            {"delete", Delete, kTrue}};
  }

  // The failed call of the last run, if any.
  const FakeCall* Failed() const {
    for (const FakeCall& c : fake.calls()) {
      if (c.failed) return &c;
    }
    return nullptr;
  }
};

TEST_F(FailureInjection, EveryPlatformCallFailsInTurn) {
  for (const Operation& op : Operations()) {
    std::size_t injected = 0;
    for (std::size_t k = 1;; ++k) {
      Prepare();
      if (std::string(op.label) != "listing") Listing(*this, dir);
      const std::size_t before = fake.platform_calls();
      fake.ClearCalls();
      fake.FailCall(before + k, kInjected);
      const int result = op.run(*this, dir);
      const FakeCall* failed = Failed();
      if (failed == nullptr) {
        EXPECT_EQ(result, op.clean_result) << op.label << ": nothing left to fail";
        CheckAfter(op.label, k, result, std::string(op.label) == "download");
        break;
      }
      ++injected;
      // A failing control call or device open resets the catalog.
      const bool link_failure = failed->op == "device_io_control" ||
                                (failed->op == "create_file" && failed->disposition == kOpenExisting &&
                                 failed->input == fake.device_path);
      if (link_failure) {
        // The reset closes the link and forgets the path: the next touch
        // of the reader, if any, starts with discovery.
        const auto& calls = fake.calls();
        auto at = std::find_if(calls.begin(), calls.end(), [](const FakeCall& c) { return c.failed; });
        auto next = std::find_if(at + 1, calls.end(), [&](const FakeCall& c) {
          return c.op == "device_io_control" || c.op == "get_class_devs" ||
                 (c.op == "create_file" && c.input == fake.device_path);
        });
        if (next != calls.end()) {
          EXPECT_EQ(next->op, "get_class_devs") << op.label << " k=" << k;
        } else {
          EXPECT_FALSE(Reader().device_path_known) << op.label << " k=" << k;
          EXPECT_EQ(Reader().title_list.head, nullptr) << op.label << " k=" << k;
        }
      }
      const std::string label = op.label;
      if (label == "download" || label == "upload") {
        // A failed transfer maps the failing call's error; other failures
        // (the local file unreadable, cleanup calls) end as specified.
        EXPECT_TRUE(result == FS_FILE_EXISTS || result == FS_FILE_OK ||
                    result == FS_FILE_NOTSUPPORTED)
            << label << " k=" << k << " failed " << failed->op << " result " << result;
        if (failed->op == "device_io_control") {
          EXPECT_EQ(result, FS_FILE_EXISTS) << label << " k=" << k;
        }
      }
      if (label == "delete" && failed->op == "device_io_control" &&
          failed->control_code == IOCTL_DEV_UPLOAD_START) {
        EXPECT_EQ(result, kFalse) << "a failed erase is reported";
      }
      CheckAfter(op.label, k, result, label == "download");
    }
    EXPECT_GT(injected, 0u) << op.label;
    RecordProperty(std::string(op.label) + "_injected_calls", static_cast<int>(injected));
    std::printf("%-8s %zu platform calls failed in turn\n", op.label, injected);
  }
}

TEST_F(FailureInjection, EveryAllocationFailsInTurn) {
  for (const Operation& op : Operations()) {
    std::size_t injected = 0;
    for (std::size_t k = 1;; ++k) {
      Prepare();
      if (std::string(op.label) != "listing") Listing(*this, dir);
      const std::size_t before = fake.allocations();
      fake.FailAllocation(before + k);
      const int result = op.run(*this, dir);
      const std::string label = op.label;
      if (fake.allocations() < before + k) {
        EXPECT_EQ(result, op.clean_result) << label << ": nothing left to fail";
        CheckAfter(op.label, k, result, label == "download");
        break;
      }
      ++injected;
      if (label == "download" || label == "upload") {
        EXPECT_TRUE(result == FS_FILE_OK || result == FS_FILE_READERROR ||
                    result == FS_FILE_WRITEERROR)
            << label << " k=" << k << " result " << result;
      }
      CheckAfter(op.label, k, result, label == "download");
    }
    EXPECT_GT(injected, 0u) << op.label;
    std::printf("%-8s %zu allocations failed in turn\n", op.label, injected);
  }
}

}  // namespace
}  // namespace pagora
