// The command line of pagora-cli.
#pragma once

#include <string>
#include <vector>

namespace pagora_cli {

enum class Command { kNone, kList, kGet, kPut, kRemove, kInfo, kOpen };

struct Options {
  Command command = Command::kNone;
  std::string module;  // empty: the default module next to the executable
  bool overwrite = false;
  bool move = false;
  bool resume = false;
  bool long_listing = false;  // ls -l: the detail columns too
  bool ansi = false;          // the 8-bit exports even where Unicode ones exist
  bool help = false;
  std::vector<std::string> operands;  // the command's arguments, in order
};

struct ParseResult {
  bool ok = false;
  std::string error;  // set when !ok
  Options options;
};

// Parses the arguments after the program name. Options may stand anywhere;
// "--" ends them.
ParseResult ParseArgs(const std::vector<std::string>& args);

// The FS_COPYFLAGS_* value for the options given.
int CopyFlags(const Options& options);

// The usage text, with the exit status table.
std::string UsageText();

}  // namespace pagora_cli
