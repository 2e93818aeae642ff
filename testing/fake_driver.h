// An in-process reader driver for the tests. It installs itself as the
// platform table, answers the control codes from scripted replies, records
// every call, and can make any chosen call or allocation fail. Local file
// calls go to the build's real platform, so file behaviour is the system's
// own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace pagora {

// One recorded platform call. Each field holds one thing; fields a call
// does not have stay 0 or empty.
struct FakeCall {
  FakeCall(std::string op_name, std::string input_bytes = "")  // NOLINT: {"op", input} reads best
      : op(std::move(op_name)), input(std::move(input_bytes)) {}

  std::string op;                  // "get_class_devs", "create_file", "device_io_control", ...
  std::string input;               // control input bytes, written bytes, or a file call's path
  std::uint32_t control_code = 0;  // device_io_control
  std::uint32_t output_room = 0;   // device_io_control: the room given for output
  std::uint32_t flags = 0;         // get_class_devs
  std::uint32_t index = 0;         // enum_device_interfaces: the member index
  std::uint32_t record_size = 0;   // enum_device_interfaces: cbSize; get_interface_detail: size
  std::uint32_t disposition = 0;   // create_file
  std::uint32_t access = 0;        // create_file
  std::uint32_t length = 0;        // read_file, write_file: the bytes asked for
  std::uint32_t box_type = 0;      // message_box
  bool failed = false;             // the fake made this call fail
};

class FakeDriver {
 public:
  FakeDriver();
  ~FakeDriver();
  FakeDriver(const FakeDriver&) = delete;
  FakeDriver& operator=(const FakeDriver&) = delete;

  // The reader as discovery sees it.
  bool present = true;
  std::string device_path = "\\\\?\\usb#vid_0000&pid_0000#reader#{3bb1df43}";
  // Local writes succeed but write one byte less than asked.
  bool short_writes = false;

  // The reply to a request name, served in blocks of min(room, 4096).
  void SetReply(const std::string& name, const std::string& bytes);
  // The reply as explicit blocks: each call answers the next block whatever
  // the room (the bytes written are cut to the room, the count is not).
  void SetBlocks(const std::string& name, const std::vector<std::string>& blocks);

  // Makes the `index`-th platform call (1-based, counted over every
  // operation but the last-error and memory ones) fail with `error`.
  void FailCall(std::size_t index, std::uint32_t error);
  // Makes every call that `match` accepts fail with `error`.
  void FailWhen(std::function<bool(const FakeCall&)> match, std::uint32_t error);
  // Makes the `index`-th allocation (1-based) give no memory.
  void FailAllocation(std::size_t index);
  // Drops every failure still waiting to happen.
  void ClearFailures();

  const std::vector<FakeCall>& calls() const { return calls_; }
  std::vector<FakeCall> ControlCalls() const;           // device_io_control only
  std::vector<FakeCall> ControlCalls(std::uint32_t code) const;
  std::size_t CountOf(const std::string& op) const;
  void ClearCalls() { calls_.clear(); }

  std::size_t platform_calls() const { return call_count_; }
  std::size_t allocations() const { return allocation_count_; }
  std::size_t live_allocations() const { return live_.size(); }
  std::size_t open_device_handles() const { return open_devices_; }
  std::size_t open_info_sets() const { return open_sets_; }

  // What the message box showed: caption and text of each call.
  std::vector<std::pair<std::string, std::string>> messages;

 private:
  struct Reply {
    std::vector<std::string> blocks;  // explicit blocks; empty when `bytes` is used
    std::string bytes;
    bool explicit_blocks = false;
  };

  static FakeDriver* current_;
  static const Platform kTable;

  bool Fails(FakeCall& call);
  std::uint32_t Record(FakeCall call);  // 0 when it proceeds, else the error

  static OsHandle GetClassDevs(const Guid*, std::uint32_t);
  static int EnumDeviceInterfaces(OsHandle, const Guid*, std::uint32_t, InterfaceData*);
  static int GetInterfaceDetail(OsHandle, InterfaceData*, void*, std::uint32_t, std::uint32_t*);
  static int DestroyDeviceInfoList(OsHandle);
  static OsHandle CreateFile(const char*, std::uint32_t, std::uint32_t, std::uint32_t,
                             std::uint32_t);
  static int DeviceIoControl(OsHandle, std::uint32_t, const void*, std::uint32_t, void*,
                             std::uint32_t, std::uint32_t*);
  static int CloseHandle(OsHandle);
  static int ReadFile(OsHandle, void*, std::uint32_t, std::uint32_t*);
  static int WriteFile(OsHandle, const void*, std::uint32_t, std::uint32_t*);
  static std::uint32_t GetFileSize(OsHandle, std::uint32_t*);
  static int DeleteFile(const char*);
  static int ReplaceFile(const char*, const char*);
  static std::uint32_t GetLastError();
  static void SetLastError(std::uint32_t);
  static int MessageBox(const char*, const char*, std::uint32_t);
  static void* Allocate(std::size_t);
  static void Release(void*);

  int Answer(void* out, std::uint32_t room, std::uint32_t* returned);

  std::map<std::string, Reply> replies_;
  const Reply* pending_ = nullptr;  // the reply being served
  std::size_t pending_offset_ = 0;  // bytes or blocks served so far

  std::vector<FakeCall> calls_;
  std::size_t call_count_ = 0;
  std::map<std::size_t, std::uint32_t> fail_at_;
  std::vector<std::pair<std::function<bool(const FakeCall&)>, std::uint32_t>> fail_when_;
  std::size_t allocation_count_ = 0;
  std::set<std::size_t> fail_allocation_at_;
  std::set<void*> live_;
  std::size_t open_devices_ = 0;
  std::size_t open_sets_ = 0;
};

// The handle the fake gives for the device and for a device information set.
OsHandle FakeDeviceHandle();
OsHandle FakeInfoSetHandle();

}  // namespace pagora
