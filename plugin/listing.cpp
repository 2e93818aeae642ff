#include "plugin/listing.h"

#include <cstring>

#include "catalog/links.h"
#include "state/reader_state.h"
#include "catalog/storage_tree.h"
#include "catalog/titles.h"
#include "devlink/device.h"
#include "plugin/host_context.h"
#include "plugin/host_text.h"
#include "plugin/reader_text.h"
#include "plugin/title_names.h"

namespace pagora {
namespace {

const HANDLE kDisconnectedHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(1));

void SetEntry(ListingEntry* entry, DWORD attributes, DWORD size, const char* name) {
  entry->attributes = attributes;
  entry->size = size;
  std::memcpy(entry->name, name, std::strlen(name) + 1);
}

void SetTitleEntry(ListingEntry* entry, const TitleRecord& title) {
  entry->attributes = kAttrNormal;
  entry->size = static_cast<DWORD>(title.size);
  ComposeTitleName(title, entry->name);
}

template <typename FindData>
void WriteFields(const ListingEntry& entry, FindData* find_data) {
  find_data->dwFileAttributes = entry.attributes;
  find_data->ftLastWriteTime = Cursor().write_time;
  find_data->nFileSizeHigh = 0;
  find_data->nFileSizeLow = entry.size;
}

}  // namespace

ListingCursor& Cursor() {
  static ListingCursor cursor{};
  return cursor;
}

bool IsRootPath(const char* path) {
  return path != nullptr && path[0] == kHostSeparator && path[1] == '\0';
}

bool IsRootPath(const char16_t* path) {
  return path != nullptr && path[0] == static_cast<char16_t>(kHostSeparator) && path[1] == 0;
}

void WriteFindData(const ListingEntry& entry, WIN32_FIND_DATAA* find_data) {
  WriteFields(entry, find_data);
  // Listed names fit any code page's 8-bit form; a character the code page
  // lacks shows as '_', and the Unicode exports show it right.
  ReaderToAnsi(entry.name, find_data->cFileName, sizeof find_data->cFileName, true);
}

void WriteFindData(const ListingEntry& entry, WIN32_FIND_DATAW* find_data) {
  WriteFields(entry, find_data);
  ReaderToUtf16(entry.name, find_data->cFileName, sizeof find_data->cFileName / sizeof(char16_t));
}

HANDLE FindFirst(ReaderState& state, bool root, ListingEntry* entry) {
  if (!root) return InvalidHandleValue();
  RefreshStorageTree(state, kStorageInternal);
  RefreshStorageTree(state, kStorageCard);
  RefreshTitles(state);
  LinkTitles(state, kStorageInternal);
  LinkTitles(state, kStorageCard);
  MarkEqualNames(state);
  Cursor().write_time = EntryWriteTime();
  if (!DevIsConnected(state)) {
    SetEntry(entry, kAttrSystem, 0, kDisconnectedName);
    return kDisconnectedHandle;
  }
  ListingCursor& cursor = Cursor();
  cursor.node = state.title_list.head;
  cursor.generation = state.title_generation;
  if (cursor.node == nullptr) return InvalidHandleValue();
  cursor.title = static_cast<TitleRecord*>(cursor.node->item);
  SetTitleEntry(entry, *cursor.title);
  return cursor.node;
}

BOOL FindNext(ReaderState& state, HANDLE handle, ListingEntry* entry) {
  if (handle == kDisconnectedHandle) return kFalse;
  ListingCursor& cursor = Cursor();
  // A position in a title list that has since been cleared (a failed
  // exchange resets the catalog) continues nothing.
  if (cursor.node == nullptr || cursor.generation != state.title_generation) return kFalse;
  cursor.node = cursor.node->next;
  if (cursor.node == nullptr) return kFalse;
  cursor.title = static_cast<TitleRecord*>(cursor.node->item);
  SetTitleEntry(entry, *cursor.title);
  return kTrue;
}

}  // namespace pagora
