// The substitute for the reader's driver on systems without it: each
// Unix-domain socket in the reader directory is one device interface, and
// each control call is one request/response frame on the connection
// (docs/device-socket.md). Local files are plain POSIX files, with errno
// mapped to the Windows codes the plugin's error mapping reads.
//
// The simulator (tools/readersim/frame_server.cpp) reads the same frames
// with code of its own, on purpose: two independent readings of the one
// page, so a misreading of the wire format shows as a disagreement between
// them instead of hiding in shared code.
#include <dirent.h>
#include <fcntl.h>
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
#include <string>

#include "platform/platform.h"
#include "platform/platform_posix.h"
#include "platform/utf8_code_page.h"

namespace pagora {

void* HeapAllocate(std::size_t size);
void HeapRelease(void* block);

namespace {

thread_local std::uint32_t t_last_error = 0;

enum class Kind { kInfoSet, kDevice, kFile };

struct PosixHandle {
  Kind kind;
  int fd;
  PosixHandle* next;  // every open handle, like a process's handle table
  PosixHandle* prev;
  bool broken;        // kDevice: the framing was lost; every later call fails
  char dir[4096];     // kInfoSet: the reader directory
};

// The handles still open. The plugin leaves its device handle open when it
// is unloaded, to be closed with the process as Windows does; here the
// process's share of that is this table, emptied when the module goes.
struct HandleTable {
  PosixHandle* head = nullptr;
  ~HandleTable() {
    while (head != nullptr) {
      PosixHandle* h = head;
      head = h->next;
      if (h->fd >= 0) close(h->fd);
      std::free(h);
    }
  }
};
HandleTable g_handles;

std::uint32_t ErrnoToWindows(int error) {
  switch (error) {
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EMFILE: return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case EEXIST: return kErrorFileExists;
    case ENOSPC:  // no room, or no inode left
    case EDQUOT: return kErrorDiskFull;
    case EROFS: return kErrorWriteProtect;
    default: return kErrorOtherIo;
  }
}

int Fail(std::uint32_t code) {
  t_last_error = code;
  return 0;
}

int FailErrno() {
  t_last_error = ErrnoToWindows(errno);
  return 0;
}

// Windows tells a missing file (2) from a missing folder on its way (3).
int FailPath(const char* path) {
  const int error = errno;
  if (error == ENOENT) {
    const char* slash = std::strrchr(path, '/');
    if (slash != nullptr && slash != path) {
      char parent[4096];
      std::snprintf(parent, sizeof parent, "%.*s", static_cast<int>(slash - path), path);
      struct stat st;
      if (stat(parent, &st) != 0 || !S_ISDIR(st.st_mode)) return Fail(kErrorPathNotFound);
    }
  }
  t_last_error = ErrnoToWindows(error);
  return 0;
}

PosixHandle* AsHandle(OsHandle h, Kind kind) {
  if (h == nullptr || h == InvalidOsHandle()) return nullptr;
  auto* p = static_cast<PosixHandle*>(h);
  return p->kind == kind ? p : nullptr;
}

PosixHandle* NewHandle(Kind kind, int fd) {
  auto* p = static_cast<PosixHandle*>(std::calloc(1, sizeof(PosixHandle)));
  if (p == nullptr) return nullptr;
  p->kind = kind;
  p->fd = fd;
  p->next = g_handles.head;
  if (p->next != nullptr) p->next->prev = p;
  g_handles.head = p;
  return p;
}

void FreeHandle(PosixHandle* p) {
  if (p->prev != nullptr) p->prev->next = p->next;
  else g_handles.head = p->next;
  if (p->next != nullptr) p->next->prev = p->prev;
  std::free(p);
}

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
  if (set == nullptr) return Fail(6);  // ERROR_INVALID_HANDLE
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
  if (set == nullptr) return Fail(6);
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
  if (cb != kDetailCbSize) return Fail(1784);  // ERROR_INVALID_USER_BUFFER
  char* path = static_cast<char*>(detail) + kDetailPathOffset;
  std::snprintf(path, path_length + 1, "%s/%s", set->dir, name);
  return 1;
}

int DestroyDeviceInfoList(OsHandle h) {
  PosixHandle* set = AsHandle(h, Kind::kInfoSet);
  if (set == nullptr) return Fail(6);
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
  PosixHandle* h = NewHandle(Kind::kDevice, fd);
  if (h == nullptr) {
    close(fd);
    Fail(kErrorNotEnoughMemory);
    return InvalidOsHandle();
  }
  return h;
}

OsHandle Create(const char* path, std::uint32_t access, std::uint32_t, std::uint32_t disposition,
                std::uint32_t) {
  struct stat st;
  const bool exists = stat(path, &st) == 0;
  if (exists && S_ISSOCK(st.st_mode)) return ConnectDevice(path);
  if (exists && S_ISDIR(st.st_mode)) {
    Fail(kErrorAccessDenied);
    return InvalidOsHandle();
  }
  int flags = O_CLOEXEC;
  const bool read = (access & kGenericRead) != 0;
  const bool write = (access & kGenericWrite) != 0;
  flags |= (read && write) ? O_RDWR : (write ? O_WRONLY : O_RDONLY);
  if (disposition == kCreateAlways) flags |= O_CREAT | O_TRUNC;
  if (disposition == kCreateNew) flags |= O_CREAT | O_EXCL;
  int fd = open(path, flags, 0666);
  if (fd < 0) {
    FailPath(path);
    return InvalidOsHandle();
  }
  PosixHandle* h = NewHandle(Kind::kFile, fd);
  if (h == nullptr) {
    close(fd);
    Fail(kErrorNotEnoughMemory);
    return InvalidOsHandle();
  }
  if (disposition == kCreateAlways) t_last_error = exists ? kErrorAlreadyExists : 0;
  return h;
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

int IoControl(OsHandle h, std::uint32_t code, const void* in, std::uint32_t in_len, void* out,
              std::uint32_t out_len, std::uint32_t* returned) {
  *returned = 0;
  PosixHandle* device = AsHandle(h, Kind::kDevice);
  if (device == nullptr) return Fail(1);  // ERROR_INVALID_FUNCTION
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

int Close(OsHandle h) {
  if (h == nullptr || h == InvalidOsHandle()) return Fail(6);
  auto* p = static_cast<PosixHandle*>(h);
  if (p->fd >= 0) close(p->fd);
  FreeHandle(p);
  return 1;
}

int Read(OsHandle h, void* buf, std::uint32_t len, std::uint32_t* read_count) {
  *read_count = 0;
  PosixHandle* file = AsHandle(h, Kind::kFile);
  if (file == nullptr) return Fail(6);
  auto* p = static_cast<char*>(buf);
  std::uint32_t got = 0;
  while (got < len) {
    ssize_t n = read(file->fd, p + got, len - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FailErrno();
    if (n == 0) break;
    got += static_cast<std::uint32_t>(n);
  }
  *read_count = got;
  return 1;
}

int Write(OsHandle h, const void* buf, std::uint32_t len, std::uint32_t* written) {
  *written = 0;
  PosixHandle* file = AsHandle(h, Kind::kFile);
  if (file == nullptr) return Fail(6);
  const auto* p = static_cast<const char*>(buf);
  std::uint32_t done = 0;
  while (done < len) {
    ssize_t n = write(file->fd, p + done, len - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FailErrno();
    done += static_cast<std::uint32_t>(n);
  }
  *written = done;
  return 1;
}

std::uint32_t FileSize(OsHandle h, std::uint32_t* high) {
  *high = 0;
  PosixHandle* file = AsHandle(h, Kind::kFile);
  struct stat st;
  if (file == nullptr || fstat(file->fd, &st) != 0) {
    t_last_error = file == nullptr ? 6 : ErrnoToWindows(errno);
    return 0xFFFFFFFFu;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  *high = static_cast<std::uint32_t>(size >> 32);
  return static_cast<std::uint32_t>(size);
}

int Delete(const char* path) { return unlink(path) == 0 ? 1 : FailPath(path); }

// Without the replace flag the move must not take an existing target's
// place, not even one that appears at the last moment: renameat2 refuses
// atomically; a file system without it gets a hard link, which refuses too.
int Rename(const char* from, const char* to, std::uint32_t flags) {
  if ((flags & kMoveFileReplaceExisting) != 0) {
    return rename(from, to) == 0 ? 1 : FailPath(to);
  }
  int moved = renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
  if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
    moved = link(from, to);
    if (moved == 0) unlink(from);
  }
  if (moved == 0) return 1;
  if (errno == EEXIST) return Fail(kErrorAlreadyExists);
  return FailPath(to);
}

std::uint32_t Attributes(const char* path) {
  struct stat st;
  if (lstat(path, &st) != 0) {
    FailPath(path);
    return kInvalidFileAttributes;
  }
  if (S_ISLNK(st.st_mode)) return 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
  if (S_ISDIR(st.st_mode)) return 0x10;   // FILE_ATTRIBUTE_DIRECTORY
  return kFileAttributeNormal;
}

// The wide calls: file names here are UTF-8, so each path is converted
// whole, by the table's own conversion; one that is no UTF-16 (a lone
// surrogate) names no file.
bool Utf8Path(const char16_t* path, std::string* out, std::uint32_t flags = kWcErrInvalidChars) {
  const int n = Utf8WideCharToMultiByte(kCodePageUtf8, flags, path, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out->assign(static_cast<std::size_t>(n), '\0');
  Utf8WideCharToMultiByte(kCodePageUtf8, flags, path, -1, &(*out)[0], n, nullptr, nullptr);
  out->pop_back();  // the NUL
  return true;
}

OsHandle CreateW(const char16_t* path, std::uint32_t access, std::uint32_t share,
                 std::uint32_t disposition, std::uint32_t attributes) {
  std::string utf8;
  if (!Utf8Path(path, &utf8)) {
    Fail(kErrorInvalidName);
    return InvalidOsHandle();
  }
  return Create(utf8.c_str(), access, share, disposition, attributes);
}

int DeleteW(const char16_t* path) {
  std::string utf8;
  return Utf8Path(path, &utf8) ? Delete(utf8.c_str()) : Fail(kErrorInvalidName);
}

int RenameW(const char16_t* from, const char16_t* to, std::uint32_t flags) {
  std::string from8;
  std::string to8;
  if (!Utf8Path(from, &from8) || !Utf8Path(to, &to8)) return Fail(kErrorInvalidName);
  return Rename(from8.c_str(), to8.c_str(), flags);
}

std::uint32_t AttributesW(const char16_t* path) {
  std::string utf8;
  if (Utf8Path(path, &utf8)) return Attributes(utf8.c_str());
  Fail(kErrorInvalidName);
  return kInvalidFileAttributes;
}

std::uint32_t LastError() { return t_last_error; }

void SetError(std::uint32_t code) { t_last_error = code; }

std::uint32_t AnsiCodePage() { return kCodePageUtf8; }

int Message(const char* text, const char* caption, std::uint32_t) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  return 1;  // IDOK
}

// A message's UTF-16 as UTF-8 for standard error; a lone surrogate shows
// as U+FFFD.
std::string Utf8Text(const char16_t* text) {
  std::string out;
  Utf8Path(text, &out, 0);
  return out;
}

int MessageW(const char16_t* text, const char16_t* caption, std::uint32_t type) {
  return Message(Utf8Text(text).c_str(), Utf8Text(caption).c_str(), type);
}

// 100-ns intervals since 1601-01-01, the FILETIME epoch, 11644473600 s
// before the Unix one.
int ListingTime(std::uint32_t* low, std::uint32_t* high) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const auto ticks = static_cast<std::uint64_t>(now.tv_sec + 11644473600ll) * 10000000u +
                     static_cast<std::uint64_t>(now.tv_nsec / 100);
  *low = static_cast<std::uint32_t>(ticks);
  *high = static_cast<std::uint32_t>(ticks >> 32);
  return 1;
}

const Platform kPosix = {GetClassDevs, EnumDeviceInterfaces, GetInterfaceDetail,
                         DestroyDeviceInfoList, Create, IoControl, Close, Read, Write,
                         FileSize, Delete, CreateW, DeleteW, RenameW, AttributesW, Rename,
                         Attributes, LastError, SetError, AnsiCodePage,
                         Utf8MultiByteToWideChar, Utf8WideCharToMultiByte, Message, MessageW,
                         HeapAllocate, HeapRelease, ListingTime};

}  // namespace

const Platform& NativePlatform() { return kPosix; }

void SetReaderSilenceLimitForTests(std::uint32_t ms) {
  g_silence_limit_ms = ms != 0 ? ms : kReaderSilenceLimitMs;
}

}  // namespace pagora
