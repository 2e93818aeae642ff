// The DLLs this host stands in for and the lists each one's stand-ins are in.
#include <strings.h>

#include "tools/peloader/standins/standins.h"

namespace pe {

extern const StandInList kKernel32Files;
extern const StandInList kKernel32Sync;
extern const StandInList kKernel32Memory;
extern const StandInList kKernel32Modules;
extern const StandInList kKernel32Text;
extern const StandInList kSetupApi;
extern const StandInList kUser32;
extern const StandInList kMsvcrtMemory;
extern const StandInList kMsvcrtStdio;
extern const StandInList kMsvcrtRuntime;

namespace {

const StandInList* const kKernel32Lists[] = {&kKernel32Files, &kKernel32Sync, &kKernel32Memory,
                                              &kKernel32Modules, &kKernel32Text, nullptr};
const StandInList* const kSetupApiLists[] = {&kSetupApi, nullptr};
const StandInList* const kUser32Lists[] = {&kUser32, nullptr};
const StandInList* const kMsvcrtLists[] = {&kMsvcrtMemory, &kMsvcrtStdio, &kMsvcrtRuntime,
                                            nullptr};

const StandInDll kDlls[] = {
    {"kernel32.dll", kKernel32Lists},
    {"setupapi.dll", kSetupApiLists},
    {"user32.dll", kUser32Lists},
    {"msvcrt.dll", kMsvcrtLists},
};

}  // namespace

const StandInDll* FindStandInDll(const char* name) {
  const std::size_t length = std::strlen(name);
  for (const StandInDll& dll : kDlls) {
    const std::size_t stem = std::strlen(dll.name) - 4;  // without ".dll"
    if (strcasecmp(name, dll.name) == 0 || (length == stem && strncasecmp(name, dll.name, stem) == 0)) {
      return &dll;
    }
  }
  return nullptr;
}

bool IsStandInDll(const void* handle) {
  for (const StandInDll& dll : kDlls) {
    if (handle == &dll) return true;
  }
  return false;
}

void* FindStandIn(const StandInDll* dll, const char* name) {
  for (const StandInList* const* list = dll->lists; *list != nullptr; ++list) {
    for (std::size_t i = 0; i < (*list)->count; ++i) {
      if (std::strcmp((*list)->entries[i].name, name) == 0) return (*list)->entries[i].address;
    }
  }
  return nullptr;
}

void* ResolveStandIn(const char* dll, const char* name) {
  const StandInDll* found = FindStandInDll(dll);
  return found != nullptr ? FindStandIn(found, name) : nullptr;
}

}  // namespace pe
