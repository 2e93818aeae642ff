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

// The exports a module may lack, in the same way.
using ModuleProgressW = int(PE_STDCALL*)(int, char16_t*, char16_t*, int);
struct ModuleOptional {
  int(PE_STDCALL* content_supported_field)(int, char*, char*, int);
  int(PE_STDCALL* content_value)(char*, int, int, void*, int, int);
  int(PE_STDCALL* content_value_w)(char16_t*, int, int, void*, int, int);
  int(PE_STDCALL* init_w)(int, ModuleProgressW, void*, void*);
  HANDLE(PE_STDCALL* find_first_w)(char16_t*, WIN32_FIND_DATAW*);
  BOOL(PE_STDCALL* find_next_w)(HANDLE, WIN32_FIND_DATAW*);
  int(PE_STDCALL* get_file_w)(char16_t*, char16_t*, int, void*);
  int(PE_STDCALL* put_file_w)(char16_t*, char16_t*, int);
  BOOL(PE_STDCALL* delete_file_w)(char16_t*);
  int(PE_STDCALL* execute_file_w)(HWND, char16_t*, char16_t*);
};

ModuleExports g_module;
ModuleOptional g_optional;
ProgressProc g_progress = nullptr;
ProgressProcW g_progress_w = nullptr;

// The callback the module calls, in its convention; it passes the call on
// to the host's.
int PE_API ProgressFromModule(int plugin_nr, char* source, char* target, int percent) {
  return g_progress != nullptr ? g_progress(plugin_nr, source, target, percent) : 0;
}

int PE_API ProgressFromModuleW(int plugin_nr, char16_t* source, char16_t* target, int percent) {
  return g_progress_w != nullptr ? g_progress_w(plugin_nr, source, target, percent) : 0;
}

// The host spells remote names with its own separator; a Windows module is
// handed them as a host on Windows would, with backslashes, in a copy of
// its own (MAX_PATH at least, as a host's buffers are) that it may write in.
template <typename Char>
class WindowsRemoteOf {
 public:
  explicit WindowsRemoteOf(const Char* remote) {
    std::size_t length = 0;
    while (remote != nullptr && remote[length] != 0) ++length;
    text_.assign(length + 1 > kMaxPath ? length + 1 : kMaxPath, 0);
    for (std::size_t i = 0; i < length; ++i) text_[i] = remote[i] == '/' ? Char('\\') : remote[i];
    null_ = remote == nullptr;
  }
  Char* get() { return null_ ? nullptr : text_.data(); }

 private:
  static constexpr std::size_t kMaxPath = 260;
  std::vector<Char> text_;
  bool null_ = false;
};
using WindowsRemote = WindowsRemoteOf<char>;
using WindowsRemoteW = WindowsRemoteOf<char16_t>;

