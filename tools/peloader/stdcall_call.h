// Calls into a module's code as 32-bit Windows does: arguments pushed right
// to left, the callee removing them (stdcall), the stack 16-byte aligned at
// the call and fs addressing the thread's block. After every call the stack
// pointer is checked: a callee that removes more or fewer bytes than it was
// given breaks the convention and leaves the host's state unknown.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

// The calling convention of every Windows API and of the module's exports.
// Stand-ins the module calls also realign the stack, which Windows code
// only keeps at 4 bytes.
#define PE_STDCALL __attribute__((stdcall))
#define PE_API __attribute__((stdcall, force_align_arg_pointer))
// The C runtime's own convention (cdecl), realigned the same way.
#define PE_CDECL __attribute__((cdecl, force_align_arg_pointer))

namespace pe {

// Calls `function` with `count` 32-bit argument words. Sets `*stack_error`
// to how many bytes the stack pointer ended away from where it was (0 for a
// stdcall callee that took exactly its arguments). Gives EDX:EAX.
std::uint64_t CallWithStackCheck(const void* function, const std::uint32_t* words,
                                 std::uint32_t count, std::int32_t* stack_error);

// CallWithStackCheck in the thread's block, for `what` (named in the report):
// a stack pointer off after the call, or a thread block the system refuses,
// is reported on standard error and ends the process.
std::uint64_t CallModule(const char* what, const void* function, const std::uint32_t* words,
                         std::uint32_t count);

template <typename T>
std::uint32_t ToWord(T value) {
  static_assert(sizeof(T) == 4, "a 32-bit argument");
  std::uint32_t word = 0;
  std::memcpy(&word, &value, 4);
  return word;
}

template <typename Fn>
const void* CodeAddress(Fn function) {
  const void* address = nullptr;
  static_assert(sizeof(function) == sizeof(address), "code and data addresses share a size");
  std::memcpy(&address, &function, sizeof(address));
  return address;
}

// Calls a module function through its stdcall type.
template <typename R, typename... A, typename... Given>
R Call(const char* what, R(PE_STDCALL* function)(A...), Given... args) {
  static_assert(sizeof...(A) == sizeof...(Given), "every argument given");
  const std::uint32_t words[sizeof...(A) + 1] = {ToWord(static_cast<A>(args))..., 0};
  const std::uint64_t result = CallModule(what, CodeAddress(function), words, sizeof...(A));
  if constexpr (std::is_void_v<R>) {
    return;
  } else if constexpr (sizeof(R) == 8) {
    return static_cast<R>(result);
  } else {
    static_assert(sizeof(R) == 4, "a 32-bit result");
    const auto low = static_cast<std::uint32_t>(result);
    R value;
    std::memcpy(&value, &low, 4);
    return value;
  }
}

}  // namespace pe
