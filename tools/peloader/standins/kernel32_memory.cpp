// KERNEL32's memory calls, which the module's C runtime makes on its own
// image when it applies its pseudo-relocations: the image is the only memory
// they answer for.
#include <sys/mman.h>

#include <cstdint>

#include "tools/peloader/pe_module.h"
#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

constexpr Dword kPageExecuteReadWrite = 0x40;
constexpr Dword kMemCommit = 0x1000;
constexpr Dword kMemImage = 0x1000000;
constexpr std::uint32_t kPageSize = 0x1000;

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
    {"VirtualQuery", Entry(&VirtualQuery)},
    {"VirtualProtect", Entry(&VirtualProtect)},
};

}  // namespace

extern const StandInList kKernel32Memory = ListOf(kEntries);

}  // namespace pe
