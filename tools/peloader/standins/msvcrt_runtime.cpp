// msvcrt's runtime support: start-up (_initterm), its locks, errno, exits,
// setjmp/longjmp, the "C" locale, and threads (which this host does not
// start for the module).
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "tools/peloader/standins/standins.h"

// setjmp/longjmp with a layout of their own in msvcrt's 64-byte jmp_buf,
// which the module only passes from one to the other: EBP, EBX, EDI, ESI,
// the caller's stack pointer and the return address. No handler chain is
// unwound: the thread block's chain is always empty.
extern "C" int pagora_msvcrt_setjmp3(void* buffer, int count, ...);
extern "C" void pagora_msvcrt_longjmp(void* buffer, int value);
asm(R"(
  .text
  .globl pagora_msvcrt_setjmp3
  .type pagora_msvcrt_setjmp3, @function
pagora_msvcrt_setjmp3:
  movl 4(%esp), %eax
  movl %ebp, 0(%eax)
  movl %ebx, 4(%eax)
  movl %edi, 8(%eax)
  movl %esi, 12(%eax)
  leal 4(%esp), %ecx
  movl %ecx, 16(%eax)
  movl (%esp), %ecx
  movl %ecx, 20(%eax)
  xorl %eax, %eax
  ret
  .size pagora_msvcrt_setjmp3, .-pagora_msvcrt_setjmp3
  .globl pagora_msvcrt_longjmp
  .type pagora_msvcrt_longjmp, @function
pagora_msvcrt_longjmp:
  movl 4(%esp), %ecx
  movl 8(%esp), %eax
  testl %eax, %eax
  jnz 1f
  movl $1, %eax
1:
  movl 0(%ecx), %ebp
  movl 4(%ecx), %ebx
  movl 8(%ecx), %edi
  movl 12(%ecx), %esi
  movl 16(%ecx), %esp
  jmp *20(%ecx)
  .size pagora_msvcrt_longjmp, .-pagora_msvcrt_longjmp
)");

namespace pe {

namespace {

// __mb_cur_max: the "C" locale's longest character, one byte.
int g_mb_cur_max = 1;

// Runs each non-null function of [begin, end): the module's initialisers.
void PE_CDECL InitTerm(void (**begin)(), void (**end)()) {
  for (; begin < end; ++begin) {
    if (*begin != nullptr) (*begin)();
  }
}

// msvcrt numbers its internal locks from 0; it has fewer than this.
constexpr int kLockCount = 64;
std::recursive_mutex g_locks[kLockCount];

void PE_CDECL Lock(int index) {
  if (index >= 0 && index < kLockCount) g_locks[index].lock();
}

void PE_CDECL Unlock(int index) {
  if (index >= 0 && index < kLockCount) g_locks[index].unlock();
}

// A runtime error of the module's C runtime ends the process, as msvcrt's
// does, with status 255.
void PE_CDECL AmsgExit(int code) {
  std::fprintf(stderr, "pe loader: the module's C runtime stopped with runtime error R60%02d\n", code);
  std::fflush(stderr);
  _exit(255);
}

std::uintptr_t PE_CDECL BeginThreadEx(void*, unsigned, void*, void*, unsigned, unsigned*) {
  errno = EAGAIN;  // this host starts no threads for the module
  return 0;
}

// Only a thread _beginthreadex started may end itself so, and there is none.
void PE_CDECL EndThreadEx(unsigned) {
  std::fprintf(stderr, "pe loader: _endthreadex on a thread the module did not start\n");
  std::abort();
}

// msvcrt's struct lconv: ten strings, then eight chars.
struct Lconv {
  const char* strings[10];
  char numbers[8];
};
const Lconv kCLocale = {{".", "", "", "", "", "", "", "", "", ""},
                        {CHAR_MAX, CHAR_MAX, CHAR_MAX, CHAR_MAX, CHAR_MAX, CHAR_MAX, CHAR_MAX, CHAR_MAX}};

const Lconv* PE_CDECL LocaleConv() { return &kCLocale; }

// The module keeps the "C" locale: it is what it gets asked for and all it
// can set. msvcrt's categories run from LC_ALL (0) to LC_TIME (5).
const char* PE_CDECL SetLocale(int category, const char* locale) {
  if (category < 0 || category > 5) return nullptr;
  if (locale == nullptr || std::strcmp(locale, "C") == 0 || locale[0] == '\0') return "C";
  return nullptr;
}

const StandIn kEntries[] = {
    {"__mb_cur_max", &g_mb_cur_max},
    {"_initterm", Entry(&InitTerm)},
    {"_lock", Entry(&Lock)},
    {"_unlock", Entry(&Unlock)},
    {"_amsg_exit", Entry(&AmsgExit)},
    {"_beginthreadex", Entry(&BeginThreadEx)},
    {"_endthreadex", Entry(&EndThreadEx)},
    {"_errno", Entry(&__errno_location)},
    {"_setjmp3", Entry(&pagora_msvcrt_setjmp3)},
    {"longjmp", Entry(&pagora_msvcrt_longjmp)},
    {"abort", Entry(&std::abort)},
    {"exit", Entry(&std::exit)},
    {"strerror", Entry(&std::strerror)},
    {"localeconv", Entry(&LocaleConv)},
    {"setlocale", Entry(&SetLocale)},
};

}  // namespace

extern const StandInList kMsvcrtRuntime = ListOf(kEntries);

}  // namespace pe
