// The one seam between the plugin and the system it runs on.
//
// Every operating-system call the plugin makes goes through the table below,
// one entry per Windows call, with that call's arguments and results. Three
// implementations fill it: platform_windows.cpp (the real calls),
// platform_posix.cpp (a socket substitute for the reader's driver plus POSIX
// files), and the in-process fake driver of the tests. Nothing above this
// header knows which one runs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/windows_errors.h"

namespace pagora {

using OsHandle = void*;

inline OsHandle InvalidOsHandle() {
  return reinterpret_cast<OsHandle>(static_cast<std::intptr_t>(-1));
}

struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16, "GUID layout");

// SP_DEVICE_INTERFACE_DATA. Its cbSize is 28 on 32-bit Windows and 32 on
// 64-bit Windows, the size of the record itself.
struct InterfaceData {
  std::uint32_t cb_size;
  Guid class_guid;
  std::uint32_t flags;
  std::uintptr_t reserved;
};
static_assert(sizeof(InterfaceData) == (sizeof(void*) == 8 ? 32 : 28),
              "SP_DEVICE_INTERFACE_DATA layout");

// SP_DEVICE_INTERFACE_DETAIL_DATA_A is a DWORD cbSize followed by the
// NUL-terminated DevicePath. cbSize holds the size of the fixed part as the
// platform's packing makes it: 5 on 32-bit, 8 on 64-bit.
constexpr std::uint32_t kDetailPathOffset = 4;
constexpr std::uint32_t kDetailCbSize = sizeof(void*) == 8 ? 8 : 5;

// Windows constants the calls below take.
constexpr std::uint32_t kDigcfPresentInterface = 0x12;  // DIGCF_PRESENT | DIGCF_DEVICEINTERFACE
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kFileShareRead = 0x1;
constexpr std::uint32_t kFileShareWrite = 0x2;
constexpr std::uint32_t kCreateNew = 1;     // fails with ERROR_FILE_EXISTS if the file exists
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
constexpr std::uint32_t kMbOkIconError = 0x10;  // MB_OK | MB_ICONERROR
constexpr std::uint32_t kMoveFileReplaceExisting = 0x1;  // MOVEFILE_REPLACE_EXISTING
constexpr std::uint32_t kCodePageAnsi = 0;          // CP_ACP
constexpr std::uint32_t kCodePageUtf8 = 65001;      // CP_UTF8
constexpr std::uint32_t kMbErrInvalidChars = 0x8;   // MB_ERR_INVALID_CHARS
constexpr std::uint32_t kWcErrInvalidChars = 0x80;  // WC_ERR_INVALID_CHARS
constexpr std::uint32_t kWcNoBestFitChars = 0x400;  // WC_NO_BEST_FIT_CHARS
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;  // INVALID_FILE_ATTRIBUTES

