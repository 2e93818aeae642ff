// The built 64-bit module, loaded and called the way the host does it, on a
// Windows system (Wine) with no reader attached: the entry points answer with
// the interface's own values, and no input makes one of them crash, write
// past its buffer or show a window.

#include <gtest/gtest.h>

#include <algorithm>
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

  // The content functions, which the module loader does not look for.
  static FsContentGetSupportedFieldFn SupportedField() {
    return Export<FsContentGetSupportedFieldFn>("FsContentGetSupportedField");
  }
  static FsContentGetValueFn Value() { return Export<FsContentGetValueFn>("FsContentGetValue"); }
  template <typename Fn>
  static Fn Export(const char* name) {
    const void* address = ExportByName(module_.handle(), name);
    Fn function = nullptr;
    static_assert(sizeof function == sizeof address, "code and data addresses share a size");
    std::memcpy(&function, &address, sizeof address);
    return function;
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
  // Every export of the table, in alphabetical order: the ordinals count
  // from 1 in it.
  std::vector<std::string> names = {
#define PAGORA_EXPORT_NAME(set, result, name, field, parameters, forwarded) #name,
      PAGORA_EXPORTS(PAGORA_EXPORT_NAME)
#undef PAGORA_EXPORT_NAME
  };
  std::sort(names.begin(), names.end());
  unsigned ordinal = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const void* by_name = ExportByName(module_.handle(), name.c_str());
    EXPECT_NE(by_name, nullptr);
    EXPECT_EQ(ExportByOrdinal(module_.handle(), ++ordinal), by_name);
  }
  EXPECT_EQ(ExportByOrdinal(module_.handle(), ordinal + 1), nullptr) << "more exports than named";
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

TEST_F(HostBoundary, DetailsWithoutReader) {
  ASSERT_NE(SupportedField(), nullptr);
  ASSERT_NE(Value(), nullptr);
  const char* const names[] = {"Title",     "Author",  "Publisher", "ISBN",
                               "URL",       "Annotated", "Storage", "Reader path"};
  for (int index = 0; index < 8; ++index) {
    char name[64];
    char units[64];
    const int type = SupportedField()(index, name, units, static_cast<int>(sizeof name));
    EXPECT_EQ(type, index == 5 ? ft_boolean : ft_string) << index;
    EXPECT_STREQ(name, names[index]);
    EXPECT_STREQ(units, "");
  }
  char name[64];
  char units[64];
  EXPECT_EQ(SupportedField()(8, name, units, static_cast<int>(sizeof name)), ft_nomorefields);
  EXPECT_EQ(SupportedField()(-1, name, units, static_cast<int>(sizeof name)), ft_nosuchfield);

  // No title is listed: every name finds nothing, and bad input is refused
  // before the name is looked at. Nothing is written either way.
  char disconnected[] = "\\Pagora Disconnected";
  struct Case {
    const char* label;
    int index;
    int maxlen;
    int type;
  } cases[] = {
      {"a text field", 0, 64, ft_fileerror},       {"the yes/no field", 5, 4, ft_fileerror},
      {"field below the first", -1, 64, ft_nosuchfield},
      {"field past the last", 8, 64, ft_nosuchfield}, {"no room", 0, 0, ft_nosuchfield},
  };
  for (const Case& c : cases) {
    char value[64];
    std::memset(value, 'Z', sizeof value);
    EXPECT_EQ(Value()(disconnected, c.index, 0, value, c.maxlen, 0), c.type) << c.label;
    EXPECT_EQ(std::string(value, sizeof value), std::string(sizeof value, 'Z')) << c.label;
  }
  for (const char* verb : {"open", "properties"}) {
    std::string text = verb;
    EXPECT_EQ(module_.exports().execute_file(nullptr, disconnected, &text[0]), FS_EXEC_OK)
        << verb;
  }
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
  char properties[] = "properties";
  ASSERT_NE(Value(), nullptr);
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
      expect(module_.exports().execute_file(nullptr, &name[0], properties) == FS_EXEC_OK,
             "FsExecuteFile properties, " + where);
      char value[300];
      expect(Value()(&name[0], static_cast<int>(length % 10) - 1, 0, value,
                     static_cast<int>(sizeof value), 0) < 0,
             "FsContentGetValue, " + where);
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


// An export by name as its function type.
template <typename Fn>
Fn ExportAs(void* module, const char* name) {
  const void* address = ExportByName(module, name);
  Fn function = nullptr;
  std::memcpy(&function, &address, sizeof function);
  return function;
}

TEST_F(HostBoundary, UnicodeExportsWithoutReader) {
  const auto init = ExportAs<FsInitWFn>(module_.handle(), "FsInitW");
  const auto find_first = ExportAs<FsFindFirstWFn>(module_.handle(), "FsFindFirstW");
  const auto find_next = ExportAs<FsFindNextWFn>(module_.handle(), "FsFindNextW");
  const auto get_file = ExportAs<FsGetFileWFn>(module_.handle(), "FsGetFileW");
  const auto put_file = ExportAs<FsPutFileWFn>(module_.handle(), "FsPutFileW");
  const auto delete_file = ExportAs<FsDeleteFileWFn>(module_.handle(), "FsDeleteFileW");
  ASSERT_TRUE(init && find_first && find_next && get_file && put_file && delete_file);
  EXPECT_EQ(init(kPluginNumber, nullptr, nullptr, nullptr), 0);

  WIN32_FIND_DATAW data;
  std::memset(&data, 0x5A, sizeof data);
  char16_t root[] = u"\\";
  HANDLE handle = find_first(root, &data);
  ASSERT_EQ(handle, reinterpret_cast<HANDLE>(1));
  EXPECT_EQ(std::u16string(data.cFileName), u"Pagora Disconnected");
  EXPECT_EQ(data.dwFileAttributes, kAttrSystem);
  EXPECT_EQ(find_next(handle, &data), kFalse);

  char16_t disconnected[] = u"\\Pagora Disconnected";
  char16_t local[] = u"host_w.rb";
  EXPECT_EQ(get_file(disconnected, local, 0, nullptr), FS_FILE_NOTFOUND);
  EXPECT_EQ(delete_file(disconnected), kFalse);
  {
    std::ofstream book("host_w_book.rb");
    book << "book";
  }
  char16_t book[] = u"host_w_book.rb";
  char16_t accented[] = u"\\Caf\u00E9 \u20AC.rb";
  char16_t cjk[] = u"\\\u65E5\u672C.rb";
  // The reader cannot hold the second name: refused before anything else.
  EXPECT_EQ(put_file(book, cjk, 0), FS_FILE_NOTSUPPORTED);
  const int result = put_file(book, accented, 0);
  EXPECT_NE(result, FS_FILE_OK);
  EXPECT_NE(result, FS_FILE_NOTSUPPORTED) << "a name the reader holds is not refused";
  std::remove("host_w_book.rb");
  // The 8-bit callback is back for the other tests.
  EXPECT_EQ(module_.exports().init(kPluginNumber, RecordProgress, nullptr, nullptr), 0);
}

}  // namespace
