#include "parse_number.h"

namespace readersim {

bool ParseNumber(const std::string& text, std::uint32_t* value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  unsigned long long number = std::stoull(text);
  if (number > 0xFFFFFFFFull) return false;
  *value = static_cast<std::uint32_t>(number);
  return true;
}

}  // namespace readersim
