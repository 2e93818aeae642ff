#include "bench/bench_driver.h"

#include <algorithm>
#include <cstring>

#include "devlink/device.h"
#include "devlink/exchange.h"

namespace pagora {
namespace {

constexpr std::uint64_t kBlock = 4096;
constexpr char kPath[] = "bench-reader";
char g_device_token;
char g_set_token;

struct PatternTable {
  char bytes[2 * kBlock];
  PatternTable() {
    for (std::size_t j = 0; j < sizeof bytes; ++j) {
      bytes[j] = static_cast<char>((j * 31 + j / 251) & 0xFF);
    }
  }
};

const char* PatternBytes() {
  static const PatternTable table;
  return table.bytes;
}

}  // namespace

char PatternByte(std::uint64_t offset) {
  return PatternBytes()[offset % kBlock + (offset / kBlock) % kBlock];
}

void FillPattern(char* out, std::uint64_t offset, std::size_t n) {
  while (n > 0) {
    const std::uint64_t within = offset % kBlock;
    const std::size_t run = static_cast<std::size_t>(std::min<std::uint64_t>(n, kBlock - within));
    std::memcpy(out, PatternBytes() + within + (offset / kBlock) % kBlock, run);
    out += run;
    offset += run;
    n -= run;
  }
}

BenchDriver* BenchDriver::current_ = nullptr;

const Platform& BenchDriver::Table() {
  static const Platform table = [] {
    Platform t = NativePlatform();
    t.get_class_devs = GetClassDevs;
    t.enum_device_interfaces = EnumDeviceInterfaces;
    t.get_interface_detail = GetInterfaceDetail;
    t.destroy_device_info_list = DestroyDeviceInfoList;
    t.create_file = CreateFile;
    t.device_io_control = DeviceIoControl;
    t.close_handle = CloseHandle;
    t.message_box = MessageBox;
    return t;
  }();
  return table;
}

BenchDriver::BenchDriver() {
  current_ = this;
  SetPlatform(&Table());
}

BenchDriver::~BenchDriver() {
  SetPlatform(nullptr);
  current_ = nullptr;
}

const char* BenchDriver::DevicePath() { return kPath; }
OsHandle BenchDriver::DeviceHandle() { return &g_device_token; }

void BenchDriver::Serve(const std::string& name, std::string bytes) {
  for (Reply& r : replies_) {
    if (r.name == name) {
      r.bytes = std::move(bytes);
      r.is_generated = false;
      return;
    }
  }
  replies_.push_back(Reply{name, std::move(bytes), 0, false});
}

void BenchDriver::ServeGenerated(const std::string& name, std::uint64_t size) {
  for (Reply& r : replies_) {
    if (r.name == name) {
      r.bytes.clear();
      r.generated = size;
      r.is_generated = true;
      return;
    }
  }
  replies_.push_back(Reply{name, std::string(), size, true});
}

OsHandle BenchDriver::GetClassDevs(const Guid*, std::uint32_t) { return &g_set_token; }

int BenchDriver::EnumDeviceInterfaces(OsHandle set, const Guid* cls, std::uint32_t index,
                                      InterfaceData* data) {
  if (set != &g_set_token || index != 0) {
    NativePlatform().set_last_error(kErrorNoMoreItems);
    return 0;
  }
  data->class_guid = *cls;
  return 1;
}

int BenchDriver::GetInterfaceDetail(OsHandle, InterfaceData*, void* detail, std::uint32_t size,
                                    std::uint32_t* required) {
  const auto needed = static_cast<std::uint32_t>(kDetailPathOffset + sizeof kPath);
  if (required != nullptr) *required = needed;
  if (detail == nullptr || size < needed) {
    NativePlatform().set_last_error(kErrorInsufficientBuffer);
    return 0;
  }
  std::memcpy(static_cast<char*>(detail) + kDetailPathOffset, kPath, sizeof kPath);
  return 1;
}

int BenchDriver::DestroyDeviceInfoList(OsHandle) { return 1; }

OsHandle BenchDriver::CreateFile(const char* path, std::uint32_t access, std::uint32_t share,
                                 std::uint32_t disposition, std::uint32_t attributes) {
  if (std::strcmp(path, kPath) == 0) {
    current_->pending_ = nullptr;
    return DeviceHandle();
  }
  return NativePlatform().create_file(path, access, share, disposition, attributes);
}

void BenchDriver::Start(const char* name) {
  pending_ = nullptr;
  offset_ = 0;
  for (const Reply& r : replies_) {
    if (r.name == name) {
      pending_ = &r;
      return;
    }
  }
}

void BenchDriver::Answer(void* out, std::uint32_t room, std::uint32_t* returned) {
  *returned = 0;
  if (pending_ == nullptr) return;
  const std::uint64_t size = pending_->is_generated ? pending_->generated : pending_->bytes.size();
  const std::uint64_t left = size - offset_;
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>({left, room, kBlock}));
  if (pending_->is_generated) {
    FillPattern(static_cast<char*>(out), offset_, n);
  } else {
    std::memcpy(out, pending_->bytes.data() + offset_, n);
  }
  offset_ += n;
  *returned = static_cast<std::uint32_t>(n);
}

int BenchDriver::DeviceIoControl(OsHandle handle, std::uint32_t code, const void* in,
                                 std::uint32_t in_len, void* out, std::uint32_t out_len,
                                 std::uint32_t* returned) {
  *returned = 0;
  if (handle != DeviceHandle()) {
    NativePlatform().set_last_error(kErrorDeviceNotConnected);
    return 0;
  }
  switch (code) {
    case IOCTL_DEV_PROBE: {
      static const char kProbe[] = "PAGORA";
      const std::uint32_t n = std::min<std::uint32_t>(sizeof kProbe, out_len);
      std::memcpy(out, kProbe, n);
      *returned = n;
      return 1;
    }
    case IOCTL_DEV_QUERY_START:
      // The request name is NUL-terminated inside its input length.
      if (in == nullptr || in_len == 0 || static_cast<const char*>(in)[in_len - 1] != '\0') {
        current_->pending_ = nullptr;
      } else {
        current_->Start(static_cast<const char*>(in));
      }
      current_->Answer(out, out_len, returned);
      return 1;
    case IOCTL_DEV_QUERY_NEXT:
      current_->Answer(out, out_len, returned);
      return 1;
    case IOCTL_DEV_UPLOAD_START:
    case IOCTL_DEV_UPLOAD_NEXT:
      current_->upload_bytes_ += in_len;
      ++current_->upload_calls_;
      return 1;
    default:
      NativePlatform().set_last_error(1);  // ERROR_INVALID_FUNCTION
      return 0;
  }
}

int BenchDriver::CloseHandle(OsHandle handle) {
  if (handle == DeviceHandle()) return 1;
  return NativePlatform().close_handle(handle);
}

int BenchDriver::MessageBox(const char*, const char*, std::uint32_t) { return 1; }

}  // namespace pagora
