// msvcrt's memory and string functions. On 32-bit x86 its calling
// convention (cdecl) and these functions' arguments are the C library's, so
// most are the C library's own; the rest differ in a type (wchar_t is 16
// bits on Windows) or are msvcrt's own names.
#include <cstdlib>
#include <cstring>

#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

char* PE_CDECL StrChr(const char* text, int c) { return const_cast<char*>(std::strchr(text, c)); }
char* PE_CDECL StrRChr(const char* text, int c) { return const_cast<char*>(std::strrchr(text, c)); }

std::size_t PE_CDECL WcsLen(const std::uint16_t* text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

// _ultoa: `value` in `radix` (2 to 36), lower-case digits.
char* PE_CDECL ULToA(std::uint32_t value, char* text, int radix) {
  if (radix < 2 || radix > 36) {
    text[0] = '\0';
    return text;
  }
  char digits[33];
  int count = 0;
  do {
    digits[count++] = "0123456789abcdefghijklmnopqrstuvwxyz"[value % static_cast<unsigned>(radix)];
    value /= static_cast<unsigned>(radix);
  } while (value != 0);
  for (int i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
  text[count] = '\0';
  return text;
}

const StandIn kEntries[] = {
    {"malloc", Entry(&std::malloc)},
    {"calloc", Entry(&std::calloc)},
    {"realloc", Entry(&std::realloc)},
    {"free", Entry(&std::free)},
    {"_strdup", Entry(&::strdup)},
    {"memcpy", Entry(&std::memcpy)},
    {"memmove", Entry(&std::memmove)},
    {"memset", Entry(&std::memset)},
    {"memcmp", Entry(&std::memcmp)},
    {"strlen", Entry(&std::strlen)},
    {"strcmp", Entry(&std::strcmp)},
    {"strncmp", Entry(&std::strncmp)},
    {"strchr", Entry(&StrChr)},
    {"strrchr", Entry(&StrRChr)},
    {"atoi", Entry(&std::atoi)},
    {"wcslen", Entry(&WcsLen)},
    {"_ultoa", Entry(&ULToA)},
};

}  // namespace

extern const StandInList kMsvcrtMemory = ListOf(kEntries);

}  // namespace pe
