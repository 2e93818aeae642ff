// KERNEL32's module calls. The DLLs this host stands in for are "loaded"
// (their handle is their stand-in table) and give their stand-ins by name;
// a module loaded by PeModule is found by its file name and gives its
// exports. Any other DLL is not found, as on a system without it.
#include <cstdint>
#include <string>

#include "tools/peloader/pe_module.h"
#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

// The handle of the host program itself (GetModuleHandleA or W of NULL): it
// exports nothing the module could ask for.
const StandInList kNoEntries = {nullptr, 0};
const StandInList* const kHostLists[] = {&kNoEntries, nullptr};
const StandInDll kHostProgram = {"pagora-host.exe", kHostLists};

Handle ModuleHandle(const char* name) {
  if (name == nullptr) return const_cast<StandInDll*>(&kHostProgram);
  if (const StandInDll* dll = FindStandInDll(name)) return const_cast<StandInDll*>(dll);
  if (PeModule* module = FindLoadedModule(name)) return module->base();
  SetLastErrorCode(kErrorModNotFound);
  return nullptr;
}

bool IsStandInHandle(Handle handle) { return handle == &kHostProgram || IsStandInDll(handle); }

Handle PE_API GetModuleHandleA(const char* name) { return ModuleHandle(name); }

// Module names are plain ASCII: each UTF-16 unit narrows to one byte.
Handle PE_API GetModuleHandleW(const std::uint16_t* name) {
  if (name == nullptr) return ModuleHandle(nullptr);
  std::string narrow;
  for (; *name != 0; ++name) narrow.push_back(*name < 0x80 ? static_cast<char>(*name) : '?');
  return ModuleHandle(narrow.c_str());
}

Handle PE_API LoadLibraryA(const char* name) {
  if (name == nullptr) {
    SetLastErrorCode(kErrorInvalidParameter);
    return nullptr;
  }
  return ModuleHandle(name);
}

Bool PE_API FreeLibrary(Handle module) {
  if (IsStandInHandle(module) || FindLoadedModule(static_cast<const void*>(module)) != nullptr) return 1;
  SetLastErrorCode(kErrorInvalidHandle);
  return 0;
}

// A name whose address is below 0x10000 is an ordinal.
void* PE_API GetProcAddress(Handle module, const char* name) {
  const auto value = reinterpret_cast<std::uintptr_t>(name);
  void* found = nullptr;
  if (PeModule* loaded = FindLoadedModule(static_cast<const void*>(module))) {
    found = value < 0x10000 ? loaded->Export(static_cast<std::uint32_t>(value)) : loaded->Export(name);
  } else if (IsStandInHandle(module) && value >= 0x10000) {
    found = FindStandIn(static_cast<const StandInDll*>(module), name);
  } else {
    SetLastErrorCode(kErrorInvalidHandle);
    return nullptr;
  }
  if (found == nullptr) SetLastErrorCode(kErrorProcNotFound);
  return found;
}

const StandIn kEntries[] = {
    {"GetModuleHandleA", Entry(&GetModuleHandleA)},
    {"GetModuleHandleW", Entry(&GetModuleHandleW)},
    {"LoadLibraryA", Entry(&LoadLibraryA)},
    {"FreeLibrary", Entry(&FreeLibrary)},
    {"GetProcAddress", Entry(&GetProcAddress)},
};

}  // namespace

extern const StandInList kKernel32Modules = ListOf(kEntries);

}  // namespace pe
