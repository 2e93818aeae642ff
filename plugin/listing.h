// The plugin's folder: one file entry per title, or "Pagora Disconnected".
#pragma once

#include <cstdint>

#include "plugin/fs_api.h"

namespace pagora {

struct EntryNode;
struct ReaderState;
struct TitleRecord;

// The one position in the title list, shared by the listing and the name
// lookup of the file operations.
struct ListingCursor {
  EntryNode* node;            // none once a walk ran past the last title
  TitleRecord* title;         // the record last listed or looked up
  std::uint32_t generation;   // the title list this position belongs to
  FILETIME write_time;        // what the entries of the last listing show
};

ListingCursor& Cursor();

constexpr char kDisconnectedName[] = "Pagora Disconnected";

HANDLE FindFirst(ReaderState& state, const char* path, WIN32_FIND_DATAA* find_data);
BOOL FindNext(ReaderState& state, HANDLE handle, WIN32_FIND_DATAA* find_data);

}  // namespace pagora
