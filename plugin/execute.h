// What the host's "execute" on an entry does: open a title, or show its
// properties.
#pragma once

namespace pagora {

struct ReaderState;

// `verb` on the entry `reader_name` (the host's separator, then a name in
// reader text). "open" on a listed title gives FS_EXEC_YOURSELF, so the host
// downloads the book and opens it with the user's program for it;
// "properties" on a listed title shows its details in one message box and
// gives FS_EXEC_OK. Any other verb or name gives FS_EXEC_OK and does
// nothing. No verb exchanges anything with the reader.
int ExecuteFile(ReaderState& state, const char* reader_name, const char* verb);

}  // namespace pagora
