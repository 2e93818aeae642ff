#include "tools/peloader/stdcall_call.h"

#include <cstdio>
#include <cstdlib>

#include "tools/peloader/thread_block.h"

extern "C" std::uint64_t pagora_pe_call(const void* function, const std::uint32_t* words,
                                        std::uint32_t count, std::int32_t* stack_error);

// pagora_pe_call(function, words, count, stack_error), itself cdecl: keeps
// the stack pointer the callee must return with in its own frame (not in a
// register the callee could break), pushes the words from last to first on
// a 16-byte aligned stack, calls, and stores the difference.
asm(R"(
  .text
  .globl pagora_pe_call
  .type pagora_pe_call, @function
pagora_pe_call:
  pushl %ebp
  movl %esp, %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  subl $4, %esp
  movl 12(%ebp), %esi
  movl 16(%ebp), %ecx
  leal 0(,%ecx,4), %eax
  movl %esp, %edx
  subl %eax, %edx
  andl $-16, %edx
  addl %eax, %edx
  movl %edx, -16(%ebp)
  movl %edx, %esp
1:
  testl %ecx, %ecx
  jz 2f
  pushl -4(%esi,%ecx,4)
  decl %ecx
  jmp 1b
2:
  call *8(%ebp)
  movl %esp, %ecx
  subl -16(%ebp), %ecx
  movl 20(%ebp), %edi
  movl %ecx, (%edi)
  leal -12(%ebp), %esp
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret
  .size pagora_pe_call, .-pagora_pe_call
)");

namespace pe {

std::uint64_t CallWithStackCheck(const void* function, const std::uint32_t* words,
                                 std::uint32_t count, std::int32_t* stack_error) {
  return pagora_pe_call(function, words, count, stack_error);
}

std::uint64_t CallModule(const char* what, const void* function, const std::uint32_t* words,
                         std::uint32_t count) {
  if (EnterThreadBlock() != 0) {
    std::fprintf(stderr, "pe loader: no thread block for a call of %s\n", what);
    std::abort();
  }
  std::int32_t stack_error = 0;
  const std::uint64_t result = CallWithStackCheck(function, words, count, &stack_error);
  if (stack_error != 0) {
    std::fprintf(stderr,
                 "pe loader: %s left the stack pointer %d bytes off after a call with %u "
                 "argument bytes: it does not follow the stdcall convention\n",
                 what, static_cast<int>(stack_error), static_cast<unsigned>(count * 4));
    std::abort();
  }
  return result;
}

}  // namespace pe
