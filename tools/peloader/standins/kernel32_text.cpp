// KERNEL32's text conversions. The system stood in for is set to UTF-8, as
// a Windows system can be: file names here are UTF-8, so the module's
// narrow text is UTF-8 for the ANSI code page (CP_ACP) and for CP_UTF8,
// converted by the platform table as strictly as Windows does it, and
// Latin-1 (one byte, one character) for every other code page.
#include <cstdint>

#include "platform/platform.h"
#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

bool IsUtf8(Dword code_page) {
  return code_page == pagora::kCodePageAnsi || code_page == pagora::kCodePageUtf8;
}

Dword PE_API GetACP() { return pagora::kCodePageUtf8; }

std::int32_t PE_API MultiByteToWideChar(Dword code_page, Dword flags, const char* text,
                                        std::int32_t length, char16_t* wide,
                                        std::int32_t capacity) {
  if (IsUtf8(code_page)) {
    return pagora::NativePlatform().multi_byte_to_wide_char(code_page, flags, text, length, wide,
                                                            capacity);
  }
  if (text == nullptr || capacity < 0 || (capacity > 0 && wide == nullptr)) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const int total = length < 0 ? static_cast<int>(std::strlen(text)) + 1 : length;
  if (capacity > 0 && total > capacity) {
    SetLastErrorCode(kErrorInsufficientBuffer);
    return 0;
  }
  for (int i = 0; capacity > 0 && i < total; ++i) wide[i] = bytes[i];
  return total;
}

std::int32_t PE_API WideCharToMultiByte(Dword code_page, Dword flags, const char16_t* wide,
                                        std::int32_t length, char* text, std::int32_t capacity,
                                        const char* default_char, Bool* used_default) {
  if (IsUtf8(code_page)) {
    return pagora::NativePlatform().wide_char_to_multi_byte(
        code_page, flags, wide, length, text, capacity, default_char,
        reinterpret_cast<int*>(used_default));
  }
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
  if (capacity > 0 && total > capacity) {
    SetLastErrorCode(kErrorInsufficientBuffer);
    return 0;
  }
  if (used_default != nullptr) *used_default = 0;
  for (int i = 0; capacity > 0 && i < total; ++i) {
    const bool fits = wide[i] < 0x100;
    text[i] = fits ? static_cast<char>(wide[i]) : (default_char != nullptr ? *default_char : '?');
    if (!fits && used_default != nullptr) *used_default = 1;
  }
  return total;
}

Bool PE_API IsDBCSLeadByteEx(Dword, unsigned char) { return 0; }

const StandIn kEntries[] = {
    {"GetACP", Entry(&GetACP)},
    {"MultiByteToWideChar", Entry(&MultiByteToWideChar)},
    {"WideCharToMultiByte", Entry(&WideCharToMultiByte)},
    {"IsDBCSLeadByteEx", Entry(&IsDBCSLeadByteEx)},
};

}  // namespace

extern const StandInList kKernel32Text = ListOf(kEntries);

}  // namespace pe
