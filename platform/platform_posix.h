// What the socket substitute (platform_posix.cpp) offers beside the platform
// table: the bound on a reader that has gone silent.
#pragma once

#include <cstdint>

namespace pagora {

// A control call fails as a lost connection (ERROR_DEVICE_NOT_CONNECTED)
// when no byte of its request or response moves for this long. The bound is
// on silence, not on the call's length: a slow reader that keeps moving
// bytes is waited for however long the call takes.
constexpr std::uint32_t kReaderSilenceLimitMs = 30000;

// Sets the bound to `ms` (0 restores kReaderSilenceLimitMs). Tests only, so
// they can show a silent reader failing without waiting the full bound.
void SetReaderSilenceLimitForTests(std::uint32_t ms);

}  // namespace pagora
