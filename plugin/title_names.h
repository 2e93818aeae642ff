// The names under which the host sees the titles, and the way back from a
// name the host gives to the title it stands for.
#pragma once

#include <cstddef>

namespace pagora {

struct ReaderState;
struct StorageEntry;
struct TitleRecord;

// The longest name the host passes, its separator in front included.
constexpr std::size_t kMaxHostName = 259;
// The longest listed name, in UTF-8 bytes: what a file name may have on
// every common file system.
constexpr std::size_t kMaxListedName = 255;

// Writes the title's listed name into `out` (kMaxListedName + 1 bytes):
// title + " [" + author + "]", then " (n)" for a title with a mark, then
// ".rb". Each character no file name may hold (\ / : * ? " < > | and the
// control characters) shows as '_', so the host's local target is a file in
// the folder it chose. A name whose UTF-8 form would not fit kMaxListedName
// bytes loses the end of the author first, then of the title.
void ComposeTitleName(const TitleRecord& title, char* out);

// Marks each title whose name a title before it in the reader's reply
// already shows, so that no two titles are listed under the same name and a
// title added later never takes the name of one listed before.
void MarkEqualNames(ReaderState& state);

// The linked book file of the title that `remote_name` (the host's
// separator, then a name) stands for, or none:
// - the title listed under exactly that name;
// - failing that, the one title whose title text is the text between the
//   separator and " [" (for names typed by hand); when several titles have
//   that text the name is ambiguous and finds nothing.
// A found title becomes the listing cursor's position, so a listing goes on
// after it; a name with a '[' that finds nothing ends the listing's walk.
StorageEntry* FindTitleByName(ReaderState& state, const char* remote_name);

}  // namespace pagora
