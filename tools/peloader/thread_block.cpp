#include "tools/peloader/thread_block.h"

#include <asm/ldt.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace pe {

namespace {

// Offsets in the 32-bit block.
constexpr std::uint32_t kExceptionList = 0x00;
constexpr std::uint32_t kStackBase = 0x04;
constexpr std::uint32_t kStackLimit = 0x08;
constexpr std::uint32_t kSelf = 0x18;
constexpr std::uint32_t kProcessId = 0x20;
constexpr std::uint32_t kThreadId = 0x24;
constexpr std::uint32_t kTlsPointer = 0x2c;
constexpr std::uint32_t kProcessBlock = 0x30;
constexpr std::uint32_t kBlockSize = 0x1000;

std::mutex g_template_lock;
TlsTemplate g_template;
std::atomic<unsigned> g_template_generation{1};

// The GDT slot the system gave the first thread; every thread asks for the
// same one, which holds a different base on each thread.
std::atomic<int> g_entry{-1};

// An empty process block, for code that looks there and finds nothing set.
alignas(16) unsigned char g_process_block[0x1000];

struct Block {
  unsigned char* memory = nullptr;  // the block itself
  unsigned char* tls = nullptr;     // this thread's copy of the TLS template
  void* tls_array[1] = {nullptr};
  unsigned generation = 0;
  ~Block() {
    std::free(tls);
    std::free(memory);
  }
};
thread_local Block t_block;

void Put(std::uint32_t offset, std::uint32_t value) {
  std::memcpy(t_block.memory + offset, &value, 4);
}

std::uint32_t Address(const void* p) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

void RefreshTls() {
  std::lock_guard<std::mutex> lock(g_template_lock);
  std::free(t_block.tls);
  t_block.tls = nullptr;
  const std::uint32_t total = g_template.size + g_template.zero_fill;
  if (total > 0) {
    t_block.tls = static_cast<unsigned char*>(std::calloc(1, total));
    if (t_block.tls != nullptr && g_template.size > 0) {
      std::memcpy(t_block.tls, g_template.data, g_template.size);
    }
  }
  t_block.tls_array[0] = t_block.tls;
  t_block.generation = g_template_generation.load();
}

int Create() {
  t_block.memory = static_cast<unsigned char*>(std::calloc(1, kBlockSize));
  if (t_block.memory == nullptr) return -1;
  // No handler list; the stack is this thread's, from here down.
  int here = 0;
  const std::uint32_t stack = Address(&here);
  Put(kExceptionList, 0xffffffffu);
  Put(kStackBase, stack);
  Put(kStackLimit, stack - 0x100000u);
  Put(kSelf, Address(t_block.memory));
  Put(kProcessId, static_cast<std::uint32_t>(getpid()));
  Put(kThreadId, static_cast<std::uint32_t>(syscall(SYS_gettid)));
  Put(kTlsPointer, Address(t_block.tls_array));
  Put(kProcessBlock, Address(g_process_block));
  return 0;
}

int Install() {
  user_desc desc;
  std::memset(&desc, 0, sizeof desc);
  desc.entry_number = static_cast<unsigned>(g_entry.load());
  desc.base_addr = Address(t_block.memory);
  desc.limit = kBlockSize - 1;
  desc.seg_32bit = 1;
  desc.useable = 1;
  if (syscall(SYS_set_thread_area, &desc) != 0) return -1;
  int expected = -1;
  g_entry.compare_exchange_strong(expected, static_cast<int>(desc.entry_number));
  if (g_entry.load() != static_cast<int>(desc.entry_number)) return -1;
  return 0;
}

}  // namespace

void SetTlsTemplate(const TlsTemplate& tls) {
  std::lock_guard<std::mutex> lock(g_template_lock);
  g_template = tls;
  ++g_template_generation;
}

void ForgetTlsTemplate(const unsigned char* data) {
  std::lock_guard<std::mutex> lock(g_template_lock);
  if (data == nullptr || g_template.data != data) return;
  g_template = TlsTemplate();
  ++g_template_generation;
}

int EnterThreadBlock() {
  if (t_block.memory == nullptr && (Create() != 0 || Install() != 0)) {
    std::free(t_block.memory);
    t_block.memory = nullptr;
    return -1;
  }
  if (t_block.generation != g_template_generation.load()) RefreshTls();
  // A selector of the global table (TI = 0) at user privilege (RPL = 3).
  const auto selector = static_cast<std::uint16_t>((g_entry.load() << 3) | 3);
  asm volatile("movw %0, %%fs" : : "r"(selector));
  return 0;
}

}  // namespace pe
