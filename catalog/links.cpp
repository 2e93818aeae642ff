#include "catalog/links.h"

#include <cstdio>
#include <cstring>

#include "catalog/reader_state.h"
#include "catalog/titles.h"
#include "devlink/exchange.h"

namespace pagora {

char* ReaderPath(const StorageEntry& entry, char* buffer, std::size_t size) {
  bool allocated = false;
  if (buffer == nullptr) {
    size = 128;
    buffer = static_cast<char*>(Os().allocate(size));
    if (buffer == nullptr) return nullptr;
    allocated = true;
  }
  // A storage root stands in for its own parent.
  const DirectoryEntry* parent =
      entry.parent != nullptr ? entry.parent : static_cast<const DirectoryEntry*>(&entry);
  const int n = std::snprintf(buffer, size, "%s%s\\%s",
                              parent->storage_index == 2 ? "SM\\" : "", parent->long_name,
                              entry.long_name);
  if (n < 0 || static_cast<std::size_t>(n) >= size) {
    if (allocated) Os().release(buffer);
    return nullptr;
  }
  return buffer;
}

int LinkTitles(ReaderState& state, int storage) {
  char* path = state.reply;  // no reply is waiting; the buffer holds any path
  for (EntryNode* d = state.roots[storage].children.head; d != nullptr; d = d->next) {
    auto* dir = static_cast<DirectoryEntry*>(d->item);
    if (dir->type_code != kTypeDirectory) continue;
    for (EntryNode* f = dir->children.head; f != nullptr; f = f->next) {
      auto* file = static_cast<StorageEntry*>(f->item);
      if (file->type_code != kTypeBook) continue;
      if (ReaderPath(*file, path, sizeof state.reply) == nullptr) continue;
      for (EntryNode* t = state.title_list.head; t != nullptr; t = t->next) {
        auto* title = static_cast<TitleRecord*>(t->item);
        const char* name = title->filename[0] == '\\' ? title->filename + 1 : title->filename;
        if (std::strcmp(name, path) == 0) {
          title->link = file;
          file->title = title;
          break;
        }
      }
    }
  }
  return 0;
}

int DeleteTitle(StorageEntry& entry) {
  char path[128];
  if (ReaderPath(entry, path, sizeof path) == nullptr) return -1;
  char script[256];
  const int length =
      std::snprintf(script, sizeof script, "CMD!\nDELTITLE %s\n#/* Erase title */\n", path);
  return DevSendCommand(*entry.state, "__WHATYOUWANT", script, length);
}

}  // namespace pagora
