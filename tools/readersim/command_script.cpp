#include "command_script.h"

namespace readersim {

Script ParseScript(std::string_view text) {
  Script script;
  bool first = true;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      first = false;
      script.has_header = line == "CMD!";
      if (!script.has_header) return script;
      continue;
    }
    if (line.empty() || line.front() == '#') continue;
    std::size_t blank = line.find(' ');
    ScriptCommand command;
    command.word = std::string(line.substr(0, blank));
    if (blank != std::string_view::npos) command.argument = std::string(line.substr(blank + 1));
    script.commands.push_back(std::move(command));
  }
  return script;
}

}  // namespace readersim
