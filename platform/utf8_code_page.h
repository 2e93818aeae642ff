// Windows' two text conversions for the UTF-8 code page, for the tables of
// systems whose code page is always UTF-8: exact, and as strict about their
// flags and arguments as Windows is.
#pragma once

#include <cstdint>

namespace pagora {

// MultiByteToWideChar and WideCharToMultiByte for kCodePageAnsi and
// kCodePageUtf8; any other code page fails with kErrorInvalidParameter.
int Utf8MultiByteToWideChar(std::uint32_t code_page, std::uint32_t flags, const char* text,
                            int length, char16_t* out, int room);
int Utf8WideCharToMultiByte(std::uint32_t code_page, std::uint32_t flags, const char16_t* text,
                            int length, char* out, int room, const char* default_char,
                            int* used_default);

}  // namespace pagora
