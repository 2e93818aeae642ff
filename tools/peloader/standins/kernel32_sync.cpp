// KERNEL32's synchronisation and thread-local storage: events, semaphores
// and waits (host_objects.h), critical sections as recursive mutexes, TLS
// slots per thread, Sleep.
#include <time.h>

#include <mutex>
#include <new>

#include "tools/peloader/standins/host_objects.h"
#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

constexpr Dword kWaitObject0 = 0;
constexpr Dword kWaitTimeout = 258;
constexpr Dword kWaitFailed = 0xFFFFFFFFu;
constexpr Dword kMaximumWaitObjects = 64;
constexpr Dword kTlsSlots = 64;  // TLS_MINIMUM_AVAILABLE
constexpr Dword kTlsOutOfIndexes = 0xFFFFFFFFu;

Handle PE_API CreateEventA(void*, Bool manual_reset, Bool initial_state, const char* name) {
  if (name != nullptr) {  // named objects are shared between processes: none here
    SetLastErrorCode(kErrorNotSupported);
    return nullptr;
  }
  SetLastErrorCode(0);
  return NewEvent(manual_reset != 0, initial_state != 0);
}

Bool PE_API SetEvent(Handle event) {
  if (SetEventState(event, true)) return 1;
  SetLastErrorCode(kErrorInvalidHandle);
  return 0;
}

Bool PE_API ResetEvent(Handle event) {
  if (SetEventState(event, false)) return 1;
  SetLastErrorCode(kErrorInvalidHandle);
  return 0;
}

Handle PE_API CreateSemaphoreA(void*, std::int32_t initial, std::int32_t maximum, const char* name) {
  if (name != nullptr) {
    SetLastErrorCode(kErrorNotSupported);
    return nullptr;
  }
  if (maximum <= 0 || initial < 0 || initial > maximum) {
    SetLastErrorCode(kErrorInvalidParameter);
    return nullptr;
  }
  SetLastErrorCode(0);
  return NewSemaphore(initial, maximum);
}

Bool PE_API ReleaseSemaphore(Handle semaphore, std::int32_t count, std::int32_t* previous) {
  if (ReleaseSemaphoreCount(semaphore, count, previous)) return 1;
  SetLastErrorCode(IsHostObject(semaphore) ? 298 : kErrorInvalidHandle);  // ERROR_TOO_MANY_POSTS
  return 0;
}

Dword PE_API WaitForMultipleObjects(Dword count, Handle const* handles, Bool wait_all, Dword ms) {
  if (count == 0 || count > kMaximumWaitObjects || handles == nullptr) {
    SetLastErrorCode(kErrorInvalidParameter);
    return kWaitFailed;
  }
  const int result = WaitForObjects(handles, count, wait_all != 0, ms);
  if (result == -1) return kWaitTimeout;
  if (result < 0) {
    SetLastErrorCode(kErrorInvalidHandle);
    return kWaitFailed;
  }
  return kWaitObject0 + static_cast<Dword>(result);
}

Dword PE_API WaitForSingleObject(Handle handle, Dword ms) {
  return WaitForMultipleObjects(1, &handle, 1, ms);
}

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

Bool PE_API TryEnterCriticalSection(void* section) { return MutexOf(section)->try_lock() ? 1 : 0; }

std::mutex g_tls_lock;
bool g_tls_used[kTlsSlots];
thread_local void* t_tls_values[kTlsSlots];

Dword PE_API TlsAlloc() {
  std::lock_guard<std::mutex> lock(g_tls_lock);
  for (Dword i = 0; i < kTlsSlots; ++i) {
    if (!g_tls_used[i]) {
      g_tls_used[i] = true;
      t_tls_values[i] = nullptr;
      return i;
    }
  }
  SetLastErrorCode(259);  // ERROR_NO_MORE_ITEMS
  return kTlsOutOfIndexes;
}

bool ValidSlot(Dword index) {
  std::lock_guard<std::mutex> lock(g_tls_lock);
  return index < kTlsSlots && g_tls_used[index];
}

void* PE_API TlsGetValue(Dword index) {
  if (!ValidSlot(index)) {
    SetLastErrorCode(kErrorInvalidParameter);
    return nullptr;
  }
  SetLastErrorCode(0);  // tells a stored nullptr from a failure
  return t_tls_values[index];
}

Bool PE_API TlsSetValue(Dword index, void* value) {
  if (!ValidSlot(index)) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  t_tls_values[index] = value;
  return 1;
}

const StandIn kEntries[] = {
    {"CreateEventA", Entry(&CreateEventA)},
    {"SetEvent", Entry(&SetEvent)},
    {"ResetEvent", Entry(&ResetEvent)},
    {"CreateSemaphoreA", Entry(&CreateSemaphoreA)},
    {"ReleaseSemaphore", Entry(&ReleaseSemaphore)},
    {"WaitForSingleObject", Entry(&WaitForSingleObject)},
    {"WaitForMultipleObjects", Entry(&WaitForMultipleObjects)},
    {"Sleep", Entry(&Sleep)},
    {"InitializeCriticalSection", Entry(&InitializeCriticalSection)},
    {"DeleteCriticalSection", Entry(&DeleteCriticalSection)},
    {"EnterCriticalSection", Entry(&EnterCriticalSection)},
    {"LeaveCriticalSection", Entry(&LeaveCriticalSection)},
    {"TryEnterCriticalSection", Entry(&TryEnterCriticalSection)},
    {"TlsAlloc", Entry(&TlsAlloc)},
    {"TlsGetValue", Entry(&TlsGetValue)},
    {"TlsSetValue", Entry(&TlsSetValue)},
};

}  // namespace

extern const StandInList kKernel32Sync = ListOf(kEntries);

}  // namespace pe
