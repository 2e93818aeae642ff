#include "plugin/reader_text.h"

namespace pagora {
namespace {

// Windows-1252 from 0x80 to 0x9F; the rest of the set is Latin-1, whose
// bytes are their own code points. Undefined bytes keep their own value.
constexpr char16_t kHighRow[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

char32_t CodePoint(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHighRow[byte - 0x80] : byte;
}

// The reader byte of a code point, or -1 when it has none.
int ReaderByte(char32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
  for (int i = 0; i < 32; ++i) {
    if (kHighRow[i] == code) return 0x80 + i;
  }
  return -1;
}

// Writes `code` as UTF-8 into `out`; gives its length.
std::size_t EncodeUtf8(char32_t code, char* out) {
  if (code >= 0x10000) {
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
  }
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (code >> 12));
  out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (code & 0x3F));
  return 3;
}

// Reads one UTF-8 character at `*text` and moves past it. Overlong forms,
// surrogates, code points past U+10FFFF and stray bytes give -1.
std::int32_t DecodeUtf8(const unsigned char** text) {
  const unsigned char* p = *text;
  const unsigned char lead = *p++;
  int extra = 0;
  char32_t code = lead;
  if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    code = lead & 0x07;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    code = lead & 0x0F;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    code = lead & 0x1F;
  } else if (lead >= 0x80) {
    return -1;
  }
  for (int i = 0; i < extra; ++i, ++p) {
    if ((*p & 0xC0) != 0x80) return -1;
    code = (code << 6) | (*p & 0x3F);
  }
  static constexpr char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
  if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
  *text = p;
  return static_cast<std::int32_t>(code);
}

// Reads one UTF-16 character (a unit or a surrogate pair) at `*text` and
// moves past it; a lone surrogate gives -1.
std::int32_t DecodeUtf16(const char16_t** text) {
  const char16_t* p = *text;
  char32_t code = *p++;
  if (code >= 0xDC00 && code <= 0xDFFF) return -1;
  if (code >= 0xD800 && code <= 0xDBFF) {
    if (*p < 0xDC00 || *p > 0xDFFF) return -1;
    code = 0x10000 + ((code - 0xD800) << 10) + (*p++ - 0xDC00);
  }
  *text = p;
  return static_cast<std::int32_t>(code);
}

// One character of each form: a decoder reads it at `*text` and moves past
// it, giving its code point or -1 when malformed; an encoder writes a code
// point as units, giving their number or -1 when the form cannot hold it.
std::int32_t DecodeReader(const char** text) {
  return static_cast<std::int32_t>(CodePoint(static_cast<unsigned char>(*(*text)++)));
}

std::int32_t DecodeUtf8Text(const char** text) {
  const auto* p = reinterpret_cast<const unsigned char*>(*text);
  const std::int32_t code = DecodeUtf8(&p);
  *text = reinterpret_cast<const char*>(p);
  return code;
}

int EncodeReader(char32_t code, char* out) {
  const int byte = ReaderByte(code);  // a surrogate has no reader byte either
  if (byte < 0) return -1;
  out[0] = static_cast<char>(byte);
  return 1;
}

int EncodeUtf8Text(char32_t code, char* out) { return static_cast<int>(EncodeUtf8(code, out)); }

int EncodeUtf16(char32_t code, char16_t* out) {
  if (code < 0x10000) {
    out[0] = static_cast<char16_t>(code);
    return 1;
  }
  out[0] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
  return 2;
}

// Every conversion: character by character, refusing the whole text for a
// character it cannot convert, and keeping the whole characters that fit.
template <typename In, typename Out>
int Convert(const In* text, Out* out, std::size_t room, std::int32_t (*decode)(const In**),
            int (*encode)(char32_t, Out*)) {
  if (room == 0) return -1;
  std::size_t n = 0;
  while (*text != 0) {
    const std::int32_t code = decode(&text);
    Out units[4];
    const int width = code < 0 ? -1 : encode(static_cast<char32_t>(code), units);
    if (width < 0) {
      out[0] = 0;
      return -1;
    }
    if (n + static_cast<std::size_t>(width) >= room) {
      out[n] = 0;
      return -1;
    }
    for (int i = 0; i < width; ++i) out[n++] = units[i];
  }
  out[n] = 0;
  return static_cast<int>(n);
}

}  // namespace

int Utf8ToUtf16(const char* text, char16_t* out, std::size_t room) {
  return Convert(text, out, room, DecodeUtf8Text, EncodeUtf16);
}

int Utf16ToUtf8(const char16_t* text, char* out, std::size_t room) {
  return Convert(text, out, room, DecodeUtf16, EncodeUtf8Text);
}

std::size_t Utf16Length(const char16_t* text, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

std::size_t Utf8Width(unsigned char reader_byte) {
  const char32_t code = CodePoint(reader_byte);
  return code < 0x80 ? 1 : code < 0x800 ? 2 : 3;
}

int ReaderToUtf16(const char* reader, char16_t* out, std::size_t room) {
  return Convert(reader, out, room, DecodeReader, EncodeUtf16);
}

int Utf16ToReader(const char16_t* text, char* out, std::size_t room) {
  return Convert(text, out, room, DecodeUtf16, EncodeReader);
}

int ReaderToUtf8(const char* reader, char* out, std::size_t room) {
  return Convert(reader, out, room, DecodeReader, EncodeUtf8Text);
}

int Utf8ToReader(const char* text, char* out, std::size_t room) {
  return Convert(text, out, room, DecodeUtf8Text, EncodeReader);
}

}  // namespace pagora
