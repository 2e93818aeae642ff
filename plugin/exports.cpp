// The nine functions the host calls, and the module's lifetime.
#include <cstring>

#include "state/reader_state.h"
#include "plugin/catalog_guard.h"
#include "plugin/content_fields.h"
#include "plugin/execute.h"
#include "plugin/file_ops.h"
#include "plugin/fs_api.h"
#include "plugin/host_context.h"
#include "plugin/host_text.h"
#include "plugin/reader_text.h"
#include "plugin/listing.h"
#include "plugin/module.h"

namespace pagora {
namespace {

// Constructed by the module's static initialisation before the host can
// call an export, destroyed at unload. An open device handle is left to the
// operating system.
struct Module {
  ReaderState reader;
  Module() { ConstructReaderState(reader); }
  ~Module() { DestroyReaderState(reader); }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
};

Module g_module;

constexpr char kRootName[] = "Pagora eBook";

// A name the host passes, as reader text: its characters one byte each, at
// most the host's 259. Empty when it holds a character the reader lacks or
// is longer, which finds no title and names no upload.
struct ReaderName {
  char text[kMaxHostName + 1];
  bool ok;
  explicit ReaderName(const char* host) {
    ok = host != nullptr && AnsiToReader(host, text, sizeof text) >= 0;
    if (!ok) text[0] = '\0';
  }
  explicit ReaderName(const char16_t* host) {
    ok = host != nullptr && Utf16ToReader(host, text, sizeof text) >= 0;
    if (!ok) text[0] = '\0';
  }
};

void SetHost(int plugin_nr, ProgressProc progress, ProgressProcW progress_w, OpaqueProc log,
             RequestProc request, RequestProcW request_w, bool unicode) {
  HostContext& host = Host();
  host.plugin_nr = plugin_nr;
  host.progress = progress;
  host.progress_w = progress_w;
  host.log = log;
  host.request = request;
  host.request_w = request_w;
  host.unicode = unicode;
}

template <typename FindData>
HANDLE FindFirstAs(bool root, FindData* find_data) {
  ListingEntry entry;
  HANDLE handle = FindFirst(Reader(), root, &entry);
  if (handle != InvalidHandleValue()) WriteFindData(entry, find_data);
  return handle;
}

template <typename FindData>
BOOL FindNextAs(HANDLE handle, FindData* find_data) {
  ListingEntry entry;
  const BOOL more = FindNext(Reader(), handle, &entry);
  if (more) WriteFindData(entry, find_data);
  return more;
}

}  // namespace

ReaderState& Reader() { return g_module.reader; }

std::atomic<bool>& CatalogInUse() {
  static std::atomic<bool> in_use{false};
  return in_use;
}

int& CatalogHoldDepth() {
  static int depth = 0;
  return depth;
}

}  // namespace pagora

using namespace pagora;

