#include "tests/windows/module_loader.h"

#include <cstdint>

// Declared here rather than taken from <windows.h>, which would clash with
// the interface's own Windows names in fs_api.h.
using FarProc = void(__stdcall*)();
extern "C" __declspec(dllimport) void* __stdcall LoadLibraryA(const char* file_name);
extern "C" __declspec(dllimport) FarProc __stdcall GetProcAddress(void* module, const char* name);

namespace {

template <typename Fn>
void Resolve(void* library, const char* name, Fn* out, std::vector<std::string>* missing) {
  FarProc proc = GetProcAddress(library, name);
  if (proc == nullptr) {
    missing->push_back(name);
    return;
  }
  *out = reinterpret_cast<Fn>(proc);
}

}  // namespace

std::string WindowsPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  if (!path.empty() && path[0] == '/') out = "Z:" + out;
  return out;
}

bool LoadPluginModule(const std::string& path, PluginModule* module,
                      std::vector<std::string>* missing) {
  module->library = LoadLibraryA(WindowsPath(path).c_str());
  if (module->library == nullptr) return false;
  Resolve(module->library, "FsInit", &module->init, missing);
  Resolve(module->library, "FsFindFirst", &module->find_first, missing);
  Resolve(module->library, "FsFindNext", &module->find_next, missing);
  Resolve(module->library, "FsFindClose", &module->find_close, missing);
  Resolve(module->library, "FsGetFile", &module->get_file, missing);
  Resolve(module->library, "FsPutFile", &module->put_file, missing);
  Resolve(module->library, "FsDeleteFile", &module->delete_file, missing);
  Resolve(module->library, "FsExecuteFile", &module->execute_file, missing);
  Resolve(module->library, "FsGetDefRootName", &module->get_def_root_name, missing);
  return true;
}

const void* ExportByName(const PluginModule& module, const char* name) {
  return reinterpret_cast<const void*>(GetProcAddress(module.library, name));
}

const void* ExportByOrdinal(const PluginModule& module, unsigned ordinal) {
  // An ordinal travels in the name argument as a pointer-sized number below 0x10000.
  const char* as_name = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(ordinal));
  return reinterpret_cast<const void*>(GetProcAddress(module.library, as_name));
}
