#include "image_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "demo_image.h"
#include "device.h"
#include "names.h"
#include "protocol.h"
#include "test_support.h"

namespace readersim {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadListing;
using testing_support::ReadStatusLines;
using testing_support::ReadTitleAttributes;
using testing_support::ScratchFolder;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// Every file, with its data and title, as "reader path" -> description.
std::map<std::string, std::string> Contents(const Reader& reader) {
  std::map<std::string, std::string> contents;
  for (bool card : {false, true}) {
    const Storage& storage = reader.StorageOf(card);
    auto add = [&](const std::string& folder, const FileEntry& file) {
      const TitleInfo& i = file.info;
      contents[ReaderPath({card, folder, file.name})] =
          file.data + "|" + i.title + "|" + i.author + "|" + i.publisher + "|" + i.isbn + "|" +
          i.url + "|" + i.username + "|" + i.anno;
    };
    for (const FileEntry& file : storage.files) add("", file);
    for (const Folder& folder : storage.folders) {
      contents[ReaderPath({card, "", folder.name}) + "\\"] = "folder";
      for (const FileEntry& file : folder.files) add(folder.name, file);
    }
  }
  return contents;
}

// A reply that fits one block, as the plugin reads it.
std::string Reply(Device& device, const std::string& name) {
  return device.Call(kCodeQueryStart, name + '\0', kBlockSize).out;
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// A text past ASCII as an image holds it on disk (UTF-8) and as the reader
// sends it (Windows-1252).
struct ReaderText {
  const char* label;
  std::string disk;
  std::string wire;
};

const ReaderText kTexts[] = {
    {"accented letters", "Café Noël à Zürich ÿ", "Caf\xe9 No\xebl \xe0 Z\xfcrich \xff"},
    {"euro sign and the other signs of 0x80 to 0x9F", "Prix 5 € • 3 ‰ ™ Šž Ÿ",
     "Prix 5 \x80 \x95 3 \x89 \x99 \x8a\x9e \x9f"},
    {"typographic quotes", "“Le Mot” ‘juste’ „so“ ‹x›",
     "\x93Le Mot\x94 \x91juste\x92 \x84so\x93 \x8bx\x9b"},
    {"dashes", "Pages 1–9 — Notes", "Pages 1\x96" "9 \x97 Notes"},
    // "\book\<name>.rb" is 127 characters as the reader counts them, 241 bytes on disk.
    {"a path of 127 characters", Repeated("é", 118), std::string(118, '\xe9')},
    // U+0081, U+008D, U+008F, U+0090, U+009D: each byte comes back as it was.
    {"the bytes Windows-1252 leaves undefined", "x\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d",
     "x\x81\x8d\x8f\x90\x9d"},
};

// An image whose one book, user id, title and author are `text`.
void WriteTextImage(const std::string& dir, const ReaderText& text) {
  WriteText(dir + "/reader.ini", "[reader]\nuserid = " + text.disk + "\n\n[title book\\" +
                                     text.disk + ".rb]\ntitle = " + text.disk +
                                     "\nauthor = " + text.disk + "\n");
  WriteText(dir + "/internal/book/" + text.disk + ".rb", std::string("book: ") + text.label);
}

std::vector<std::string> HiddenFiles(const std::string& dir) {
  std::vector<std::string> hidden;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.path().filename().string()[0] == '.') hidden.push_back(entry.path().string());
  return hidden;
}

TEST(ImageFolder, DemoImageRoundTrips) {
  ScratchFolder scratch;
  std::string dir = scratch.path() + "/demo";
  Reader demo = DemoReader();
  demo.card_present = false;  // kept in reader.ini even though nothing shows it
  demo.Put({true, "book", "Edited.rb"}, "x", TitleInfo{"T", "A", "P", "I", "u?a=b", "U", "yes"});
  demo.MakeFolder(false, "empty");
  demo.MakeFolder(false, "\xc9t\xe9");
  std::string error;
  ASSERT_TRUE(SaveNewImage(dir, demo, &error)) << error;
  EXPECT_TRUE(fs::is_directory(dir + "/internal/Été")) << "Windows-1252 names are UTF-8 on disk";

  Reader loaded;
  ASSERT_TRUE(LoadReaderImage(dir, &loaded, &error)) << error;
  EXPECT_EQ(Contents(loaded), Contents(demo));
  EXPECT_EQ(loaded.card_present, false);
  EXPECT_EQ(loaded.internal.size_mib, demo.internal.size_mib);
  EXPECT_EQ(loaded.card.id, demo.card.id);
  EXPECT_EQ(loaded.settings.user_id, demo.settings.user_id);
  EXPECT_EQ(loaded.settings.time, demo.settings.time);

  EXPECT_FALSE(SaveNewImage(dir, demo, &error)) << "overwrote an existing image";
  EXPECT_NE(error.find("not empty"), std::string::npos) << error;
}

TEST(ImageFolder, UploadsAndDeletionsSurviveARestart) {
  ScratchFolder scratch;
  std::string dir = scratch.path() + "/image";
  std::string error;
  ASSERT_TRUE(SaveNewImage(dir, DemoReader(), &error)) << error;
  std::string book(9000, 'b');
  {
    Reader reader;
    ASSERT_TRUE(LoadReaderImage(dir, &reader, &error)) << error;
    ImageFolder image(dir);
    Device device(reader, &image);
    std::string target = "\\SM\\book\\New One [Some Body].rb";
    ASSERT_TRUE(device.Call(kCodeUploadStart, target + '\0' + book, 0).ok);
    ASSERT_TRUE(device.Call(kCodeUploadNext, book.substr(4096, 4096), 0).ok);
    ASSERT_TRUE(device.Call(kCodeUploadNext, book.substr(8192), 0).ok);
    std::string script = "CMD!\nDELTITLE book\\The Salt Road.rb\n#/* Erase title */\n";
    ASSERT_TRUE(device.Call(kCodeUploadStart, std::string("__WHATYOUWANT") + '\0' + script, 0).ok);
  }
  Reader reloaded;
  ASSERT_TRUE(LoadReaderImage(dir, &reloaded, &error)) << error;
  const FileEntry* added = reloaded.Find({true, "book", "New One [Some Body].rb"});
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->data, book);
  EXPECT_EQ(added->info.title, "New One");
  EXPECT_EQ(added->info.author, "Some Body");
  EXPECT_EQ(reloaded.Find({false, "book", "The Salt Road.rb"}), nullptr);
  EXPECT_FALSE(fs::exists(dir + "/internal/book/The Salt Road.rb"));
  // Untouched titles keep their edited attributes.
  EXPECT_EQ(reloaded.Find({false, "book", "A Winter in Vellmark.rb"})->info.publisher, "Greyhaven Press");
  EXPECT_TRUE(HiddenFiles(dir).empty());
}