// The host gives no logging or request callbacks; a module is told so by
// null pointers, which the interface allows. A Windows module shows its
// messages with MessageBoxA and MessageBoxW, whose stand-in writes them to standard error.
int Init(int plugin_nr, ProgressProc progress, OpaqueProc, RequestProc) {
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
int BridgedGetFile(char* remote, char* local, int flags, void* info) {
  return pe::Call("FsGetFile", g_module.get_file, WindowsRemote(remote).get(), local, flags, info);
}
int BridgedPutFile(char* local, char* remote, int flags) {
  return pe::Call("FsPutFile", g_module.put_file, local, WindowsRemote(remote).get(), flags);
}
BOOL BridgedDeleteFile(char* remote) {
  return pe::Call("FsDeleteFile", g_module.delete_file, WindowsRemote(remote).get());
}
int ExecuteFile(HWND window, char* remote, char* verb) {
  return pe::Call("FsExecuteFile", g_module.execute_file, window, WindowsRemote(remote).get(), verb);
}
void GetDefRootName(char* name, int size) {
  pe::Call("FsGetDefRootName", g_module.get_def_root_name, name, size);
}

int ContentSupportedField(int index, char* name, char* units, int maxlen) {
  return pe::Call("FsContentGetSupportedField", g_optional.content_supported_field, index, name,
                  units, maxlen);
}
int ContentValue(char* remote, int index, int unit, void* value, int maxlen, int flags) {
  return pe::Call("FsContentGetValue", g_optional.content_value, WindowsRemote(remote).get(),
                  index, unit, value, maxlen, flags);
}
int ContentValueW(char16_t* remote, int index, int unit, void* value, int maxlen, int flags) {
  return pe::Call("FsContentGetValueW", g_optional.content_value_w, WindowsRemoteW(remote).get(),
                  index, unit, value, maxlen, flags);
}
int InitW(int plugin_nr, ProgressProcW progress, OpaqueProc, RequestProcW) {
  g_progress_w = progress;
  return pe::Call("FsInitW", g_optional.init_w, plugin_nr,
                  progress != nullptr ? &ProgressFromModuleW : nullptr, nullptr, nullptr);
}
HANDLE FindFirstW(char16_t* path, WIN32_FIND_DATAW* data) {
  return pe::Call("FsFindFirstW", g_optional.find_first_w, WindowsRemoteW(path).get(), data);
}
BOOL FindNextW(HANDLE handle, WIN32_FIND_DATAW* data) {
  return pe::Call("FsFindNextW", g_optional.find_next_w, handle, data);
}
int GetFileW(char16_t* remote, char16_t* local, int flags, void* info) {
  return pe::Call("FsGetFileW", g_optional.get_file_w, WindowsRemoteW(remote).get(), local, flags,
                  info);
}
int PutFileW(char16_t* local, char16_t* remote, int flags) {
  return pe::Call("FsPutFileW", g_optional.put_file_w, local, WindowsRemoteW(remote).get(), flags);
}
BOOL DeleteFileW(char16_t* remote) {
  return pe::Call("FsDeleteFileW", g_optional.delete_file_w, WindowsRemoteW(remote).get());
}
int ExecuteFileW(HWND window, char16_t* remote, char16_t* verb) {
  return pe::Call("FsExecuteFileW", g_optional.execute_file_w, window,
                  WindowsRemoteW(remote).get(), verb);
}

template <typename Fn>
void Find(const pe::PeModule& module, const char* name, Fn* function, std::string* missing) {
  void* address = module.Export(name);
  if (address == nullptr && missing != nullptr) {
    *missing += std::string(missing->empty() ? "" : ", ") + name;
  }
  static_assert(sizeof(*function) == sizeof(address), "code and data addresses share a size");
  std::memcpy(function, &address, sizeof(address));
}

// The host-side function for an export the module has, or none.
template <typename Fn, typename ModuleFn>
Fn IfPresent(ModuleFn module_function, Fn host_function) {
  return module_function != nullptr ? host_function : nullptr;
}

}  // namespace

bool BridgeExports(const pe::PeModule& module, PluginExports* exports, OptionalExports* optional,
                   std::string* missing) {
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
  g_progress_w = nullptr;
  ModuleOptional more{};
  Find(module, "FsContentGetSupportedField", &more.content_supported_field, nullptr);
  Find(module, "FsContentGetValue", &more.content_value, nullptr);
  Find(module, "FsContentGetValueW", &more.content_value_w, nullptr);
  Find(module, "FsInitW", &more.init_w, nullptr);
  Find(module, "FsFindFirstW", &more.find_first_w, nullptr);
  Find(module, "FsFindNextW", &more.find_next_w, nullptr);
  Find(module, "FsGetFileW", &more.get_file_w, nullptr);
  Find(module, "FsPutFileW", &more.put_file_w, nullptr);
  Find(module, "FsDeleteFileW", &more.delete_file_w, nullptr);
  Find(module, "FsExecuteFileW", &more.execute_file_w, nullptr);
  g_optional = more;
  optional->content_supported_field =
      IfPresent(more.content_supported_field, &ContentSupportedField);
  optional->content_value = IfPresent(more.content_value, &ContentValue);
  optional->content_value_w = IfPresent(more.content_value_w, &ContentValueW);
  optional->init_w = IfPresent(more.init_w, &InitW);
  optional->find_first_w = IfPresent(more.find_first_w, &FindFirstW);
  optional->find_next_w = IfPresent(more.find_next_w, &FindNextW);
  optional->get_file_w = IfPresent(more.get_file_w, &GetFileW);
  optional->put_file_w = IfPresent(more.put_file_w, &PutFileW);
  optional->delete_file_w = IfPresent(more.delete_file_w, &DeleteFileW);
  optional->execute_file_w = IfPresent(more.execute_file_w, &ExecuteFileW);
  *exports = PluginExports{Init,     FindFirst, FindNext,    FindClose,     BridgedGetFile,
                           BridgedPutFile,  BridgedDeleteFile, ExecuteFile, GetDefRootName};
  return true;
}

void ReleaseBridge() {
  g_module = ModuleExports{};
  g_optional = ModuleOptional{};
  g_progress = nullptr;
  g_progress_w = nullptr;
}

}  // namespace pagora_cli
