// The stand-ins a loaded module's imports are bound to: for each Windows
// DLL the module imports from, the functions (and data) it imports, by
// name, done with this system's calls. There is one for each import of the
// shipped DLL and none more: an image that imports anything else is refused
// by name before it runs. Calls the module makes behave as the Windows
// documentation says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/windows_errors.h"
#include "tools/peloader/stdcall_call.h"

namespace pe {

struct StandIn {
  const char* name;
  void* address;  // the function, or the data object of a data import
};

// One file's share of a DLL's stand-ins.
struct StandInList {
  const StandIn* entries;
  std::size_t count;
};

template <std::size_t N>
constexpr StandInList ListOf(const StandIn (&entries)[N]) {
  return StandInList{entries, N};
}

// A DLL this host stands in for. Its address is the module handle the
// module gets from GetModuleHandleA/W and LoadLibraryA for it.
struct StandInDll {
  const char* name;
  const StandInList* const* lists;  // ends with nullptr
};

// The DLL of that name (any letter case, ".dll" optional), or nullptr.
const StandInDll* FindStandInDll(const char* name);

// True when `handle` is the handle of a DLL this host stands in for.
bool IsStandInDll(const void* handle);

// The stand-in for `name` in `dll`, or nullptr.
void* FindStandIn(const StandInDll* dll, const char* name);

// ImportResolver for PeModule: the stand-in for dll!name, or nullptr.
void* ResolveStandIn(const char* dll, const char* name);

// The address of a stand-in function, for the tables.
template <typename Fn>
void* Entry(Fn function) {
  void* address = nullptr;
  static_assert(sizeof(function) == sizeof(address), "code and data addresses share a size");
  std::memcpy(&address, &function, sizeof(address));
  return address;
}

// The calling thread's last error (GetLastError / SetLastError).
void SetLastErrorCode(std::uint32_t code);
std::uint32_t LastErrorCode();

// Windows types the stand-ins use, and the Windows error codes they set.
using Bool = std::int32_t;
using Dword = std::uint32_t;
using Handle = void*;
using namespace pagora::windows_errors;  // NOLINT(google-build-using-namespace)

}  // namespace pe
