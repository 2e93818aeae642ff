// KERNEL32's file, device and handle calls, and the last error: the same
// platform table the native plugin uses (platform/platform.h), so CreateFileA
// on a reader's device path connects to its socket and DeviceIoControl
// speaks its frames, and local files are POSIX files.
#include "platform/platform.h"
#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

const pagora::Platform& Os() { return pagora::NativePlatform(); }

Handle PE_API CreateFileA(const char* path, Dword access, Dword share, void*, Dword disposition,
                          Dword attributes, Handle) {
  return Os().create_file(path, access, share, disposition, attributes);
}

Handle PE_API CreateFileW(const char16_t* path, Dword access, Dword share, void*,
                          Dword disposition, Dword attributes, Handle) {
  return Os().create_file_w(path, access, share, disposition, attributes);
}

Bool PE_API ReadFile(Handle file, void* buffer, Dword length, Dword* read, void*) {
  Dword count = 0;
  const Bool ok = Os().read_file(file, buffer, length, &count);
  if (read != nullptr) *read = count;
  return ok;
}

Bool PE_API WriteFile(Handle file, const void* buffer, Dword length, Dword* written, void*) {
  Dword count = 0;
  const Bool ok = Os().write_file(file, buffer, length, &count);
  if (written != nullptr) *written = count;
  return ok;
}

Dword PE_API GetFileSize(Handle file, Dword* high) {
  Dword upper = 0;
  const Dword low = Os().get_file_size(file, &upper);
  if (high != nullptr) *high = upper;
  return low;
}

Bool PE_API DeleteFileA(const char* path) { return Os().delete_file(path); }

Bool PE_API MoveFileExA(const char* from, const char* to, Dword flags) {
  return Os().move_file(from, to, flags);
}

Dword PE_API GetFileAttributesA(const char* path) { return Os().get_file_attributes(path); }

Bool PE_API DeleteFileW(const char16_t* path) { return Os().delete_file_w(path); }

Bool PE_API MoveFileExW(const char16_t* from, const char16_t* to, Dword flags) {
  return Os().move_file_w(from, to, flags);
}

Dword PE_API GetFileAttributesW(const char16_t* path) { return Os().get_file_attributes_w(path); }

Bool PE_API DeviceIoControl(Handle device, Dword code, const void* in, Dword in_length, void* out,
                            Dword out_length, Dword* returned, void*) {
  Dword count = 0;
  const Bool ok = Os().device_io_control(device, code, in, in_length, out, out_length, &count);
  if (returned != nullptr) *returned = count;
  return ok;
}

// Every handle the module can close is a file or device of the platform table.
Bool PE_API CloseHandle(Handle handle) { return Os().close_handle(handle); }

Dword PE_API GetLastError() { return LastErrorCode(); }

void PE_API SetLastError(Dword code) { SetLastErrorCode(code); }

const StandIn kEntries[] = {
    {"CreateFileA", Entry(&CreateFileA)},
    {"CreateFileW", Entry(&CreateFileW)},
    {"ReadFile", Entry(&ReadFile)},
    {"WriteFile", Entry(&WriteFile)},
    {"GetFileSize", Entry(&GetFileSize)},
    {"DeleteFileA", Entry(&DeleteFileA)},
    {"MoveFileExA", Entry(&MoveFileExA)},
    {"GetFileAttributesA", Entry(&GetFileAttributesA)},
    {"DeleteFileW", Entry(&DeleteFileW)},
    {"MoveFileExW", Entry(&MoveFileExW)},
    {"GetFileAttributesW", Entry(&GetFileAttributesW)},
    {"DeviceIoControl", Entry(&DeviceIoControl)},
    {"CloseHandle", Entry(&CloseHandle)},
    {"GetLastError", Entry(&GetLastError)},
    {"SetLastError", Entry(&SetLastError)},
};

}  // namespace

void SetLastErrorCode(std::uint32_t code) { Os().set_last_error(code); }
std::uint32_t LastErrorCode() { return Os().get_last_error(); }

extern const StandInList kKernel32Files = ListOf(kEntries);

}  // namespace pe
