#include "testing/reply_pattern.h"

#include <algorithm>
#include <cstring>

namespace pagora {
namespace {

constexpr std::uint64_t kBlock = 4096;

struct PatternTable {
  char bytes[2 * kBlock];
  PatternTable() {
    for (std::size_t j = 0; j < sizeof bytes; ++j) {
      bytes[j] = static_cast<char>((j * 31 + j / 251) & 0xFF);
    }
  }
};

const char* PatternBytes() {
  static const PatternTable table;
  return table.bytes;
}

}  // namespace

char PatternByte(std::uint64_t offset) {
  return PatternBytes()[offset % kBlock + (offset / kBlock) % kBlock];
}

void FillPattern(char* out, std::uint64_t offset, std::size_t n) {
  while (n > 0) {
    const std::uint64_t within = offset % kBlock;
    const std::size_t run = static_cast<std::size_t>(std::min<std::uint64_t>(n, kBlock - within));
    std::memcpy(out, PatternBytes() + within + (offset / kBlock) % kBlock, run);
    out += run;
    offset += run;
    n -= run;
  }
}

}  // namespace pagora
