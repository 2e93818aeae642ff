// Loads a plugin module by path and finds its nine exports by name.
#pragma once

#include <string>

#include "plugin/fs_api.h"

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

// One loaded module; unloaded when destroyed.
class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Loads `path` and resolves all nine exports. On failure returns false,
  // sets `error` to a readable reason and holds no module.
  bool Load(const std::string& path, std::string* error);

  const PluginExports& exports() const { return exports_; }
  // The system's handle of the loaded module, for lookups beyond the nine.
  void* handle() const { return handle_; }

 private:
  void Unload();

  void* handle_ = nullptr;
  PluginExports exports_;
};

// The module pagora-cli loads when none is named: the plugin beside the
// executable.
std::string DefaultModulePath();

}  // namespace pagora_cli
