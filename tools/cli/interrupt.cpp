#include "tools/cli/interrupt.h"

#include <csignal>

#if !defined(_WIN32)
#include <cstring>
#endif

namespace pagora_cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

void CatchInterrupt() {
#if defined(_WIN32)
  // The C runtime restores the default handler before calling this one, so a
  // second Ctrl-C ends the process.
  std::signal(SIGINT, OnInterrupt);
#else
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // The plugin is blocked in reads and writes on the reader's socket: let
  // them carry on, the abort is asked for at the next progress report.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
#endif
}

bool InterruptRequested() { return g_interrupted != 0; }

}  // namespace pagora_cli
