#include "parse_number.h"

#include <charconv>

namespace readersim {

bool ParseNumber(const std::string& text, std::uint32_t* value) {
  // from_chars takes a sign and leading blanks from nobody: digits only.
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  std::uint32_t number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, fault] = std::from_chars(text.data(), end, number);
  if (fault != std::errc() || stop != end) return false;
  *value = number;
  return true;
}

}  // namespace readersim
