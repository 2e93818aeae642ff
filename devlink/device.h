// Finding, opening and probing the reader's driver interface.
#pragma once

#include <cstdint>

#include "platform/control_codes.h"
#include "platform/platform.h"

namespace pagora {

struct ReaderState;

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
