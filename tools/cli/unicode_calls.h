// Puts a module's Unicode exports behind the 8-bit entry points the rest of
// the host calls. This host's texts are UTF-8: names go to the module in
// UTF-16, and listed names, detail texts and progress reports come back in
// UTF-8. One module at a time.
#pragma once

#include "tools/cli/detail_columns.h"
#include "tools/cli/module_loader.h"

namespace pagora_cli {

// Routes `exports` through the Unicode exports when the module has every
// one the commands use, and `content`'s values through FsContentGetValueW
// when it has that; gives whether the file calls now go through them.
bool UseUnicodeExports(const OptionalExports& optional, PluginExports* exports,
                       ContentExports* content);

}  // namespace pagora_cli
