// msvcrt's memory and string functions. On 32-bit x86 its calling
// convention (cdecl) and these functions' arguments are the C library's, so
// most are the C library's own; the rest differ in a type (C++ gives strchr
// and strrchr as const overloads; wchar_t is 16 bits on Windows).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

char* PE_CDECL FindFirstChar(const char* text, int c) { return const_cast<char*>(std::strchr(text, c)); }
char* PE_CDECL FindLastChar(const char* text, int c) { return const_cast<char*>(std::strrchr(text, c)); }

std::size_t PE_CDECL WcsLen(const std::uint16_t* text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

const StandIn kEntries[] = {
    {"malloc", Entry(&std::malloc)},
    {"calloc", Entry(&std::calloc)},
    {"realloc", Entry(&std::realloc)},
    {"free", Entry(&std::free)},
    {"memcpy", Entry(&std::memcpy)},
    {"memset", Entry(&std::memset)},
    {"memcmp", Entry(&std::memcmp)},
    {"strlen", Entry(&std::strlen)},
    {"strcmp", Entry(&std::strcmp)},
    {"strncmp", Entry(&std::strncmp)},
    {"strchr", Entry(&FindFirstChar)},
    {"strrchr", Entry(&FindLastChar)},
    {"strcspn", Entry(&std::strcspn)},
    {"atoi", Entry(&std::atoi)},
    {"wcslen", Entry(&WcsLen)},
};

}  // namespace

extern const StandInList kMsvcrtMemory = ListOf(kEntries);

}  // namespace pe
