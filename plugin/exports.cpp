// The nine functions the host calls, and the module's lifetime.
#include <cstring>

#include "catalog/reader_state.h"
#include "plugin/file_ops.h"
#include "plugin/fs_api.h"
#include "plugin/host_context.h"
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

}  // namespace

ReaderState& Reader() { return g_module.reader; }

}  // namespace pagora

using namespace pagora;

#if defined(_WIN32)
extern "C" int __stdcall DllMain(void*, unsigned long, void*) { return 1; }
#endif

extern "C" {

int WFX_CALL FsInit(int plugin_nr, ProgressProc progress, OpaqueProc log, OpaqueProc request) {
  HostContext& host = Host();
  host.plugin_nr = plugin_nr;
  host.progress = progress;
  host.log = log;
  host.request = request;
  return 0;
}

HANDLE WFX_CALL FsFindFirst(char* path, WIN32_FIND_DATAA* find_data) {
  return FindFirst(Reader(), path, find_data);
}

BOOL WFX_CALL FsFindNext(HANDLE handle, WIN32_FIND_DATAA* find_data) {
  return FindNext(Reader(), handle, find_data);
}

int WFX_CALL FsFindClose(HANDLE) { return 0; }

int WFX_CALL FsGetFile(char* remote_name, char* local_name, int copy_flags, void*) {
  return GetFile(Reader(), remote_name, local_name, copy_flags);
}

int WFX_CALL FsPutFile(char* local_name, char* remote_name, int copy_flags) {
  return PutFile(Reader(), local_name, remote_name, copy_flags);
}

BOOL WFX_CALL FsDeleteFile(char* remote_name) { return DeleteFile(Reader(), remote_name); }

int WFX_CALL FsExecuteFile(HWND, char*, char*) { return FS_EXEC_OK; }

void WFX_CALL FsGetDefRootName(char* def_root_name, int maxlen) {
  if (maxlen < 1) return;
  const std::size_t room = static_cast<std::size_t>(maxlen) - 1;
  const std::size_t length = sizeof kRootName - 1 < room ? sizeof kRootName - 1 : room;
  std::memcpy(def_root_name, kRootName, length);
  def_root_name[length] = '\0';
}

}  // extern "C"