TEST(ImageFolder, TextsAreUtf8OnDiskAndWindows1252OnTheWire) {
  for (const ReaderText& text : kTexts) {
    SCOPED_TRACE(text.label);
    ScratchFolder scratch;
    const std::string dir = scratch.path();
    WriteTextImage(dir, text);
    Reader reader;
    std::string error;
    ASSERT_TRUE(LoadReaderImage(dir, &reader, &error)) << error;
    ImageFolder image(dir);
    Device device(reader, &image);

    // What goes out is Windows-1252, and the name that went out finds the file.
    const std::string path = "\\book\\" + text.wire + ".rb";
    std::vector<std::string> lines = testing_support::Lines(Reply(device, "__TITLES"));
    ASSERT_EQ(lines.size(), 2u);
    std::map<std::string, std::string> title = ReadTitleAttributes(lines[1]);
    EXPECT_EQ(title["title"], text.wire);
    EXPECT_EQ(title["author"], text.wire);
    EXPECT_EQ(title["filename"], path);
    EXPECT_EQ(ReadStatusLines(Reply(device, "__STATUS"))["USERID"], std::vector<std::string>{text.wire});
    std::vector<std::string> long_names;
    for (const auto& entry : ReadListing(Reply(device, "__DIR"))) long_names.push_back(entry.long_name);
    EXPECT_EQ(long_names, (std::vector<std::string>{"book", text.wire + ".rb"}));
    EXPECT_EQ(Reply(device, path), std::string("book: ") + text.label);

    // What comes in names the files under their UTF-8 names.
    const std::string data(5000, 'u');
    ASSERT_TRUE(device.Call(kCodeUploadStart, "\\" + text.wire + ".txt" + '\0' + data, 0).ok);
    ASSERT_TRUE(device.Call(kCodeUploadNext, data.substr(kBlockSize), 0).ok);
    const std::string script = "CMD!\nDELTITLE book\\" + text.wire + ".rb\n";
    ASSERT_TRUE(device.Call(kCodeUploadStart, std::string("__WHATYOUWANT") + '\0' + script, 0).ok);
    std::ifstream uploaded(dir + "/internal/" + text.disk + ".txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(uploaded), {}), data);
    EXPECT_FALSE(fs::exists(dir + "/internal/book/" + text.disk + ".rb")) << "deleted by its reader path";
    std::ifstream ini(dir + "/reader.ini", std::ios::binary);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(ini), {}).find("userid = " + text.disk + "\n"),
              std::string::npos);

    Reader reloaded;
    ASSERT_TRUE(LoadReaderImage(dir, &reloaded, &error)) << error;
    EXPECT_EQ(Contents(reloaded), Contents(device.reader()));
  }
}

