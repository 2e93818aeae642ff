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

// The nine exports, as function pointer types for hosts that load the module.
using FsInitFn = int(WFX_CALL*)(int, ProgressProc, OpaqueProc, RequestProc);
using FsFindFirstFn = HANDLE(WFX_CALL*)(char*, WIN32_FIND_DATAA*);
using FsFindNextFn = BOOL(WFX_CALL*)(HANDLE, WIN32_FIND_DATAA*);
using FsFindCloseFn = int(WFX_CALL*)(HANDLE);
using FsGetFileFn = int(WFX_CALL*)(char*, char*, int, void*);
using FsPutFileFn = int(WFX_CALL*)(char*, char*, int);
using FsDeleteFileFn = BOOL(WFX_CALL*)(char*);
using FsExecuteFileFn = int(WFX_CALL*)(HWND, char*, char*);
using FsGetDefRootNameFn = void(WFX_CALL*)(char*, int);
using FsContentGetSupportedFieldFn = int(WFX_CALL*)(int, char*, char*, int);
using FsContentGetValueFn = int(WFX_CALL*)(char*, int, int, void*, int, int);
using FsContentGetValueWFn = int(WFX_CALL*)(char16_t*, int, int, void*, int, int);
// The Unicode exports: the same arguments and results, texts in UTF-16.
using FsInitWFn = int(WFX_CALL*)(int, ProgressProcW, OpaqueProc, RequestProcW);
using FsFindFirstWFn = HANDLE(WFX_CALL*)(char16_t*, WIN32_FIND_DATAW*);
using FsFindNextWFn = BOOL(WFX_CALL*)(HANDLE, WIN32_FIND_DATAW*);
using FsGetFileWFn = int(WFX_CALL*)(char16_t*, char16_t*, int, void*);
using FsPutFileWFn = int(WFX_CALL*)(char16_t*, char16_t*, int);
using FsDeleteFileWFn = BOOL(WFX_CALL*)(char16_t*);
using FsExecuteFileWFn = int(WFX_CALL*)(HWND, char16_t*, char16_t*);

#if defined(_WIN32)
#define WFX_EXPORT
#else
#define WFX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
WFX_EXPORT int WFX_CALL FsInit(int plugin_nr, ProgressProc progress,
                               OpaqueProc log, RequestProc request);
WFX_EXPORT HANDLE WFX_CALL FsFindFirst(char* path, WIN32_FIND_DATAA* find_data);
WFX_EXPORT BOOL WFX_CALL FsFindNext(HANDLE handle, WIN32_FIND_DATAA* find_data);
WFX_EXPORT int WFX_CALL FsFindClose(HANDLE handle);
WFX_EXPORT int WFX_CALL FsGetFile(char* remote_name, char* local_name,
                                  int copy_flags, void* remote_info);
WFX_EXPORT int WFX_CALL FsPutFile(char* local_name, char* remote_name,
                                  int copy_flags);
WFX_EXPORT BOOL WFX_CALL FsDeleteFile(char* remote_name);
WFX_EXPORT int WFX_CALL FsExecuteFile(HWND main_window, char* remote_name,
                                      char* verb);
WFX_EXPORT void WFX_CALL FsGetDefRootName(char* def_root_name, int maxlen);
WFX_EXPORT int WFX_CALL FsContentGetSupportedField(int field_index, char* field_name,
                                                   char* units, int maxlen);
WFX_EXPORT int WFX_CALL FsContentGetValue(char* remote_name, int field_index, int unit_index,
                                          void* field_value, int maxlen, int flags);

WFX_EXPORT int WFX_CALL FsInitW(int plugin_nr, ProgressProcW progress,
                                OpaqueProc log, RequestProcW request);
WFX_EXPORT HANDLE WFX_CALL FsFindFirstW(char16_t* path, WIN32_FIND_DATAW* find_data);
WFX_EXPORT BOOL WFX_CALL FsFindNextW(HANDLE handle, WIN32_FIND_DATAW* find_data);
WFX_EXPORT int WFX_CALL FsGetFileW(char16_t* remote_name, char16_t* local_name,
                                   int copy_flags, void* remote_info);
WFX_EXPORT int WFX_CALL FsPutFileW(char16_t* local_name, char16_t* remote_name,
                                   int copy_flags);
WFX_EXPORT BOOL WFX_CALL FsDeleteFileW(char16_t* remote_name);
WFX_EXPORT int WFX_CALL FsExecuteFileW(HWND main_window, char16_t* remote_name,
                                       char16_t* verb);
WFX_EXPORT int WFX_CALL FsContentGetValueW(char16_t* remote_name, int field_index,
                                           int unit_index, void* field_value, int maxlen,
                                           int flags);
}
