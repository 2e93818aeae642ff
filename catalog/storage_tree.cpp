#include "catalog/storage_tree.h"

#include <cstring>

#include "state/reader_state.h"
#include "catalog/reply_lines.h"
#include "catalog/status.h"
#include "state/text.h"
#include "devlink/exchange.h"

namespace pagora {
namespace {

// The listing's fixed columns, each ended by a separator position; a '+'
// line (an entry inside the current directory) starts them three later.
enum Column { kName, kExtension, kAttributes, kSize, kLongName, kColumnCount };
constexpr int kColumnWidths[kColumnCount] = {9, 4, 7, 9, 128};
constexpr int kPlusLineOffset = 3;
constexpr int kLeastColumnsPresent = 3;  // a line with fewer describes nothing

// The first word of a column: blanks and tabs in front passed over, the
// value ends at the next one. None when the column holds no word.
char* FirstWord(char* column) {
  while (*column == ' ' || *column == '\t') ++column;
  if (*column == '\0') return nullptr;
  char* end = column;
  while (*end != '\0' && *end != ' ' && *end != '\t') ++end;
  *end = '\0';
  return column;
}

// Adds the entry one listing line describes below `*current`; a directory
// becomes the new current directory. 0, or -1 without memory for the entry.
// `*current` is none while the '+' lines below a left-out directory pass.
int AddEntry(ReaderState& state, int storage, DirectoryEntry** current, char* work) {
  int offset = 0;
  if (work[0] == '+') {
    offset = kPlusLineOffset;
    if (*current == nullptr) return 0;  // below a directory that was left out
  } else {
    *current = &state.roots[storage];
  }
  char* columns[kColumnCount];
  int present = 0;
  for (int c = kName; c < kColumnCount; ++c) {
    char* column = work + offset;
    offset += kColumnWidths[c];
    work[offset - 1] = '\0';  // the column's separator
    columns[c] = (c == kLongName) ? (*column != '\0' ? column : nullptr) : FirstWord(column);
    if (columns[c] != nullptr) ++present;
  }
  if (present < kLeastColumnsPresent) return 0;

  const char* attributes = columns[kAttributes];
  if (attributes != nullptr && attributes[1] == 'D') {
    void* memory = Os().allocate(sizeof(DirectoryEntry));
    if (memory == nullptr) return -1;
    DirectoryEntry* dir = ConstructDirectoryEntry(memory, &state, *current, columns[kName],
                                                  columns[kLongName], attributes, storage);
    // A directory its parent could not list is left out, and its entries
    // with it; the listing goes on with the next line.
    if (dir == nullptr) Os().release(memory);
    *current = dir;
    return 0;
  }
  const std::int32_t size = columns[kSize] != nullptr ? ReadDecimal(columns[kSize]) : 0;
  void* memory = Os().allocate(sizeof(StorageEntry));
  if (memory == nullptr) return -1;
  if (ConstructFileEntry(memory, &state, *current, columns[kName], columns[kExtension],
                         columns[kLongName], size, attributes) == nullptr) {
    Os().release(memory);  // its directory could not list it: left out
  }
  return 0;
}

}  // namespace

int RefreshStorageTree(ReaderState& state, int storage) {
  DirectoryEntry& root = state.roots[storage];
  ClearChildren(root);
  const char* name = storage == kStorageCard ? "__SMDIR" : "__DIR";
  Reply reply;
  if (DevQueryWhole(state, name, &reply) != 0) return -1;

  DirectoryEntry* current = &root;
  int line_number = 0;
  int result = 0;
  char work[256];
  ForEachLine(reply.text(), [&](char* line, bool newline) {
    if (result != 0) return;
    const int n = line_number++;
    std::size_t length_of_line = std::strlen(line);
    // "\r\n" ends a line; a "\r" anywhere else is text.
    if (newline && length_of_line > 0 && line[length_of_line - 1] == '\r') {
      line[--length_of_line] = '\0';
    }
    if (n < 2) return;
    std::memset(work, 0, sizeof work);
    std::memcpy(work, line, length_of_line < sizeof work ? length_of_line : sizeof work);
    result = AddEntry(state, storage, &current, work);
  });
  return result;
}

}  // namespace pagora
