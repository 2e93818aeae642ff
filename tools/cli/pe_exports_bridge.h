// The exports of a Windows module loaded by the PE loader, as the
// host's function types: each host-side function calls the module's export
// through its stdcall type, and the progress callback the host gives FsInit
// reaches the host through a stdcall function of its own. One Windows module
// is bridged at a time.
#pragma once

#include <string>

#include "tools/cli/module_loader.h"
#include "tools/peloader/pe_module.h"

namespace pagora_cli {

// Bridges `module`'s exports into `exports`, and those it may lack into
// `optional`. Returns false with `missing` naming the nine it lacks.
bool BridgeExports(const pe::PeModule& module, PluginExports* exports, OptionalExports* optional,
                   std::string* missing);

// Forgets the bridged module; its bridged functions must not be called again.
void ReleaseBridge();

}  // namespace pagora_cli
