// pagora-cli: a command-line host for the file-system plugin.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/cli_args.h"
#include "tools/cli/detail_columns.h"
#include "tools/cli/interrupt.h"
#include "tools/cli/module_loader.h"
#include "tools/cli/progress.h"
#include "tools/cli/result_codes.h"
#include "tools/cli/session.h"
#include "tools/cli/unicode_calls.h"

#if defined(_WIN32)
#include <io.h>
#define PAGORA_ISATTY(stream) _isatty(_fileno(stream))
#else
#include <sys/ioctl.h>
#include <unistd.h>
#define PAGORA_ISATTY(stream) isatty(fileno(stream))
#endif

namespace {

// The columns of the terminal on standard error, 80 when unknown.
std::size_t TerminalWidth() {
#if !defined(_WIN32)
  struct winsize size;
  if (ioctl(fileno(stderr), TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) return size.ws_col;
#endif
  return 80;
}

}  // namespace

using namespace pagora_cli;

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParseResult parsed = ParseArgs(args);
  if (!parsed.ok) {
    std::fprintf(stderr, "pagora-cli: %s\nTry 'pagora-cli --help'.\n", parsed.error.c_str());
    return kExitUsage;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitOk;
  }
  Request request;
  std::string error;
  if (!MakeRequest(options, &request, &error)) {
    std::fprintf(stderr, "pagora-cli: %s\n", error.c_str());
    return kExitUsage;
  }

  const std::string module_path = options.module.empty() ? DefaultModulePath() : options.module;
  PluginModule module;
  if (!module.Load(module_path, &error)) {
    std::fprintf(stderr, "pagora-cli: %s\n", error.c_str());
    return kExitModule;
  }

  // Ctrl-C, SIGTERM and SIGHUP ask a transfer to stop; anything else they
  // end at once.
  if (options.command == Command::kGet || options.command == Command::kPut ||
      options.command == Command::kOpen) {
    CatchInterrupt();
  }
  const bool terminal = PAGORA_ISATTY(stderr) != 0;
  ProgressDisplay progress(stderr, terminal, terminal ? TerminalWidth() : 80);
  PluginExports exports = module.exports();
  ContentExports content = FindContentExports(module);
  if (!options.ansi) UseUnicodeExports(module.optional(), &exports, &content);
  return RunCommand(exports, options, request, &progress, stdout, stderr, content);
}
