#include "plugin/listing.h"

#include <cstring>

#include "catalog/links.h"
#include "catalog/reader_state.h"
#include "catalog/storage_tree.h"
#include "catalog/titles.h"
#include "devlink/device.h"
#include "plugin/host_context.h"

namespace pagora {
namespace {

const HANDLE kDisconnectedHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(1));

void WriteEntry(WIN32_FIND_DATAA* find_data, DWORD attributes, DWORD size, const char* name) {
  find_data->dwFileAttributes = attributes;
  find_data->ftLastWriteTime.dwLowDateTime = kNoTimeLow;
  find_data->ftLastWriteTime.dwHighDateTime = kNoTimeHigh;
  find_data->nFileSizeHigh = 0;
  find_data->nFileSizeLow = size;
  std::memcpy(find_data->cFileName, name, std::strlen(name) + 1);
}

void WriteTitleEntry(WIN32_FIND_DATAA* find_data, const TitleRecord& title) {
  char name[sizeof find_data->cFileName];
  ComposeTitleName(title, name);
  WriteEntry(find_data, kAttrNormal, static_cast<DWORD>(title.size), name);
}

}  // namespace

ListingCursor& Cursor() {
  static ListingCursor cursor{};
  return cursor;
}

void ComposeTitleName(const TitleRecord& title, char* out) {
  constexpr std::size_t kMaxName = 259;
  const std::size_t title_length = strnlen(title.title, sizeof title.title - 1);
  std::size_t author_length = strnlen(title.author, sizeof title.author - 1);
  const std::size_t fixed = title_length + 6;  // " [", "]", ".rb"
  if (fixed + author_length > kMaxName) author_length = kMaxName - fixed;
  char* p = out;
  std::memcpy(p, title.title, title_length);
  p += title_length;
  std::memcpy(p, " [", 2);
  p += 2;
  std::memcpy(p, title.author, author_length);
  p += author_length;
  std::memcpy(p, "].rb", sizeof "].rb");
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
