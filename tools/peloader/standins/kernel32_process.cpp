// KERNEL32's process, thread, time, debugging and memory calls. The host
// runs no threads for the module and controls no other process: those calls
// fail with ERROR_CALL_NOT_IMPLEMENTED, as Windows documents for calls a
// system does not provide.
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

#include "tools/peloader/pe_module.h"
#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

constexpr Dword kPageExecuteReadWrite = 0x40;
constexpr Dword kMemCommit = 0x1000;
constexpr Dword kMemImage = 0x1000000;
constexpr std::uint32_t kPageSize = 0x1000;

Handle PE_API GetCurrentProcess() { return reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1)); }
Handle PE_API GetCurrentThread() { return reinterpret_cast<Handle>(static_cast<std::intptr_t>(-2)); }
Dword PE_API GetCurrentProcessId() { return static_cast<Dword>(getpid()); }
Dword PE_API GetCurrentThreadId() { return static_cast<Dword>(syscall(SYS_gettid)); }

Bool NotImplemented() {
  SetLastErrorCode(kErrorCallNotImplemented);
  return 0;
}

// One processor is all the module is told about and may use.
Bool PE_API GetProcessAffinityMask(Handle, Dword* process_mask, Dword* system_mask) {
  if (process_mask != nullptr) *process_mask = 1;
  if (system_mask != nullptr) *system_mask = 1;
  return 1;
}
Bool PE_API SetProcessAffinityMask(Handle, Dword) { return NotImplemented(); }
std::int32_t PE_API GetThreadPriority(Handle) { return 0; }  // THREAD_PRIORITY_NORMAL
Bool PE_API SetThreadPriority(Handle, std::int32_t) { return NotImplemented(); }
Bool PE_API GetThreadContext(Handle, void*) { return NotImplemented(); }
Bool PE_API SetThreadContext(Handle, const void*) { return NotImplemented(); }
Dword PE_API SuspendThread(Handle) {
  NotImplemented();
  return 0xFFFFFFFFu;
}
Dword PE_API ResumeThread(Handle) {
  NotImplemented();
  return 0xFFFFFFFFu;
}
Handle PE_API OpenProcess(Dword, Bool, Dword) {
  NotImplemented();
  return nullptr;
}

// 100-nanosecond intervals since 1601-01-01 UTC.
void PE_API GetSystemTimeAsFileTime(Dword* file_time) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;
  const std::uint64_t ticks = kUnixEpoch + static_cast<std::uint64_t>(now.tv_sec) * 10000000ull +
                              static_cast<std::uint64_t>(now.tv_nsec) / 100;
  file_time[0] = static_cast<Dword>(ticks);
  file_time[1] = static_cast<Dword>(ticks >> 32);
}

std::uint64_t PE_API GetTickCount64() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

Bool PE_API IsDebuggerPresent() { return 0; }
void PE_API OutputDebugStringA(const char*) {}  // no debugger listens

// No structured exception handling here: a raised exception is one nobody
// handles, which ends the process.
void PE_API RaiseException(Dword code, Dword, Dword, const void*) {
  std::fprintf(stderr, "pe loader: the module raised exception 0x%08x\n", static_cast<unsigned>(code));
  std::abort();
}

// Handlers are kept only to be removed again: no exception reaches them.
struct Registered {
  void* handler;
  Registered* next;
};
std::mutex g_handlers_lock;
Registered* g_handlers = nullptr;

void* PE_API AddVectoredExceptionHandler(Dword, void* handler) {
  auto* entry = new (std::nothrow) Registered{handler, nullptr};
  if (entry == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_handlers_lock);
  entry->next = g_handlers;
  g_handlers = entry;
  return entry;
}

Dword PE_API RemoveVectoredExceptionHandler(void* handle) {
  std::lock_guard<std::mutex> lock(g_handlers_lock);
  for (Registered** link = &g_handlers; *link != nullptr; link = &(*link)->next) {
    if (*link == handle) {
      Registered* gone = *link;
      *link = gone->next;
      delete gone;
      return 1;
    }
  }
  return 0;
}

// MEMORY_BASIC_INFORMATION of a 32-bit process.
struct MemoryInfo {
  std::uint32_t base_address, allocation_base, allocation_protect, region_size, state, protect, type;
};

// A module's image is one committed region, mapped readable, writable and
// executable as a whole; other memory is not the module's to ask about.
Dword PE_API VirtualQuery(const void* address, MemoryInfo* info, Dword length) {
  PeModule* module = FindModuleHolding(address);
  if (module == nullptr || info == nullptr || length < sizeof(MemoryInfo)) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  const auto at = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
  const auto base = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(module->base()));
  const std::uint32_t page = at & ~(kPageSize - 1);
  *info = MemoryInfo{page, base, kPageExecuteReadWrite, base + module->size() - page,
                     kMemCommit, kPageExecuteReadWrite, kMemImage};
  return sizeof(MemoryInfo);
}

int PosixProtection(Dword protect) {
  switch (protect) {
    case 0x01: return PROT_NONE;
    case 0x02: return PROT_READ;
    case 0x04:
    case 0x08: return PROT_READ | PROT_WRITE;
    case 0x10:
    case 0x20: return PROT_READ | PROT_EXEC;
    case 0x40:
    case 0x80: return PROT_READ | PROT_WRITE | PROT_EXEC;
    default: return -1;
  }
}

Bool PE_API VirtualProtect(void* address, Dword size, Dword protect, Dword* old_protect) {
  const int posix = PosixProtection(protect);
  PeModule* module = FindModuleHolding(address);
  if (posix < 0 || module == nullptr || old_protect == nullptr) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  const std::uintptr_t page = at & ~std::uintptr_t{kPageSize - 1};
  if (mprotect(reinterpret_cast<void*>(page), at + size - page, posix) != 0) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  *old_protect = kPageExecuteReadWrite;
  return 1;
}

const StandIn kEntries[] = {
    {"GetCurrentProcess", Entry(&GetCurrentProcess)},
    {"GetCurrentThread", Entry(&GetCurrentThread)},
    {"GetCurrentProcessId", Entry(&GetCurrentProcessId)},
    {"GetCurrentThreadId", Entry(&GetCurrentThreadId)},
    {"GetProcessAffinityMask", Entry(&GetProcessAffinityMask)},
    {"SetProcessAffinityMask", Entry(&SetProcessAffinityMask)},
    {"GetThreadPriority", Entry(&GetThreadPriority)},
    {"SetThreadPriority", Entry(&SetThreadPriority)},
    {"GetThreadContext", Entry(&GetThreadContext)},
    {"SetThreadContext", Entry(&SetThreadContext)},
    {"SuspendThread", Entry(&SuspendThread)},
    {"ResumeThread", Entry(&ResumeThread)},
    {"OpenProcess", Entry(&OpenProcess)},
    {"GetSystemTimeAsFileTime", Entry(&GetSystemTimeAsFileTime)},
    {"GetTickCount64", Entry(&GetTickCount64)},
    {"IsDebuggerPresent", Entry(&IsDebuggerPresent)},
    {"OutputDebugStringA", Entry(&OutputDebugStringA)},
    {"RaiseException", Entry(&RaiseException)},
    {"AddVectoredExceptionHandler", Entry(&AddVectoredExceptionHandler)},
    {"RemoveVectoredExceptionHandler", Entry(&RemoveVectoredExceptionHandler)},
    {"VirtualQuery", Entry(&VirtualQuery)},
    {"VirtualProtect", Entry(&VirtualProtect)},
};

}  // namespace

extern const StandInList kKernel32Process = ListOf(kEntries);

}  // namespace pe
