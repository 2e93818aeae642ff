// The reader's "__TITLES" reply: one TitleRecord per title line.
#pragma once

#include <cstdint>

namespace pagora {

struct ReaderState;
struct StorageEntry;

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

// Fills `record` from a title line (NUL-terminated, no "\n"; written into).
// A malformed attribute ends the parse and keeps what came before it.
TitleRecord* ParseTitleLine(TitleRecord* record, char* line);

// Asks the reader for "__TITLES" and rebuilds the title list; key/value lines
// update the status values. 0, or -1 when the query failed.
int RefreshTitles(ReaderState& state);

}  // namespace pagora
