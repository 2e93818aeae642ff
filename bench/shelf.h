// A catalog built straight from records, without replies: a "book"
// directory of book files in internal memory and titles naming them.
#pragma once

namespace pagora {

struct ReaderState;

// Adds a directory "book" with `count` book files to storage 1 of `state`
// and `count` titles, one naming each file, to its title list. The titles
// are listed in an order unrelated to the files', so no walk finds its file
// early by luck. False when memory ran out (what was made stays owned by the
// state).
bool FillShelf(ReaderState& state, int count);

// How many titles of the list are linked to a file that links back to them.
int CountLinked(const ReaderState& state);

// What LinkTitles touches without its lookup: for every book file in a
// first-level directory of storage `storage`, builds the reader path and
// compares it with the filename of the title already linked to the file.
// Gives how many matched. Its growth with the catalog is the memory's, so
// LinkTitles growing faster than this is the algorithm's.
int FollowLinks(const ReaderState& state, int storage);

}  // namespace pagora
