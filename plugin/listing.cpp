#include "plugin/listing.h"

#include <cstring>

#include "catalog/links.h"
#include "catalog/reader_state.h"
#include "catalog/storage_tree.h"
#include "catalog/titles.h"
#include "devlink/device.h"
#include "plugin/host_context.h"
#include "plugin/title_names.h"

namespace pagora {
namespace {

const HANDLE kDisconnectedHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(1));

void WriteEntry(WIN32_FIND_DATAA* find_data, DWORD attributes, DWORD size, const char* name) {
  find_data->dwFileAttributes = attributes;
  find_data->ftLastWriteTime = Cursor().write_time;
  find_data->nFileSizeHigh = 0;
  find_data->nFileSizeLow = size;
  std::memcpy(find_data->cFileName, name, std::strlen(name) + 1);
}

void WriteTitleEntry(WIN32_FIND_DATAA* find_data, const TitleRecord& title) {
  char name[kMaxListedName + 1];
  ComposeTitleName(title, name);
  WriteEntry(find_data, kAttrNormal, static_cast<DWORD>(title.size), name);
}

}  // namespace

ListingCursor& Cursor() {
  static ListingCursor cursor{};
  return cursor;
}

HANDLE FindFirst(ReaderState& state, const char* path, WIN32_FIND_DATAA* find_data) {
  if (path == nullptr || path[0] != kHostSeparator || path[1] != '\0') {
    return InvalidHandleValue();
  }
  RefreshStorageTree(state, kStorageInternal);
  RefreshStorageTree(state, kStorageCard);
  RefreshTitles(state);
  LinkTitles(state, kStorageInternal);
  LinkTitles(state, kStorageCard);
  MarkEqualNames(state);
  Cursor().write_time = EntryWriteTime();
  if (!DevIsConnected(state)) {
    WriteEntry(find_data, kAttrSystem, 0, kDisconnectedName);
    return kDisconnectedHandle;
  }
  ListingCursor& cursor = Cursor();
  cursor.node = state.title_list.head;
  cursor.generation = state.title_generation;
  if (cursor.node == nullptr) return InvalidHandleValue();
  cursor.title = static_cast<TitleRecord*>(cursor.node->item);
  WriteTitleEntry(find_data, *cursor.title);
  return cursor.node;
}

BOOL FindNext(ReaderState& state, HANDLE handle, WIN32_FIND_DATAA* find_data) {
  if (handle == kDisconnectedHandle) return kFalse;
  ListingCursor& cursor = Cursor();
  // A position in a title list that has since been cleared (a failed
  // exchange resets the catalog) continues nothing.
  if (cursor.node == nullptr || cursor.generation != state.title_generation) return kFalse;
  cursor.node = cursor.node->next;
  if (cursor.node == nullptr) return kFalse;
  cursor.title = static_cast<TitleRecord*>(cursor.node->item);
  WriteTitleEntry(find_data, *cursor.title);
  return kTrue;
}

}  // namespace pagora
