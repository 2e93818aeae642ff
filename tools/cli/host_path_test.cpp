#include "tools/cli/host_path.h"

#include <gtest/gtest.h>

namespace pagora_cli {
namespace {

const std::string kSep(1, kSeparator);

TEST(HostPath, RemoteNames) {
  struct Case {
    const char* label;
    std::string name;
    bool ok;
    std::string remote;
  };
  const Case cases[] = {
      {"listed title", "Moby Dick [Melville].rb", true, kSep + "Moby Dick [Melville].rb"},
      {"one character", "a", true, kSep + "a"},
      {"longest", std::string(kMaxRemoteName - 1, 'x'), true, kSep + std::string(258, 'x')},
      {"one too long", std::string(kMaxRemoteName, 'x'), false, ""},
      {"empty", "", false, ""},
      {"separator inside", "dir" + kSep + "book.rb", false, ""},
      {"separator alone", kSep, false, ""},
  };
  for (const Case& c : cases) {
    std::string remote = "untouched";
    std::string error;
    const bool ok = MakeRemoteName(c.name, &remote, &error);
    EXPECT_EQ(ok, c.ok) << c.label;
    if (c.ok) {
      EXPECT_EQ(remote, c.remote) << c.label;
      EXPECT_LE(remote.size(), kMaxRemoteName) << c.label;
    } else {
      EXPECT_EQ(remote, "untouched") << c.label;
      EXPECT_FALSE(error.empty()) << c.label;
    }
  }
  EXPECT_EQ(FolderPath(), kSep);
}

TEST(HostPath, LocalBaseNames) {
  struct Case {
    const char* label;
    const char* path;
    const char* base;
  };
  const Case cases[] = {
      {"bare", "book.rb", "book.rb"},
      {"relative", "books/book.rb", "book.rb"},
      {"absolute", "/home/u/book.rb", "book.rb"},
      {"trailing slash", "books/book.rb/", "book.rb"},
      {"root", "/", ""},
      {"keeps case and blanks", "a/My Book.RB", "My Book.RB"},
  };
  for (const Case& c : cases) EXPECT_EQ(LocalBaseName(c.path), c.base) << c.label;
}

}  // namespace
}  // namespace pagora_cli
