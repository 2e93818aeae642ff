#include "plugin/title_names.h"

#include <cstdint>
#include <cstring>

#include "state/reader_state.h"
#include "catalog/titles.h"
#include "plugin/listing.h"
#include "plugin/reader_text.h"

namespace pagora {
namespace {

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

TitleRecord* TitleOf(const EntryNode* node) { return static_cast<TitleRecord*>(node->item); }

std::uint64_t HashName(const char* name) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (; *name != '\0'; ++name) {
    hash = (hash ^ static_cast<unsigned char>(*name)) * 1099511628211ull;
  }
  return hash;
}

// The listed names given so far, by hash, in a table at most half full.
// A slot names its title rather than holding a copy of the name: names are
// composed again for the rare equal hash.
struct NameSlot {
  std::uint64_t hash;
  TitleRecord* title;      // none: the slot is free
  std::int32_t next_mark;  // for a name shown unmarked: the mark its next equal tries
};

class NameSet {
 public:
  explicit NameSet(std::size_t names) {
    while (capacity_ < 2 * names) capacity_ *= 2;
    slots_ = static_cast<NameSlot*>(Os().allocate(capacity_ * sizeof(NameSlot)));
    if (slots_ != nullptr) std::memset(slots_, 0, capacity_ * sizeof(NameSlot));
  }
  ~NameSet() {
    if (slots_ != nullptr) Os().release(slots_);
  }
  NameSet(const NameSet&) = delete;
  NameSet& operator=(const NameSet&) = delete;

  bool ok() const { return slots_ != nullptr; }

  // The slot that holds `name`, or the free slot where it belongs.
  NameSlot* Find(const char* name, std::uint64_t hash) {
    char other[kMaxListedName + 1];
    for (std::size_t i = hash & (capacity_ - 1);; i = (i + 1) & (capacity_ - 1)) {
      NameSlot* slot = &slots_[i];
      if (slot->title == nullptr) return slot;
      if (slot->hash != hash) continue;
      ComposeTitleName(*slot->title, other);
      if (std::strcmp(other, name) == 0) return slot;
    }
  }

 private:
  std::size_t capacity_ = 16;
  NameSlot* slots_ = nullptr;
};

// Without memory for the table every title after the reply's first is
// marked with its position in the reply: unique names still, if plainer
// ones. The list runs newest first, the reverse of the reply.
void MarkByPosition(ReaderState& state, std::size_t count) {
  auto position = static_cast<std::int32_t>(count);
  for (EntryNode* node = state.title_list.head; node != nullptr; node = node->next, --position) {
    TitleOf(node)->name_mark = position > 1 ? position : 0;
  }
}

// A byte of a title or author as the listed name shows it: '_' for what no
// file name may hold on Windows or elsewhere, the C1 controls that the
// reader's undefined bytes stand for included.
char ListedByte(char c) {
  const unsigned char b = Byte(c);
  if (b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
    return '_';
  }
  return std::strchr("\\/:*?\"<>|", c) != nullptr ? '_' : c;
}

char* AppendListed(char* out, const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) *out++ = ListedByte(text[i]);
  return out;
}

}  // namespace

void ComposeTitleName(const TitleRecord& title, char* out) {
  char mark[16] = {};
  std::size_t mark_length = 0;
  if (title.name_mark > 0) {
    char digits[12];
    std::size_t n = 0;
    for (std::uint32_t v = static_cast<std::uint32_t>(title.name_mark); v != 0; v /= 10) {
      digits[n++] = static_cast<char>('0' + v % 10);
    }
    mark[mark_length++] = ' ';
    mark[mark_length++] = '(';
    while (n > 0) mark[mark_length++] = digits[--n];
    mark[mark_length++] = ')';
  }
  // The budget counts each character as its UTF-8 form, the widest a host
  // takes, so the one name fits every host and stays unique in all of them.
  std::size_t title_length = strnlen(title.title, sizeof title.title - 1);
  std::size_t author_length = strnlen(title.author, sizeof title.author - 1);
  std::size_t width = 2 + 1 + mark_length + 3;  // " [", "]", mark, ".rb"
  for (std::size_t i = 0; i < title_length; ++i) width += Utf8Width(Byte(title.title[i]));
  for (std::size_t i = 0; i < author_length; ++i) width += Utf8Width(Byte(title.author[i]));
  while (width > kMaxListedName && author_length > 0) {
    width -= Utf8Width(Byte(title.author[--author_length]));
  }
  while (width > kMaxListedName) width -= Utf8Width(Byte(title.title[--title_length]));
  char* p = AppendListed(out, title.title, title_length);
  std::memcpy(p, " [", 2);
  p = AppendListed(p + 2, title.author, author_length);
  *p++ = ']';
  std::memcpy(p, mark, mark_length);
  p += mark_length;
  std::memcpy(p, ".rb", sizeof ".rb");
}

