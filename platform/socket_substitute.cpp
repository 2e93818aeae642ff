// The substitute for the reader's driver on systems without it: each
// Unix-domain socket in the reader directory is one device interface, and
// each control call is one request/response frame on the connection
// (docs/device-socket.md).
//
// The simulator (tools/readersim/frame_server.cpp) reads the same frames
// with code of its own, on purpose: two independent readings of the one
// page, so a misreading of the wire format shows as a disagreement between
// them instead of hiding in shared code.
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform_posix.h"
#include "platform/posix_parts.h"

namespace pagora {
namespace posix {
namespace {

// The directory that stands for the interface class.
void ReaderDirectory(char* out, std::size_t size) {
  const char* dir = std::getenv("PAGORA_READER_DIR");
  if (dir != nullptr && *dir != '\0') {
    std::snprintf(out, size, "%s", dir);
    return;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') {
    std::snprintf(out, size, "%s/pagora-readers", runtime);
    return;
  }
  std::snprintf(out, size, "/tmp/pagora-readers-%u", static_cast<unsigned>(getuid()));
}

bool IsSocket(const char* dir, const char* name) {
  char path[4096 + 256];
  std::snprintf(path, sizeof path, "%s/%s", dir, name);
  struct stat st;
  return stat(path, &st) == 0 && S_ISSOCK(st.st_mode);
}

// Finds the socket of member `index`, in byte order of the names.
bool MemberName(const char* dir, std::uint32_t index, char* name, std::size_t size) {
  char previous[256] = "";
  bool have_previous = false;
  for (std::uint32_t i = 0; i <= index; ++i) {
    DIR* d = opendir(dir);
    if (d == nullptr) return false;
    char best[256] = "";
    bool found = false;
    while (dirent* e = readdir(d)) {
      if (have_previous && std::strcmp(e->d_name, previous) <= 0) continue;
      if (found && std::strcmp(e->d_name, best) >= 0) continue;
      if (!IsSocket(dir, e->d_name)) continue;
      std::snprintf(best, sizeof best, "%s", e->d_name);
      found = true;
    }
    closedir(d);
    if (!found) return false;
    std::snprintf(previous, sizeof previous, "%s", best);
    have_previous = true;
  }
  std::snprintf(name, size, "%s", previous);
  return true;
}

std::uint32_t g_silence_limit_ms = kReaderSilenceLimitMs;

long long MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

enum class Transfer { kOk, kLost, kShort, kSilent };

// Sends (`sending`) or receives exactly `length` bytes without ever blocking
// in the call itself: between bytes it waits for the peer in poll, and gives
// up once no byte has moved for the silence limit. kLost: the peer is gone;
// kShort: it closed after part of the bytes; kSilent: it stopped moving them.
Transfer Move(int fd, char* p, std::size_t length, bool sending) {
  std::size_t done = 0;
  long long last_progress = MonotonicMs();
  while (done < length) {
    const ssize_t n = sending ? send(fd, p + done, length - done, MSG_NOSIGNAL | MSG_DONTWAIT)
                              : recv(fd, p + done, length - done, MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      last_progress = MonotonicMs();
      continue;
    }
    if (n == 0) return done == 0 ? Transfer::kLost : Transfer::kShort;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return Transfer::kLost;
    const long long left = last_progress + g_silence_limit_ms - MonotonicMs();
    if (left <= 0) return Transfer::kSilent;
    pollfd wait{fd, static_cast<short>(sending ? POLLOUT : POLLIN), 0};
    if (poll(&wait, 1, static_cast<int>(left)) < 0 && errno != EINTR) return Transfer::kLost;
  }
  return Transfer::kOk;
}

bool SendAll(int fd, const void* data, std::size_t length) {
  char* p = static_cast<char*>(const_cast<void*>(data));  // only read when sending
  return Move(fd, p, length, true) == Transfer::kOk;
}

void PutWord(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t GetWord(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// After a malformed frame the stream's framing is lost: later calls fail as
// if the reader were gone, until a reset reconnects.
int Broken(PosixHandle* device, std::uint32_t code) {
  shutdown(device->fd, SHUT_RDWR);
  device->broken = true;
  return Fail(code);
}

}  // namespace

OsHandle GetClassDevs(const Guid*, std::uint32_t) {
  PosixHandle* set = NewHandle(Kind::kInfoSet, -1);
  if (set == nullptr) {
    Fail(kErrorNotEnoughMemory);
    return InvalidOsHandle();
  }
  ReaderDirectory(set->dir, sizeof set->dir);
  return set;
}

int EnumDeviceInterfaces(OsHandle h, const Guid* cls, std::uint32_t index, InterfaceData* data) {
  PosixHandle* set = AsHandle(h, Kind::kInfoSet);
  if (set == nullptr) return Fail(kErrorInvalidHandle);
  char name[256];
  if (!MemberName(set->dir, index, name, sizeof name)) return Fail(kErrorNoMoreItems);
  data->class_guid = *cls;
  data->flags = 1;  // SPINT_ACTIVE
  data->reserved = index;
  return 1;
}

int GetInterfaceDetail(OsHandle h, InterfaceData* data, void* detail, std::uint32_t size,
                       std::uint32_t* required) {
  PosixHandle* set = AsHandle(h, Kind::kInfoSet);
  if (set == nullptr) return Fail(kErrorInvalidHandle);
  char name[256];
  if (!MemberName(set->dir, static_cast<std::uint32_t>(data->reserved), name, sizeof name)) {
    return Fail(kErrorNoMoreItems);
  }
  const std::size_t path_length = std::strlen(set->dir) + 1 + std::strlen(name);
  const auto needed = static_cast<std::uint32_t>(kDetailPathOffset + path_length + 1);
  if (required != nullptr) *required = needed;
  if (detail == nullptr || size < needed) return Fail(kErrorInsufficientBuffer);
  std::uint32_t cb = 0;
  std::memcpy(&cb, detail, sizeof cb);
  if (cb != kDetailCbSize) return Fail(kErrorInvalidUserBuffer);
  char* path = static_cast<char*>(detail) + kDetailPathOffset;
  std::snprintf(path, path_length + 1, "%s/%s", set->dir, name);
  return 1;
}

int DestroyDeviceInfoList(OsHandle h) {
  PosixHandle* set = AsHandle(h, Kind::kInfoSet);
  if (set == nullptr) return Fail(kErrorInvalidHandle);
  FreeHandle(set);
  return 1;
}

OsHandle ConnectDevice(const char* path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof addr.sun_path) {
    Fail(kErrorPathNotFound);
    return InvalidOsHandle();
  }
  std::memcpy(addr.sun_path, path, std::strlen(path) + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    FailErrno();
    return InvalidOsHandle();
  }
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    // A socket nobody listens on is a reader that went away.
    t_last_error = (errno == ECONNREFUSED) ? kErrorDeviceNotConnected : ErrnoToWindows(errno);
    close(fd);
    return InvalidOsHandle();
  }
  PosixHandle* h = AdoptDescriptor(Kind::kDevice, fd);
  return h != nullptr ? h : InvalidOsHandle();
}

int IoControl(OsHandle h, std::uint32_t code, const void* in, std::uint32_t in_len, void* out,
              std::uint32_t out_len, std::uint32_t* returned) {
  *returned = 0;
  PosixHandle* device = AsHandle(h, Kind::kDevice);
  if (device == nullptr) return Fail(kErrorInvalidFunction);
  if (device->broken) return Fail(kErrorDeviceNotConnected);
  // Every byte the reader sent belongs to an answer already taken: one
  // still waiting (a repeated or appended response) would be read as the
  // answer to this request, so the stream is out of step.
  pollfd pending{device->fd, POLLIN, 0};
  if (poll(&pending, 1, 0) > 0 && (pending.revents & POLLIN) != 0) {
    char byte;
    const ssize_t n = recv(device->fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return Broken(device, n > 0 ? kErrorGenFailure : kErrorDeviceNotConnected);
  }
  unsigned char header[12];
  PutWord(header, code);
  PutWord(header + 4, in_len);
  PutWord(header + 8, out_len);
  if (!SendAll(device->fd, header, sizeof header) ||
      (in_len > 0 && !SendAll(device->fd, in, in_len))) {
    return Broken(device, kErrorDeviceNotConnected);
  }
  // A reader gone silent counts as lost wherever the response stops; one
  // that closes inside it has sent a malformed frame.
  unsigned char answer[12];
  switch (Move(device->fd, reinterpret_cast<char*>(answer), sizeof answer, false)) {
    case Transfer::kOk: break;
    case Transfer::kLost:
    case Transfer::kSilent: return Broken(device, kErrorDeviceNotConnected);
    case Transfer::kShort: return Broken(device, kErrorGenFailure);
  }
  const std::uint32_t result = GetWord(answer);
  const std::uint32_t error = GetWord(answer + 4);
  const std::uint32_t length = GetWord(answer + 8);
  if (result > 1 || length > out_len) return Broken(device, kErrorGenFailure);
  if (length > 0) {
    switch (Move(device->fd, static_cast<char*>(out), length, false)) {
      case Transfer::kOk: break;
      case Transfer::kSilent: return Broken(device, kErrorDeviceNotConnected);
      case Transfer::kLost:
      case Transfer::kShort: return Broken(device, kErrorGenFailure);
    }
  }
  if (result == 0) return Fail(error != 0 ? error : kErrorGenFailure);
  *returned = length;
  return 1;
}

}  // namespace posix

void SetReaderSilenceLimitForTests(std::uint32_t ms) {
  posix::g_silence_limit_ms = ms != 0 ? ms : kReaderSilenceLimitMs;
}

}  // namespace pagora
