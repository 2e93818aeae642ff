// The C runtime's and KERNEL32's support calls as the module's start-up and
// runtime make them: initialisers, the "C" locale, critical sections,
// narrow text from wide, and memory queries.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tools/peloader/standins/standins.h"
#include "tools/peloader/standins/test_standin.h"

namespace pe_test {
namespace {

using Dword = std::uint32_t;

std::vector<int> g_ran;
void First() { g_ran.push_back(1); }
void Second() { g_ran.push_back(2); }

TEST(MsvcrtRuntime, InittermRunsEachInitialiserInOrder) {
  const auto initterm = StandIn<void (*)(void (**)(), void (**)())>("msvcrt.dll", "_initterm");
  void (*table[])() = {nullptr, &First, nullptr, &Second};
  g_ran.clear();
  initterm(table, table + 4);
  EXPECT_EQ(g_ran, (std::vector<int>{1, 2}));
  initterm(table + 2, table + 2);
  EXPECT_EQ(g_ran.size(), 2u) << "an empty range runs nothing";
}

TEST(MsvcrtRuntime, TheModuleKeepsTheCLocale) {
  const auto set_locale = StandIn<const char* (*)(int, const char*)>("msvcrt.dll", "setlocale");
  const struct {
    const char* label;
    int category;
    const char* locale;
    const char* result;  // nullptr: refused
  } cases[] = {
      {"asking", 0, nullptr, "C"},          {"\"C\" for everything", 0, "C", "C"},
      {"the user's default", 2, "", "C"},   {"another locale", 4, "de_DE", nullptr},
      {"no such category", 6, "C", nullptr},
  };
  for (const auto& c : cases) {
    const char* result = set_locale(c.category, c.locale);
    EXPECT_STREQ(result, c.result) << c.label;
  }
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C") << "the host's locale is untouched";
  const auto locale_conv = StandIn<char* const* (*)()>("msvcrt.dll", "localeconv");
  EXPECT_STREQ(locale_conv()[0], ".") << "the decimal point";
}

TEST(Kernel32Support, CriticalSectionsAreRecursiveAndOwned) {
  using Section = void(PE_STDCALL*)(void*);
  const auto init = StandIn<Section>("KERNEL32.dll", "InitializeCriticalSection");
  const auto enter = StandIn<Section>("KERNEL32.dll", "EnterCriticalSection");
  const auto leave = StandIn<Section>("KERNEL32.dll", "LeaveCriticalSection");
  const auto remove = StandIn<Section>("KERNEL32.dll", "DeleteCriticalSection");
  alignas(8) unsigned char section[24];
  pe::Call("InitializeCriticalSection", init, section);
  pe::Call("EnterCriticalSection", enter, section);
  pe::Call("EnterCriticalSection", enter, section);  // again, by its owner: it does not wait
  std::atomic<bool> other_entered{false};
  std::thread other([&] {
    pe::Call("EnterCriticalSection", enter, section);
    other_entered = true;
    pe::Call("LeaveCriticalSection", leave, section);
  });
  // Whether the other thread waits is seen after giving it time to enter.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(other_entered) << "another thread while it is held";
  pe::Call("LeaveCriticalSection", leave, section);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(other_entered) << "held until its owner left as often as it entered";
  pe::Call("LeaveCriticalSection", leave, section);
  other.join();
  EXPECT_TRUE(other_entered) << "another thread once it is free";
  pe::Call("DeleteCriticalSection", remove, section);
  EXPECT_EQ(std::count(section, section + sizeof section, 0), 24) << "cleared as it was deleted";
}

TEST(Kernel32Support, WideTextNarrowsByCodePage) {
  using ToNarrow = std::int32_t(PE_STDCALL*)(Dword, Dword, const std::uint16_t*, std::int32_t, char*,
                                             std::int32_t, const char*, std::int32_t*);
  const auto to_narrow = StandIn<ToNarrow>("KERNEL32.dll", "WideCharToMultiByte");
  const struct {
    const char* label;
    Dword code_page;
    std::vector<std::uint16_t> wide;  // with its terminator
    std::string narrow;               // with its terminator; empty when refused
    std::int32_t used_default;        // -1: no pointer given
    Dword flags;
    Dword error;                      // when refused
  } cases[] = {
      {"ASCII", 0, {'b', 'o', 'o', 'k', 0}, std::string("book", 5), -1, 0, 0},
      {"the ANSI code page is UTF-8", 0, {'c', 0xe9, 0}, std::string("c\xc3\xa9", 4), -1, 0, 0},
      {"Latin-1 in another code page", 1252, {'c', 0xe9, 0}, std::string("c\xe9", 3), 0, 0, 0},
      {"past Latin-1 in another code page", 1252, {0x20ac, 0}, std::string("?", 2), 1, 0, 0},
      {"UTF-8 of three bytes", 65001, {0x20ac, 0}, std::string("\xe2\x82\xac", 4), -1, 0, 0},
      {"a surrogate pair in UTF-8", 65001, {0xd83d, 0xdcd6, 0}, std::string("\xf0\x9f\x93\x96", 5),
       -1, 0, 0},
      {"UTF-8 takes no used-default pointer", 65001, {'a', 0}, "", 0, 0, 87},
      {"nor the best-fit flag", 0, {'a', 0}, "", -1, 0x400, 1004},
      {"a lone surrogate refused when asked", 65001, {0xd800, 0}, "", -1, 0x80, 1113},
  };
  for (const auto& c : cases) {
    const auto size = static_cast<std::int32_t>(c.narrow.size());
    std::int32_t used_default = -1;
    std::int32_t* used = c.used_default >= 0 ? &used_default : nullptr;
    EXPECT_EQ(pe::Call("WideCharToMultiByte", to_narrow, c.code_page, c.flags, c.wide.data(), -1,
                       static_cast<char*>(nullptr), 0, static_cast<const char*>(nullptr), used),
              size)
        << c.label;
    if (size == 0) {
      EXPECT_EQ(pe::LastErrorCode(), c.error) << c.label;
      continue;
    }
    std::string out(static_cast<std::size_t>(size), 'x');
    EXPECT_EQ(pe::Call("WideCharToMultiByte", to_narrow, c.code_page, c.flags, c.wide.data(), -1,
                       &out[0], size, static_cast<const char*>(nullptr), used),
              size)
        << c.label;
    EXPECT_EQ(out, c.narrow) << c.label;
    EXPECT_EQ(used_default, c.used_default) << c.label;
  }
}

TEST(Kernel32Support, MemoryQueriesAnswerForModulesOnly) {
  const auto query = StandIn<Dword(PE_STDCALL*)(const void*, void*, Dword)>("KERNEL32.dll", "VirtualQuery");
  const auto protect =
      StandIn<std::int32_t(PE_STDCALL*)(void*, Dword, Dword, Dword*)>("KERNEL32.dll", "VirtualProtect");
  int local = 0;
  unsigned char info[28];
  Dword old = 0;
  EXPECT_EQ(pe::Call("VirtualQuery", query, &local, info, 28u), 0u) << "not a module's memory";
  EXPECT_EQ(pe::LastErrorCode(), 87u);
  EXPECT_EQ(pe::Call("VirtualProtect", protect, &local, 4u, 0x04u, &old), 0);
  EXPECT_EQ(pe::LastErrorCode(), 87u);
}

}  // namespace
}  // namespace pe_test
