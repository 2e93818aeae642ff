#include "bench/shelf.h"

#include <cstdio>
#include <cstring>

#include "catalog/links.h"
#include "state/reader_state.h"
#include "catalog/titles.h"

namespace pagora {

bool FillShelf(ReaderState& state, int count) {
  const Platform& os = Os();
  void* memory = os.allocate(sizeof(DirectoryEntry));
  if (memory == nullptr) return false;
  DirectoryEntry* book = ConstructDirectoryEntry(memory, &state, &state.roots[kStorageInternal],
                                                 "BOOK", "book", "-D---", kStorageInternal);
  if (book == nullptr) {
    os.release(memory);
    return false;
  }
  char short_name[16];
  char long_name[64];
  for (int i = 0; i < count; ++i) {
    std::snprintf(short_name, sizeof short_name, "B%07d", i);
    std::snprintf(long_name, sizeof long_name, "Book %05d.rb", i);
    memory = os.allocate(sizeof(StorageEntry));
    if (memory == nullptr) return false;
    if (ConstructFileEntry(memory, &state, book, short_name, "RB", long_name, 1000 + i,
                           "-----") == nullptr) {
      os.release(memory);
      return false;
    }
  }
  // A stride prime to every count of the form 2^a 5^b visits each index once.
  constexpr long long kStride = 7919;
  for (int k = 0; k < count; ++k) {
    const long long i = (static_cast<long long>(k) * kStride) % count;
    auto* title = static_cast<TitleRecord*>(os.allocate(sizeof(TitleRecord)));
    if (title == nullptr) return false;
    std::memset(title, 0, sizeof *title);
    std::snprintf(title->title, sizeof title->title, "Title %05lld", i);
    std::snprintf(title->filename, sizeof title->filename, "\\book\\Book %05lld.rb", i);
    title->size = static_cast<std::int32_t>(1000 + i);
    if (ListAddFresh(state.title_list, title) != 0) {
      os.release(title);
      return false;
    }
  }
  return true;
}

int CountLinked(const ReaderState& state) {
  int linked = 0;
  for (EntryNode* n = state.title_list.head; n != nullptr; n = n->next) {
    const auto* title = static_cast<const TitleRecord*>(n->item);
    if (title->link != nullptr && title->link->title == title) ++linked;
  }
  return linked;
}

int FollowLinks(const ReaderState& state, int storage) {
  int matched = 0;
  char path[sizeof(TitleRecord::filename) * 3];
  for (EntryNode* d = state.roots[storage].children.head; d != nullptr; d = d->next) {
    const auto* dir = static_cast<const DirectoryEntry*>(d->item);
    if (dir->type_code != kTypeDirectory) continue;
    for (EntryNode* f = dir->children.head; f != nullptr; f = f->next) {
      const auto* file = static_cast<const StorageEntry*>(f->item);
      if (file->type_code != kTypeBook || file->title == nullptr) continue;
      if (ReaderPath(*file, path, sizeof path) == nullptr) continue;
      const char* name = file->title->filename;
      if (name[0] == '\\') ++name;
      if (std::strcmp(name, path) == 0) ++matched;
    }
  }
  return matched;
}

}  // namespace pagora
