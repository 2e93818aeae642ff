#include "plugin/host_text.h"

#include "plugin/reader_text.h"

#if defined(_WIN32)
// Windows' own conversions, declared here as the module loader does: the
// interface's declarations and <windows.h> do not mix.
extern "C" __declspec(dllimport) int __stdcall MultiByteToWideChar(unsigned code_page,
                                                                   unsigned long flags,
                                                                   const char* text, int length,
                                                                   char16_t* out, int room);
extern "C" __declspec(dllimport) int __stdcall WideCharToMultiByte(
    unsigned code_page, unsigned long flags, const char16_t* text, int length, char* out,
    int room, const char* default_char, int* used_default);
#endif

namespace pagora {
namespace {

#if defined(_WIN32)
constexpr unsigned kCodePageAnsi = 0;            // CP_ACP
constexpr unsigned long kErrInvalidChars = 0x8;  // MB_ERR_INVALID_CHARS
constexpr unsigned long kNoBestFit = 0x400;      // WC_NO_BEST_FIT_CHARS

int Room(std::size_t room) { return room > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(room); }

constexpr std::size_t kMaxText = 1024;  // longer than any name the host passes
#endif



}  // namespace

int AnsiToUtf16(const char* text, char16_t* out, std::size_t room) {
#if defined(_WIN32)
  if (room == 0) return -1;
  const int n = MultiByteToWideChar(kCodePageAnsi, kErrInvalidChars, text, -1, out, Room(room));
  if (n <= 0) {
    out[0] = 0;
    return -1;
  }
  return n - 1;
#else
  return Utf8ToUtf16(text, out, room);
#endif
}

int Utf16ToAnsi(const char16_t* text, char* out, std::size_t room) {
#if defined(_WIN32)
  if (room == 0) return -1;
  int used_default = 0;
  const int n = WideCharToMultiByte(kCodePageAnsi, kNoBestFit, text, -1, out, Room(room), nullptr,
                                    &used_default);
  if (n <= 0 || used_default != 0) {
    out[0] = '\0';
    return -1;
  }
  return n - 1;
#else
  return Utf16ToUtf8(text, out, room);
#endif
}

int AnsiToReader(const char* text, char* out, std::size_t room) {
#if defined(_WIN32)
  char16_t wide[kMaxText];
  if (AnsiToUtf16(text, wide, kMaxText) < 0) {
    if (room > 0) out[0] = '\0';
    return -1;
  }
  return Utf16ToReader(wide, out, room);
#else
  return Utf8ToReader(text, out, room);
#endif
}

int ReaderToAnsi(const char* reader, char* out, std::size_t room, bool lossy) {
#if defined(_WIN32)
  char16_t wide[kMaxText];
  if (ReaderToUtf16(reader, wide, kMaxText) < 0 || room == 0) return -1;
  if (!lossy) return Utf16ToAnsi(wide, out, room);
  // No best fit: a lookalike ("e" for "é") could show another title's name.
  // The code page's own default is often '?', which no file name may hold.
  const int n = WideCharToMultiByte(kCodePageAnsi, kNoBestFit, wide, -1, out, Room(room), "_",
                                    nullptr);
  if (n <= 0) {
    out[0] = '\0';
    return -1;
  }
  return n - 1;
#else
  (void)lossy;  // UTF-8 holds every character
  return ReaderToUtf8(reader, out, room);
#endif
}

}  // namespace pagora
