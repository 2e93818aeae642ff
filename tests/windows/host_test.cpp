// The built 64-bit module, loaded and called the way the host does it, on a
// Windows system (Wine) with no reader attached: the entry points answer with
// the interface's own values, and no input makes one of them crash, write
// past its buffer or show a window.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "plugin/fs_api.h"
#include "tests/windows/export_lookup.h"
#include "tools/cli/module_loader.h"
#include "tests/windows/window_watch.h"

namespace {

constexpr int kPluginNumber = 7;
const char kRootName[] = "Pagora eBook";

int g_progress_calls = 0;
int g_progress_plugin_nr = 0;

int WFX_CALL RecordProgress(int plugin_nr, char*, char*, int) {
  ++g_progress_calls;
  g_progress_plugin_nr = plugin_nr;
  return 0;
}

bool FileExists(const char* name) {
  std::FILE* f = std::fopen(name, "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

void WriteLocalFile(const char* name, const std::string& content) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << content;
}

// `pattern` repeated and cut to `length` characters.
std::string NameOfLength(const std::string& pattern, std::size_t length) {
  std::string name;
  while (name.size() < length) name += pattern;
  name.resize(length);
  return name;
}

class HostBoundary : public ::testing::Test {
 protected:
  // Loaded once, as the host does, and initialised before any other call.
  static void SetUpTestSuite() {
    loaded_ = module_.Load(WindowsPath(PAGORA_MODULE_PATH), &load_error_);
    watching_ = StartWindowWatch();
    if (loaded_) {
      init_result_ = module_.exports().init(kPluginNumber, RecordProgress, nullptr, nullptr);
    }
  }
  static void TearDownTestSuite() { StopWindowWatch(); }

  void SetUp() override {
    ASSERT_TRUE(loaded_) << load_error_;
    ASSERT_TRUE(watching_) << "cannot watch for windows";
    windows_before_ = WindowsAttempted();
  }
  void TearDown() override {
    EXPECT_EQ(WindowsAttempted(), windows_before_) << "a call tried to open a window";
    if (g_progress_calls > 0) {
      EXPECT_EQ(g_progress_plugin_nr, kPluginNumber) << "progress reported with another plugin number";
    }
  }

  static pagora_cli::PluginModule module_;
  static std::string load_error_;
  static bool loaded_;
  static bool watching_;
  static int init_result_;
  int windows_before_ = 0;
};

pagora_cli::PluginModule HostBoundary::module_;
std::string HostBoundary::load_error_;
bool HostBoundary::loaded_ = false;
bool HostBoundary::watching_ = false;
int HostBoundary::init_result_ = -1;

TEST_F(HostBoundary, ExportsResolveByNameAndOrdinal) {
  EXPECT_EQ(init_result_, 0) << "FsInit";
  struct Case {
    const char* name;
    unsigned ordinal;
  };
  const Case cases[] = {
      {"FsDeleteFile", 1}, {"FsExecuteFile", 2}, {"FsFindClose", 3},
      {"FsFindFirst", 4},  {"FsFindNext", 5},    {"FsGetDefRootName", 6},
      {"FsGetFile", 7},    {"FsInit", 8},        {"FsPutFile", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const void* by_name = ExportByName(module_.handle(), c.name);
    EXPECT_NE(by_name, nullptr);
    EXPECT_EQ(ExportByOrdinal(module_.handle(), c.ordinal), by_name);
  }
  EXPECT_EQ(ExportByOrdinal(module_.handle(), 10), nullptr) << "more than nine exports";
  EXPECT_EQ(ExportByName(module_.handle(), "FsInit@16"), nullptr) << "decorated name exported";
  EXPECT_EQ(ExportByName(module_.handle(), "_FsInit@16"), nullptr) << "decorated name exported";
}

TEST_F(HostBoundary, RootNameFitsTheHostsBuffer) {
  constexpr char kGuard = 'Z';
  struct Case {
    const char* label;
    int maxlen;
    const char* written;  // nullptr: the buffer stays untouched
  };
  const Case cases[] = {
      {"negative size", -1, nullptr},     {"no room", 0, nullptr},
      {"room for the NUL only", 1, ""},   {"short buffer", 5, "Pago"},
      {"one short", 12, "Pagora eBoo"},   {"exact fit", 13, kRootName},
      {"host's usual buffer", 260, kRootName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char buffer[400];
    std::memset(buffer, kGuard, sizeof buffer);
    module_.exports().get_def_root_name(buffer, c.maxlen);
    std::size_t used = 0;
    if (c.written != nullptr) {
      EXPECT_STREQ(buffer, c.written);
      used = std::strlen(c.written) + 1;
    }
    for (std::size_t i = used; i < sizeof buffer; ++i) {
      ASSERT_EQ(buffer[i], kGuard) << "byte " << i << " written";
    }
  }
  // Every size: a NUL-terminated prefix of the name, never a byte past maxlen.
  for (int maxlen = -1; maxlen <= 300; ++maxlen) {
    SCOPED_TRACE("maxlen " + std::to_string(maxlen));
    char buffer[400];
    std::memset(buffer, kGuard, sizeof buffer);
    module_.exports().get_def_root_name(buffer, maxlen);
    std::size_t used = 0;
    if (maxlen >= 1) {
      std::size_t length = std::strlen(kRootName);
      if (length > static_cast<std::size_t>(maxlen) - 1) length = static_cast<std::size_t>(maxlen) - 1;
      ASSERT_EQ(std::string(buffer, length + 1), std::string(kRootName, length) + '\0');
      used = length + 1;
    }
    for (std::size_t i = used; i < sizeof buffer; ++i) {
      ASSERT_EQ(buffer[i], kGuard) << "byte " << i << " written";
    }
  }
}

TEST_F(HostBoundary, ListingShowsTheDisconnectedEntry) {
  WIN32_FIND_DATAA data;
  char subfolder[] = "\\sub";
  EXPECT_EQ(module_.exports().find_first(subfolder, &data), InvalidHandleValue());

  std::memset(&data, 0x5A, sizeof data);
  char root[] = "\\";
  HANDLE handle = module_.exports().find_first(root, &data);
  ASSERT_EQ(handle, reinterpret_cast<HANDLE>(1));
  EXPECT_STREQ(data.cFileName, "Pagora Disconnected");
  EXPECT_EQ(data.dwFileAttributes, kAttrSystem);
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, kNoTimeLow);
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, kNoTimeHigh);

  EXPECT_EQ(module_.exports().find_next(handle, &data), kFalse);
  EXPECT_EQ(module_.exports().find_close(handle), 0);
  EXPECT_EQ(module_.exports().find_close(InvalidHandleValue()), 0);
}

TEST_F(HostBoundary, FileOperationsFailWithoutReader) {
  char verb[] = "open";
  char disconnected[] = "\\Pagora Disconnected";
  EXPECT_EQ(module_.exports().execute_file(nullptr, disconnected, verb), FS_EXEC_OK);

  char download[] = "host_download.rb";
  std::remove(download);
  EXPECT_EQ(module_.exports().get_file(disconnected, download, 0, nullptr), FS_FILE_NOTFOUND);
  EXPECT_FALSE(FileExists(download)) << "a failed download left a local file";

  char text_file[] = "host_book.txt";
  char text_remote[] = "\\host_book.txt";
  WriteLocalFile(text_file, "not a book");
  EXPECT_EQ(module_.exports().put_file(text_file, text_remote, 0), FS_FILE_NOTSUPPORTED);

  // A real book file and every combination of copy flags: each upload fails,
  // none opens a message box (checked in TearDown) or removes the local file.
  char book[] = "host_upload.rb";
  char book_remote[] = "\\host_upload.rb";
  WriteLocalFile(book, std::string(5000, 'b'));
  for (int flags = 0; flags <= 7; ++flags) {
    SCOPED_TRACE("copy flags " + std::to_string(flags));
    EXPECT_NE(module_.exports().put_file(book, book_remote, flags), FS_FILE_OK);
    EXPECT_TRUE(FileExists(book)) << "a failed upload removed the local file";
  }

  EXPECT_EQ(module_.exports().delete_file(disconnected), kFalse);
  std::remove(text_file);
  std::remove(book);
}

TEST_F(HostBoundary, NoInputCrashesAnExport) {
  struct Pattern {
    const char* label;
    const char* text;
  };
  const Pattern patterns[] = {
      {"leading backslash", "\\Book [Author].rb"},
      {"no leading backslash", "Book [Author].rb\\"},
      {"backslashes only", "\\"},
      {"brackets and spaces", " [ ] "},
      {"bytes above 127", "\xE9\xFF\x80.rb"},
  };
  std::vector<std::string> wrong;
  auto expect = [&wrong](bool ok, const std::string& what) {
    if (!ok && wrong.size() < 20) wrong.push_back(what);
  };
  char verb[] = "open";
  for (const Pattern& p : patterns) {
    for (std::size_t length = 0; length <= 4000; ++length) {
      std::string name = NameOfLength(p.text, length);
      std::string local = NameOfLength("host_sweep_", length);
      const std::string where = std::string(p.label) + ", length " + std::to_string(length);
      WIN32_FIND_DATAA data;
      HANDLE handle = module_.exports().find_first(&name[0], &data);
      expect((handle == InvalidHandleValue()) == (name != "\\"), "FsFindFirst, " + where);
      if (handle != InvalidHandleValue()) module_.exports().find_close(handle);
      const int flags = static_cast<int>(length % 8);
      expect(module_.exports().get_file(&name[0], &local[0], flags, nullptr) != FS_FILE_OK, "FsGetFile, " + where);
      expect(module_.exports().put_file(&name[0], &name[0], flags) != FS_FILE_OK, "FsPutFile, " + where);
      expect(module_.exports().delete_file(&name[0]) == kFalse, "FsDeleteFile, " + where);
      expect(module_.exports().execute_file(nullptr, &name[0], verb) == FS_EXEC_OK, "FsExecuteFile, " + where);
      expect(module_.exports().execute_file(nullptr, &name[0], &name[0]) == FS_EXEC_OK,
             "FsExecuteFile with that verb, " + where);
    }
    // Every copy-flag combination at the lengths around the host's path limit.
    for (std::size_t length : {0u, 1u, 2u, 259u, 260u, 261u, 4000u}) {
      for (int flags = 0; flags <= 7; ++flags) {
        std::string name = NameOfLength(p.text, length);
        std::string local = NameOfLength("host_sweep_", length);
        const std::string where = std::string(p.label) + ", length " + std::to_string(length) +
                                  ", flags " + std::to_string(flags);
        expect(module_.exports().get_file(&name[0], &local[0], flags, nullptr) != FS_FILE_OK, "FsGetFile, " + where);
        expect(module_.exports().put_file(&name[0], &name[0], flags) != FS_FILE_OK, "FsPutFile, " + where);
      }
    }
  }
  for (const std::string& w : wrong) ADD_FAILURE() << "unexpected answer: " << w;
}

}  // namespace
