// `info NAME` and `open NAME`: what a host does when the user asks for an
// entry's properties or presses Enter on it, through FsExecuteFile.
#pragma once

#include <cstdio>

#include "tools/cli/detail_columns.h"
#include "tools/cli/module_loader.h"
#include "tools/cli/progress.h"
#include "tools/cli/session.h"

namespace pagora_cli {

// Asks the plugin to show the entry's properties (verb "properties"); the
// plugin shows them itself, in its message box. A name that finds no title,
// as the content functions tell where the module has them, is reported as
// not found. Gives the exit status.
int ShowInfo(const PluginExports& plugin, const ContentExports& content, const Request& request,
             std::FILE* err);

// Asks the plugin to open the entry (verb "open"). When it leaves that to
// the host, downloads the entry into a new temporary folder and prints the
// copy's path on `out`, as a host does before it starts the user's program
// for the file. Gives the exit status.
int OpenEntry(const PluginExports& plugin, const Request& request, ProgressDisplay* progress,
              std::FILE* out, std::FILE* err);

}  // namespace pagora_cli
