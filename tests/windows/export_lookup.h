// What the Windows loader finds in the plugin module beyond its nine
// exports by name: exports by ordinal, and names it must not find.
#pragma once

#include <string>

// The Windows form of a path: a Unix absolute path names Wine's Z: drive.
std::string WindowsPath(const std::string& path);

// The address an export has by name and by ordinal, as the Windows loader
// resolves them in the module `library`; nullptr when it has none.
const void* ExportByName(void* library, const char* name);
const void* ExportByOrdinal(void* library, unsigned ordinal);
