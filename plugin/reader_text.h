// The reader's texts and the host's Unicode texts.
//
// The reader stores and sends 8-bit text. Its character set is taken to be
// Windows-1252, and this is the one place that assumes it: every title,
// author and file name crosses between the reader and a host through the
// conversions below, which are exact for every character Windows-1252
// holds. The five bytes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// stand for the C1 control characters of the same numbers, as Windows'
// own conversion has them, so every byte the reader sends comes back
// unchanged. A character without a reader byte makes a text
// unrepresentable: nothing is replaced or dropped on the way to the reader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pagora {

// Each conversion writes a NUL-terminated text into `out`, which holds
// `room` units with the NUL, and gives the units written without the NUL;
// -1 when a character cannot be converted (`out` then holds no text) or the
// text does not fit (`out` then holds as many whole characters as fit).

// Reader text to UTF-16 (one unit for every reader byte) and back.
int ReaderToUtf16(const char* reader, char16_t* out, std::size_t room);
int Utf16ToReader(const char16_t* text, char* out, std::size_t room);

// Reader text to UTF-8 and back. Malformed UTF-8 cannot be converted.
int ReaderToUtf8(const char* reader, char* out, std::size_t room);
int Utf8ToReader(const char* text, char* out, std::size_t room);

// Any Unicode text between UTF-8 and UTF-16, surrogate pairs included, for
// the host's own texts such as local paths. Malformed input cannot be
// converted.
int Utf8ToUtf16(const char* text, char16_t* out, std::size_t room);
int Utf16ToUtf8(const char16_t* text, char* out, std::size_t room);

// The bytes of a reader byte's UTF-8 form: 1 for ASCII, 2 or 3 otherwise.
std::size_t Utf8Width(unsigned char reader_byte);

// The length of a NUL-terminated UTF-16 text, at most `limit` (a text that
// runs on past it counts as `limit`).
std::size_t Utf16Length(const char16_t* text, std::size_t limit);

}  // namespace pagora
