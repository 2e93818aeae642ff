// Local files on POSIX, with errno mapped to the Windows codes the plugin's
// error mapping reads.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix_parts.h"
#include "platform/utf8_code_page.h"

namespace pagora::posix {

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
  PosixHandle* h = AdoptDescriptor(Kind::kFile, fd);
  if (h == nullptr) return InvalidOsHandle();
  if (disposition == kCreateAlways) t_last_error = exists ? kErrorAlreadyExists : 0;
  return h;
}

int Close(OsHandle h) {
  if (h == nullptr || h == InvalidOsHandle()) return Fail(kErrorInvalidHandle);
  auto* p = static_cast<PosixHandle*>(h);
  if (p->fd >= 0) close(p->fd);
  FreeHandle(p);
  return 1;
}

int Read(OsHandle h, void* buf, std::uint32_t len, std::uint32_t* read_count) {
  *read_count = 0;
  PosixHandle* file = AsHandle(h, Kind::kFile);
  if (file == nullptr) return Fail(kErrorInvalidHandle);
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
  if (file == nullptr) return Fail(kErrorInvalidHandle);
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
    t_last_error = file == nullptr ? kErrorInvalidHandle : ErrnoToWindows(errno);
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
// whole; one that is no UTF-16 names no file.
bool Utf8Path(const char16_t* path, std::string* out, std::uint32_t flags) {
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

}  // namespace pagora::posix
