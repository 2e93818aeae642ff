// The only file that knows how a module is loaded on each system.
#include "tools/cli/module_loader.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#if defined(_WIN32)
// Declared here rather than taken from <windows.h>, whose names clash with the
// interface's own declarations. A module handle is its base address.
using FarProc = void(__stdcall*)();
extern "C" __declspec(dllimport) void* __stdcall LoadLibraryA(const char* file_name);
extern "C" __declspec(dllimport) FarProc __stdcall GetProcAddress(void* module, const char* name);
extern "C" __declspec(dllimport) int __stdcall FreeLibrary(void* module);
extern "C" __declspec(dllimport) DWORD __stdcall GetLastError();
extern "C" __declspec(dllimport) DWORD __stdcall GetModuleFileNameA(void* module, char* file_name,
                                                                    DWORD size);
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#if defined(PAGORA_PE_MODULES)
#include "tools/cli/pe_exports_bridge.h"
#include "tools/peloader/pe_module.h"
#include "tools/peloader/standins/standins.h"
#endif

namespace pagora_cli {

namespace {

#if defined(_WIN32)
void* OpenModule(const std::string& path, std::string* error) {
  void* handle = LoadLibraryA(path.c_str());
  if (handle == nullptr) *error = "Windows error " + std::to_string(GetLastError());
  return handle;
}

void CloseModule(void* handle) { FreeLibrary(handle); }

template <typename Fn>
Fn FindExport(void* handle, const char* name) {
  return reinterpret_cast<Fn>(GetProcAddress(handle, name));
}

const char* const kModuleName = sizeof(void*) == 8 ? "pagora.wfx64" : "pagora.wfx";
#else
void* OpenModule(const std::string& path, std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    *error = reason != nullptr ? reason : "unknown loader error";
  }
  return handle;
}

void CloseModule(void* handle) { dlclose(handle); }

template <typename Fn>
Fn FindExport(void* handle, const char* name) {
  void* symbol = dlsym(handle, name);
  // A data pointer and a function pointer share a representation on every
  // system with dlsym; copying avoids a cast the language leaves open.
  Fn function = nullptr;
  static_assert(sizeof(function) == sizeof(symbol), "dlsym gives function addresses");
  std::memcpy(&function, &symbol, sizeof(function));
  return function;
}

const char* const kModuleName = "pagora.wfx";
#endif

std::string ExecutableDirectory() {
  std::vector<char> buffer(4096, '\0');
#if defined(_WIN32)
  const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return ".";
  std::string path(buffer.data(), length);
  const std::size_t cut = path.find_last_of("\\/");
#else
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return ".";
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t cut = path.find_last_of('/');
#endif
  if (cut == std::string::npos) return ".";
  return path.substr(0, cut == 0 ? 1 : cut);
}

#if !defined(_WIN32)
// A Windows DLL begins with the DOS header's "MZ".
bool IsWindowsModule(const std::string& path) {
  char magic[2] = {};
  std::ifstream in(path, std::ios::binary);
  return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}
#endif

// Finds export `name` into `*function`; a missing one is added to
// `*missing` when that is given (the nine every plugin has).
template <typename Fn>
void Resolve(void* handle, const char* name, Fn* function, std::string* missing = nullptr) {
  *function = FindExport<Fn>(handle, name);
  if (*function == nullptr && missing != nullptr) {
    *missing += std::string(missing->empty() ? "" : ", ") + name;
  }
}

std::string NotAPlugin(const std::string& path, const std::string& missing) {
  return "module '" + path + "' is not a file-system plugin: it lacks " + missing;
}

}  // namespace

PluginModule::~PluginModule() { Unload(); }

void PluginModule::Unload() {
#if defined(PAGORA_PE_MODULES)
  if (windows_module_ != nullptr) {
    ReleaseBridge();
    delete windows_module_;
    windows_module_ = nullptr;
    handle_ = nullptr;
  }
#endif
  if (handle_ != nullptr) CloseModule(handle_);
  handle_ = nullptr;
  exports_ = PluginExports();
  optional_ = OptionalExports();
}

bool PluginModule::LoadWindowsModule(const std::string& path, std::string* error) {
#if defined(PAGORA_PE_MODULES)
  auto module = std::make_unique<pe::PeModule>();
  std::string reason;
  if (module->LoadFile(path, pe::ResolveStandIn, &reason) != 0) {
    *error = "cannot load module '" + path + "': " + reason;
    return false;
  }
  std::string missing;
  if (!BridgeExports(*module, &exports_, &optional_, &missing)) {
    *error = NotAPlugin(path, missing);
    return false;
  }
  windows_module_ = module.release();
  handle_ = windows_module_->base();
  return true;
#else
  *error = "cannot load module '" + path +
           "': it is a Windows DLL, which only the 32-bit x86 build of this host loads";
  return false;
#endif
}

bool PluginModule::Load(const std::string& path, std::string* error) {
  Unload();
#if !defined(_WIN32)
  if (IsWindowsModule(path)) return LoadWindowsModule(path, error);
#endif
  std::string reason;
  void* handle = OpenModule(path, &reason);
  if (handle == nullptr) {
    *error = "cannot load module '" + path + "': " + reason;
    return false;
  }
  PluginExports found;
  std::string missing;
#define PAGORA_RESOLVE_REQUIRED(set, result, name, field, parameters, forwarded) \
  PAGORA_IF_REQUIRED(set, Resolve(handle, #name, &found.field, &missing);)
  PAGORA_EXPORTS(PAGORA_RESOLVE_REQUIRED)
#undef PAGORA_RESOLVE_REQUIRED
  if (!missing.empty()) {
    CloseModule(handle);
    *error = NotAPlugin(path, missing);
    return false;
  }
  handle_ = handle;
  exports_ = found;
  OptionalExports& more = optional_;
#define PAGORA_RESOLVE_OPTIONAL(set, result, name, field, parameters, forwarded) \
  PAGORA_IF_OPTIONAL(set, Resolve(handle, #name, &more.field);)
  PAGORA_EXPORTS(PAGORA_RESOLVE_OPTIONAL)
#undef PAGORA_RESOLVE_OPTIONAL
  return true;
}

std::string DefaultModulePath() {
#if defined(_WIN32)
  return ExecutableDirectory() + "\\" + kModuleName;
#else
  return ExecutableDirectory() + "/" + kModuleName;
#endif
}

}  // namespace pagora_cli
