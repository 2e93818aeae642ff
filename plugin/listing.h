// The plugin's folder: one file entry per title, or "Pagora Disconnected".
#pragma once

#include <cstdint>

#include "plugin/fs_api.h"
#include "plugin/title_names.h"

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

// One entry of the folder, its name in reader text; the exports write it
// into the host's record.
struct ListingEntry {
  DWORD attributes;
  DWORD size;
  char name[kMaxListedName + 1];
};

// Whether `path` names the plugin's folder: the host's separator alone.
bool IsRootPath(const char* path);
bool IsRootPath(const char16_t* path);

// Renews the catalog when `root` and gives the first entry: a handle, 1 for
// the disconnected folder, or INVALID_HANDLE_VALUE with `entry` untouched.
HANDLE FindFirst(ReaderState& state, bool root, ListingEntry* entry);
BOOL FindNext(ReaderState& state, HANDLE handle, ListingEntry* entry);

// Writes the fields the listing sets, and no other, into the host's record.
void WriteFindData(const ListingEntry& entry, WIN32_FIND_DATAA* find_data);
void WriteFindData(const ListingEntry& entry, WIN32_FIND_DATAW* find_data);

}  // namespace pagora
