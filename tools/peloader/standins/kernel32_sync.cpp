// KERNEL32's synchronisation calls: critical sections as recursive mutexes,
// Sleep, and the one thread-local storage call the module's C runtime makes.
#include <time.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

void PE_API Sleep(Dword ms) {
  timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0) {
  }
}

// A CRITICAL_SECTION (24 bytes, the module's memory) keeps a pointer to
// its mutex in its first field.
std::recursive_mutex* MutexOf(void* section) {
  std::uintptr_t stored = 0;
  std::memcpy(&stored, section, sizeof stored);
  return reinterpret_cast<std::recursive_mutex*>(stored);
}

void PE_API InitializeCriticalSection(void* section) {
  std::memset(section, 0, 24);
  const auto stored = reinterpret_cast<std::uintptr_t>(new (std::nothrow) std::recursive_mutex);
  std::memcpy(section, &stored, sizeof stored);
}

void PE_API DeleteCriticalSection(void* section) {
  delete MutexOf(section);
  std::memset(section, 0, 24);
}

void PE_API EnterCriticalSection(void* section) { MutexOf(section)->lock(); }

void PE_API LeaveCriticalSection(void* section) { MutexOf(section)->unlock(); }

// The module allocates no TLS slot (it imports neither TlsAlloc nor
// TlsSetValue): its runtime reads only the slots of keys registered with it,
// and none can be. Every index is thus one never allocated, refused as an
// invalid parameter.
void* PE_API TlsGetValue(Dword) {
  SetLastErrorCode(kErrorInvalidParameter);
  return nullptr;
}

const StandIn kEntries[] = {
    {"Sleep", Entry(&Sleep)},
    {"InitializeCriticalSection", Entry(&InitializeCriticalSection)},
    {"DeleteCriticalSection", Entry(&DeleteCriticalSection)},
    {"EnterCriticalSection", Entry(&EnterCriticalSection)},
    {"LeaveCriticalSection", Entry(&LeaveCriticalSection)},
    {"TlsGetValue", Entry(&TlsGetValue)},
};

}  // namespace

extern const StandInList kKernel32Sync = ListOf(kEntries);

}  // namespace pe
