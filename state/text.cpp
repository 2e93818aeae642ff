#include "state/text.h"

#include <cstring>

namespace pagora {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

void CopyBounded(char* dst, std::size_t width, const char* src) {
  const std::size_t n = src != nullptr ? strnlen(src, width - 1) : 0;
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

std::int32_t ReadDecimal(const char* text, const char** end) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulate in 64 bits and stop growing once past the 32-bit range, so any
  // run of digits is read without overflow and saturates the same everywhere.
  std::int64_t value = 0;
  const std::int64_t cap = std::int64_t{1} << 31;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') {
    if (value <= cap) value = value * 10 + (*p - '0');
    ++p;
  }
  if (end != nullptr) *end = (p == digits) ? text : p;
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

bool ContainsIgnoringCase(const char* text, const char* needle) {
  const std::size_t n = std::strlen(needle);
  for (; *text != '\0'; ++text) {
    std::size_t i = 0;
    while (i < n && text[i] != '\0' && LowerAscii(text[i]) == LowerAscii(needle[i])) ++i;
    if (i == n) return true;
  }
  return n == 0;
}

}  // namespace pagora
