#include "catalog/links.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "state/reader_state.h"
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

namespace {

const char* LinkName(const TitleRecord& title) {
  return title.filename[0] == '\\' ? title.filename + 1 : title.filename;
}

std::uint32_t Hash(const char* text) {
  std::uint32_t h = 2166136261u;
  for (; *text != '\0'; ++text) h = (h ^ static_cast<unsigned char>(*text)) * 16777619u;
  return h;
}

// Titles by link name, so each file costs one lookup instead of a walk of
// the whole title list. Only the first title in list order holds a name,
// which keeps the walk's tie-break: the first equal title wins.
struct TitleIndex {
  TitleRecord** slots = nullptr;
  std::uint32_t mask = 0;

  bool Build(const EntryList& titles) {
    std::size_t count = 0;
    for (EntryNode* n = titles.head; n != nullptr; n = n->next) ++count;
    std::size_t capacity = 16;
    while (capacity < 2 * count) capacity *= 2;
    const std::size_t bytes = capacity * sizeof(void*);  // a table of record pointers
    slots = static_cast<TitleRecord**>(Os().allocate(bytes));
    if (slots == nullptr) return false;
    std::memset(slots, 0, bytes);
    mask = static_cast<std::uint32_t>(capacity - 1);
    for (EntryNode* n = titles.head; n != nullptr; n = n->next) {
      auto* title = static_cast<TitleRecord*>(n->item);
      TitleRecord** slot = Find(LinkName(*title));
      if (*slot == nullptr) *slot = title;
    }
    return true;
  }

  // The slot holding `name`, or the empty slot where it would go.
  TitleRecord** Find(const char* name) const {
    for (std::uint32_t i = Hash(name) & mask;; i = (i + 1) & mask) {
      if (slots[i] == nullptr || std::strcmp(LinkName(*slots[i]), name) == 0) return &slots[i];
    }
  }

  ~TitleIndex() { Os().release(slots); }
};

// The walk the index stands in for, kept for when no memory can be had.
TitleRecord* FirstTitleNamed(const EntryList& titles, const char* name) {
  for (EntryNode* t = titles.head; t != nullptr; t = t->next) {
    auto* title = static_cast<TitleRecord*>(t->item);
    if (std::strcmp(LinkName(*title), name) == 0) return title;
  }
  return nullptr;
}

}  // namespace

int LinkTitles(ReaderState& state, int storage) {
  if (state.title_list.head == nullptr) return 0;
  TitleIndex index;
  const bool indexed = index.Build(state.title_list);
  char* path = state.reply;  // no reply is waiting; the buffer holds any path
  for (EntryNode* d = state.roots[storage].children.head; d != nullptr; d = d->next) {
    auto* dir = static_cast<DirectoryEntry*>(d->item);
    if (dir->type_code != kTypeDirectory) continue;
    for (EntryNode* f = dir->children.head; f != nullptr; f = f->next) {
      auto* file = static_cast<StorageEntry*>(f->item);
      if (file->type_code != kTypeBook) continue;
      if (ReaderPath(*file, path, sizeof state.reply) == nullptr) continue;
      TitleRecord* title =
          indexed ? *index.Find(path) : FirstTitleNamed(state.title_list, path);
      if (title != nullptr) {
        title->link = file;
        file->title = title;
      }
    }
  }
  return 0;
}

namespace {

// A Windows-1252 letter in upper case: A to Z, the Latin-1 capitals and the
// three of the 0x80 row whose small forms stand 0x10 above them.
unsigned char Upper(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;  // š œ ž
  if (c == 0xFF) return 0x9F;                                 // ÿ
  return c;
}

bool SamePath(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (Upper(static_cast<unsigned char>(*a)) != Upper(static_cast<unsigned char>(*b))) return false;
  }
  return *a == *b;
}

}  // namespace

bool HoldsReaderPath(const ReaderState& state, int storage, const char* reader_path) {
  char path[512];  // past any reader path: two long names and "SM\\"
  for (const EntryNode* d = state.roots[storage].children.head; d != nullptr; d = d->next) {
    const auto* entry = static_cast<const StorageEntry*>(d->item);
    if (ReaderPath(*entry, path, sizeof path) != nullptr && SamePath(path, reader_path)) {
      return true;
    }
    if (entry->type_code != kTypeDirectory) continue;
    const auto* dir = static_cast<const DirectoryEntry*>(entry);
    for (const EntryNode* f = dir->children.head; f != nullptr; f = f->next) {
      const auto* file = static_cast<const StorageEntry*>(f->item);
      if (ReaderPath(*file, path, sizeof path) != nullptr && SamePath(path, reader_path)) {
        return true;
      }
    }
  }
  return false;
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
