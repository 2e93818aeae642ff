// Ctrl-C, SIGTERM or SIGHUP during a transfer: a request to abort, answered
// through progress, so the plugin stops at its next report and removes its
// temporary file.
#pragma once

namespace pagora_cli {

// From now on the first of those signals only sets the abort request; a
// second one ends the process at once, saying that a download's temporary
// file may be left.
void CatchInterrupt();

bool InterruptRequested();

}  // namespace pagora_cli