extern "C" {

int WFX_CALL FsInit(int plugin_nr, ProgressProc progress, OpaqueProc log, RequestProc request) {
  SetHost(plugin_nr, progress, nullptr, log, request, nullptr, false);
  return 0;
}

int WFX_CALL FsInitW(int plugin_nr, ProgressProcW progress, OpaqueProc log,
                     RequestProcW request) {
  SetHost(plugin_nr, nullptr, progress, log, nullptr, request, true);
  return 0;
}

HANDLE WFX_CALL FsFindFirst(char* path, WIN32_FIND_DATAA* find_data) {
  const CatalogHold hold;
  return FindFirstAs(IsRootPath(path), find_data);
}

HANDLE WFX_CALL FsFindFirstW(char16_t* path, WIN32_FIND_DATAW* find_data) {
  const CatalogHold hold;
  return FindFirstAs(IsRootPath(path), find_data);
}

BOOL WFX_CALL FsFindNext(HANDLE handle, WIN32_FIND_DATAA* find_data) {
  const CatalogHold hold;
  return FindNextAs(handle, find_data);
}

BOOL WFX_CALL FsFindNextW(HANDLE handle, WIN32_FIND_DATAW* find_data) {
  const CatalogHold hold;
  return FindNextAs(handle, find_data);
}

int WFX_CALL FsFindClose(HANDLE) { return 0; }

int WFX_CALL FsGetFile(char* remote_name, char* local_name, int copy_flags, void*) {
  const CatalogHold hold;
  SetTransferNames(remote_name, local_name);
  const ReaderName remote(remote_name);
  if (!remote.ok) return FS_FILE_NOTFOUND;
  return GetRemoteFile(Reader(), remote.text, local_name, copy_flags);
}

int WFX_CALL FsGetFileW(char16_t* remote_name, char16_t* local_name, int copy_flags, void*) {
  const CatalogHold hold;
  SetTransferNames(remote_name, local_name);
  const ReaderName remote(remote_name);
  if (!remote.ok) return FS_FILE_NOTFOUND;
  return GetRemoteFile(Reader(), remote.text, local_name, copy_flags);
}

// An upload name the reader cannot hold is refused before anything else.
int WFX_CALL FsPutFile(char* local_name, char* remote_name, int copy_flags) {
  const CatalogHold hold;
  SetTransferNames(local_name, remote_name);
  const ReaderName remote(remote_name);
  if (!remote.ok) return FS_FILE_NOTSUPPORTED;
  return PutRemoteFile(Reader(), local_name, remote.text, copy_flags);
}

int WFX_CALL FsPutFileW(char16_t* local_name, char16_t* remote_name, int copy_flags) {
  const CatalogHold hold;
  SetTransferNames(local_name, remote_name);
  const ReaderName remote(remote_name);
  if (!remote.ok) return FS_FILE_NOTSUPPORTED;
  return PutRemoteFile(Reader(), local_name, remote.text, copy_flags);
}

BOOL WFX_CALL FsDeleteFile(char* remote_name) {
  const CatalogHold hold;
  const ReaderName remote(remote_name);
  return remote.ok ? DeleteRemoteFile(Reader(), remote.text) : kFalse;
}

BOOL WFX_CALL FsDeleteFileW(char16_t* remote_name) {
  const CatalogHold hold;
  const ReaderName remote(remote_name);
  return remote.ok ? DeleteRemoteFile(Reader(), remote.text) : kFalse;
}

int WFX_CALL FsExecuteFile(HWND, char* remote_name, char* verb) {
  const CatalogHold hold;
  const ReaderName remote(remote_name);
  return remote.ok ? ExecuteFile(Reader(), remote.text, verb) : FS_EXEC_OK;
}

int WFX_CALL FsExecuteFileW(HWND, char16_t* remote_name, char16_t* verb) {
  const CatalogHold hold;
  const ReaderName remote(remote_name);
  const ReaderName verb_text(verb);  // a verb past the reader's set is no verb
  return remote.ok ? ExecuteFile(Reader(), remote.text, verb_text.text) : FS_EXEC_OK;
}

void WFX_CALL FsGetDefRootName(char* def_root_name, int maxlen) {
  if (maxlen < 1) return;
  const std::size_t room = static_cast<std::size_t>(maxlen) - 1;
  const std::size_t length = sizeof kRootName - 1 < room ? sizeof kRootName - 1 : room;
  std::memcpy(def_root_name, kRootName, length);
  def_root_name[length] = '\0';
}

int WFX_CALL FsContentGetSupportedField(int field_index, char* field_name, char* units,
                                        int maxlen) {
  return SupportedField(field_index, field_name, units, maxlen);
}

// No field is slow to get, so the flags asking about that are not read.
int WFX_CALL FsContentGetValue(char* remote_name, int field_index, int, void* field_value,
                               int maxlen, int) {
  // A name the reader cannot hold finds no title, after the field and the
  // buffer are checked.
  const ReaderName remote(remote_name);
  const CatalogTry attempt;
  if (!attempt.held()) return ft_fieldempty;  // being rebuilt or in a transfer: ask again later
  return ContentValue(Reader(), remote.ok ? remote.text : nullptr, field_index, field_value,
                      maxlen, TextForm::kEightBit);
}

int WFX_CALL FsContentGetValueW(char16_t* remote_name, int field_index, int, void* field_value,
                                int maxlen, int) {
  const ReaderName remote(remote_name);
  const CatalogTry attempt;
  if (!attempt.held()) return ft_fieldempty;
  return ContentValue(Reader(), remote.ok ? remote.text : nullptr, field_index, field_value,
                      maxlen, TextForm::kUtf16);
}

}  // extern "C"
