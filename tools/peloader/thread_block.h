// The thread information block that Windows code reaches through the fs
// segment register. Code in the module reads it directly (the C runtime's
// start-up takes fs:[0x18], the block's own address, and the stack base in
// it as the thread's identity), so each thread that calls into a module gets
// one, and fs is pointed at it before every call.
#pragma once

#include <cstdint>

namespace pe {

// The module's static thread-local data, as its TLS directory describes it:
// copied into every thread's block, in slot 0 of its TLS array.
struct TlsTemplate {
  const unsigned char* data = nullptr;
  std::uint32_t size = 0;
  std::uint32_t zero_fill = 0;
};

// Sets the template for blocks made or refreshed from now on (one module's:
// the last one loaded that has TLS data).
void SetTlsTemplate(const TlsTemplate& tls);

// Drops the template whose data starts at `data`, when it is the one set:
// its module is going, and blocks made later must not copy from it.
void ForgetTlsTemplate(const unsigned char* data);

// Makes fs of the calling thread address its block, creating the block on
// the thread's first call. Returns 0, or -1 when the system refuses the
// segment (the call must then not be made).
int EnterThreadBlock();

}  // namespace pe
