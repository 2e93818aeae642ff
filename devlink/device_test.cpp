#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "state/reader_state.h"
#include "devlink/device.h"
#include "platform/platform.h"
#include "testing/fake_driver.h"
#include "testing/test_support.h"

namespace pagora {
namespace {

class DeviceTest : public ::testing::Test {
 protected:
  // Gives the state something a reset would clear.
  void Dirty() { state->free_memory = 99; }
  bool WasReset() const { return state->free_memory == 0; }
  FakeDriver fake;
  StatePtr state = MakeState();
};

TEST_F(DeviceTest, DiscoveryOpenAndProbeWithExactArguments) {
  EXPECT_EQ(DevOpen(*state), 0);
  EXPECT_TRUE(state->device_path_known);
  EXPECT_EQ(state->device, FakeDeviceHandle());
  EXPECT_EQ(std::string(state->device_path), fake.device_path);
  EXPECT_STREQ(state->probe_reply, "PAGORA");
  const auto& calls = fake.calls();
  ASSERT_EQ(calls.size(), 7u);
  const char* order[] = {"get_class_devs",       "enum_device_interfaces",
                         "get_interface_detail", "get_interface_detail",
                         "destroy_device_info_list", "create_file",
                         "device_io_control"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(calls[static_cast<std::size_t>(i)].op, order[i]) << i;
  EXPECT_EQ(calls[0].flags, 0x12u) << "DIGCF_PRESENT | DIGCF_DEVICEINTERFACE";
  EXPECT_EQ(calls[1].index, 0u) << "member index 0";
  EXPECT_EQ(calls[1].record_size, sizeof(InterfaceData)) << "cbSize of the interface record";
  EXPECT_EQ(calls[2].record_size, 0u) << "size query without a buffer";
  std::uint32_t cb = 0;
  std::memcpy(&cb, calls[3].input.data(), 4);
  EXPECT_EQ(cb, sizeof(void*) == 8 ? 8u : 5u) << "cbSize of the detail record";
  EXPECT_EQ(calls[5].input, fake.device_path);
  EXPECT_EQ(calls[5].access, 0xC0000000u) << "GENERIC_READ | GENERIC_WRITE";
  EXPECT_EQ(calls[5].disposition, 3u) << "OPEN_EXISTING";
  EXPECT_EQ(calls[6].control_code, IOCTL_DEV_PROBE);
  EXPECT_EQ(calls[6].input, "");
  EXPECT_EQ(calls[6].output_room, 50u);

  // Connected: one probe and nothing else.
  fake.ClearCalls();
  EXPECT_EQ(DevOpen(*state), 0);
  ASSERT_EQ(fake.calls().size(), 1u);
  EXPECT_EQ(fake.calls()[0].control_code, IOCTL_DEV_PROBE);
  EXPECT_EQ(fake.live_allocations(), 0u) << "the detail buffer is freed";
  EXPECT_EQ(fake.open_info_sets(), 0u);
}

TEST(DeviceTransitions, FollowTheFailureTable) {
  struct Case {
    const char* label;
    const char* failing_op;   // first call of this op fails
    bool absent;              // no interface present
    bool reset;               // the state is reset
    bool path_known_after;
  } cases[] = {
      {"no set", "get_class_devs", false, false, false},
      {"no interface", nullptr, true, false, false},
      {"detail fetch fails", "get_interface_detail#2", false, false, false},
      {"open fails", "create_file", false, true, false},
      {"probe fails", "device_io_control", false, true, false},
      {"all well", nullptr, false, false, true},
  };
  for (const Case& c : cases) {
    FakeDriver local;
    StatePtr s = MakeState();
    s->free_memory = 99;
    local.present = !c.absent;
    if (c.failing_op != nullptr) {
      std::string op = c.failing_op;
      int nth = 1;
      if (op.back() == '2') {
        op = op.substr(0, op.size() - 2);
        nth = 2;
      }
      auto seen = std::make_shared<int>(0);
      local.FailWhen([op, nth, seen](const FakeCall& call) {
        return call.op == op && ++*seen == nth;
      }, 31);
    }
    EXPECT_EQ(DevOpen(*s), c.path_known_after ? 0 : -1) << c.label;
    EXPECT_EQ(s->free_memory == 0, c.reset) << c.label;
    EXPECT_EQ(s->device_path_known, c.path_known_after) << c.label;
    EXPECT_EQ(s->device != InvalidOsHandle(), c.path_known_after) << c.label;
    EXPECT_EQ(local.open_info_sets(), 0u) << c.label << ": the set is always destroyed";
    EXPECT_EQ(local.open_device_handles(), c.path_known_after ? 1u : 0u) << c.label;
    EXPECT_EQ(local.live_allocations(), 0u) << c.label;
    if (c.failing_op != nullptr) {
      EXPECT_EQ(Os().get_last_error(), 31u) << c.label << ": the failing call's error";
    }
    Reset(*s);
  }
}

TEST_F(DeviceTest, UnplugWhileConnectedResetsAndReplugIsFoundAgain) {
  ASSERT_EQ(DevOpen(*state), 0);
  Dirty();
  fake.present = false;
  EXPECT_FALSE(DevIsConnected(*state));
  EXPECT_TRUE(WasReset());
  EXPECT_EQ(fake.open_device_handles(), 0u) << "a failed probe leaves no handle open";
  fake.present = true;
  fake.device_path = "\\\\?\\usb#other";
  fake.ClearCalls();
  EXPECT_TRUE(DevIsConnected(*state));
  EXPECT_EQ(fake.calls()[0].op, "get_class_devs") << "discovery runs again";
  EXPECT_STREQ(state->device_path, "\\\\?\\usb#other");
  EXPECT_NE(state->device, InvalidOsHandle()) << "DevIsConnected leaves the handle open";
}

TEST_F(DeviceTest, OpenFailureKeepsDevicePathText) {
  fake.FailWhen([](const FakeCall& c) { return c.op == "create_file"; }, 2);
  EXPECT_EQ(DevOpen(*state), -1);
  EXPECT_EQ(std::string(state->device_path), fake.device_path);
  EXPECT_FALSE(state->device_path_known);
}

TEST_F(DeviceTest, OverlongOrUnterminatedPathsAreNoReader) {
  fake.device_path = std::string(255, 'p');
  EXPECT_EQ(DevOpen(*state), 0) << "255 characters fit";
  Reset(*state);
  fake.device_path = std::string(256, 'p');
  EXPECT_EQ(DevOpen(*state), -1);
  EXPECT_FALSE(state->device_path_known);
  EXPECT_EQ(fake.CountOf("create_file"), 1u) << "only the fitting path was opened";
  EXPECT_EQ(fake.live_allocations(), 0u);
  EXPECT_EQ(fake.open_info_sets(), 0u);
}

TEST_F(DeviceTest, NoMemoryForTheDetailRecord) {
  fake.FailAllocation(fake.allocations() + 1);
  EXPECT_EQ(DevOpen(*state), -1);
  EXPECT_EQ(fake.open_info_sets(), 0u);
  EXPECT_EQ(fake.CountOf("create_file"), 0u);
}

TEST_F(DeviceTest, ReleaseClosesOnlyWhenForced) {
  ASSERT_EQ(DevOpen(*state), 0);
  EXPECT_EQ(DevRelease(*state, false), 0);
  EXPECT_EQ(state->device, FakeDeviceHandle());
  EXPECT_EQ(DevRelease(*state, true), 0);
  EXPECT_EQ(state->device, InvalidOsHandle());
  EXPECT_EQ(DevRelease(*state, true), 0);
  EXPECT_EQ(fake.CountOf("close_handle"), 1u);
}

}  // namespace
}  // namespace pagora
