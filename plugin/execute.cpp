#include "plugin/execute.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "catalog/titles.h"
#include "platform/platform.h"
#include "plugin/fs_api.h"
#include "plugin/messages.h"
#include "plugin/title_details.h"

namespace pagora {
namespace {

constexpr char kPropertiesCaption[] = "Pagora eBook";
constexpr std::uint32_t kMbOkIconInformation = 0x40;  // MB_OK | MB_ICONINFORMATION

// Appends "label: text" as a line of `out` (`size` bytes, NUL-terminated),
// cut at the end of the buffer.
void AppendLine(char* out, std::size_t size, const char* label, const char* text) {
  const std::size_t used = std::strlen(out);
  std::snprintf(out + used, size - used, "%s%s: %s", used == 0 ? "" : "\n", label, text);
}

// One line per detail, the reader's empty texts left out; the size goes
// before the storage, so the lines about the book file stand together.
void ShowProperties(const TitleDetails& details) {
  char text[2048] = "";
  for (int i = 0; i < kDetailCount; ++i) {
    const Detail detail = static_cast<Detail>(i);
    if (detail == Detail::kStorage) {
      char size[32];
      std::snprintf(size, sizeof size, "%ld bytes", static_cast<long>(details.title->size));
      AppendLine(text, sizeof text, "Size", size);
    }
    const char* value = DetailText(details, detail);
    if (value[0] != '\0') AppendLine(text, sizeof text, DetailName(detail), value);
  }
  ShowMessage(text, kPropertiesCaption, kMbOkIconInformation);
}

}  // namespace

int ExecuteFile(ReaderState& state, const char* reader_name, const char* verb) {
  if (verb == nullptr) return FS_EXEC_OK;
  const bool open = std::strcmp(verb, "open") == 0;
  if (!open && std::strcmp(verb, "properties") != 0) return FS_EXEC_OK;
  TitleDetails details;
  if (FindTitleDetails(state, reader_name, &details) != 0) return FS_EXEC_OK;
  if (open) return FS_EXEC_YOURSELF;
  ShowProperties(details);
  return FS_EXEC_OK;
}

}  // namespace pagora
