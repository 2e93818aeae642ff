// Small text helpers shared by the reply parsers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pagora {

// Copies `src` into the field `dst` of `width` bytes: at most width - 1
// characters and a terminator. The bytes after the terminator are left as
// they are (a listing fills thousands of fields, and nothing reads past a
// field's end). A null `src` leaves the field empty.
void CopyBounded(char* dst, std::size_t width, const char* src);

// Reads a decimal number the way the reader writes them: leading white space
// passed over, an optional sign, digits up to the first other character, 0
// without digits. Saturates to the 32-bit signed range instead of overflowing.
std::int32_t ReadDecimal(const char* text, const char** end = nullptr);

// Compares two texts ignoring the case of A to Z only.
bool EqualsIgnoringCase(const char* a, const char* b);

// Whether `text` holds `needle`, ignoring the case of A to Z only.
bool ContainsIgnoringCase(const char* text, const char* needle);

}  // namespace pagora
