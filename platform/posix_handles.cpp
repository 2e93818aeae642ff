#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix_parts.h"

namespace pagora::posix {
namespace {

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

}  // namespace

thread_local std::uint32_t t_last_error = 0;


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

PosixHandle* AdoptDescriptor(Kind kind, int fd) {
  PosixHandle* h = NewHandle(kind, fd);
  if (h == nullptr) {
    close(fd);
    Fail(kErrorNotEnoughMemory);
  }
  return h;
}

void FreeHandle(PosixHandle* p) {
  if (p->prev != nullptr) p->prev->next = p->next;
  else g_handles.head = p->next;
  if (p->next != nullptr) p->next->prev = p->prev;
  std::free(p);
}

}  // namespace pagora::posix
