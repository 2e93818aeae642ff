// Command scripts uploaded under "__WHATYOUWANT": a "CMD!" header line, then
// one command a line ("WORD argument"), with '#' lines as comments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace readersim {

struct ScriptCommand {
  std::string word;
  std::string argument;  // everything after the first blank, blanks kept
};

struct Script {
  bool has_header = false;  // without it the reader runs nothing
  std::vector<ScriptCommand> commands;
};

// Lines end in "\n", a "\r" before it is dropped. Blank and comment lines
// give no command.
Script ParseScript(std::string_view text);

}  // namespace readersim
