#include "fuzz/fuzz_script.h"

#include <algorithm>
#include <cstring>

namespace pagora {
namespace {

struct Input {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
} g_in;

std::uint32_t Fate(const FakeCall&) {
  const std::uint8_t b = FuzzByte();
  if (b >= 16) return 0;
  static const std::uint32_t kErrors[16] = {
      kErrorGenFailure,    kErrorFileNotFound,       kErrorPathNotFound, kErrorTooManyOpenFiles,
      kErrorAccessDenied,  kErrorFileExists,         kErrorDeviceNotConnected, kErrorNoMoreItems,
      kErrorNotReady,      kErrorDiskFull,           kErrorCrc,          kErrorInvalidParameter,
      kErrorInvalidHandle, kErrorInvalidFunction,    kErrorGenFailure,   kErrorInsufficientBuffer};
  return kErrors[b];
}

std::uint32_t Answer(char* out, std::uint32_t room) {
  const std::uint8_t high = FuzzByte();
  const std::uint8_t low = FuzzByte();
  if (g_in.pos >= g_in.size) return 0;
  // 0xFE: a full block of lines that costs no more input, so replies past
  // 64 KiB, and up to the 16 MiB bound, are within the fuzzer's reach.
  if (high == 0xFE) {
    for (std::uint32_t i = 0; i < room; ++i) out[i] = i % 61 == 60 ? '\n' : static_cast<char>(low);
    return room;
  }
  std::size_t length = (std::size_t{high} << 8 | low) % 8200;
  const std::size_t available = std::min(length, g_in.size - g_in.pos);
  std::memcpy(out, g_in.data + g_in.pos, std::min<std::size_t>(available, room));
  g_in.pos += available;
  return static_cast<std::uint32_t>(length);
}

}  // namespace

FakeDriver& FuzzReader() {
  static FakeDriver* reader = [] {
    auto* fake = new FakeDriver;  // lives for the whole run
    fake->record_calls = false;
    fake->files_in_memory = true;
    return fake;
  }();
  return *reader;
}

void FuzzScript(const std::uint8_t* data, std::size_t size) {
  g_in = Input{data, size, 0};
  FakeDriver& reader = FuzzReader();
  reader.ClearFailures();
  reader.FailBy(Fate);
  reader.AnswerBy(Answer);
}

std::uint8_t FuzzByte() { return g_in.pos < g_in.size ? g_in.data[g_in.pos++] : 0xFF; }

std::string FuzzBytes(std::size_t n) {
  n = std::min(n, g_in.size - std::min(g_in.pos, g_in.size));
  std::string out(reinterpret_cast<const char*>(g_in.data + g_in.pos), n);
  g_in.pos += n;
  return out;
}

}  // namespace pagora
