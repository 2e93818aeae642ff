// Runs one command against a loaded plugin, the way a file manager calls it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/cli_args.h"
#include "tools/cli/detail_columns.h"
#include "tools/cli/module_loader.h"
#include "tools/cli/progress.h"

namespace pagora_cli {

// The plugin number this host gives FsInit.
constexpr int kPluginNumber = 1;

struct FolderEntry {
  std::string name;
  std::uint64_t size = 0;
  DWORD attributes = 0;
};

// FsFindFirst on the folder, FsFindNext until FALSE, FsFindClose: the
// entries in the plugin's order (none for INVALID_HANDLE_VALUE).
std::vector<FolderEntry> ListFolder(const PluginExports& plugin);

// The names one command works on, worked out before the module is loaded.
struct Request {
  std::string name;    // the entry's name in the folder
  std::string remote;  // the name the plugin is given: separator + name
  std::string local;   // get: the target file; put: the source file
};

// Builds the request of a parsed command line. Returns false with a readable
// `error` when a name cannot be used (a usage error).
bool MakeRequest(const Options& options, Request* request, std::string* error);

// FsInit, FsGetDefRootName, then the command. Results go to `out`, messages
// to `err`. `content` serves ls -l and info where the module has it. Gives
// the exit status.
int RunCommand(const PluginExports& plugin, const Options& options, const Request& request,
               ProgressDisplay* progress, std::FILE* out, std::FILE* err,
               const ContentExports& content = ContentExports());

}  // namespace pagora_cli