void MarkEqualNames(ReaderState& state) {
  std::size_t count = 0;
  for (EntryNode* node = state.title_list.head; node != nullptr; node = node->next) {
    TitleOf(node)->name_mark = 0;
    ++count;
  }
  // The titles in the reply's order, so the first to show a name keeps it.
  NameSet names(count);
  // A table of record pointers.
  auto** in_reply = static_cast<TitleRecord**>(Os().allocate(count * sizeof(void*)));
  if (!names.ok() || in_reply == nullptr) {
    Os().release(in_reply);
    MarkByPosition(state, count);
    return;
  }
  std::size_t index = count;
  for (EntryNode* node = state.title_list.head; node != nullptr; node = node->next) {
    in_reply[--index] = TitleOf(node);
  }
  char name[kMaxListedName + 1];
  for (std::size_t i = 0; i < count; ++i) {
    TitleRecord* title = in_reply[i];
    ComposeTitleName(*title, name);
    std::uint64_t hash = HashName(name);
    NameSlot* slot = names.Find(name, hash);
    if (slot->title == nullptr) {
      *slot = {hash, title, 2};
      continue;
    }
    // The name is shown already: try marks from the one its last equal got,
    // past any marked name another title happens to show.
    NameSlot* unmarked = slot;
    for (std::int32_t mark = unmarked->next_mark;; ++mark) {
      title->name_mark = mark;
      ComposeTitleName(*title, name);
      hash = HashName(name);
      slot = names.Find(name, hash);
      if (slot->title == nullptr) {
        *slot = {hash, title, 2};
        unmarked->next_mark = mark + 1;
        break;
      }
    }
  }
  Os().release(in_reply);
}

StorageEntry* FindTitleByName(ReaderState& state, const char* remote_name) {
  if (remote_name == nullptr || remote_name[0] == '\0' ||
      strnlen(remote_name, kMaxHostName + 1) > kMaxHostName) {
    return nullptr;
  }
  ListingCursor& cursor = Cursor();
  const char* listed = remote_name + 1;  // the separator is not looked at
  char name[kMaxListedName + 1];
  for (EntryNode* node = state.title_list.head; node != nullptr; node = node->next) {
    ComposeTitleName(*TitleOf(node), name);
    if (std::strcmp(name, listed) == 0) {
      cursor.node = node;
      cursor.title = TitleOf(node);
      cursor.generation = state.title_generation;
      return TitleOf(node)->link;
    }
  }

  const char* bracket = std::strchr(remote_name, '[');
  if (bracket == nullptr || bracket - remote_name < 2) return nullptr;
  // The title text: between the separator and the blank before the '['.
  const std::size_t length = static_cast<std::size_t>(bracket - remote_name) - 2;
  EntryNode* found = nullptr;
  int matches = 0;
  cursor.generation = state.title_generation;
  for (EntryNode* node = state.title_list.head; node != nullptr; node = node->next) {
    cursor.title = TitleOf(node);
    if (strnlen(cursor.title->title, sizeof cursor.title->title) == length &&
        std::memcmp(cursor.title->title, listed, length) == 0) {
      found = node;
      ++matches;
    }
  }
  if (matches != 1) {
    cursor.node = nullptr;
    return nullptr;
  }
  cursor.node = found;
  cursor.title = TitleOf(found);
  return cursor.title->link;
}

}  // namespace pagora