TEST(ImageFolder, BookFilesWithoutASectionBecomeTitlesNamedAfterThem) {
  ScratchFolder scratch;
  WriteText(scratch.path() + "/reader.ini", "[internal]\nsize_mib = 2\n");
  WriteText(scratch.path() + "/internal/book/Dropped In [Some One].rb", "text");
  WriteText(scratch.path() + "/internal/book/.hidden", "not the reader's");
  WriteText(scratch.path() + "/internal/.readersim.tmp", "left from a crash");
  Reader reader;
  std::string error;
  ASSERT_TRUE(LoadReaderImage(scratch.path(), &reader, &error)) << error;
  std::vector<TitleRef> titles = ListTitles(reader);
  ASSERT_EQ(titles.size(), 1u);
  EXPECT_EQ(titles[0].file->info.title, "Dropped In");
  EXPECT_EQ(titles[0].file->info.author, "Some One");
  EXPECT_EQ(reader.internal.Used(), 4u);
}

TEST(ImageFolder, WritesNeverGoThroughALinkAndTheIniMayStartWithAMark) {
  ScratchFolder scratch;
  const std::string dir = scratch.path() + "/image";
  const std::string outside = scratch.path() + "/outside.txt";
  WriteText(outside, "not the simulator's");
  std::string error;
  ASSERT_TRUE(SaveNewImage(dir, DemoReader(), &error)) << error;
  // Links planted where temporary files could go, under every name tried.
  for (const std::string& folder : {dir, dir + "/card/book"}) {
    fs::create_symlink(outside, folder + "/.readersim.tmp");
    for (int n = 1; n <= 50; ++n) {
      fs::create_symlink(outside, folder + "/.readersim-" + std::to_string(::getpid()) + "-" +
                                      std::to_string(n) + ".tmp");
    }
  }
  // A byte-order mark before the first line is no text.
  WriteText(dir + "/reader.ini", "\xEF\xBB\xBF" + ReadText(dir + "/reader.ini"));
  Reader reader;
  ASSERT_TRUE(LoadReaderImage(dir, &reader, &error)) << error;
  ImageFolder image(dir);
  Device device(reader, &image);
  const std::string book(5000, 'b');
  ASSERT_TRUE(device.Call(kCodeUploadStart, std::string("\\SM\\book\\Linked.rb") + '\0' + book, 0).ok);
  ASSERT_TRUE(device.Call(kCodeUploadNext, book.substr(4096), 0).ok);
  const std::string script = "CMD!\nDELTITLE book\\The Salt Road.rb\n";
  ASSERT_TRUE(device.Call(kCodeUploadStart, std::string("__WHATYOUWANT") + '\0' + script, 0).ok);
  EXPECT_EQ(ReadText(outside), "not the simulator's");
  EXPECT_EQ(ReadText(dir + "/card/book/Linked.rb"), book);
  EXPECT_FALSE(fs::exists(dir + "/internal/book/The Salt Road.rb"));

  // reader.ini must be a file: a FIFO would block the start for ever.
  ScratchFolder fifo;
  ASSERT_EQ(::mkfifo((fifo.path() + "/reader.ini").c_str(), 0600), 0);
  EXPECT_FALSE(LoadReaderImage(fifo.path(), &reader, &error));
  EXPECT_EQ(error, fifo.path() + "/reader.ini: not a regular file");
}