// Local paths separate folders with '/', and on Windows with '\\' too.
inline bool IsLocalSeparator(char16_t c) {
#if defined(_WIN32)
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// The host's path separator: the listing path is this character alone and
// remote names begin with it. Reader-side texts always use backslashes.
#if defined(_WIN32)
constexpr char kHostSeparator = '\\';
#else
constexpr char kHostSeparator = '/';
#endif

// Whether the system shows message boxes itself. Without windows of its own
// (the native build) a message goes through the host, or to standard error.
#if defined(_WIN32)
constexpr bool kSystemShowsMessageBoxes = true;
#else
constexpr bool kSystemShowsMessageBoxes = false;
#endif

// What the POSIX layer reports for an errno with no closer Windows code.
constexpr std::uint32_t kErrorOtherIo = kErrorIoDevice;

// Integers are 0 for failure and nonzero for success, as Windows' BOOL.
struct Platform {
  // SetupDiGetClassDevsA(cls, NULL, NULL, flags): a device information set, or InvalidOsHandle().
  OsHandle (*get_class_devs)(const Guid* cls, std::uint32_t flags);
  // SetupDiEnumDeviceInterfaces(set, NULL, cls, index, data): nonzero when member `index` exists.
  int (*enum_device_interfaces)(OsHandle set, const Guid* cls, std::uint32_t index, InterfaceData* data);
  // SetupDiGetDeviceInterfaceDetailA(set, data, detail, size, required, NULL): nonzero when the record fits.
  int (*get_interface_detail)(OsHandle set, InterfaceData* data, void* detail, std::uint32_t size,
                              std::uint32_t* required);
  // SetupDiDestroyDeviceInfoList(set): releases the set.
  int (*destroy_device_info_list)(OsHandle set);
  // CreateFileA(path, access, share, NULL, disposition, attributes, NULL): an open handle, or InvalidOsHandle().
  OsHandle (*create_file)(const char* path, std::uint32_t access, std::uint32_t share,
                          std::uint32_t disposition, std::uint32_t attributes);
  // DeviceIoControl(handle, code, in, in_len, out, out_len, returned, NULL): nonzero on success.
  int (*device_io_control)(OsHandle handle, std::uint32_t code, const void* in, std::uint32_t in_len,
                           void* out, std::uint32_t out_len, std::uint32_t* returned);
  // CloseHandle(handle).
  int (*close_handle)(OsHandle handle);
  // ReadFile(file, buf, len, read, NULL): nonzero on success, *read set.
  int (*read_file)(OsHandle file, void* buf, std::uint32_t len, std::uint32_t* read);
  // WriteFile(file, buf, len, written, NULL): nonzero on success.
  int (*write_file)(OsHandle file, const void* buf, std::uint32_t len, std::uint32_t* written);
  // GetFileSize(file, high): low 32 bits of the size, the high 32 bits in *high.
  std::uint32_t (*get_file_size)(OsHandle file, std::uint32_t* high);
  // DeleteFileA(path): nonzero when removed.
  int (*delete_file)(const char* path);
  // CreateFileW, DeleteFileW, MoveFileExW, GetFileAttributesW: the same four
  // for UTF-16 paths, which no code page limits. A path that is no UTF-16
  // (a lone surrogate) names no file: kErrorInvalidName.
  OsHandle (*create_file_w)(const char16_t* path, std::uint32_t access, std::uint32_t share,
                            std::uint32_t disposition, std::uint32_t attributes);
  int (*delete_file_w)(const char16_t* path);
  int (*move_file_w)(const char16_t* from, const char16_t* to, std::uint32_t flags);
  std::uint32_t (*get_file_attributes_w)(const char16_t* path);
  // MoveFileExA(from, to, flags): nonzero when `to` now holds `from`; without
  // kMoveFileReplaceExisting an existing `to` fails it with kErrorAlreadyExists.
  int (*move_file)(const char* from, const char* to, std::uint32_t flags);
  // GetFileAttributesA(path): the entry's attributes, a link's own rather than
  // its target's, or kInvalidFileAttributes when there is no entry.
  std::uint32_t (*get_file_attributes)(const char* path);
  // GetLastError() / SetLastError(code): the calling thread's last error.
  std::uint32_t (*get_last_error)();
  void (*set_last_error)(std::uint32_t code);
  // GetACP(): the system's ANSI code page, kCodePageUtf8 where it is UTF-8
  // (as on every system without Windows' code pages).
  std::uint32_t (*ansi_code_page)();
  // MultiByteToWideChar(code_page, flags, text, length, out, room): the
  // units written (or needed, for a room of 0), 0 on failure.
  int (*multi_byte_to_wide_char)(std::uint32_t code_page, std::uint32_t flags, const char* text,
                                 int length, char16_t* out, int room);
  // WideCharToMultiByte(code_page, flags, text, length, out, room,
  // default_char, used_default): the bytes written (or needed), 0 on
  // failure. For UTF-8 only the flags 0 and kWcErrInvalidChars and two null
  // pointers are accepted; anything else fails, as Windows has it.
  int (*wide_char_to_multi_byte)(std::uint32_t code_page, std::uint32_t flags,
                                 const char16_t* text, int length, char* out, int room,
                                 const char* default_char, int* used_default);
  // MessageBoxA(NULL, text, caption, type): the button pressed.
  int (*message_box)(const char* text, const char* caption, std::uint32_t type);
  // MessageBoxW(NULL, text, caption, type): the same for UTF-16 texts.
  int (*message_box_w)(const char16_t* text, const char16_t* caption, std::uint32_t type);
  // Memory for records, list nodes and transfer buffers; nullptr when none.
  void* (*allocate)(std::size_t size);
  void (*release)(void* block);
  // The write time a listing gives its entries: nonzero with the current
  // time (UTC, as FILETIME words) where hosts want one, 0 where they take
  // the interface's no-time mark. Windows hosts show the mark as no date;
  // hosts elsewhere show it as the year 9999 and refuse to copy such a file.
  int (*listing_time)(std::uint32_t* low, std::uint32_t* high);
};

// The table in use: the build's own unless a test installed another.
const Platform& Os();

// Installs `table` (nullptr restores the build's own). Tests only.
void SetPlatform(const Platform* table);

// The build's own table.
const Platform& NativePlatform();

}  // namespace pagora
