// Every function the module exports, once. The declarations, the module
// definition file (ordinals and 32-bit argument bytes, generated at build
// time by cmake/export_def.cmake), the command-line host's function tables
// and its bridge into a 32-bit Windows module, the Windows test host and
// the DLL checker all come from these rows; adding an export is one row
// here and its body in exports.cpp.
//
// Each row is X(set, result, name, field, parameters, forwarded):
//   set         Ansi: the nine every host calls; Unicode: their UTF-16
//               forms; Content: the detail columns. A host requires the
//               Ansi set and takes the others where the module has them.
//   field       the member that holds the function in a host's tables
//   parameters  the parameter list as declared; every parameter is one
//               32-bit word on 32-bit Windows
//   forwarded   the parameter names, each remote name marked Remote() and
//               each host callback Callback(), for a host that passes the
//               call on to a module of another convention
// Rows are read by a regular expression as well (cmake/export_def.cmake,
// tests/windows/check_dll.py): one row per line, no parentheses inside
// the parameter list.
#pragma once

// clang-format off
#define PAGORA_EXPORTS(X) \
  X(Ansi, int, FsInit, init, (int plugin_nr, ProgressProc progress, OpaqueProc log, RequestProc request), (plugin_nr, Callback(progress), Callback(log), Callback(request))) \
  X(Ansi, HANDLE, FsFindFirst, find_first, (char* path, WIN32_FIND_DATAA* find_data), (Remote(path), find_data)) \
  X(Ansi, BOOL, FsFindNext, find_next, (HANDLE handle, WIN32_FIND_DATAA* find_data), (handle, find_data)) \
  X(Ansi, int, FsFindClose, find_close, (HANDLE handle), (handle)) \
  X(Ansi, int, FsGetFile, get_file, (char* remote_name, char* local_name, int copy_flags, void* remote_info), (Remote(remote_name), local_name, copy_flags, remote_info)) \
  X(Ansi, int, FsPutFile, put_file, (char* local_name, char* remote_name, int copy_flags), (local_name, Remote(remote_name), copy_flags)) \
  X(Ansi, BOOL, FsDeleteFile, delete_file, (char* remote_name), (Remote(remote_name))) \
  X(Ansi, int, FsExecuteFile, execute_file, (HWND main_window, char* remote_name, char* verb), (main_window, Remote(remote_name), verb)) \
  X(Ansi, void, FsGetDefRootName, get_def_root_name, (char* def_root_name, int maxlen), (def_root_name, maxlen)) \
  X(Content, int, FsContentGetSupportedField, content_supported_field, (int field_index, char* field_name, char* units, int maxlen), (field_index, field_name, units, maxlen)) \
  X(Content, int, FsContentGetValue, content_value, (char* remote_name, int field_index, int unit_index, void* field_value, int maxlen, int flags), (Remote(remote_name), field_index, unit_index, field_value, maxlen, flags)) \
  X(Content, int, FsContentGetValueW, content_value_w, (char16_t* remote_name, int field_index, int unit_index, void* field_value, int maxlen, int flags), (Remote(remote_name), field_index, unit_index, field_value, maxlen, flags)) \
  X(Unicode, int, FsInitW, init_w, (int plugin_nr, ProgressProcW progress, OpaqueProc log, RequestProcW request), (plugin_nr, Callback(progress), Callback(log), Callback(request))) \
  X(Unicode, HANDLE, FsFindFirstW, find_first_w, (char16_t* path, WIN32_FIND_DATAW* find_data), (Remote(path), find_data)) \
  X(Unicode, BOOL, FsFindNextW, find_next_w, (HANDLE handle, WIN32_FIND_DATAW* find_data), (handle, find_data)) \
  X(Unicode, int, FsGetFileW, get_file_w, (char16_t* remote_name, char16_t* local_name, int copy_flags, void* remote_info), (Remote(remote_name), local_name, copy_flags, remote_info)) \
  X(Unicode, int, FsPutFileW, put_file_w, (char16_t* local_name, char16_t* remote_name, int copy_flags), (local_name, Remote(remote_name), copy_flags)) \
  X(Unicode, BOOL, FsDeleteFileW, delete_file_w, (char16_t* remote_name), (Remote(remote_name))) \
  X(Unicode, int, FsExecuteFileW, execute_file_w, (HWND main_window, char16_t* remote_name, char16_t* verb), (main_window, Remote(remote_name), verb))
// clang-format on

// PAGORA_IF_REQUIRED(set, ...) keeps its code for the Ansi set only;
// PAGORA_IF_OPTIONAL(set, ...) for the others.
#define PAGORA_IF_REQUIRED(set, ...) PAGORA_IF_REQUIRED_##set(__VA_ARGS__)
#define PAGORA_IF_REQUIRED_Ansi(...) __VA_ARGS__
#define PAGORA_IF_REQUIRED_Unicode(...)
#define PAGORA_IF_REQUIRED_Content(...)
#define PAGORA_IF_OPTIONAL(set, ...) PAGORA_IF_OPTIONAL_##set(__VA_ARGS__)
#define PAGORA_IF_OPTIONAL_Ansi(...)
#define PAGORA_IF_OPTIONAL_Unicode(...) __VA_ARGS__
#define PAGORA_IF_OPTIONAL_Content(...) __VA_ARGS__

// Takes the parentheses off a row's forwarded list.
#define PAGORA_UNPARENTHESIZED(...) __VA_ARGS__
