// msvcrt's runtime support: start-up (_initterm), its locks, errno, the
// ends of the process (abort, runtime errors) and the "C" locale.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "tools/peloader/standins/standins.h"

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
    {"_errno", Entry(&__errno_location)},
    {"abort", Entry(&std::abort)},
    {"strerror", Entry(&std::strerror)},
    {"localeconv", Entry(&LocaleConv)},
    {"setlocale", Entry(&SetLocale)},
};

}  // namespace

extern const StandInList kMsvcrtRuntime = ListOf(kEntries);

}  // namespace pe
