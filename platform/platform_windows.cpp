// The real Windows calls, with exactly the arguments the reader's driver and
// the host expect. Only this file includes <windows.h>.
#include <windows.h>
#include <setupapi.h>

#include <cstring>

#include "platform/platform.h"

namespace pagora {

void* HeapAllocate(std::size_t size);
void HeapRelease(void* block);

namespace {

static_assert(sizeof(InterfaceData) == sizeof(SP_DEVICE_INTERFACE_DATA), "interface record");
static_assert(kDetailCbSize == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), "detail record");
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == kDetailPathOffset,
              "detail path offset");
static_assert(kMoveFileReplaceExisting == MOVEFILE_REPLACE_EXISTING, "move flag");
static_assert(kCodePageUtf8 == CP_UTF8 && kMbErrInvalidChars == MB_ERR_INVALID_CHARS &&
                  kWcErrInvalidChars == WC_ERR_INVALID_CHARS &&
                  kWcNoBestFitChars == WC_NO_BEST_FIT_CHARS,
              "conversion flags");
static_assert(kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES, "no attributes");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR is UTF-16");

GUID ToGuid(const Guid* g) {
  GUID out;
  std::memcpy(&out, g, sizeof out);
  return out;
}

OsHandle GetClassDevs(const Guid* cls, std::uint32_t flags) {
  GUID guid = ToGuid(cls);
  return SetupDiGetClassDevsA(&guid, nullptr, nullptr, flags);
}

int EnumDeviceInterfaces(OsHandle set, const Guid* cls, std::uint32_t index, InterfaceData* data) {
  GUID guid = ToGuid(cls);
  return SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index,
                                     reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(data));
}

int GetInterfaceDetail(OsHandle set, InterfaceData* data, void* detail, std::uint32_t size,
                       std::uint32_t* required) {
  DWORD needed = 0;
  BOOL ok = SetupDiGetDeviceInterfaceDetailA(
      set, reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(data),
      static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail), size, &needed, nullptr);
  if (required != nullptr) *required = needed;
  return ok;
}

int DestroyDeviceInfoList(OsHandle set) { return SetupDiDestroyDeviceInfoList(set); }

OsHandle Create(const char* path, std::uint32_t access, std::uint32_t share,
                std::uint32_t disposition, std::uint32_t attributes) {
  return CreateFileA(path, access, share, nullptr, disposition, attributes, nullptr);
}

int IoControl(OsHandle handle, std::uint32_t code, const void* in, std::uint32_t in_len, void* out,
              std::uint32_t out_len, std::uint32_t* returned) {
  DWORD count = 0;
  BOOL ok = DeviceIoControl(handle, code, const_cast<void*>(in), in_len, out, out_len, &count,
                            nullptr);
  *returned = count;
  return ok;
}

int Close(OsHandle handle) { return CloseHandle(handle); }

int Read(OsHandle file, void* buf, std::uint32_t len, std::uint32_t* read) {
  DWORD count = 0;
  BOOL ok = ReadFile(file, buf, len, &count, nullptr);
  *read = count;
  return ok;
}

int Write(OsHandle file, const void* buf, std::uint32_t len, std::uint32_t* written) {
  DWORD count = 0;
  BOOL ok = WriteFile(file, buf, len, &count, nullptr);
  *written = count;
  return ok;
}

std::uint32_t FileSize(OsHandle file, std::uint32_t* high) {
  DWORD upper = 0;
  DWORD lower = GetFileSize(file, &upper);
  *high = upper;
  return lower;
}

int Delete(const char* path) { return DeleteFileA(path); }

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

OsHandle CreateW(const char16_t* path, std::uint32_t access, std::uint32_t share,
                 std::uint32_t disposition, std::uint32_t attributes) {
  return CreateFileW(Wide(path), access, share, nullptr, disposition, attributes, nullptr);
}

int DeleteW(const char16_t* path) { return DeleteFileW(Wide(path)); }

int RenameW(const char16_t* from, const char16_t* to, std::uint32_t flags) {
  return MoveFileExW(Wide(from), Wide(to), flags);
}

std::uint32_t AttributesW(const char16_t* path) { return GetFileAttributesW(Wide(path)); }

int Rename(const char* from, const char* to, std::uint32_t flags) {
  return MoveFileExA(from, to, flags);
}

std::uint32_t Attributes(const char* path) { return GetFileAttributesA(path); }

std::uint32_t LastError() { return GetLastError(); }

void SetError(std::uint32_t code) { SetLastError(code); }

std::uint32_t AnsiCodePage() { return GetACP(); }

int ToWide(std::uint32_t code_page, std::uint32_t flags, const char* text, int length,
           char16_t* out, int room) {
  return MultiByteToWideChar(code_page, flags, text, length, reinterpret_cast<wchar_t*>(out),
                             room);
}

int FromWide(std::uint32_t code_page, std::uint32_t flags, const char16_t* text, int length,
             char* out, int room, const char* default_char, int* used_default) {
  BOOL used = FALSE;
  const int n = WideCharToMultiByte(code_page, flags, Wide(text), length, out, room, default_char,
                                    used_default != nullptr ? &used : nullptr);
  if (used_default != nullptr) *used_default = used;
  return n;
}

int Message(const char* text, const char* caption, std::uint32_t type) {
  return MessageBoxA(nullptr, text, caption, type);
}

int MessageW(const char16_t* text, const char16_t* caption, std::uint32_t type) {
  return MessageBoxW(nullptr, Wide(text), Wide(caption), type);
}

int ListingTime(std::uint32_t*, std::uint32_t*) { return 0; }

const Platform kWindows = {GetClassDevs, EnumDeviceInterfaces, GetInterfaceDetail,
                           DestroyDeviceInfoList, Create, IoControl, Close, Read, Write,
                           FileSize, Delete, CreateW, DeleteW, RenameW, AttributesW, Rename,
                           Attributes, LastError, SetError, AnsiCodePage, ToWide, FromWide,
                           Message, MessageW, HeapAllocate, HeapRelease, ListingTime};

}  // namespace

const Platform& NativePlatform() { return kWindows; }

}  // namespace pagora

// The module's entry point: nothing to do when it is loaded or unloaded, or
// when a thread starts or ends.
extern "C" int __stdcall DllMain(void*, unsigned long, void*) { return 1; }
