#include "disk_text.h"

#include <vector>

#include "plugin/reader_text.h"

namespace readersim {

namespace {

// The conversions take NUL-terminated texts: each piece between NULs is
// converted on its own and the NULs are put back between them.
template <typename Convert>
bool ConvertPieces(std::string_view text, std::size_t growth, Convert convert, std::string* out) {
  out->clear();
  while (true) {
    const std::size_t nul = text.find('\0');
    const std::string piece(text.substr(0, nul));
    std::vector<char> buffer(piece.size() * growth + 1);
    const int length = convert(piece.c_str(), buffer.data(), buffer.size());
    if (length < 0) return false;
    out->append(buffer.data(), static_cast<std::size_t>(length));
    if (nul == std::string_view::npos) return true;
    *out += '\0';
    text.remove_prefix(nul + 1);
  }
}

}  // namespace

std::optional<std::string> DiskToReader(std::string_view disk) {
  // A character never takes fewer UTF-8 bytes than reader bytes.
  std::string reader;
  if (!ConvertPieces(disk, 1, pagora::Utf8ToReader, &reader)) return std::nullopt;
  return reader;
}

std::string ReaderToDisk(std::string_view reader) {
  // A reader byte takes at most three UTF-8 bytes (the euro sign, say).
  std::string disk;
  ConvertPieces(reader, 3, pagora::ReaderToUtf8, &disk);
  return disk;
}

int DiskLinesToReader(std::string_view disk, std::string* reader) {
  reader->clear();
  int number = 0;
  while (!disk.empty()) {
    ++number;
    const std::size_t end = disk.find('\n');
    const std::size_t taken = end == std::string_view::npos ? disk.size() : end + 1;
    std::optional<std::string> line = DiskToReader(disk.substr(0, taken));
    if (!line) return number;
    *reader += *line;
    disk.remove_prefix(taken);
  }
  return 0;
}

}  // namespace readersim
