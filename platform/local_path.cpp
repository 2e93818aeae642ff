#include "platform/local_path.h"

namespace pagora {
namespace {

char16_t Lower(char16_t c) { return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c; }

template <typename Char>
bool Holds(const Char* text, const char* needle) {
  for (; *text != 0; ++text) {
    std::size_t i = 0;
    while (needle[i] != '\0' && Lower(static_cast<char16_t>(text[i])) ==
                                    Lower(static_cast<char16_t>(needle[i]))) {
      ++i;
    }
    if (needle[i] == '\0') return true;
  }
  return false;
}

}  // namespace

OsHandle CreateLocal(const LocalPath& path, std::uint32_t access, std::uint32_t share,
                     std::uint32_t disposition) {
  return path.wide != nullptr
             ? Os().create_file_w(path.wide, access, share, disposition, kFileAttributeNormal)
             : Os().create_file(path.narrow, access, share, disposition, kFileAttributeNormal);
}

int DeleteLocal(const LocalPath& path) {
  return path.wide != nullptr ? Os().delete_file_w(path.wide) : Os().delete_file(path.narrow);
}

int MoveLocal(const LocalPath& from, const LocalPath& to, std::uint32_t flags) {
  return from.wide != nullptr ? Os().move_file_w(from.wide, to.wide, flags)
                              : Os().move_file(from.narrow, to.narrow, flags);
}

std::uint32_t LocalAttributes(const LocalPath& path) {
  return path.wide != nullptr ? Os().get_file_attributes_w(path.wide)
                              : Os().get_file_attributes(path.narrow);
}

bool LocalPathHolds(const LocalPath& path, const char* needle) {
  return path.wide != nullptr ? Holds(path.wide, needle) : Holds(path.narrow, needle);
}

}  // namespace pagora
