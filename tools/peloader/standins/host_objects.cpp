#include "tools/peloader/standins/host_objects.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <set>
#include <vector>

namespace pe {

namespace {

struct HostObject {
  ObjectKind kind;
  bool manual_reset = false;   // events
  bool signaled = false;       // events
  std::int32_t count = 0;      // semaphores
  std::int32_t maximum = 0;
  std::uint32_t thread_id = 0;
};

// One lock and one condition for every object: waits are rare and short,
// and a wait for several objects needs them all under one lock.
std::mutex g_lock;
std::condition_variable g_changed;
std::set<HostObject*> g_objects;

void* Register(HostObject* object) {
  if (object == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_lock);
  g_objects.insert(object);
  return object;
}

HostObject* Find(void* handle) {
  auto it = g_objects.find(static_cast<HostObject*>(handle));
  return it == g_objects.end() ? nullptr : *it;
}

bool Ready(const HostObject* object) {
  return object->kind == ObjectKind::kEvent ? object->signaled
                                            : object->kind == ObjectKind::kSemaphore && object->count > 0;
}

// A satisfied wait takes what it waited for: an auto-reset event resets, a
// semaphore's count drops.
void Consume(HostObject* object) {
  if (object->kind == ObjectKind::kEvent && !object->manual_reset) object->signaled = false;
  if (object->kind == ObjectKind::kSemaphore) --object->count;
}

}  // namespace

void* NewEvent(bool manual_reset, bool signaled) {
  auto* object = new (std::nothrow) HostObject{ObjectKind::kEvent};
  if (object != nullptr) {
    object->manual_reset = manual_reset;
    object->signaled = signaled;
  }
  return Register(object);
}

void* NewSemaphore(std::int32_t initial, std::int32_t maximum) {
  auto* object = new (std::nothrow) HostObject{ObjectKind::kSemaphore};
  if (object != nullptr) {
    object->count = initial;
    object->maximum = maximum;
  }
  return Register(object);
}

void* NewThreadHandle(std::uint32_t thread_id) {
  auto* object = new (std::nothrow) HostObject{ObjectKind::kThread};
  if (object != nullptr) object->thread_id = thread_id;
  return Register(object);
}

bool IsHostObject(void* handle) {
  std::lock_guard<std::mutex> lock(g_lock);
  return Find(handle) != nullptr;
}

bool CloseHostObject(void* handle) {
  std::lock_guard<std::mutex> lock(g_lock);
  HostObject* object = Find(handle);
  if (object == nullptr) return false;
  g_objects.erase(object);
  delete object;
  return true;
}

bool SetEventState(void* handle, bool signaled) {
  std::lock_guard<std::mutex> lock(g_lock);
  HostObject* object = Find(handle);
  if (object == nullptr || object->kind != ObjectKind::kEvent) return false;
  object->signaled = signaled;
  g_changed.notify_all();
  return true;
}

bool ReleaseSemaphoreCount(void* handle, std::int32_t count, std::int32_t* previous) {
  std::lock_guard<std::mutex> lock(g_lock);
  HostObject* object = Find(handle);
  if (object == nullptr || object->kind != ObjectKind::kSemaphore || count <= 0 ||
      count > object->maximum - object->count) {
    return false;
  }
  if (previous != nullptr) *previous = object->count;
  object->count += count;
  g_changed.notify_all();
  return true;
}

int WaitForObjects(void* const* handles, std::uint32_t count, bool wait_all,
                   std::uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(g_lock);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::vector<HostObject*> objects;
    for (std::uint32_t i = 0; i < count; ++i) {
      HostObject* object = Find(handles[i]);
      if (object == nullptr || object->kind == ObjectKind::kThread) return -2;
      objects.push_back(object);
    }
    if (wait_all) {
      if (std::all_of(objects.begin(), objects.end(), Ready)) {
        for (HostObject* object : objects) Consume(object);
        return 0;
      }
    } else {
      for (std::uint32_t i = 0; i < count; ++i) {
        if (Ready(objects[i])) {
          Consume(objects[i]);
          return static_cast<int>(i);
        }
      }
    }
    if (timeout_ms == 0xFFFFFFFFu) {
      g_changed.wait(lock);
    } else if (g_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      return -1;
    }
  }
}

}  // namespace pe
