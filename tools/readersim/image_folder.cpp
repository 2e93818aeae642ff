#include "image_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "disk_text.h"
#include "names.h"
#include "protocol.h"
#include "reader_ini.h"

namespace readersim {

namespace fs = std::filesystem;

namespace {

constexpr char kIniName[] = "reader.ini";
constexpr char kTempPrefix[] = ".readersim-";

std::string StorageDirName(bool card) { return card ? "card" : "internal"; }

// Where a file of the reader lives in the image: its names in UTF-8.
fs::path DiskPath(const fs::path& root, const Location& where) {
  return root / StorageDirName(where.card) / ReaderToDisk(where.folder) / ReaderToDisk(where.name);
}

// A name on disk as the reader holds it; a fault naming the file when the
// reader cannot hold it.
bool ReaderName(const fs::path& path, std::string* name, std::string* error) {
  std::optional<std::string> converted = DiskToReader(path.filename().string());
  if (!converted) {
    *error = path.string() +
             ": the reader cannot take this name (it must be UTF-8 and hold only characters "
             "of Windows-1252, the reader's character set)";
    return false;
  }
  *name = std::move(*converted);
  return true;
}

bool SystemFault(const fs::path& path, const char* what, std::string* error) {
  *error = path.string() + ": " + what + ": " + std::strerror(errno);
  return false;
}

bool ReadWhole(const fs::path& path, std::string* out, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return SystemFault(path, "cannot open", error);
  out->clear();
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    out->append(buffer, got);
    if (out->size() > kMaxUploadData) {
      std::fclose(file);
      *error = path.string() + ": larger than the " + std::to_string(kMaxUploadData >> 20) +
               " MiB a reader file may have";
      return false;
    }
  }
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return SystemFault(path, "cannot read", error);
  return true;
}

// The data lands under a temporary name in the same folder and is renamed
// over the target, so the target holds either the old or the new bytes.
bool WriteAtomically(const fs::path& target, std::string_view data, std::string* error) {
  fs::path folder = target.parent_path();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    *error = folder.string() + ": cannot make the folder: " + ec.message();
    return false;
  }
  // A fresh name, made exclusively and never through a link: whatever
  // stands in the folder (a planted link above all) only moves the attempt
  // on to the next name, and is never written.
  fs::path temp;
  int fd = -1;
  for (int attempt = 1; attempt <= 100 && fd < 0; ++attempt) {
    temp = folder / (std::string(kTempPrefix) + std::to_string(::getpid()) + "-" +
                     std::to_string(attempt) + ".tmp");
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return SystemFault(temp, "cannot create", error);
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SystemFault(temp, "cannot write", error);
      ::close(fd);
      ::unlink(temp.c_str());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    SystemFault(temp, "cannot flush", error);
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    SystemFault(target, "cannot rename the new file into place", error);
    ::unlink(temp.c_str());
    return false;
  }
  int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
  return true;
}

// The names in `folder` that belong to the reader, sorted.
bool ListNames(const fs::path& folder, std::vector<std::string>* names, std::string* error) {
  std::error_code ec;
  names->clear();
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    names->push_back(name);
  }
  if (ec) {
    *error = folder.string() + ": cannot list: " + ec.message();
    return false;
  }
  std::sort(names->begin(), names->end());
  return true;
}

bool LoadFile(const fs::path& path, const Location& where, Reader* reader, std::string* error) {
  if (!IsValidName(where.name) || DevicePath(where).size() > kMaxPathLength) {
    *error = path.string() + ": the reader cannot take this name (at most " +
             std::to_string(kMaxPathLength) +
             " characters with its folder, no control characters, none of \\/:*?\"<>|, "
             "no leading or trailing blank or dot)";
    return false;
  }
  std::string data;
  if (!ReadWhole(path, &data, error)) return false;
  TitleInfo info = IsTitleLocation(where) ? TitleFromName(where.name) : TitleInfo{};
  reader->Put(where, std::move(data), std::move(info));
  return true;
}

bool LoadStorage(const fs::path& root, bool card, Reader* reader, std::string* error) {
  std::error_code ec;
  if (!fs::exists(root, ec)) return true;
  if (!fs::is_directory(root, ec)) {
    *error = root.string() + ": not a folder";
    return false;
  }
  std::vector<std::string> names;
  if (!ListNames(root, &names, error)) return false;
  for (const std::string& disk_name : names) {
    fs::path path = root / disk_name;
    std::string name;
    if (!ReaderName(path, &name, error)) return false;
    if (fs::is_regular_file(path, ec)) {
      if (!LoadFile(path, Location{card, "", name}, reader, error)) return false;
      continue;
    }
    if (!fs::is_directory(path, ec)) {
      *error = path.string() + ": neither a file nor a folder";
      return false;
    }
    if (!IsValidName(name)) {
      *error = path.string() + ": the reader cannot take this folder name";
      return false;
    }
    reader->MakeFolder(card, name);
    std::vector<std::string> inner;
    if (!ListNames(path, &inner, error)) return false;
    for (const std::string& disk_file : inner) {
      fs::path file_path = path / disk_file;
      std::string file;
      if (!ReaderName(file_path, &file, error)) return false;
      if (!fs::is_regular_file(file_path, ec)) {
        *error = file_path.string() + ": only files may be in a folder (the reader's folders are "
                                      "one level deep)";
        return false;
      }
      if (!LoadFile(file_path, Location{card, name, file}, reader, error)) return false;
    }
  }
  return true;
}

}  // namespace

