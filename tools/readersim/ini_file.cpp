#include "ini_file.h"

namespace readersim {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool Fault(IniFault* fault, int line, std::string message) {
  fault->line = line;
  fault->message = std::move(message);
  return false;
}

}  // namespace

bool ParseIni(std::string_view text, std::vector<IniSection>* sections, IniFault* fault) {
  sections->clear();
  int number = 0;
  while (!text.empty()) {
    ++number;
    std::size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.find('\0') != std::string_view::npos) return Fault(fault, number, "NUL byte in the line");
    std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;

    if (line.front() == '[') {
      std::size_t close = line.rfind(']');
      if (close == std::string_view::npos || close != line.size() - 1)
        return Fault(fault, number, "section header without a closing ']'");
      std::string_view name = Trim(line.substr(1, close - 1));
      if (name.empty()) return Fault(fault, number, "section header without a name");
      sections->push_back(IniSection{std::string(name), number, {}});
      continue;
    }

    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return Fault(fault, number, "expected 'key = value'");
    std::string key(Trim(line.substr(0, equals)));
    if (key.empty()) return Fault(fault, number, "'=' without a key in front");
    if (sections->empty()) return Fault(fault, number, "key '" + key + "' before any [section]");
    IniSection& section = sections->back();
    for (const IniEntry& entry : section.entries) {
      if (entry.key == key)
        return Fault(fault, number, "key '" + key + "' given twice in [" + section.name +
                                        "] (first on line " + std::to_string(entry.line) + ")");
    }
    section.entries.push_back(IniEntry{key, std::string(Trim(line.substr(equals + 1))), number});
  }
  return true;
}

}  // namespace readersim
