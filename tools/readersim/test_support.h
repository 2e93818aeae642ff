// Helpers for the simulator's tests: readers of the replies that cut them
// the way the plugin does (fixed columns, `name="value"` attributes), and a
// scratch folder.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace readersim {
namespace testing_support {

// "KEY="v1" "v2"" lines: key -> values.
std::map<std::string, std::vector<std::string>> ReadStatusLines(const std::string& reply);

// One title line's attributes, found as the plugin finds them: a value ends
// at the blank before the next '="'.
std::map<std::string, std::string> ReadTitleAttributes(const std::string& line);

struct ListingEntry {
  bool inside;  // a '+' line
  std::string name, ext, attributes, size, long_name;
};
// Lines after the two headers, cut at the fixed column positions.
std::vector<ListingEntry> ReadListing(const std::string& reply);

std::vector<std::string> Lines(const std::string& text);

// A fresh folder under /tmp, removed with its contents at destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace testing_support
}  // namespace readersim
