#include "plugin/content_fields.h"

#include <cstdint>
#include <cstring>

#include "plugin/fs_api.h"
#include "plugin/title_details.h"

namespace pagora {
namespace {

// Copies as much of `text` as fits `maxlen` bytes with its NUL.
void CopyCut(const char* text, char* out, int maxlen) {
  std::size_t length = std::strlen(text);
  if (length > static_cast<std::size_t>(maxlen) - 1) length = static_cast<std::size_t>(maxlen) - 1;
  std::memcpy(out, text, length);
  out[length] = '\0';
}

// Writes reader text in the host's form; its field type, or ft_nosuchfield
// when not even the NUL fits.
int WriteText(const char* text, void* value, int maxlen, TextForm form) {
  if (form == TextForm::kEightBit) {
    CopyCut(text, static_cast<char*>(value), maxlen);
    return ft_string;
  }
  const std::size_t room = static_cast<std::size_t>(maxlen) / sizeof(char16_t);
  if (room == 0) return ft_nosuchfield;
  // One UTF-16 unit for every reader byte.
  auto* out = static_cast<char16_t*>(value);
  std::size_t i = 0;
  for (; i + 1 < room && text[i] != '\0'; ++i) out[i] = static_cast<unsigned char>(text[i]);
  out[i] = u'\0';
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
