// Loads a plugin module by path and finds its nine exports by name.
#pragma once

#include <string>

#include "plugin/fs_api.h"

namespace pe {
class PeModule;
}

namespace pagora_cli {

struct PluginExports {
  FsInitFn init = nullptr;
  FsFindFirstFn find_first = nullptr;
  FsFindNextFn find_next = nullptr;
  FsFindCloseFn find_close = nullptr;
  FsGetFileFn get_file = nullptr;
  FsPutFileFn put_file = nullptr;
  FsDeleteFileFn delete_file = nullptr;
  FsExecuteFileFn execute_file = nullptr;
  FsGetDefRootNameFn get_def_root_name = nullptr;
};

// The exports a module may have beyond the nine: the content functions and
// the Unicode forms. Each is none where the module lacks it.
struct OptionalExports {
  FsContentGetSupportedFieldFn content_supported_field = nullptr;
  FsContentGetValueFn content_value = nullptr;
  FsContentGetValueWFn content_value_w = nullptr;
  FsInitWFn init_w = nullptr;
  FsFindFirstWFn find_first_w = nullptr;
  FsFindNextWFn find_next_w = nullptr;
  FsGetFileWFn get_file_w = nullptr;
  FsPutFileWFn put_file_w = nullptr;
  FsDeleteFileWFn delete_file_w = nullptr;
  FsExecuteFileWFn execute_file_w = nullptr;
};

// One loaded module; unloaded when destroyed.
class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Loads `path` and resolves all nine exports. On failure returns false,
  // sets `error` to a readable reason and holds no module. Off Windows, a
  // Windows DLL is loaded by the PE loader where the build has it (32-bit
  // x86) and its exports are called in its own convention.
  bool Load(const std::string& path, std::string* error);

  const PluginExports& exports() const { return exports_; }
  const OptionalExports& optional() const { return optional_; }
  // The system's handle of the loaded module, for lookups beyond the nine
  // (for a Windows DLL, its base address, as on Windows).
  void* handle() const { return handle_; }

 private:
  void Unload();
  bool LoadWindowsModule(const std::string& path, std::string* error);

  void* handle_ = nullptr;
  pe::PeModule* windows_module_ = nullptr;  // set when the PE loader holds the module
  PluginExports exports_;
  OptionalExports optional_;
};

// The module pagora-cli loads when none is named: the plugin beside the
// executable.
std::string DefaultModulePath();

}  // namespace pagora_cli
