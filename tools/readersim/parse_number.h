#pragma once

#include <cstdint>
#include <string>

namespace readersim {

// Decimal digits only, 0 to 4294967295; anything else gives false.
bool ParseNumber(const std::string& text, std::uint32_t* value);

}  // namespace readersim
