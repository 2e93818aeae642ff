// The parts of the POSIX platform table, shared between its files: the
// handles every call takes (posix_handles.cpp), the socket substitute for
// the reader's driver (socket_substitute.cpp) and the local files
// (posix_files.cpp). platform_posix.cpp puts them in the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace pagora::posix {

// The calling thread's last error, as Windows keeps it.
extern thread_local std::uint32_t t_last_error;

enum class Kind { kInfoSet, kDevice, kFile };

struct PosixHandle {
  Kind kind;
  int fd;
  PosixHandle* next;  // every open handle, like a process's handle table
  PosixHandle* prev;
  bool broken;        // kDevice: the framing was lost; every later call fails
  char dir[4096];     // kInfoSet: the reader directory
};

// The handle `h` when it is one of `kind`, else nullptr.
PosixHandle* AsHandle(OsHandle h, Kind kind);
// A new handle in the table; nullptr without memory.
PosixHandle* NewHandle(Kind kind, int fd);
// A new handle for the open descriptor `fd`; without memory the descriptor
// is closed, the last error set, and nullptr given.
PosixHandle* AdoptDescriptor(Kind kind, int fd);
// Takes `p` out of the table and frees it (its descriptor is the caller's).
void FreeHandle(PosixHandle* p);

// The Windows code for an errno.
std::uint32_t ErrnoToWindows(int error);
// Each sets the last error and gives 0, the failure of a BOOL call: `code`;
// errno's code; errno's code for `path`, telling a missing file from a
// missing folder on its way as Windows does.
int Fail(std::uint32_t code);
int FailErrno();
int FailPath(const char* path);

// The socket substitute's entries.
OsHandle GetClassDevs(const Guid* cls, std::uint32_t flags);
int EnumDeviceInterfaces(OsHandle h, const Guid* cls, std::uint32_t index, InterfaceData* data);
int GetInterfaceDetail(OsHandle h, InterfaceData* data, void* detail, std::uint32_t size,
                       std::uint32_t* required);
int DestroyDeviceInfoList(OsHandle h);
// Connects to the reader whose socket is `path`: CreateFile on a device.
OsHandle ConnectDevice(const char* path);
int IoControl(OsHandle h, std::uint32_t code, const void* in, std::uint32_t in_len, void* out,
              std::uint32_t out_len, std::uint32_t* returned);

// The local files' entries. Create opens a socket as its device.
OsHandle Create(const char* path, std::uint32_t access, std::uint32_t share,
                std::uint32_t disposition, std::uint32_t attributes);
int Close(OsHandle h);
int Read(OsHandle h, void* buf, std::uint32_t len, std::uint32_t* read_count);
int Write(OsHandle h, const void* buf, std::uint32_t len, std::uint32_t* written);
std::uint32_t FileSize(OsHandle h, std::uint32_t* high);
int Delete(const char* path);
int Rename(const char* from, const char* to, std::uint32_t flags);
std::uint32_t Attributes(const char* path);
OsHandle CreateW(const char16_t* path, std::uint32_t access, std::uint32_t share,
                 std::uint32_t disposition, std::uint32_t attributes);
int DeleteW(const char16_t* path);
int RenameW(const char16_t* from, const char16_t* to, std::uint32_t flags);
std::uint32_t AttributesW(const char16_t* path);
// `path` in UTF-8, by the table's own conversion with `flags`; false for
// one that is no UTF-16 (a lone surrogate).
bool Utf8Path(const char16_t* path, std::string* out, std::uint32_t flags = kWcErrInvalidChars);

}  // namespace pagora::posix
