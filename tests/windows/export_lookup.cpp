#include "tests/windows/export_lookup.h"

#include <cstdint>

// Declared here rather than taken from <windows.h>, which would clash with
// the interface's own Windows names in fs_api.h.
using FarProc = void(__stdcall*)();
extern "C" __declspec(dllimport) FarProc __stdcall GetProcAddress(void* module, const char* name);

std::string WindowsPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  if (!path.empty() && path[0] == '/') out = "Z:" + out;
  return out;
}

const void* ExportByName(void* library, const char* name) {
  return reinterpret_cast<const void*>(GetProcAddress(library, name));
}

const void* ExportByOrdinal(void* library, unsigned ordinal) {
  // An ordinal travels in the name argument as a pointer-sized number below 0x10000.
  const char* as_name = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(ordinal));
  return reinterpret_cast<const void*>(GetProcAddress(library, as_name));
}
