// The host's module loader given Windows DLLs in its 32-bit x86 build: the
// shipped DLL loads with its exports callable in the host's own types, and a
// DLL the PE loader refuses, or one without the exports, is reported by
// name without ever running.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tools/cli/module_loader.h"
#include "tools/cli/session.h"

namespace pagora_cli {
namespace {

using Bytes = std::vector<char>;

Bytes ShippedDll() {
  std::ifstream in(PAGORA_WIN32_MODULE, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Overwrites the first `from` in `file` with `to`, of the same length.
void Rename(Bytes* file, const char* from, const char* to) {
  const std::size_t length = std::strlen(from) + 1;
  for (std::size_t i = 0; i + length <= file->size(); ++i) {
    if (std::memcmp(file->data() + i, from, length) == 0) {
      std::memcpy(file->data() + i, to, length);
      return;
    }
  }
  ADD_FAILURE() << from << " is not in the DLL";
}

int Progress(int, char*, char*, int) { return 0; }

TEST(WindowsModule, TheShippedDllLoadsAndAnswers) {
  const std::string no_readers = std::filesystem::temp_directory_path().string() + "/no-readers-" +
                                 std::to_string(getpid());
  std::filesystem::create_directories(no_readers);
  setenv("PAGORA_READER_DIR", no_readers.c_str(), 1);
  PluginModule module;
  std::string error;
  ASSERT_TRUE(module.Load(PAGORA_WIN32_MODULE, &error)) << error;
  EXPECT_NE(module.handle(), nullptr) << "its base address";
  module.exports().init(kPluginNumber, Progress, nullptr, nullptr);
  char root[64] = {};
  module.exports().get_def_root_name(root, static_cast<int>(sizeof root));
  EXPECT_STREQ(root, "Pagora eBook");
  const std::vector<FolderEntry> entries = ListFolder(module.exports());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "Pagora Disconnected");
  unsetenv("PAGORA_READER_DIR");
  std::filesystem::remove_all(no_readers);
}

TEST(WindowsModule, RefusedDllsAreNamedWithTheirFault) {
  const Bytes good = ShippedDll();
  ASSERT_FALSE(good.empty()) << "build the win32 preset first: " << PAGORA_WIN32_MODULE;
  struct Case {
    const char* label;
    std::function<void(Bytes*)> change;
    const char* message;
  };
  const Case cases[] = {
      {"an import with no stand-in", [](Bytes* f) { Rename(f, "Sleep", "Sleeq"); },
       "imports with no stand-in in this host: KERNEL32.dll!Sleeq"},
      {"a missing export", [](Bytes* f) { Rename(f, "FsGetFile", "FsGetFilX"); },
       "is not a file-system plugin: it lacks FsGetFile"},
      {"a truncated file", [](Bytes* f) { f->resize(f->size() / 3); }, "truncated: section"},
  };
  const std::string path = std::filesystem::temp_directory_path().string() + "/faulty-" +
                           std::to_string(getpid()) + ".wfx";
  for (const Case& c : cases) {
    Bytes file = good;
    c.change(&file);
    std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
    PluginModule module;
    std::string error;
    EXPECT_FALSE(module.Load(path, &error)) << c.label;
    EXPECT_NE(error.find(path), std::string::npos) << c.label << ": " << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.label << ": " << error;
    EXPECT_EQ(module.handle(), nullptr) << c.label;
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace pagora_cli
