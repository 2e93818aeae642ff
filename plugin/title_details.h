// What the plugin tells about one listed title beyond its name and size:
// the details shown as the host's columns and in its properties box.
#pragma once

#include <cstddef>

namespace pagora {

struct ReaderState;
struct StorageEntry;
struct TitleRecord;

// The details, in the order the host lists them as columns.
enum class Detail { kTitle, kAuthor, kPublisher, kIsbn, kUrl, kAnnotated, kStorage, kReaderPath };
constexpr int kDetailCount = 8;

// A detail's name as the host shows it; whether it is a yes/no value
// rather than a text.
const char* DetailName(Detail detail);
bool IsYesNo(Detail detail);

// A listed title and its book file, as the last listing's catalog holds
// them, with the file's path on the reader.
struct TitleDetails {
  const TitleRecord* title;
  const StorageEntry* file;
  char reader_path[260];
};

// Finds the title `reader_name` (the host's separator, then a name in reader
// text) stands for, by the file operations' lookup, without an exchange with
// the reader and without moving the listing's position. 0, or -1 when the
// name finds no title with a book file.
int FindTitleDetails(ReaderState& state, const char* reader_name, TitleDetails* details);

// The text of a detail: "" when the reader left it empty; for a yes/no
// detail, "yes" or "no".
const char* DetailText(const TitleDetails& details, Detail detail);

// Whether a yes/no detail holds yes.
bool DetailIsYes(const TitleDetails& details, Detail detail);

}  // namespace pagora
