#include "short_names.h"

#include <cstring>
#include <set>

namespace readersim {

namespace {

// "BASE.EXT", the form in which taken names are kept.
std::string Joined(const std::string& base, const std::string& ext) {
  std::string out = base;
  out += '.';
  out += ext;
  return out;
}

// Upper case, blanks and dots dropped, characters FAT forbids in short names
// (and every 8-bit one) turned into '_'. `lossy` is set when anything but
// the case changed.
std::string Clean(const std::string& text, bool* lossy) {
  std::string out;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == ' ' || c == '.') {
      *lossy = true;
    } else if (u >= 0x80 || std::strchr("+,;=[]", c) != nullptr) {
      out += '_';
      *lossy = true;
    } else if (c >= 'a' && c <= 'z') {
      out += static_cast<char>(c - 'a' + 'A');
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<ShortName> MakeShortNames(const std::vector<std::string>& long_names) {
  std::vector<ShortName> result;
  std::set<std::string> taken;
  for (const std::string& name : long_names) {
    std::size_t dot = name.rfind('.');
    bool has_ext = dot != std::string::npos && dot != 0;
    std::string stem = has_ext ? name.substr(0, dot) : name;
    std::string extension = has_ext ? name.substr(dot + 1) : "";

    bool lossy = false;
    std::string base = Clean(stem, &lossy);
    std::string ext = Clean(extension, &lossy);
    if (ext.size() > 3) {
      ext.resize(3);
      lossy = true;
    }
    if (base.size() > 8) lossy = true;
    if (base.empty()) {
      base = "_";
      lossy = true;
    }

    ShortName chosen{base, ext};
    if (lossy || taken.count(Joined(base, ext)) != 0) {
      for (int n = 1;; ++n) {
        std::string tail = "~" + std::to_string(n);
        std::string candidate = base.substr(0, 8 - tail.size()) + tail;
        if (taken.count(Joined(candidate, ext)) == 0) {
          chosen.base = candidate;
          break;
        }
      }
    }
    taken.insert(chosen.base + "." + chosen.ext);
    result.push_back(chosen);
  }
  return result;
}

}  // namespace readersim
