#include "plugin/content_fields.h"

#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "plugin/fs_api.h"
#include "plugin/host_text.h"
#include "plugin/reader_text.h"
#include "plugin/title_details.h"

namespace pagora {
namespace {

// The longest 8-bit text a detail becomes: a reader byte takes at most 3
// bytes of UTF-8 or 2 of a Windows code page.
constexpr std::size_t kMaxHostText = 3 * 260 + 1;

// Copies as much of `text` as fits `maxlen` bytes with its NUL. On the
// UTF-8 code page the text is cut where a character starts, never inside
// one (its later bytes are 10xxxxxx).
void CopyCut(const char* text, char* out, int maxlen) {
  std::size_t length = std::strlen(text);
  if (length > static_cast<std::size_t>(maxlen) - 1) {
    length = static_cast<std::size_t>(maxlen) - 1;
    if (Os().ansi_code_page() == kCodePageUtf8) {
      while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
  }
  std::memcpy(out, text, length);
  out[length] = '\0';
}

// Writes reader text in the host's form; its field type, or ft_nosuchfield
// when not even the NUL fits. A character the host's code page lacks shows
// as '_'.
int WriteText(const char* text, void* value, int maxlen, TextForm form) {
  if (form == TextForm::kEightBit) {
    char host[kMaxHostText];
    if (ReaderToAnsi(text, host, sizeof host, true) < 0) host[0] = '\0';
    CopyCut(host, static_cast<char*>(value), maxlen);
    return ft_string;
  }
  const std::size_t room = static_cast<std::size_t>(maxlen) / sizeof(char16_t);
  if (room == 0) return ft_nosuchfield;
  // A text too long is cut after its last whole character that fits.
  ReaderToUtf16(text, static_cast<char16_t*>(value), room);
  return ft_stringw;
}

}  // namespace

int SupportedField(int index, char* name, char* units, int maxlen) {
  if (index < 0) return ft_nosuchfield;
  if (index >= kDetailCount) return ft_nomorefields;
  if (name == nullptr || units == nullptr || maxlen < 1) return ft_nosuchfield;
  const Detail detail = static_cast<Detail>(index);
  CopyCut(DetailName(detail), name, maxlen);
  units[0] = '\0';
  return IsYesNo(detail) ? ft_boolean : ft_string;
}

int ContentValue(ReaderState& state, const char* reader_name, int index, void* value,
                 int maxlen, TextForm form) {
  if (index < 0 || index >= kDetailCount || value == nullptr || maxlen < 1) return ft_nosuchfield;
  TitleDetails details;
  if (FindTitleDetails(state, reader_name, &details) != 0) return ft_fileerror;
  const Detail detail = static_cast<Detail>(index);
  if (IsYesNo(detail)) {
    const std::int32_t yes = DetailIsYes(details, detail) ? 1 : 0;
    if (static_cast<std::size_t>(maxlen) < sizeof yes) return ft_nosuchfield;
    std::memcpy(value, &yes, sizeof yes);
    return ft_boolean;
  }
  const char* text = DetailText(details, detail);
  if (text[0] == '\0') return ft_fieldempty;
  return WriteText(text, value, maxlen, form);
}

}  // namespace pagora
