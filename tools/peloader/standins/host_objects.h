// Kernel objects this host makes for a module (events, semaphores, thread
// handles), beside the file and device handles of the platform table. A
// handle is one of these exactly when it is registered here.
#pragma once

#include <cstdint>

namespace pe {

enum class ObjectKind { kEvent, kSemaphore, kThread };

// Creates an object; nullptr when out of memory.
void* NewEvent(bool manual_reset, bool signaled);
void* NewSemaphore(std::int32_t initial, std::int32_t maximum);
void* NewThreadHandle(std::uint32_t thread_id);

// True when `handle` is a live object of this registry.
bool IsHostObject(void* handle);

// Closes one; false when it is none of these.
bool CloseHostObject(void* handle);

// SetEvent / ResetEvent; false when `handle` is no event.
bool SetEventState(void* handle, bool signaled);

// ReleaseSemaphore: false when `handle` is no semaphore or the count would
// pass its maximum.
bool ReleaseSemaphoreCount(void* handle, std::int32_t count, std::int32_t* previous);

// WaitForMultipleObjects over host objects: the index of the object that
// ended the wait (the first of them when waiting for all), -1 on timeout,
// -2 when a handle is not a waitable object of this registry.
// `timeout_ms` 0xFFFFFFFF waits for ever.
int WaitForObjects(void* const* handles, std::uint32_t count, bool wait_all,
                   std::uint32_t timeout_ms);

}  // namespace pe
