#include "reader_model.h"

#include <algorithm>

#include "names.h"

namespace readersim {

namespace {

template <typename T>
auto FindByName(std::vector<T>& items, const std::string& name) {
  return std::lower_bound(items.begin(), items.end(), name,
                          [](const T& item, const std::string& key) { return item.name < key; });
}

template <typename T>
auto FindByName(const std::vector<T>& items, const std::string& name) {
  return std::lower_bound(items.begin(), items.end(), name,
                          [](const T& item, const std::string& key) { return item.name < key; });
}

template <typename T>
const T* Lookup(const std::vector<T>& items, const std::string& name) {
  auto it = FindByName(items, name);
  return it != items.end() && it->name == name ? &*it : nullptr;
}

}  // namespace

bool TitleInfo::operator==(const TitleInfo& other) const {
  return title == other.title && author == other.author && publisher == other.publisher &&
         isbn == other.isbn && url == other.url && username == other.username &&
         anno == other.anno;
}

std::uint64_t Storage::Capacity() const { return std::uint64_t{size_mib} << 20; }

std::uint64_t Storage::Used() const {
  std::uint64_t used = 0;
  for (const FileEntry& file : files) used += file.data.size();
  for (const Folder& folder : folders)
    for (const FileEntry& file : folder.files) used += file.data.size();
  return used;
}

std::uint64_t Storage::Free() const {
  std::uint64_t used = Used();
  return used >= Capacity() ? 0 : Capacity() - used;
}

const FileEntry* Reader::Find(const Location& where) const {
  const Storage& storage = StorageOf(where.card);
  if (where.folder.empty()) return Lookup(storage.files, where.name);
  const Folder* folder = Lookup(storage.folders, where.folder);
  return folder ? Lookup(folder->files, where.name) : nullptr;
}

FileEntry* Reader::Find(const Location& where) {
  return const_cast<FileEntry*>(static_cast<const Reader*>(this)->Find(where));
}

void Reader::MakeFolder(bool on_card, const std::string& name) {
  std::vector<Folder>& folders = StorageOf(on_card).folders;
  auto it = FindByName(folders, name);
  if (it == folders.end() || it->name != name) folders.insert(it, Folder{name, {}});
}

void Reader::Put(const Location& where, std::string data, TitleInfo info) {
  Storage& storage = StorageOf(where.card);
  std::vector<FileEntry>* files = &storage.files;
  if (!where.folder.empty()) {
    MakeFolder(where.card, where.folder);
    files = &FindByName(storage.folders, where.folder)->files;
  }
  auto it = FindByName(*files, where.name);
  if (it != files->end() && it->name == where.name) {
    it->data = std::move(data);
    it->info = std::move(info);
  } else {
    files->insert(it, FileEntry{where.name, std::move(data), std::move(info)});
  }
}

std::optional<FileEntry> Reader::Remove(const Location& where) {
  Storage& storage = StorageOf(where.card);
  std::vector<FileEntry>* files = &storage.files;
  if (!where.folder.empty()) {
    auto folder = FindByName(storage.folders, where.folder);
    if (folder == storage.folders.end() || folder->name != where.folder) return std::nullopt;
    files = &folder->files;
  }
  auto it = FindByName(*files, where.name);
  if (it == files->end() || it->name != where.name) return std::nullopt;
  FileEntry removed = std::move(*it);
  files->erase(it);
  return removed;
}

std::vector<TitleRef> ListTitles(const Reader& reader) {
  std::vector<TitleRef> titles;
  for (bool on_card : {false, true}) {
    if (on_card && !reader.card_present) continue;
    for (const Folder& folder : reader.StorageOf(on_card).folders) {
      for (const FileEntry& file : folder.files) {
        Location where{on_card, folder.name, file.name};
        if (IsTitleLocation(where)) titles.push_back({where, &file});
      }
    }
  }
  return titles;
}

}  // namespace readersim
