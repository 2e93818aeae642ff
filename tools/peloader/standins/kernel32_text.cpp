// KERNEL32's text conversions. The system stood in for is set to UTF-8, as
// a Windows system can be: file names here are UTF-8, so the module's
// narrow text is UTF-8 for the ANSI code page (CP_ACP) and for CP_UTF8, and
// Latin-1 (one byte, one character) for every other code page.
#include <cstdint>

#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

constexpr Dword kCodePageAnsi = 0;
constexpr Dword kCodePageUtf8 = 65001;

bool IsUtf8(Dword code_page) { return code_page == kCodePageAnsi || code_page == kCodePageUtf8; }
constexpr Dword kErrorNoUnicodeTranslation = 1113;

// Decodes one character of `text` (`length` bytes left); 0 when invalid.
int DecodeUtf8(const unsigned char* text, int length, std::uint32_t* code) {
  const unsigned char lead = text[0];
  const int size = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (size == 0 || size > length) return 0;
  *code = size == 1 ? lead : lead & (0x7f >> size);
  for (int i = 1; i < size; ++i) {
    if ((text[i] & 0xc0) != 0x80) return 0;
    *code = (*code << 6) | (text[i] & 0x3f);
  }
  return size;
}

std::int32_t PE_API MultiByteToWideChar(Dword code_page, Dword, const char* text, std::int32_t length,
                                        std::uint16_t* wide, std::int32_t capacity) {
  if (text == nullptr || capacity < 0 || (capacity > 0 && wide == nullptr)) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const int total = length < 0 ? static_cast<int>(std::strlen(text)) + 1 : length;
  std::int32_t units = 0;
  for (int i = 0; i < total;) {
    std::uint32_t code = bytes[i];
    int used = 1;
    if (IsUtf8(code_page) && (used = DecodeUtf8(bytes + i, total - i, &code)) == 0) {
      SetLastErrorCode(kErrorNoUnicodeTranslation);
      return 0;
    }
    i += used;
    const int needed = code > 0xffff ? 2 : 1;
    if (capacity > 0) {
      if (units + needed > capacity) {
        SetLastErrorCode(kErrorInsufficientBuffer);
        return 0;
      }
      if (needed == 2) {
        wide[units] = static_cast<std::uint16_t>(0xd800 + ((code - 0x10000) >> 10));
        wide[units + 1] = static_cast<std::uint16_t>(0xdc00 + ((code - 0x10000) & 0x3ff));
      } else {
        wide[units] = static_cast<std::uint16_t>(code);
      }
    }
    units += needed;
  }
  return units;
}

std::int32_t PE_API WideCharToMultiByte(Dword code_page, Dword, const std::uint16_t* wide,
                                        std::int32_t length, char* text, std::int32_t capacity,
                                        const char* default_char, Bool* used_default) {
  if (wide == nullptr || capacity < 0 || (capacity > 0 && text == nullptr)) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  int total = length;
  if (length < 0) {
    total = 0;
    while (wide[total] != 0) ++total;
    ++total;
  }
  const char fallback = default_char != nullptr ? *default_char : '?';
  if (used_default != nullptr) *used_default = 0;
  std::int32_t bytes = 0;
  for (int i = 0; i < total; ++i) {
    std::uint32_t code = wide[i];
    if (code >= 0xd800 && code < 0xdc00 && i + 1 < total && wide[i + 1] >= 0xdc00 && wide[i + 1] < 0xe000) {
      code = 0x10000 + ((code - 0xd800) << 10) + (wide[i + 1] - 0xdc00);
      ++i;
    }
    unsigned char out[4];
    int size = 1;
    if (IsUtf8(code_page)) {
      if (code < 0x80) {
        out[0] = static_cast<unsigned char>(code);
      } else if (code < 0x800) {
        out[0] = static_cast<unsigned char>(0xc0 | (code >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (code & 0x3f));
        size = 2;
      } else if (code < 0x10000) {
        out[0] = static_cast<unsigned char>(0xe0 | (code >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3f));
        out[2] = static_cast<unsigned char>(0x80 | (code & 0x3f));
        size = 3;
      } else {
        out[0] = static_cast<unsigned char>(0xf0 | (code >> 18));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3f));
        out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3f));
        out[3] = static_cast<unsigned char>(0x80 | (code & 0x3f));
        size = 4;
      }
    } else if (code < 0x100) {
      out[0] = static_cast<unsigned char>(code);
    } else {
      out[0] = static_cast<unsigned char>(fallback);
      if (used_default != nullptr) *used_default = 1;
    }
    if (capacity > 0) {
      if (bytes + size > capacity) {
        SetLastErrorCode(kErrorInsufficientBuffer);
        return 0;
      }
      std::memcpy(text + bytes, out, static_cast<std::size_t>(size));
    }
    bytes += size;
  }
  return bytes;
}

Bool PE_API IsDBCSLeadByteEx(Dword, unsigned char) { return 0; }

const StandIn kEntries[] = {
    {"MultiByteToWideChar", Entry(&MultiByteToWideChar)},
    {"WideCharToMultiByte", Entry(&WideCharToMultiByte)},
    {"IsDBCSLeadByteEx", Entry(&IsDBCSLeadByteEx)},
};

}  // namespace

extern const StandInList kKernel32Text = ListOf(kEntries);

}  // namespace pe