TEST(ImageFolder, RefusesAFaultyImageNamingFileAndLine) {
  struct Case {
    const char* label;
    std::string ini;
    std::vector<std::pair<std::string, std::string>> files;
    std::string expected;  // part of the message, after the image folder's path
  };
  const std::string ok_book = "internal/book/a.rb";
  // "\book\<name>.rb" of 128 characters as the reader counts them.
  const std::string long_accented = Repeated("é", 119);
  const Case cases[] = {
      {"line without '='", "[reader]\nversion = 1\nbattery\n", {}, "/reader.ini:3: expected 'key = value'"},
      {"unknown section", "\n[readr]\n", {}, "/reader.ini:2: unknown section [readr]"},
      {"unknown key", "[reader]\nbatery = 5\n", {}, "/reader.ini:2: unknown key 'batery'"},
      {"key before any section", "version = 1\n", {}, "/reader.ini:1: key 'version' before any [section]"},
      {"key twice", "[card]\nid = 1\nid = 2\n", {}, "/reader.ini:3: key 'id' given twice"},
      {"section twice", "[card]\n[internal]\n[card]\n", {}, "/reader.ini:3: section [card] given twice"},
      {"unclosed header", "[card\n", {}, "/reader.ini:1: section header without a closing ']'"},
      {"size not a number", "[internal]\nsize_mib = 8M\n", {}, "/reader.ini:2: size_mib must be"},
      {"size zero", "[card]\nsize_mib = 0\n", {}, "/reader.ini:2: size_mib must be"},
      {"size too large", "[card]\nsize_mib = 4096\n", {}, "/reader.ini:2: size_mib must be"},
      {"present not yes/no", "[card]\npresent = Yes\n", {}, "/reader.ini:2: present must be yes or no"},
      {"quote in a status value", "[reader]\nversion = 1\"2\n", {}, "/reader.ini:2: value of 'version'"},
      {"'=\"' in a title value", "[title book\\a.rb]\ntitle = x=\"y\n", {{ok_book, "a"}},
       "/reader.ini:2: value of 'title'"},
      {"title section for a missing file", "[reader]\n\n[title book\\gone.rb]\n", {},
       "/reader.ini:3: the title's file"},
      {"title section for no title path", "[title system\\config.ini]\n", {},
       "/reader.ini:1: 'system\\config.ini' is no title path"},
      {"NUL byte", std::string("[reader]\nversion = 1\0\n", 22), {}, "/reader.ini:2: NUL byte"},
      {"files over capacity", "[internal]\nsize_mib = 1\n", {{ok_book, std::string((1u << 20) + 1, 'x')}},
       "/internal: the files take 1048577 bytes, more than size_mib = 1 allows"},
      {"folder inside a folder", "", {{"internal/book/deeper/x.rb", "x"}},
       "/internal/book/deeper: only files may be in a folder"},
      {"name the reader cannot take", "", {{"card/book/ends in dot.", "x"}}, "/card/book/ends in dot.: "},
      {"name outside Windows-1252", "", {{"internal/book/東京物語.rb", "x"}},
       "/internal/book/東京物語.rb: the reader cannot take this name"},
      {"folder name outside Windows-1252", "", {{"card/本/x.rb", "x"}},
       "/card/本: the reader cannot take this name"},
      {"name that is no UTF-8", "", {{"internal/Caf\xe9.txt", "x"}},
       "/internal/Caf\xe9.txt: the reader cannot take this name"},
      {"path over 127 characters as the reader counts them", "",
       {{"internal/book/" + long_accented + ".rb", "x"}}, ".rb: the reader cannot take this name (at most 127"},
      {"message quoting a key past ASCII", "[reader]\nbätery = 5\n", {},
       "/reader.ini:2: unknown key 'bätery' in [reader]"},
      {"reader.ini line outside Windows-1252", "[title book\\a.rb]\ntitle = 東京\n", {{ok_book, "a"}},
       "/reader.ini:2: the line must be UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchFolder scratch;
    WriteText(scratch.path() + "/reader.ini", c.ini);
    for (const auto& [path, data] : c.files) WriteText(scratch.path() + "/" + path, data);
    Reader reader;
    reader.settings.version = "untouched";
    std::string error;
    EXPECT_FALSE(LoadReaderImage(scratch.path(), &reader, &error));
    EXPECT_EQ(error.rfind(scratch.path(), 0), 0u) << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_EQ(reader.settings.version, "untouched");
  }

  ScratchFolder empty;
  std::string error;
  Reader reader;
  EXPECT_FALSE(LoadReaderImage(empty.path(), &reader, &error));
  EXPECT_EQ(error, empty.path() + "/reader.ini: not found (every image has one; --write-demo DIR "
                                  "writes a complete image)");
  EXPECT_FALSE(LoadReaderImage(empty.path() + "/nowhere", &reader, &error));
  EXPECT_EQ(error, empty.path() + "/nowhere: no such image folder");
}

}  // namespace
}  // namespace readersim
