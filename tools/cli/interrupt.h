// Ctrl-C during a transfer: a request to abort, answered through progress.
#pragma once

namespace pagora_cli {

// From now on the first SIGINT only sets the abort request; a second one
// ends the process as usual.
void CatchInterrupt();

bool InterruptRequested();

}  // namespace pagora_cli
