// Loads the built plugin module the way the host does: the file by name with
// LoadLibraryA, then each entry point by its plain name with GetProcAddress.
#pragma once

#include <string>
#include <vector>

#include "plugin/fs_api.h"

struct PluginModule {
  void* library = nullptr;
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

// The Windows form of a path: a Unix absolute path names Wine's Z: drive.
std::string WindowsPath(const std::string& path);

// Loads the module at `path`. Returns false when the file does not load;
// otherwise every export that is missing is named in `missing`.
bool LoadPluginModule(const std::string& path, PluginModule* module,
                      std::vector<std::string>* missing);

// The address an export has by name and by ordinal, as the Windows loader
// resolves them; nullptr when it has none.
const void* ExportByName(const PluginModule& module, const char* name);
const void* ExportByOrdinal(const PluginModule& module, unsigned ordinal);
