#include "tools/cli/interrupt.h"

#include <csignal>

#if !defined(_WIN32)
#include <unistd.h>

#include <cstring>
#endif

namespace pagora_cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

#if defined(_WIN32)
extern "C" void OnInterrupt(int) { g_interrupted = 1; }
#else
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnInterrupt(int signal_number) {
  if (g_interrupted == 0) {
    g_interrupted = 1;
    return;
  }
  // Only calls that are safe in a signal handler from here on.
  static const char kLeft[] =
      "\npagora-cli: stopped at once; a temporary file ~pgr....tmp may be left beside the "
      "target\n";
  if (write(STDERR_FILENO, kLeft, sizeof kLeft - 1) < 0) {
    // Nothing more can be said.
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}
#endif

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
  action.sa_flags = SA_RESTART;
  for (int signal_number : kSignals) sigaction(signal_number, &action, nullptr);
#endif
}

bool InterruptRequested() { return g_interrupted != 0; }

}  // namespace pagora_cli
