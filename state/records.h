// The catalog's records: the parsed key/value line and the storage tree node
// that begins with one. Plain records, filled by bounded copies.
#pragma once

#include <cstdint>

#include "state/entry_list.h"

namespace pagora {

struct ReaderState;
struct TitleRecord;

constexpr int kStatusTextWidth = 64;
constexpr int kStatusValueCount = 4;

struct StatusRecord {
  char key[kStatusTextWidth];
  char values[kStatusValueCount][kStatusTextWidth];  // values[0] is value 1
  std::int32_t value_count;
};

// Type codes of storage entries.
constexpr std::int32_t kTypeDirectory = 0;
constexpr std::int32_t kTypeBook = 1;
constexpr std::int32_t kTypeOther = 9;

struct DirectoryEntry;

// One node of a storage tree. The key is the short name, value 1 the
// attribute text; the other values stay empty.
struct StorageEntry : StatusRecord {
  char extension[8];
  char long_name[128];
  std::int32_t size;
  std::int32_t type_code;
  TitleRecord* title;       // the title this file holds, set by LinkTitles
  DirectoryEntry* parent;   // none only for the storage roots
  ReaderState* state;
};

struct DirectoryEntry : StorageEntry {
  std::int32_t storage_index;
  EntryList children;  // newest first; freed by ClearChildren, not by the list
};

// One title of the "__TITLES" reply.
struct TitleRecord {
  StorageEntry* link;  // the title's book file, set by LinkTitles; not owned
  char title[128];
  char filename[128];  // the book file's path on the reader
  std::int32_t size;
  bool anno;
  char publisher[128];
  char author[128];
  char isbn[64];
  char url[128];
  char username[64];
  std::int32_t name_mark;  // set by the listing: 0, or n >= 2 when this is the
                           // n-th title to show an otherwise equal name
};

// Fills `record`: key and value 1 from the texts (none gives empty), values
// 2 to 4 empty, value count 0.
StatusRecord* InitStatusRecord(StatusRecord* record, const char* key, const char* value1);

// The type code of a file extension: its row in the reader's table, else 9.
std::int32_t TypeCodeOf(const char* extension);

// Constructs a file entry in `memory` and puts it in front of the parent's
// children. Gives none when the parent cannot take it for want of memory: the
// entry then belongs to nobody and the caller frees `memory`.
StorageEntry* ConstructFileEntry(void* memory, ReaderState* state, DirectoryEntry* parent,
                                 const char* short_name, const char* extension,
                                 const char* long_name, std::int32_t size, const char* attributes);

// Constructs a directory entry in `memory` with an empty child list; none
// as for a file entry.
DirectoryEntry* ConstructDirectoryEntry(void* memory, ReaderState* state, DirectoryEntry* parent,
                                        const char* short_name, const char* long_name,
                                        const char* attributes, std::int32_t storage_index);

// Frees every entry below `directory`, subdirectories with their subtrees;
// the directory itself stays with an empty child list. Gives 0.
int ClearChildren(DirectoryEntry& directory);

}  // namespace pagora
