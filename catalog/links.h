// Links between titles and their book files, reader paths, and erasing a
// title on the reader.
#pragma once

#include <cstddef>

namespace pagora {

struct ReaderState;
struct StorageEntry;

// Ties each book file in a first-level directory of storage `storage` to
// the first title whose filename (without one leading backslash) equals the
// file's reader path. Gives 0. Linear in titles plus files: the titles are
// indexed by name first (without memory for the index, each file walks the
// title list instead, with the same result).
int LinkTitles(ReaderState& state, int storage);

// Writes the reader path of `entry` ("SM\" on the card, then the directory's
// long name, a backslash and the entry's long name) into `buffer` of `size`
// bytes, or into a new 128-byte buffer the caller frees when `buffer` is
// none. Gives the buffer, or none when it cannot be had or the path does
// not fit.
char* ReaderPath(const StorageEntry& entry, char* buffer, std::size_t size);

// Whether storage `storage`'s tree, as the last listing left it, holds an
// entry at `reader_path` ("book\x.rb", "SM\book\x.rb"), ignoring letter
// case as the reader's file systems do (Windows-1252's letters included).
bool HoldsReaderPath(const ReaderState& state, int storage, const char* reader_path);

// Sends the erase script for the linked file `entry` under "__WHATYOUWANT".
// 0, or -1 when the exchange failed.
int DeleteTitle(StorageEntry& entry);

}  // namespace pagora
