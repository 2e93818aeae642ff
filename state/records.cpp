#include "state/records.h"

#include <cstring>

#include "state/text.h"
#include "platform/platform.h"

namespace pagora {
namespace {

constexpr const char* kExtensionTable[] = {"RB", "INI", "---", "INF", "RI",
                                           "AN", "XML", "DB",  "??",  "HTM"};

void ConstructEntry(StorageEntry* e, ReaderState* state, DirectoryEntry* parent,
                    const char* short_name, const char* extension, const char* long_name,
                    std::int32_t size, const char* attributes) {
  InitStatusRecord(e, short_name, attributes);
  e->size = size;
  e->state = state;
  e->parent = parent;
  e->title = nullptr;
  CopyBounded(e->long_name, sizeof e->long_name, long_name);
  CopyBounded(e->extension, sizeof e->extension, extension);
  e->type_code = TypeCodeOf(e->extension);
}

}  // namespace

StatusRecord* InitStatusRecord(StatusRecord* record, const char* key, const char* value1) {
  record->value_count = 0;
  CopyBounded(record->key, sizeof record->key, key);
  CopyBounded(record->values[0], sizeof record->values[0], value1);
  for (int i = 1; i < kStatusValueCount; ++i) {
    CopyBounded(record->values[i], sizeof record->values[i], nullptr);
  }
  return record;
}

std::int32_t TypeCodeOf(const char* extension) {
  for (std::int32_t row = 0; row < 10; ++row) {
    if (std::strcmp(extension, kExtensionTable[row]) == 0) return row + 1;
  }
  return kTypeOther;
}

StorageEntry* ConstructFileEntry(void* memory, ReaderState* state, DirectoryEntry* parent,
                                 const char* short_name, const char* extension,
                                 const char* long_name, std::int32_t size, const char* attributes) {
  auto* e = static_cast<StorageEntry*>(memory);
  ConstructEntry(e, state, parent, short_name, extension, long_name, size, attributes);
  if (parent != nullptr && ListAddFresh(parent->children, e) != 0) return nullptr;
  return e;
}

DirectoryEntry* ConstructDirectoryEntry(void* memory, ReaderState* state, DirectoryEntry* parent,
                                        const char* short_name, const char* long_name,
                                        const char* attributes, std::int32_t storage_index) {
  auto* d = static_cast<DirectoryEntry*>(memory);
  ConstructEntry(d, state, parent, short_name, nullptr, long_name, 0, attributes);
  d->type_code = kTypeDirectory;
  d->storage_index = storage_index;
  d->children = EntryList{};
  if (parent != nullptr && ListAddFresh(parent->children, d) != 0) return nullptr;
  return d;
}

int ClearChildren(DirectoryEntry& directory) {
  // Iterative, so a reply that nests directories thousands deep cannot
  // exhaust the host's stack: the children of a directory being freed are
  // spliced in front of the work list and freed in turn.
  EntryNode* work = directory.children.head;
  directory.children.head = nullptr;
  while (work != nullptr) {
    EntryNode* node = work;
    work = node->next;
    auto* entry = static_cast<StorageEntry*>(node->item);
    if (entry->type_code == kTypeDirectory) {
      auto* sub = static_cast<DirectoryEntry*>(entry);
      EntryNode* tail = sub->children.head;
      if (tail != nullptr) {
        while (tail->next != nullptr) tail = tail->next;
        tail->next = work;
        work = sub->children.head;
      }
      sub->children.head = nullptr;
    }
    Os().release(entry);
    Os().release(node);
  }
  return 0;
}

}  // namespace pagora
