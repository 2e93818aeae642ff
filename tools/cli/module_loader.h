// Loads a plugin module by path and finds its nine exports by name.
#pragma once

#include <string>

#include "plugin/fs_api.h"

namespace pe {
class PeModule;
}

namespace pagora_cli {

// The nine exports every plugin has (the Ansi set of the export table).
struct PluginExports {
#define PAGORA_REQUIRED_FIELD(set, result, name, field, parameters, forwarded) \
  PAGORA_IF_REQUIRED(set, name##Fn field = nullptr;)
  PAGORA_EXPORTS(PAGORA_REQUIRED_FIELD)
#undef PAGORA_REQUIRED_FIELD
};

// The exports a module may have beyond the nine: the content functions and
// the Unicode forms. Each is none where the module lacks it.
struct OptionalExports {
#define PAGORA_OPTIONAL_FIELD(set, result, name, field, parameters, forwarded) \
  PAGORA_IF_OPTIONAL(set, name##Fn field = nullptr;)
  PAGORA_EXPORTS(PAGORA_OPTIONAL_FIELD)
#undef PAGORA_OPTIONAL_FIELD
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
