#include "testing/e2e/reader_image.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace pagora_e2e {

namespace fs = std::filesystem;

std::uint64_t CapacityBytes(const std::string& image_dir, const std::string& storage) {
  std::istringstream ini(ReadFile(image_dir + "/reader.ini"));
  std::string section;
  for (std::string line; std::getline(ini, line);) {
    if (!line.empty() && line[0] == '[') section = line;
    if (section == "[" + storage + "]" && line.rfind("size_mib = ", 0) == 0) {
      return std::stoull(line.substr(11)) << 20;
    }
  }
  return 0;
}

std::uint64_t UsedBytes(const std::string& image_dir, const std::string& storage) {
  std::uint64_t used = 0;
  std::error_code ec;
  for (const fs::directory_entry& entry :
       fs::recursive_directory_iterator(fs::path(image_dir) / storage, ec)) {
    // Names with a leading dot are the simulator's own, not the reader's.
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
      used += entry.file_size();
    }
  }
  return used;
}

std::string BookPath(const std::string& image_dir, const std::string& storage,
                     const std::string& name) {
  const fs::path path = fs::path(image_dir) / storage / "book" / name;
  std::error_code ec;
  return fs::is_regular_file(path, ec) ? path.string() : std::string();
}

std::map<std::string, std::string> ImageFiles(const std::string& image_dir) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(image_dir, ec)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), image_dir).string()] = ReadFile(entry.path().string());
    }
  }
  return files;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string MakeBook(std::size_t size, char seed) {
  std::string book(size, ' ');
  for (std::size_t i = 0; i < size; ++i) book[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
  return book;
}

}  // namespace pagora_e2e
