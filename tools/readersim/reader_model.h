// The simulated reader's contents: its settings and its two storages, each
// holding top-level files and one level of folders with files in them.
// Every name and text is held as the reader holds it, in Windows-1252.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace readersim {

// What the reader tells about a book besides its file.
struct TitleInfo {
  std::string title;
  std::string author;
  std::string publisher;
  std::string isbn;
  std::string url;
  std::string username;
  std::string anno = "no";

  bool operator==(const TitleInfo& other) const;
};

struct FileEntry {
  std::string name;  // long name
  std::string data;
  TitleInfo info;    // meaningful only for title files (see IsTitleLocation)
};

struct Folder {
  std::string name;
  std::vector<FileEntry> files;  // sorted by name
};

struct Storage {
  std::string id;              // flash id text
  std::uint32_t size_mib = 0;  // capacity
  std::vector<Folder> folders;   // sorted by name
  std::vector<FileEntry> files;  // top-level files, sorted by name

  std::uint64_t Capacity() const;
  std::uint64_t Used() const;
  std::uint64_t Free() const;
};

struct Settings {
  std::string version = "1.2";
  std::string battery = "80";
  std::string ext_id = "0";
  std::string user_id = "";
  std::string date = "2003 11 27";
  std::string time = "9 5 30";
};

// Where a file lives: storage, folder (empty for the top level) and name.
struct Location {
  bool card = false;
  std::string folder;
  std::string name;
};

struct Reader {
  Settings settings;
  Storage internal;
  Storage card;
  bool card_present = false;

  Storage& StorageOf(bool on_card) { return on_card ? card : internal; }
  const Storage& StorageOf(bool on_card) const { return on_card ? card : internal; }

  const FileEntry* Find(const Location& where) const;
  FileEntry* Find(const Location& where);
  // Makes an empty folder unless it is there.
  void MakeFolder(bool on_card, const std::string& name);
  // Stores the file, replacing one of the same name; makes the folder.
  void Put(const Location& where, std::string data, TitleInfo info);
  // Takes the file out; the folder stays, as on a real file system.
  std::optional<FileEntry> Remove(const Location& where);
};

// A title file together with where it lives.
struct TitleRef {
  Location where;
  const FileEntry* file;
};

// The titles the reader reports: the books of internal memory, then those of
// the card when a card is in.
std::vector<TitleRef> ListTitles(const Reader& reader);

}  // namespace readersim
