#include "fuzz/fuzz_driver.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/platform.h"

namespace pagora {
namespace {

constexpr std::uint32_t kQueryStart = 0x222018;
constexpr std::uint32_t kQueryNext = 0x22201C;

struct Input {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
} g_in;

bool g_scripted = false;
std::map<std::string, std::string> g_replies;
const std::string* g_pending = nullptr;
std::size_t g_offset = 0;
std::map<std::string, std::string> g_files;
thread_local std::uint32_t g_error = 0;

char g_device;
char g_set;
const char kDevicePath[] = "\\\\?\\fuzz#reader";

struct MemFile {
  std::string name;
  std::size_t pos;
};

std::uint8_t Next() { return g_in.pos < g_in.size ? g_in.data[g_in.pos++] : 0xFF; }

// The fate of one call in script mode: false when it is to fail.
bool Proceeds() {
  if (!g_scripted) return true;
  const std::uint8_t b = Next();
  if (b >= 16) return true;
  static const std::uint32_t kErrors[16] = {31, 2, 3, 4, 5, 80, 1167, 259, 21, 112, 23, 87, 6, 1, 0, 122};
  g_error = kErrors[b] != 0 ? kErrors[b] : 31;
  return false;
}

OsHandle GetClassDevs(const Guid*, std::uint32_t) {
  return Proceeds() ? static_cast<OsHandle>(&g_set) : InvalidOsHandle();
}
int EnumDeviceInterfaces(OsHandle, const Guid*, std::uint32_t, InterfaceData*) { return Proceeds(); }
int GetInterfaceDetail(OsHandle, InterfaceData*, void* detail, std::uint32_t size, std::uint32_t* required) {
  if (!Proceeds()) return 0;
  const auto needed = static_cast<std::uint32_t>(kDetailPathOffset + sizeof kDevicePath);
  if (required != nullptr) *required = needed;
  if (detail == nullptr || size < needed) {
    g_error = kErrorInsufficientBuffer;
    return 0;
  }
  std::memcpy(static_cast<char*>(detail) + kDetailPathOffset, kDevicePath, sizeof kDevicePath);
  return 1;
}
int DestroyDeviceInfoList(OsHandle) { return 1; }

OsHandle CreateFile(const char* path, std::uint32_t access, std::uint32_t, std::uint32_t disposition,
                    std::uint32_t) {
  if (!Proceeds()) return InvalidOsHandle();
  if (std::strcmp(path, kDevicePath) == 0) {
    g_pending = nullptr;
    return &g_device;
  }
  auto it = g_files.find(path);
  if (disposition == 2) {
    g_files[path].clear();
  } else if (it == g_files.end()) {
    g_error = 2;
    return InvalidOsHandle();
  }
  (void)access;
  return new MemFile{path, 0};
}

int Answer(void* out, std::uint32_t room, std::uint32_t* returned) {
  if (g_scripted) {
    std::size_t length = Next();
    length = (length << 8 | Next()) % 8200;
    if (g_in.pos >= g_in.size) length = 0;
    const std::size_t available = std::min(length, g_in.size - g_in.pos);
    std::memcpy(out, g_in.data + g_in.pos, std::min<std::size_t>(available, room));
    g_in.pos += available;
    *returned = static_cast<std::uint32_t>(length);  // may claim more than the room
    return 1;
  }
  if (g_pending == nullptr) return 1;
  const std::size_t n = std::min({g_pending->size() - g_offset, std::size_t{room}, std::size_t{4096}});
  std::memcpy(out, g_pending->data() + g_offset, n);
  g_offset += n;
  *returned = static_cast<std::uint32_t>(n);
  return 1;
}

int DeviceIoControl(OsHandle, std::uint32_t code, const void* in, std::uint32_t, void* out,
                    std::uint32_t room, std::uint32_t* returned) {
  *returned = 0;
  if (!Proceeds()) return 0;
  if (code == kQueryStart) {
    auto it = g_replies.find(static_cast<const char*>(in));
    g_pending = it != g_replies.end() ? &it->second : nullptr;
    g_offset = 0;
    return Answer(out, room, returned);
  }
  if (code == kQueryNext) return Answer(out, room, returned);
  if (g_scripted && out != nullptr) return Answer(out, room, returned);
  return 1;
}

int CloseHandle(OsHandle h) {
  if (h != &g_device) delete static_cast<MemFile*>(h);
  return Proceeds();
}

int ReadFile(OsHandle h, void* buf, std::uint32_t len, std::uint32_t* read) {
  *read = 0;
  if (!Proceeds()) return 0;
  auto* f = static_cast<MemFile*>(h);
  const std::string& bytes = g_files[f->name];
  const std::size_t n = std::min<std::size_t>(len, bytes.size() - std::min(f->pos, bytes.size()));
  std::memcpy(buf, bytes.data() + f->pos, n);
  f->pos += n;
  *read = static_cast<std::uint32_t>(n);
  return 1;
}

int WriteFile(OsHandle h, const void* buf, std::uint32_t len, std::uint32_t* written) {
  *written = 0;
  if (!Proceeds()) return 0;
  auto* f = static_cast<MemFile*>(h);
  g_files[f->name].append(static_cast<const char*>(buf), len);
  *written = len;
  return 1;
}

std::uint32_t GetFileSize(OsHandle h, std::uint32_t* high) {
  *high = 0;
  if (!Proceeds()) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(g_files[static_cast<MemFile*>(h)->name].size());
}

int DeleteFile(const char* path) {
  if (!Proceeds()) return 0;
  return g_files.erase(path) != 0 ? 1 : (g_error = 2, 0);
}

int ReplaceFile(const char* from, const char* to) {
  if (!Proceeds()) return 0;
  auto it = g_files.find(from);
  if (it == g_files.end()) return g_error = 2, 0;
  g_files[to] = it->second;
  g_files.erase(from);
  return 1;
}

std::uint32_t LastError() { return g_error; }
void SetError(std::uint32_t e) { g_error = e; }
int MessageBox(const char*, const char*, std::uint32_t) { return 1; }
void* Allocate(std::size_t n) { return std::malloc(n); }
void Release(void* p) { std::free(p); }

const Platform kFuzz = {GetClassDevs, EnumDeviceInterfaces, GetInterfaceDetail, DestroyDeviceInfoList,
                        CreateFile,   DeviceIoControl,      CloseHandle,        ReadFile,
                        WriteFile,    GetFileSize,          DeleteFile,         ReplaceFile,
                        LastError,    SetError,             MessageBox,         Allocate,
                        Release};

}  // namespace

void FuzzInstall() { SetPlatform(&kFuzz); }

void FuzzServeReply(const std::string& name, const std::uint8_t* data, std::size_t size) {
  g_scripted = false;
  g_replies[name].assign(reinterpret_cast<const char*>(data), size);
}

void FuzzScript(const std::uint8_t* data, std::size_t size) {
  g_in = Input{data, size, 0};
  g_scripted = true;
}

std::uint8_t FuzzByte() { return Next(); }

std::string FuzzBytes(std::size_t n) {
  n = std::min(n, g_in.size - std::min(g_in.pos, g_in.size));
  std::string out(reinterpret_cast<const char*>(g_in.data + g_in.pos), n);
  g_in.pos += n;
  return out;
}

void FuzzPutLocalFile(const std::string& name, const std::string& bytes) { g_files[name] = bytes; }
void FuzzClearLocalFiles() { g_files.clear(); }

}  // namespace pagora
