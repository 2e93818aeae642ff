// A local path as the host gave it, handed to the file calls of its own
// form: 8-bit text in the system's code page (UTF-8 in the native build)
// from the 8-bit exports, UTF-16 from the Unicode ones, so no code page
// stands between a Unicode host and its files.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace pagora {

struct LocalPath {
  LocalPath() = default;
  LocalPath(const char* path) : narrow(path) {}      // NOLINT: either form is a local path
  LocalPath(const char16_t* path) : wide(path) {}    // NOLINT
  const char* narrow = nullptr;
  const char16_t* wide = nullptr;

  bool none() const { return narrow == nullptr && wide == nullptr; }
};

// The platform's file calls, each in the path's form. A move takes two
// paths of one form.
OsHandle CreateLocal(const LocalPath& path, std::uint32_t access, std::uint32_t share,
                     std::uint32_t disposition);
int DeleteLocal(const LocalPath& path);
int MoveLocal(const LocalPath& from, const LocalPath& to, std::uint32_t flags);
std::uint32_t LocalAttributes(const LocalPath& path);

// Whether `path` holds the ASCII text `needle`, ignoring the case of A to Z.
bool LocalPathHolds(const LocalPath& path, const char* needle);

}  // namespace pagora
