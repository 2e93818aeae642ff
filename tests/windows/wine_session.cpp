// A user's session with a shipped DLL on a real Win32 (Wine), with only the
// reader's driver stood in (driver_bridge.h): the DLL itself, unmodified,
// lists, downloads and uploads to both storages, meets the out-of-space
// message, deletes, survives an unplug, keeps the local file through a
// failing exchange, lists names a file system can hold, and reaches local
// folders named in any language through its Unicode exports.
//
// usage: wine_session MODULE PORT IMAGE_DIR WORK_DIR
// The simulator serves IMAGE_DIR on 127.0.0.1:PORT (control on PORT+1), as
// scripts/wine-session.sh prepares it. Each failed check prints a line;
// the exit status is the number of failures.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testing/e2e/demo_titles.h"
#include "tests/windows/driver_bridge.h"
#include "tests/windows/session_files.h"
#include "tests/windows/window_watch.h"
#include "tools/cli/module_loader.h"

namespace {

using namespace wine_host;
using pagora_e2e::DemoTitle;
using pagora_e2e::kDemoTitles;

int g_failures = 0;

void Check(bool ok, int line, const std::string& what) {
  if (ok) return;
  ++g_failures;
  std::printf("FAIL wine_session.cpp:%d: %s\n", line, what.c_str());
}
#define CHECK(condition, what) Check((condition), __LINE__, (what))

// The titles the session script adds to the demo image.
const char kUnsafeListed[] = ".._.._Dune_ Messiah __ [C_x__y__].rb";
const char16_t kCafeListed[] =
    u"Caf\u00E9 cr\u00E8me \u00E0 5 \u20AC [Zo\u00EB \u00C5ngstr\u00F6m].rb";
constexpr std::size_t kTitles = 7;

unsigned short g_port = 0;
std::wstring g_image;  // the image folder, as a Windows path
std::wstring g_work;   // the working folder
pagora_cli::PluginModule g_module;

// The progress callback may send the simulator a control line once, from
// the first report past 0 % of a transfer: a failure that strikes midway.
std::string g_strike;
int WFX_CALL Progress(int, char*, char*, int percent) {
  if (!g_strike.empty() && percent > 0 && percent < 100) {
    wine_host::ControlLine(static_cast<unsigned short>(g_port + 1), g_strike);
    g_strike.clear();
  }
  return 0;
}
int WFX_CALL ProgressW(int, char16_t*, char16_t*, int percent) {
  return Progress(0, nullptr, nullptr, percent);
}

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring W(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::string Book(std::size_t size, char seed) {
  std::string bytes(size, seed);
  for (std::size_t i = 0; i < size; i += 97) bytes[i] = static_cast<char>(i / 97);
  return bytes;
}

std::wstring ImageBook(const char* storage, const std::string& file) {
  return g_image + L"\\" + Widen(storage) + L"\\book\\" + Widen(file);
}

// This system's code page, for the work folder's 8-bit paths (ASCII).
std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

std::vector<std::string> List() {
  std::vector<std::string> names;
  char root[] = "\\";
  WIN32_FIND_DATAA data{};
  HANDLE h = g_module.exports().find_first(root, &data);
  if (h == InvalidHandleValue()) return names;
  do names.push_back(data.cFileName);
  while (g_module.exports().find_next(h, &data));
  g_module.exports().find_close(h);
  return names;
}

std::vector<std::u16string> ListW() {
  std::vector<std::u16string> names;
  char16_t root[] = u"\\";
  WIN32_FIND_DATAW data{};
  HANDLE h = g_module.optional().find_first_w(root, &data);
  if (h == InvalidHandleValue()) return names;
  do names.emplace_back(data.cFileName);
  while (g_module.optional().find_next_w(h, &data));
  return names;
}

int Get(const std::string& name, const std::wstring& local, int flags) {
  std::string remote = "\\" + name;
  std::string target = Narrow(local);
  return g_module.exports().get_file(&remote[0], &target[0], flags, nullptr);
}

int Put(const std::wstring& local, const std::string& name, int flags) {
  std::string source = Narrow(local);
  std::string remote = "\\" + name;
  return g_module.exports().put_file(&source[0], &remote[0], flags);
}

bool Delete(const std::string& name) {
  std::string remote = "\\" + name;
  return g_module.exports().delete_file(&remote[0]) != 0;
}

void ListsAndDownloadsEveryTitle() {
  const std::vector<std::string> listed = List();
  CHECK(listed.size() == kTitles, "the listing holds " + std::to_string(listed.size()) + " titles");
  for (const DemoTitle& title : kDemoTitles) {
    CHECK(std::count(listed.begin(), listed.end(), title.entry) == 1,
          std::string("listed once: ") + title.entry);
    const std::wstring local = g_work + L"\\" + Widen(title.file);
    CHECK(Get(title.entry, local, 0) == FS_FILE_OK, std::string("download ") + title.entry);
    const std::string original = ReadAll(ImageBook(title.storage, title.file));
    CHECK(original.size() == title.size && ReadAll(local) == original,
          std::string("byte for byte: ") + title.entry);
  }
  // The host is asked before a file is replaced.
  const DemoTitle& fen = kDemoTitles[3];
  const std::wstring local = g_work + L"\\" + Widen(fen.file);
  WriteAll(local, "the user's own");
  CHECK(Get(fen.entry, local, 0) == FS_FILE_EXISTS, "an existing target is the host's question");
  CHECK(ReadAll(local) == "the user's own", "and stays as it was");
  CHECK(Get(fen.entry, local, FS_COPYFLAGS_OVERWRITE) == FS_FILE_OK, "overwrite replaces it");
  CHECK(ReadAll(local) == ReadAll(ImageBook(fen.storage, fen.file)), "with the book");
}

void UnsafeNamesStayInTheirFolder() {
  const std::vector<std::string> listed = List();
  CHECK(std::count(listed.begin(), listed.end(), kUnsafeListed) == 1,
        "a title with .. \\ : * ? / < > | is listed with '_'");
  std::wstring shelf = g_work + L"\\shelf";
  MakeFolder(shelf);
  CHECK(Get(kUnsafeListed, shelf + L"\\" + Widen(kUnsafeListed), 0) == FS_FILE_OK,
        "the listed name downloads");
  const std::vector<std::wstring> names = Names(shelf, L"*");
  CHECK(names.size() == 1 && names[0] == Widen(kUnsafeListed), "as one file in its folder");
}

void UploadsToBothStoragesAndDeletes() {
  const std::string small = Book(30000, 'n');
  WriteAll(g_work + L"\\Night Ferry.rb", small);
  CHECK(Put(g_work + L"\\Night Ferry.rb", "Night Ferry.rb", 0) == FS_FILE_OK, "upload");
  CHECK(ReadAll(ImageBook("internal", "Night Ferry.rb")) == small, "arrives in internal memory");
  // Internal memory holds 1 MiB in the session's image: this goes to the card.
  const std::string large = Book(1200000, 'c');
  WriteAll(g_work + L"\\Big Atlas.rb", large);
  CHECK(Put(g_work + L"\\Big Atlas.rb", "Big Atlas.rb", 0) == FS_FILE_OK, "upload to the card");
  CHECK(ReadAll(ImageBook("card", "Big Atlas.rb")) == large, "arrives on the card");
  // Too big for either: the message box, and the copy fails.
  const int windows = WindowsAttempted();
  WriteAll(g_work + L"\\Huge.rb", Book(20u << 20, 'h'));
  CHECK(Put(g_work + L"\\Huge.rb", "Huge.rb", 0) == FS_FILE_WRITEERROR, "out of space");
  CHECK(WindowsAttempted() == windows + 1, "shows its message box");
  CHECK(!Exists(ImageBook("internal", "Huge.rb")) && !Exists(ImageBook("card", "Huge.rb")),
        "nothing uploaded");
  // Another book's path on the reader, letter case aside.
  WriteAll(g_work + L"\\the salt road.rb", small);
  CHECK(Put(g_work + L"\\the salt road.rb", "the salt road.rb", 0) == FS_FILE_EXISTS,
        "an upload onto another book's path is the host's question");
  CHECK(List().size() == kTitles + 2, "both uploads listed");
  CHECK(Delete("Night Ferry [].rb"), "delete");
  CHECK(!Exists(ImageBook("internal", "Night Ferry.rb")), "erased on the reader");
  CHECK(Delete("Big Atlas [].rb") && List().size() == kTitles, "and the card's");
}

void FailuresKeepTheLocalFileAndUnplugIsSurvived() {
  const DemoTitle& salt = kDemoTitles[1];
  const std::wstring kept = g_work + L"\\kept.rb";
  WriteAll(kept, "mine");
  g_strike = "fail 1";
  CHECK(Get(salt.entry, kept, FS_COPYFLAGS_OVERWRITE) == FS_FILE_READERROR,
        "a failing exchange midway");
  CHECK(ReadAll(kept) == "mine", "keeps the local file");
  CHECK(Names(g_work, L"~pgr*").empty(), "and leaves no temporary file");
  CHECK(List().size() == kTitles, "the next listing finds the reader again");

  CHECK(wine_host::ControlLine(static_cast<unsigned short>(g_port + 1), "unplug") == "ok",
        "unplug");
  CHECK(List() == std::vector<std::string>{"Pagora Disconnected"}, "an unplugged reader");
  CHECK(Get(salt.entry, kept, FS_COPYFLAGS_OVERWRITE) == FS_FILE_NOTFOUND,
        "lists no titles to download");
  CHECK(ReadAll(kept) == "mine", "and the local file stays");
  CHECK(wine_host::ControlLine(static_cast<unsigned short>(g_port + 1), "replug") == "ok",
        "replug");
  CHECK(List().size() == kTitles, "is found again");
  CHECK(Get(salt.entry, kept, FS_COPYFLAGS_OVERWRITE) == FS_FILE_OK &&
            ReadAll(kept) == ReadAll(ImageBook(salt.storage, salt.file)),
        "and downloads byte for byte");
}

void LocalFoldersInAnyLanguage() {
  g_module.optional().init_w(2, ProgressW, nullptr, nullptr);
  const std::vector<std::u16string> listed = ListW();
  CHECK(std::count(listed.begin(), listed.end(), kCafeListed) == 1, "accented title listed");
  const std::string cafe = ReadAll(ImageBook("internal", "cafe.rb"));
  int n = 0;
  for (const wchar_t* folder : {L"\u041A\u043D\u0438\u0433\u0438", L"\u672C\u68DA"}) {
    const std::wstring dir = g_work + L"\\" + folder;
    MakeFolder(dir);
    std::u16string remote = u"\\" + std::u16string(kCafeListed);
    std::u16string local = U16(dir) + u"\\" + kCafeListed;
    CHECK(g_module.optional().get_file_w(&remote[0], &local[0], 0, nullptr) == FS_FILE_OK,
          "download into a folder named in any language");
    CHECK(ReadAll(W(local)) == cafe, "byte for byte");
    std::u16string upload = u"\\Copy " + std::u16string(1, static_cast<char16_t>(u'1' + n++)) +
                            u" \u00E9.rb";
    CHECK(g_module.optional().put_file_w(&local[0], &upload[0], 0) == FS_FILE_OK,
          "upload from it");
  }
  CHECK(ReadAll(ImageBook("internal", "Copy 1 \xC3\xA9.rb")) == cafe &&
            ReadAll(ImageBook("internal", "Copy 2 \xC3\xA9.rb")) == cafe,
        "the uploads arrive under their names");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: wine_session MODULE PORT IMAGE_DIR WORK_DIR\n");
    return 100;
  }
  g_port = static_cast<unsigned short>(std::atoi(argv[2]));
  g_image = Widen(argv[3]);
  g_work = Widen(argv[4]);
  std::string error;
  if (!g_module.Load(argv[1], &error) ||
      !wine_host::BridgeDriver(g_module.handle(), g_port, &error)) {
    std::printf("FAIL %s: %s\n", argv[1], error.c_str());
    return 100;
  }
  if (!StartWindowWatch()) {
    std::printf("FAIL cannot watch for windows\n");
    return 100;
  }
  g_module.exports().init(1, Progress, nullptr, nullptr);
  ListsAndDownloadsEveryTitle();
  UnsafeNamesStayInTheirFolder();
  UploadsToBothStoragesAndDeletes();
  FailuresKeepTheLocalFileAndUnplugIsSurvived();
  LocalFoldersInAnyLanguage();
  std::printf("%s (%d-bit, code page %u): %s\n", argv[1], static_cast<int>(sizeof(void*) * 8),
              CodePage(), g_failures == 0 ? "all checks passed" : "FAILED");
  return g_failures;
}
