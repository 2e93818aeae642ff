// A small INI reader that keeps line numbers, so that a fault in a
// hand-edited file can be pointed at.
//
//   # comment            ; comment too
//   [section name]       the name runs to the last ']' of the line
//   key = value          blanks around key and value are dropped
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace readersim {

struct IniEntry {
  std::string key;
  std::string value;
  int line = 0;
};

struct IniSection {
  std::string name;
  int line = 0;
  std::vector<IniEntry> entries;
};

struct IniFault {
  int line = 0;
  std::string message;
};

// Gives false and the fault for a line that is neither blank, a comment, a
// section header nor "key = value"; for a key before the first section; for
// a key given twice in one section; and for a NUL byte.
bool ParseIni(std::string_view text, std::vector<IniSection>* sections, IniFault* fault);

}  // namespace readersim
