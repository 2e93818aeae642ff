// The host's file-system plugin interface, declared from its documented
// constants and layouts. Every record here crosses the binary boundary with
// the host, so each one is pinned by size for 32- and 64-bit builds.
//
// This header never meets <windows.h>: it defines the Windows names it needs
// itself, with the same widths (DWORD 32-bit unsigned, BOOL 32-bit int,
// HANDLE a pointer) on every system, so the native build exports the same
// functions with the same argument and record layouts.
#pragma once

#include <cstdint>

#include "plugin/export_table.h"

#if defined(_WIN32)
#define WFX_CALL __stdcall
#else
#define WFX_CALL
#endif

using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using HANDLE = void*;
using HWND = void*;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[260];
  char cAlternateFileName[14];
};

// The same record for the Unicode exports; names are UTF-16 (WCHAR is 16
// bits on Windows, where wchar_t would be 32 bits elsewhere).
struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char16_t cFileName[260];
  char16_t cAlternateFileName[14];
};

static_assert(sizeof(FILETIME) == 8, "FILETIME is two DWORDs");
static_assert(sizeof(WIN32_FIND_DATAA) == 320, "find data layout is the host's");
static_assert(sizeof(WIN32_FIND_DATAW) == 592, "find data layout is the host's");
static_assert(sizeof(BOOL) == 4 && sizeof(DWORD) == 4, "32-bit interface words");

constexpr BOOL kTrue = 1;
constexpr BOOL kFalse = 0;

// Result codes of FsGetFile / FsPutFile.
constexpr int FS_FILE_OK = 0;
constexpr int FS_FILE_EXISTS = 1;
constexpr int FS_FILE_NOTFOUND = 2;
constexpr int FS_FILE_READERROR = 3;
constexpr int FS_FILE_WRITEERROR = 4;
constexpr int FS_FILE_USERABORT = 5;
constexpr int FS_FILE_NOTSUPPORTED = 6;

constexpr int FS_COPYFLAGS_OVERWRITE = 1;
constexpr int FS_COPYFLAGS_RESUME = 2;
constexpr int FS_COPYFLAGS_MOVE = 4;

constexpr int FS_EXEC_OK = 0;
constexpr int FS_EXEC_YOURSELF = -1;  // the host downloads the file and opens it itself

// Field types of the content functions.
constexpr int ft_nomorefields = 0;
constexpr int ft_numeric_32 = 1;
constexpr int ft_numeric_64 = 2;
constexpr int ft_boolean = 6;  // an int of 0 or 1
constexpr int ft_string = 8;
constexpr int ft_stringw = 11;
constexpr int ft_nosuchfield = -1;
constexpr int ft_fileerror = -2;
constexpr int ft_fieldempty = -3;

constexpr DWORD kAttrSystem = 0x4;    // FILE_ATTRIBUTE_SYSTEM
constexpr DWORD kAttrNormal = 0x80;   // FILE_ATTRIBUTE_NORMAL
constexpr DWORD kNoTimeLow = 0xFFFFFFFEu;   // the interface's "file has no time"
constexpr DWORD kNoTimeHigh = 0xFFFFFFFFu;

inline HANDLE InvalidHandleValue() {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

// Host callbacks. The progress callback reports and answers non-zero to
// cancel; the request callback shows the host's own dialogs; the log
// callback is kept as an opaque pointer.
using ProgressProc = int(WFX_CALL*)(int plugin_nr, char* source_name,
                                    char* target_name, int percent_done);
using ProgressProcW = int(WFX_CALL*)(int plugin_nr, char16_t* source_name,
                                     char16_t* target_name, int percent_done);
using RequestProc = BOOL(WFX_CALL*)(int plugin_nr, int request_type, char* custom_title,
                                    char* custom_text, char* returned_text, int maxlen);
using RequestProcW = BOOL(WFX_CALL*)(int plugin_nr, int request_type, char16_t* custom_title,
                                     char16_t* custom_text, char16_t* returned_text, int maxlen);
using OpaqueProc = void(WFX_CALL*)();

// The request type of a plain message box with an OK button.
constexpr int RT_MsgOK = 8;

// Every export, as a function pointer type for hosts that load the module
// (FsInitFn and so on), and declared with the module's linkage below.
#define PAGORA_EXPORT_TYPE(set, result, name, field, parameters, forwarded) \
  using name##Fn = result(WFX_CALL*) parameters;
PAGORA_EXPORTS(PAGORA_EXPORT_TYPE)
#undef PAGORA_EXPORT_TYPE

#if defined(_WIN32)
#define WFX_EXPORT
#else
#define WFX_EXPORT __attribute__((visibility("default")))
#endif

#define PAGORA_EXPORT_DECLARATION(set, result, name, field, parameters, forwarded) \
  WFX_EXPORT result WFX_CALL name parameters;
extern "C" {
PAGORA_EXPORTS(PAGORA_EXPORT_DECLARATION)
}
#undef PAGORA_EXPORT_DECLARATION
