// The call into module code: arguments in order, results in EDX:EAX, the
// stack aligned for the callee, and a callee that takes the wrong number of
// argument bytes off the stack caught by the stack pointer check.
#include <gtest/gtest.h>

#include "tools/peloader/stdcall_call.h"

namespace pe_test {
namespace {

std::int32_t PE_STDCALL Subtract(std::int32_t a, std::int32_t b) { return a - b; }
std::uint64_t PE_STDCALL Widen(std::uint32_t high, std::uint32_t low) {
  return (std::uint64_t{high} << 32) | low;
}
std::int32_t PE_STDCALL AlignmentOf(std::int32_t first) {
  return static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(&first) % 16);
}
std::int32_t PE_STDCALL Seven() { return 7; }
std::int32_t __attribute__((cdecl)) CallerPops(std::int32_t a, std::int32_t b) { return a - b; }

TEST(StdcallCall, ResultsAndTheStackPointerCheck) {
  struct Case {
    const char* label;
    const void* function;
    std::uint32_t words[2];
    std::uint32_t count;
    std::uint64_t result;
    std::int32_t stack_error;
  };
  const Case cases[] = {
      {"arguments in order", pe::CodeAddress(&Subtract), {10, 3}, 2, 7, 0},
      {"a 64-bit result in EDX:EAX", pe::CodeAddress(&Widen), {1, 2}, 2, 0x100000002ull, 0},
      {"arguments start 16-byte aligned", pe::CodeAddress(&AlignmentOf), {0, 0}, 1, 0, 0},
      {"no arguments", pe::CodeAddress(&Seven), {0, 0}, 0, 7, 0},
      {"a callee that leaves its arguments (cdecl)", pe::CodeAddress(&CallerPops), {10, 3}, 2, 7, -8},
      {"a callee that takes fewer than it was given", pe::CodeAddress(&AlignmentOf), {0, 0}, 2, 0, -4},
      {"a callee that takes more than it was given", pe::CodeAddress(&Subtract), {10, 3}, 1, 0, 4},
  };
  for (const Case& c : cases) {
    std::int32_t stack_error = 99;
    const std::uint64_t result = pe::CallWithStackCheck(c.function, c.words, c.count, &stack_error);
    EXPECT_EQ(stack_error, c.stack_error) << c.label;
    // A callee given too few arguments computes with whatever lay above them.
    const bool given_all = c.stack_error <= 0;
    if (given_all && c.result > 0xffffffffu) {
      EXPECT_EQ(result, c.result) << c.label;
    } else if (given_all) {
      EXPECT_EQ(static_cast<std::uint32_t>(result), c.result) << c.label;
    }
  }
}

TEST(StdcallCall, TypedCallsPassEachArgumentAsAWord) {
  EXPECT_EQ(pe::Call("Subtract", &Subtract, 10, 3), 7);
  EXPECT_EQ(pe::Call("Widen", &Widen, 3u, 4u), 0x300000004ull);
  EXPECT_EQ(pe::Call("Seven", &Seven), 7);
}

TEST(StdcallCallDeathTest, AnUnbalancedCallEndsTheProcessNamingTheCallee) {
  using Wrong = std::int32_t(PE_STDCALL*)(std::int32_t, std::int32_t);
  Wrong wrong = nullptr;
  const void* address = pe::CodeAddress(&CallerPops);
  std::memcpy(&wrong, &address, sizeof wrong);
  EXPECT_DEATH(pe::Call("CallerPops", wrong, 10, 3),
               "CallerPops left the stack pointer -8 bytes off after a call with 8 argument bytes");
}

}  // namespace
}  // namespace pe_test
