// Finding, opening and probing the reader's driver interface.
#pragma once

#include <cstdint>

#include "devlink/platform.h"

namespace pagora {

struct ReaderState;

// The reader driver's device interface class.
constexpr Guid kReaderInterfaceClass = {
    0x3BB1DF43, 0xB2D4, 0x11D3, {0xBF, 0x85, 0x00, 0x10, 0x5A, 0x0A, 0x47, 0xB3}};

constexpr std::uint32_t IOCTL_DEV_PROBE = 0x222014;

// Opens the link when it is closed (discovering the interface first when its
// path is not known) and probes the reader. 0 when the reader answered; -1
// otherwise, with the state reset when the open or the probe failed.
int DevOpen(ReaderState& state);

// With `force`, closes the device handle; without, leaves it open for the
// next exchange. Gives 0.
int DevRelease(ReaderState& state, bool force);

// Whether a reader answers the probe right now.
bool DevIsConnected(ReaderState& state);

// Runs Reset but leaves the last-error value as the failing call left it, so
// the host sees why the exchange failed rather than how the cleanup went.
void ResetAfterFailure(ReaderState& state);

}  // namespace pagora
