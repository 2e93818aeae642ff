#include "names.h"

#include <cstring>

#include "protocol.h"

namespace readersim {

namespace {

bool EndsWithRb(std::string_view name) {
  if (name.size() < 3) return false;
  std::string_view tail = name.substr(name.size() - 3);
  return tail[0] == '.' && (tail[1] == 'r' || tail[1] == 'R') && (tail[2] == 'b' || tail[2] == 'B');
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

bool IsValidName(std::string_view name) {
  if (name.empty() || name.size() > kMaxPathLength) return false;
  if (name.front() == '.' || name.front() == ' ') return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return false;
    if (std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
  }
  return true;
}

std::optional<Location> ParseDevicePath(std::string_view path) {
  if (path.size() > kMaxPathLength || path.empty() || path.front() != '\\') return std::nullopt;
  path.remove_prefix(1);
  Location where;
  if (path.substr(0, 3) == "SM\\") {
    where.card = true;
    path.remove_prefix(3);
  }
  std::size_t slash = path.find('\\');
  if (slash != std::string_view::npos) {
    where.folder = std::string(path.substr(0, slash));
    path.remove_prefix(slash + 1);
    if (!IsValidName(where.folder)) return std::nullopt;
  }
  where.name = std::string(path);
  if (!IsValidName(where.name)) return std::nullopt;
  return where;
}

std::optional<Location> ParseReaderPath(std::string_view path) {
  return ParseDevicePath("\\" + std::string(path));
}

std::string DevicePath(const Location& where) { return "\\" + ReaderPath(where); }

std::string ReaderPath(const Location& where) {
  std::string path = where.card ? "SM\\" : "";
  if (!where.folder.empty()) path += where.folder + "\\";
  return path + where.name;
}

bool IsTitleLocation(const Location& where) {
  return where.folder == "book" && EndsWithRb(where.name);
}

TitleInfo TitleFromName(std::string_view name) {
  std::size_t dot = name.rfind('.');
  std::string_view stem = dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
  TitleInfo info;
  std::size_t open = stem.rfind(" [");
  if (open != std::string_view::npos && stem.back() == ']') {
    info.title = std::string(Trim(stem.substr(0, open)));
    info.author = std::string(Trim(stem.substr(open + 2, stem.size() - open - 3)));
  } else {
    info.title = std::string(Trim(stem));
  }
  return info;
}

}  // namespace readersim
