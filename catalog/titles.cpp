#include "catalog/titles.h"

#include <cstddef>
#include <cstring>

#include "state/reader_state.h"
#include "catalog/reply_lines.h"
#include "catalog/status.h"
#include "state/text.h"
#include "devlink/exchange.h"

namespace pagora {
namespace {

void StoreAttribute(TitleRecord* record, const char* name, const char* value) {
  struct Field {
    const char* name;
    std::size_t offset;
    std::size_t width;
  };
  static const Field kTextFields[] = {
      {"title", offsetof(TitleRecord, title), sizeof(TitleRecord::title)},
      {"filename", offsetof(TitleRecord, filename), sizeof(TitleRecord::filename)},
      {"publisher", offsetof(TitleRecord, publisher), sizeof(TitleRecord::publisher)},
      {"author", offsetof(TitleRecord, author), sizeof(TitleRecord::author)},
      {"isbn", offsetof(TitleRecord, isbn), sizeof(TitleRecord::isbn)},
      {"url", offsetof(TitleRecord, url), sizeof(TitleRecord::url)},
      {"username", offsetof(TitleRecord, username), sizeof(TitleRecord::username)},
  };
  for (const Field& f : kTextFields) {
    if (EqualsIgnoringCase(name, f.name)) {
      CopyBounded(reinterpret_cast<char*>(record) + f.offset, f.width, value);
      return;
    }
  }
  if (EqualsIgnoringCase(name, "size")) {
    record->size = ReadDecimal(value);
  } else if (EqualsIgnoringCase(name, "ANNO")) {
    record->anno = value[0] != 'n';
  }
}

}  // namespace

TitleRecord* ParseTitleLine(TitleRecord* record, char* line) {
  std::memset(record, 0, sizeof *record);
  char* start = std::strchr(line, '=');
  if (start == nullptr) return record;
  ++start;
  while (start != nullptr) {
    // The name: "=" in front passed over, up to the next "=".
    char* name = start;
    while (*name == '=') ++name;
    if (*name == '\0') break;
    char* equals = std::strchr(name, '=');
    if (equals == nullptr) break;
    *equals = '\0';
    start = nullptr;

    // The value ends at the blank in front of the next name, which is found
    // from the next "=" that a quote follows; blanks inside the value stay.
    char* value = equals + 1;
    char* next = value;
    while ((next = std::strchr(next, '=')) != nullptr && next[1] != '"') ++next;
    if (next != nullptr) {
      char* blank = next - 1;
      while (blank >= value && *blank != ' ') --blank;
      if (blank < value) break;
      *blank = '\0';
      start = blank + 1;
    }

    std::size_t length = std::strlen(value);
    if (length == 0 || value[length - 1] != '"') break;
    if (value[0] == '"') {
      // Strips the quotes; a lone quote leaves nothing.
      value[length - 1] = '\0';
      if (length > 1) ++value;
      else value[0] = '\0';
    }
    if (*value == '\0') continue;
    StoreAttribute(record, name, value);
  }
  return record;
}

int RefreshTitles(ReaderState& state) {
  ClearTitleList(state);
  Reply reply;
  if (DevQueryWhole(state, "__TITLES", &reply) != 0) return -1;
  ForEachLine(reply.text(), [&state](char* line, bool) {
    char* first = std::strchr(line, '=');
    if (first == nullptr) return;
    if (first == std::strrchr(line, '=')) {
      auto* record = static_cast<StatusRecord*>(Os().allocate(sizeof(StatusRecord)));
      if (record == nullptr) return;
      ParseStatusLine(record, line);
      StoreStatusValue(state, record, false);
      Os().release(record);
      return;
    }
    auto* title = static_cast<TitleRecord*>(Os().allocate(sizeof(TitleRecord)));
    if (title == nullptr) return;
    ParseTitleLine(title, line);
    if (ListAddFresh(state.title_list, title) != 0) Os().release(title);
  });
  return 0;
}

}  // namespace pagora
