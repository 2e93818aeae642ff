#include "test_support.h"

#include <stdlib.h>

#include <filesystem>

namespace readersim {
namespace testing_support {

namespace {

// The first blank-delimited word of a fixed column, as the plugin keeps it.
std::string Word(const std::string& line, std::size_t start, std::size_t width) {
  if (start >= line.size()) return "";
  std::string column = line.substr(start, width - 1);
  std::size_t first = column.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return column.substr(first, column.find_first_of(" \t", first) - first);
}

}  // namespace

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::map<std::string, std::vector<std::string>> ReadStatusLines(const std::string& reply) {
  std::map<std::string, std::vector<std::string>> result;
  for (const std::string& line : Lines(reply)) {
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::vector<std::string>& values = result[line.substr(0, equals)];
    std::string rest = line.substr(equals + 1);
    // Quoted values separated by exactly one blank.
    while (rest.size() >= 2 && rest.front() == '"') {
      std::size_t close = rest.find('"', 1);
      if (close == std::string::npos) break;
      values.push_back(rest.substr(1, close - 1));
      rest = rest.substr(close + 1);
      if (rest.empty() || rest.front() != ' ') break;
      rest = rest.substr(1);
    }
    if (!rest.empty()) values.push_back("<junk:" + rest + ">");
  }
  return result;
}

std::map<std::string, std::string> ReadTitleAttributes(const std::string& line) {
  std::map<std::string, std::string> attributes;
  std::size_t pos = line.find('=');
  if (pos == std::string::npos) return attributes;
  ++pos;
  while (pos < line.size()) {
    std::size_t name_end = line.find('=', pos);
    if (name_end == std::string::npos) break;
    std::string name = line.substr(pos, name_end - pos);
    std::size_t value_start = name_end + 1;
    std::size_t next = line.find("=\"", value_start);
    std::size_t value_end = line.size();
    std::size_t next_start = value_end;
    if (next != std::string::npos) {
      std::size_t blank = line.rfind(' ', next);
      if (blank == std::string::npos || blank < value_start) break;
      value_end = blank;
      next_start = blank + 1;
    }
    std::string value = line.substr(value_start, value_end - value_start);
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
      attributes[name] = "<malformed:" + value + ">";
    } else {
      attributes[name] = value.substr(1, value.size() - 2);
    }
    pos = next_start;
  }
  return attributes;
}

std::vector<ListingEntry> ReadListing(const std::string& reply) {
  std::vector<ListingEntry> entries;
  std::vector<std::string> lines = Lines(reply);
  for (std::size_t i = 2; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    ListingEntry entry;
    entry.inside = !line.empty() && line[0] == '+';
    std::size_t base = entry.inside ? 3 : 0;
    entry.name = Word(line, base + 0, 9);
    entry.ext = Word(line, base + 9, 4);
    entry.attributes = Word(line, base + 13, 7);
    entry.size = Word(line, base + 20, 9);
    entry.long_name = base + 29 < line.size() ? line.substr(base + 29, 127) : "";
    entries.push_back(entry);
  }
  return entries;
}

ScratchFolder::ScratchFolder() {
  char pattern[] = "/tmp/readersim-test-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  path_ = made ? made : "";
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace testing_support
}  // namespace readersim
