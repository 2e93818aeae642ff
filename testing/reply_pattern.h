// Generated reply bytes: a download of any size without holding its bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pagora {

// Byte `offset` of a generated reply. Each 4096-byte block is a window into
// a fixed table that moves with the block number, so a misplaced or repeated
// block shows in a comparison while serving a block stays one memcpy.
char PatternByte(std::uint64_t offset);

// Writes bytes [offset, offset + n) of a generated reply into `out`.
void FillPattern(char* out, std::uint64_t offset, std::size_t n);

}  // namespace pagora
