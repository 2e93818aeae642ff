// Binds a mapped image's imports: every imported name of every DLL gets the
// address of its stand-in written into the import address table.
#pragma once

#include <string>

#include "tools/peloader/mapped_image.h"
#include "tools/peloader/pe_headers.h"

namespace pe {

// The stand-in for `name` imported from `dll` (any letter case), or nullptr.
using ImportResolver = void* (*)(const char* dll, const char* name);

// Returns 0, or -1 with `error` naming every import without a stand-in
// ("KERNEL32.dll!CreateThread"), an import by ordinal, or a descriptor,
// name or table outside the image. Nothing is called.
int BindImports(MappedImage* image, const Headers& headers, ImportResolver resolve,
                std::string* error);

}  // namespace pe
