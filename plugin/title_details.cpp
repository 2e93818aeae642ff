#include "plugin/title_details.h"

#include "catalog/links.h"
#include "state/reader_state.h"
#include "catalog/titles.h"
#include "plugin/listing.h"
#include "plugin/title_names.h"

namespace pagora {
namespace {

constexpr const char* kDetailNames[kDetailCount] = {
    "Title", "Author", "Publisher", "ISBN", "URL", "Annotated", "Storage", "Reader path"};

}  // namespace

const char* DetailName(Detail detail) { return kDetailNames[static_cast<int>(detail)]; }

bool IsYesNo(Detail detail) { return detail == Detail::kAnnotated; }

int FindTitleDetails(ReaderState& state, const char* reader_name, TitleDetails* details) {
  // A host asks for details while it shows a listing, perhaps between the
  // listing's own calls: the lookup must not move where the listing goes on.
  ListingCursor& cursor = Cursor();
  const ListingCursor saved = cursor;
  const StorageEntry* file = FindTitleByName(state, reader_name);
  const TitleRecord* title = cursor.title;
  cursor = saved;
  if (file == nullptr) return -1;
  details->title = title;
  details->file = file;
  if (ReaderPath(*file, details->reader_path, sizeof details->reader_path) == nullptr) {
    details->reader_path[0] = '\0';
  }
  return 0;
}

const char* DetailText(const TitleDetails& details, Detail detail) {
  const TitleRecord& title = *details.title;
  switch (detail) {
    case Detail::kTitle: return title.title;
    case Detail::kAuthor: return title.author;
    case Detail::kPublisher: return title.publisher;
    case Detail::kIsbn: return title.isbn;
    case Detail::kUrl: return title.url;
    case Detail::kAnnotated: return title.anno ? "yes" : "no";
    case Detail::kStorage:
      return details.file->parent != nullptr &&
                     details.file->parent->storage_index == kStorageCard
                 ? "card"
                 : "internal memory";
    case Detail::kReaderPath: return details.reader_path;
  }
  return "";
}

bool DetailIsYes(const TitleDetails& details, Detail detail) {
  return DetailText(details, detail)[0] == 'y';
}

}  // namespace pagora