bool LoadReaderImage(const std::string& dir, Reader* reader, std::string* error) {
  std::error_code ec;
  fs::path root(dir);
  if (!fs::is_directory(root, ec)) {
    *error = dir + ": no such image folder";
    return false;
  }
  fs::path ini_path = root / kIniName;
  if (!fs::exists(ini_path, ec)) {
    *error = ini_path.string() +
             ": not found (every image has one; --write-demo DIR writes a complete image)";
    return false;
  }
  // A FIFO or a device there would block the start or never end.
  if (!fs::is_regular_file(ini_path, ec)) {
    *error = ini_path.string() + ": not a regular file";
    return false;
  }
  std::string disk_text;
  if (!ReadWhole(ini_path, &disk_text, error)) return false;
  // Editors on Windows start UTF-8 with a byte-order mark; it is no text.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (disk_text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
    disk_text.erase(0, kByteOrderMark.size());
  }
  std::string text;
  if (int line = DiskLinesToReader(disk_text, &text); line != 0) {
    *error = ini_path.string() + ":" + std::to_string(line) +
             ": the line must be UTF-8 and hold only characters of Windows-1252, the reader's "
             "character set";
    return false;
  }
  ReaderIni ini;
  IniFault fault;
  if (!ReadReaderIni(text, &ini, &fault)) {
    // The message quotes the line as the reader holds it; it is shown as written.
    *error = ini_path.string() + ":" + std::to_string(fault.line) + ": " + ReaderToDisk(fault.message);
    return false;
  }

  Reader loaded;
  loaded.settings = ini.settings;
  loaded.internal.id = ini.internal_id;
  loaded.internal.size_mib = ini.internal_mib;
  loaded.card.id = ini.card_id;
  loaded.card.size_mib = ini.card_mib;
  loaded.card_present = ini.card_present;
  for (bool card : {false, true}) {
    if (!LoadStorage(root / StorageDirName(card), card, &loaded, error)) return false;
  }

  for (const TitleSection& title : ini.titles) {
    FileEntry* file = loaded.Find(title.where);
    if (file == nullptr) {
      fs::path expected = DiskPath(root, title.where);
      *error = ini_path.string() + ":" + std::to_string(title.line) + ": the title's file " +
               expected.string() + " is missing";
      return false;
    }
    file->info = title.info;
  }

  for (bool card : {false, true}) {
    const Storage& storage = loaded.StorageOf(card);
    if (storage.Used() <= storage.Capacity()) continue;
    int line = card ? ini.card_mib_line : ini.internal_mib_line;
    *error = (root / StorageDirName(card)).string() + ": the files take " +
             std::to_string(storage.Used()) + " bytes, more than size_mib = " +
             std::to_string(storage.size_mib) + " allows (" + ini_path.string() +
             (line > 0 ? ":" + std::to_string(line) : std::string()) + ")";
    return false;
  }
  *reader = std::move(loaded);
  return true;
}

bool SaveNewImage(const std::string& dir, const Reader& reader, std::string* error) {
  std::error_code ec;
  fs::path root(dir);
  if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
    *error = dir + ": exists and is not empty; name a new folder";
    return false;
  }
  ImageFolder image(dir);
  if (!image.WriteMetadata(reader, error)) return false;
  for (bool card : {false, true}) {
    const Storage& storage = reader.StorageOf(card);
    fs::create_directories(root / StorageDirName(card), ec);
    for (const FileEntry& file : storage.files) {
      if (!image.WriteFile(Location{card, "", file.name}, file.data, error)) return false;
    }
    for (const Folder& folder : storage.folders) {
      fs::create_directories(DiskPath(root, Location{card, "", folder.name}), ec);
      for (const FileEntry& file : folder.files) {
        if (!image.WriteFile(Location{card, folder.name, file.name}, file.data, error)) return false;
      }
    }
  }
  return true;
}

bool ImageFolder::WriteFile(const Location& where, std::string_view data, std::string* error) {
  return WriteAtomically(DiskPath(dir_, where), data, error);
}

bool ImageFolder::RemoveFile(const Location& where, std::string* error) {
  fs::path path = DiskPath(dir_, where);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return SystemFault(path, "cannot remove", error);
  return true;
}

bool ImageFolder::WriteMetadata(const Reader& reader, std::string* error) {
  return WriteAtomically(fs::path(dir_) / kIniName, ReaderToDisk(WriteReaderIni(reader)), error);
}

}  // namespace readersim
