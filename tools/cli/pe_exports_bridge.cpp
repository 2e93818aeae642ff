#include "tools/cli/pe_exports_bridge.h"

#include <cstring>
#include <vector>

#include "tools/peloader/stdcall_call.h"

namespace pagora_cli {

namespace {

// The exports as the module's own (stdcall) function types.
using ModuleProgress = int(PE_STDCALL*)(int, char*, char*, int);
struct ModuleExports {
  int(PE_STDCALL* init)(int, ModuleProgress, void*, void*);
  HANDLE(PE_STDCALL* find_first)(char*, WIN32_FIND_DATAA*);
  BOOL(PE_STDCALL* find_next)(HANDLE, WIN32_FIND_DATAA*);
  int(PE_STDCALL* find_close)(HANDLE);
  int(PE_STDCALL* get_file)(char*, char*, int, void*);
  int(PE_STDCALL* put_file)(char*, char*, int);
  BOOL(PE_STDCALL* delete_file)(char*);
  int(PE_STDCALL* execute_file)(HWND, char*, char*);
  void(PE_STDCALL* get_def_root_name)(char*, int);
};

ModuleExports g_module;
ProgressProc g_progress = nullptr;

// The callback the module calls, in its convention; it passes the call on
// to the host's.
int PE_API ProgressFromModule(int plugin_nr, char* source, char* target, int percent) {
  return g_progress != nullptr ? g_progress(plugin_nr, source, target, percent) : 0;
}

// The host spells remote names with its own separator; a Windows module is
// handed them as a host on Windows would, with backslashes, in a copy of
// its own (MAX_PATH at least, as a host's buffers are) that it may write in.
class WindowsRemote {
 public:
  explicit WindowsRemote(const char* remote) {
    const std::size_t length = remote != nullptr ? std::strlen(remote) : 0;
    text_.assign(length + 1 > kMaxPath ? length + 1 : kMaxPath, '\0');
    for (std::size_t i = 0; i < length; ++i) text_[i] = remote[i] == '/' ? '\\' : remote[i];
    null_ = remote == nullptr;
  }
  char* get() { return null_ ? nullptr : text_.data(); }

 private:
  static constexpr std::size_t kMaxPath = 260;
  std::vector<char> text_;
  bool null_ = false;
};

// The host gives no logging or request callbacks; a module is told so by
// null pointers, which the interface allows.
int Init(int plugin_nr, ProgressProc progress, OpaqueProc, OpaqueProc) {
  g_progress = progress;
  return pe::Call("FsInit", g_module.init, plugin_nr,
                  progress != nullptr ? &ProgressFromModule : nullptr, nullptr, nullptr);
}
HANDLE FindFirst(char* path, WIN32_FIND_DATAA* data) {
  return pe::Call("FsFindFirst", g_module.find_first, WindowsRemote(path).get(), data);
}
BOOL FindNext(HANDLE handle, WIN32_FIND_DATAA* data) {
  return pe::Call("FsFindNext", g_module.find_next, handle, data);
}
int FindClose(HANDLE handle) { return pe::Call("FsFindClose", g_module.find_close, handle); }
int GetFile(char* remote, char* local, int flags, void* info) {
  return pe::Call("FsGetFile", g_module.get_file, WindowsRemote(remote).get(), local, flags, info);
}
int PutFile(char* local, char* remote, int flags) {
  return pe::Call("FsPutFile", g_module.put_file, local, WindowsRemote(remote).get(), flags);
}
BOOL DeleteFile(char* remote) {
  return pe::Call("FsDeleteFile", g_module.delete_file, WindowsRemote(remote).get());
}
int ExecuteFile(HWND window, char* remote, char* verb) {
  return pe::Call("FsExecuteFile", g_module.execute_file, window, WindowsRemote(remote).get(), verb);
}
void GetDefRootName(char* name, int size) {
  pe::Call("FsGetDefRootName", g_module.get_def_root_name, name, size);
}

template <typename Fn>
void Find(const pe::PeModule& module, const char* name, Fn* function, std::string* missing) {
  void* address = module.Export(name);
  if (address == nullptr) *missing += std::string(missing->empty() ? "" : ", ") + name;
  static_assert(sizeof(*function) == sizeof(address), "code and data addresses share a size");
  std::memcpy(function, &address, sizeof(address));
}

}  // namespace

bool BridgeExports(const pe::PeModule& module, PluginExports* exports, std::string* missing) {
  ModuleExports found{};
  Find(module, "FsInit", &found.init, missing);
  Find(module, "FsFindFirst", &found.find_first, missing);
  Find(module, "FsFindNext", &found.find_next, missing);
  Find(module, "FsFindClose", &found.find_close, missing);
  Find(module, "FsGetFile", &found.get_file, missing);
  Find(module, "FsPutFile", &found.put_file, missing);
  Find(module, "FsDeleteFile", &found.delete_file, missing);
  Find(module, "FsExecuteFile", &found.execute_file, missing);
  Find(module, "FsGetDefRootName", &found.get_def_root_name, missing);
  if (!missing->empty()) return false;
  g_module = found;
  g_progress = nullptr;
  *exports = PluginExports{Init,     FindFirst, FindNext,    FindClose,     GetFile,
                           PutFile,  DeleteFile, ExecuteFile, GetDefRootName};
  return true;
}

void ReleaseBridge() {
  g_module = ModuleExports{};
  g_progress = nullptr;
}

}  // namespace pagora_cli
