// Texts as the host passes them. The Unicode exports take UTF-16. The ANSI
// exports take 8-bit text in the system's code page: on Windows the one the
// system is set to, elsewhere UTF-8, which is what hosts there use.
#pragma once

#include <cstddef>

namespace pagora {

// Each gives the units written without the NUL, or -1 when a character
// cannot be converted or the text does not fit `room` (NUL included).

// The host's 8-bit text to reader text and back. Going to the host, a
// character the code page lacks fails the conversion unless `lossy`, which
// puts '_' in its place, a character every file name may hold.
int AnsiToReader(const char* text, char* out, std::size_t room);
int ReaderToAnsi(const char* reader, char* out, std::size_t room, bool lossy);

// The host's 8-bit text to UTF-16 and back, for texts that never reach the
// reader, such as local paths.
int AnsiToUtf16(const char* text, char16_t* out, std::size_t room);
int Utf16ToAnsi(const char16_t* text, char* out, std::size_t room);

}  // namespace pagora
