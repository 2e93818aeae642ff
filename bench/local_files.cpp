#include "bench/local_files.h"

#include <cstring>
#include <fstream>

#include "testing/reply_pattern.h"

namespace pagora {
namespace {
constexpr std::size_t kChunk = 4096;
}  // namespace

bool WritePatternFile(const std::string& path, std::uint64_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  char chunk[kChunk];
  for (std::uint64_t offset = 0; offset < size && out; offset += kChunk) {
    const auto n = static_cast<std::size_t>(size - offset < kChunk ? size - offset : kChunk);
    FillPattern(chunk, offset, n);
    out.write(chunk, static_cast<std::streamsize>(n));
  }
  out.close();
  return static_cast<bool>(out);
}

bool HoldsPattern(const std::string& path, std::uint64_t size) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  char got[kChunk];
  char want[kChunk];
  std::uint64_t offset = 0;
  for (;;) {
    in.read(got, kChunk);
    const auto n = static_cast<std::size_t>(in.gcount());
    if (n == 0) break;
    if (offset + n > size) return false;
    FillPattern(want, offset, n);
    if (std::memcmp(got, want, n) != 0) return false;
    offset += n;
  }
  return offset == size;
}

}  // namespace pagora
