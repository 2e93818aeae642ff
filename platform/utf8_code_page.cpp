#include "platform/utf8_code_page.h"

#include "platform/platform.h"

namespace pagora {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

int Failed(std::uint32_t error) {
  Os().set_last_error(error);
  return 0;
}

// One UTF-8 character at `*p` (`end` bounds it), moved past; -1 for a
// malformed one (overlong, a surrogate, past U+10FFFF, cut short), which
// moves past its first byte.
std::int32_t Decode(const unsigned char** p, const unsigned char* end) {
  const unsigned char lead = *(*p)++;
  const int extra = lead < 0x80 ? 0 : lead >= 0xC2 && lead <= 0xDF ? 1
                  : lead >= 0xE0 && lead <= 0xEF ? 2 : lead >= 0xF0 && lead <= 0xF4 ? 3 : -1;
  if (extra < 0) return -1;
  char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
  const unsigned char* q = *p;
  for (int i = 0; i < extra; ++i, ++q) {
    if (q == end || (*q & 0xC0) != 0x80) return -1;
    code = (code << 6) | (*q & 0x3F);
  }
  static constexpr char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
  if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
  *p = q;
  return static_cast<std::int32_t>(code);
}

bool IsUtf8(std::uint32_t code_page) {
  return code_page == kCodePageAnsi || code_page == kCodePageUtf8;
}

}  // namespace

int Utf8MultiByteToWideChar(std::uint32_t code_page, std::uint32_t flags, const char* text,
                            int length, char16_t* out, int room) {
  if (!IsUtf8(code_page) || text == nullptr || room < 0) return Failed(kErrorInvalidParameter);
  if ((flags & ~kMbErrInvalidChars) != 0) return Failed(kErrorInvalidFlags);
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p;
  if (length < 0) {
    while (*end != 0) ++end;
    ++end;  // the NUL is converted too
  } else {
    end += length;
  }
  int units = 0;
  while (p < end) {
    std::int32_t code = Decode(&p, end);
    if (code < 0) {
      if ((flags & kMbErrInvalidChars) != 0) return Failed(kErrorNoUnicodeTranslation);
      code = kReplacement;
    }
    const int width = code >= 0x10000 ? 2 : 1;
    if (room > 0) {
      if (units + width > room) return Failed(kErrorInsufficientBuffer);
      if (width == 2) {
        out[units] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        out[units + 1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        out[units] = static_cast<char16_t>(code);
      }
    }
    units += width;
  }
  return units;
}

int Utf8WideCharToMultiByte(std::uint32_t code_page, std::uint32_t flags, const char16_t* text,
                            int length, char* out, int room, const char* default_char,
                            int* used_default) {
  if (!IsUtf8(code_page) || text == nullptr || room < 0) return Failed(kErrorInvalidParameter);
  if ((flags & ~kWcErrInvalidChars) != 0) return Failed(kErrorInvalidFlags);
  if (default_char != nullptr || used_default != nullptr) return Failed(kErrorInvalidParameter);
  int total = length;
  if (length < 0) {
    total = 0;
    while (text[total] != 0) ++total;
    ++total;
  }
  int bytes = 0;
  for (int i = 0; i < total; ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < total && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      if ((flags & kWcErrInvalidChars) != 0) return Failed(kErrorNoUnicodeTranslation);
      code = kReplacement;
    }
    const int extra = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    if (room > 0) {
      if (bytes + extra + 1 > room) return Failed(kErrorInsufficientBuffer);
      static constexpr unsigned char kLead[4] = {0x00, 0xC0, 0xE0, 0xF0};
      out[bytes] = static_cast<char>(kLead[extra] | (code >> (6 * extra)));
      for (int k = 1; k <= extra; ++k) {
        out[bytes + k] = static_cast<char>(0x80 | ((code >> (6 * (extra - k))) & 0x3F));
      }
    }
    bytes += extra + 1;
  }
  return bytes;
}

}  // namespace pagora
