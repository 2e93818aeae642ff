#include "plugin/host_text.h"

#include "platform/platform.h"
#include "plugin/reader_text.h"

namespace pagora {
namespace {

constexpr std::size_t kMaxText = 4096;  // longer than any text the plugin converts

int Room(std::size_t room) { return room > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(room); }

// Windows set to UTF-8 ("Use Unicode UTF-8 for worldwide language support"),
// and every system without code pages: there the conversion to 8-bit text
// takes no best-fit flag and no default character, and needs none, since
// UTF-8 holds every character.
bool Utf8System() { return Os().ansi_code_page() == kCodePageUtf8; }

// UTF-16 to the code page. `lossy` puts `_` for a character the code page
// lacks; otherwise such a character fails the conversion.
int FromUtf16(const char16_t* text, char* out, std::size_t room, bool lossy) {
  if (room == 0) return -1;
  int n = 0;
  if (Utf8System()) {
    n = Os().wide_char_to_multi_byte(kCodePageAnsi, kWcErrInvalidChars, text, -1, out, Room(room),
                                     nullptr, nullptr);
  } else {
    // No best fit: a lookalike ("e" for "é") could show another title's
    // name. The code page's own default is often '?', which no file name
    // may hold.
    int used_default = 0;
    n = Os().wide_char_to_multi_byte(kCodePageAnsi, kWcNoBestFitChars, text, -1, out, Room(room),
                                     lossy ? "_" : nullptr, lossy ? nullptr : &used_default);
    if (used_default != 0) n = 0;
  }
  if (n <= 0) {
    out[0] = '\0';
    return -1;
  }
  return n - 1;
}

}  // namespace

int AnsiToUtf16(const char* text, char16_t* out, std::size_t room) {
  if (room == 0) return -1;
  const int n =
      Os().multi_byte_to_wide_char(kCodePageAnsi, kMbErrInvalidChars, text, -1, out, Room(room));
  if (n <= 0) {
    out[0] = 0;
    return -1;
  }
  return n - 1;
}

int Utf16ToAnsi(const char16_t* text, char* out, std::size_t room) {
  return FromUtf16(text, out, room, false);
}

int AnsiToReader(const char* text, char* out, std::size_t room) {
  char16_t wide[kMaxText];
  if (AnsiToUtf16(text, wide, kMaxText) < 0) {
    if (room > 0) out[0] = '\0';
    return -1;
  }
  return Utf16ToReader(wide, out, room);
}

int ReaderToAnsi(const char* reader, char* out, std::size_t room, bool lossy) {
  char16_t wide[kMaxText];
  if (ReaderToUtf16(reader, wide, kMaxText) < 0 || room == 0) {
    if (room > 0) out[0] = '\0';
    return -1;
  }
  return FromUtf16(wide, out, room, lossy);
}

}  // namespace pagora
