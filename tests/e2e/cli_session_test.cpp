// A user's session: pagora-cli loads the plugin, which reaches the simulator
// over the reader socket. What is checked is what the user sees and what
// lands on either side.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "plugin/fs_api.h"
#include "testing/e2e/reader_fixture.h"
#include "testing/e2e/reader_image.h"

namespace pagora_e2e {
namespace {

using CliSession = ReaderFixture;
using Names = std::vector<std::string>;

constexpr int kExitForResult = 10;  // pagora-cli's status is 10 + the FS_FILE_* code

TEST_F(CliSession, ListsTheDemoReader) {
  const pagora_test::ProcessResult ls = Cli({"ls"});
  ASSERT_EQ(ls.status, 0) << ls.err;
  std::string expected = "Pagora eBook:\n";
  for (const DemoTitle& title : kDemoTitles) {
    std::string size = std::to_string(title.size);
    expected += std::string(12 - size.size(), ' ') + size + "  " + title.entry + "\n";
  }
  EXPECT_EQ(ls.out, expected);
}

TEST_F(CliSession, DownloadsEveryTitleByteForByte) {
  // Sizes of one block, a multiple of blocks and uneven tails, on both storages.
  for (const DemoTitle& title : kDemoTitles) {
    const pagora_test::ProcessResult get = Cli({"get", title.entry});
    ASSERT_EQ(get.status, 0) << title.entry << ": " << get.err;
    const std::string original = ReadFile(BookPath(image_, title.storage, title.file));
    ASSERT_EQ(original.size(), title.size) << title.entry;
    EXPECT_TRUE(ReadFile(Local(title.entry)) == original) << title.entry;
    EXPECT_NE(get.err.find(std::string(title.entry) + ": 100%"), std::string::npos) << get.err;
  }
}

TEST_F(CliSession, UploadArrivesAndIsListed) {
  const std::string book = MakeBook(30000, 'n');
  WriteFile(Local("Night Ferry.rb"), book);
  const pagora_test::ProcessResult put = Cli({"put", "Night Ferry.rb"});
  ASSERT_EQ(put.status, 0) << put.err;
  EXPECT_TRUE(ReadFile(BookPath(image_, "internal", "Night Ferry.rb")) == book);

  const pagora_test::ProcessResult ls = Cli({"ls"});
  // The reader keeps a storage's titles in file name order, and the
  // listing shows them in reverse: the new one stands before "Letters...".
  Names expected = DemoEntries();
  expected.insert(expected.begin() + 3, "Night Ferry [].rb");
  EXPECT_EQ(ListedNames(ls), expected);
  EXPECT_NE(ls.out.find("       30000  Night Ferry [].rb\n"), std::string::npos) << ls.out;

  const pagora_test::ProcessResult get = Cli({"get", "Night Ferry [].rb", "back.rb"});
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_TRUE(ReadFile(Local("back.rb")) == book) << "the round trip keeps every byte";
}

TEST_F(CliSession, NamesBeyondAsciiTravelAsUtf8) {
  // Books copied into the image by hand under UTF-8 names, as a user would;
  // the simulator reads them at its next start and speaks Windows-1252.
  struct Book {
    const char* name;
    char seed;
  } const books[] = {{"Café de Flore [Émile Zola].rb", 'c'},
                     {"„Preis“ – 5 € — ‘Notizen’ [Zoë].rb", 'e'}};
  ASSERT_EQ(simulator_.Stop(), 0);
  for (const Book& book : books) {
    WriteFile(image_ + "/internal/book/" + book.name, MakeBook(6000, book.seed));
  }
  std::string error;
  ASSERT_TRUE(simulator_.Start(READERSIM_PATH, image_, sockets_, root_ + "/control",
                               root_ + "/simulator.log", &error))
      << error;

  const pagora_test::ProcessResult ls = Cli({"ls"});
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_EQ(Cli({"--ansi", "ls"}).out, ls.out) << "the 8-bit exports list the same names";
  for (const Book& book : books) {
    EXPECT_NE(ls.out.find(std::string("        6000  ") + book.name + "\n"), std::string::npos)
        << book.name << "\n" << ls.out;
    const pagora_test::ProcessResult get = Cli({"get", book.name});
    ASSERT_EQ(get.status, 0) << book.name << ": " << get.err;
    EXPECT_TRUE(ReadFile(Local(book.name)) == MakeBook(6000, book.seed)) << book.name;
  }

  const std::string gone = books[0].name;
  ASSERT_EQ(Cli({"rm", gone}).status, 0);
  EXPECT_TRUE(BookPath(image_, "internal", gone).empty());
  const Names after_rm = ListedNames(Cli({"ls"}));
  EXPECT_EQ(std::count(after_rm.begin(), after_rm.end(), gone), 0);
  EXPECT_EQ(std::count(after_rm.begin(), after_rm.end(), books[1].name), 1) << "only that one erased";

  const std::string accented = "Élégie à Noël.rb";
  WriteFile(Local(accented), MakeBook(7000, 'n'));
  const pagora_test::ProcessResult put = Cli({"put", accented});
  ASSERT_EQ(put.status, 0) << put.err;
  EXPECT_TRUE(ReadFile(BookPath(image_, "internal", accented)) == MakeBook(7000, 'n'));
  const Names after_put = ListedNames(Cli({"ls"}));
  EXPECT_EQ(std::count(after_put.begin(), after_put.end(), "Élégie à Noël [].rb"), 1);

  // No Windows-1252 byte for these characters: refused before the reader
  // hears of it.
  const std::map<std::string, std::string> before = ImageFiles(image_);
  WriteFile(Local("東京物語.rb"), MakeBook(3000, 't'));
  EXPECT_EQ(Cli({"put", "東京物語.rb"}).status, kExitForResult + FS_FILE_NOTSUPPORTED);
  EXPECT_TRUE(ImageFiles(image_) == before) << "the reader is untouched";
  EXPECT_EQ(ListedNames(Cli({"ls"})), after_put);
}

TEST_F(CliSession, StorageChoiceAtItsBoundaries) {
  ASSERT_GT(FreeMemory("card"), FreeMemory()) << "the demo's card has more room than its internal memory";
  struct Case {
    const char* label;
    bool from_card;        // size measured from the card's free memory, else internal memory's
    std::int64_t delta;
    const char* storage;   // where the book lands; nullptr: out of space
  };
  // The first upload leaves internal memory as it was, so each case
  // measures the reader as the previous one left it.
  const Case cases[] = {
      {"exactly the free memory", false, 0, "card"},
      {"one byte less than the free memory", false, -1, "internal"},
      {"exactly the card's free memory", true, 0, nullptr},
      {"bigger than the card's free memory", true, 1, nullptr},
  };
  int number = 0;
  for (const Case& c : cases) {
    const std::uint64_t free = FreeMemory();
    const std::uint64_t card_free = FreeMemory("card");
    const std::uint64_t size = (c.from_card ? card_free : free) + c.delta;
    const std::string name = "Boundary " + std::to_string(++number) + ".rb";
    WriteFile(Local(name), MakeBook(size, static_cast<char>(number)));
    const pagora_test::ProcessResult put = Cli({"put", name});
    const std::string internal = BookPath(image_, "internal", name);
    const std::string on_card = BookPath(image_, "card", name);
    if (c.storage != nullptr) {
      EXPECT_EQ(put.status, 0) << c.label << ": " << put.err;
      EXPECT_EQ(!internal.empty(), std::string(c.storage) == "internal") << c.label;
      EXPECT_EQ(!on_card.empty(), std::string(c.storage) == "card") << c.label;
      EXPECT_EQ(ReadFile(internal.empty() ? on_card : internal).size(), size) << c.label;
    } else {
      EXPECT_EQ(put.status, kExitForResult + FS_FILE_WRITEERROR) << c.label;
      EXPECT_TRUE(internal.empty() && on_card.empty()) << c.label << ": nothing uploaded";
      const std::string message = "Error!: Insufficiently memory!\nPagora memory free: " +
                                  std::to_string(free) + "\nSmartMedia free: " +
                                  std::to_string(card_free);
      EXPECT_NE(put.err.find(message), std::string::npos) << c.label << ": " << put.err;
    }
  }
}

TEST_F(CliSession, EqualTitlesEachReachTheirOwnBook) {
  // Three books under one title text, two of them by the same author: the
  // listing gives each a name of its own, and each name moves its own bytes.
  // The first of equal titles in the reader's reply (which keeps file name
  // order) shows the plain name.
  struct Book {
    const char* file;     // uploaded under this name, which gives title and author
    const char* listed;   // the name the listing shows
    char seed;
  } books[] = {{"Poems [Ann].rb", "Poems [Ann] (2).rb", 'a'},
               {"Poems [ Ann].rb", "Poems [Ann].rb", 'b'},
               {"Poems [Bo].rb", "Poems [Bo].rb", 'c'}};
  for (const Book& book : books) {
    WriteFile(Local(book.file), MakeBook(3000, book.seed));
    ASSERT_EQ(Cli({"put", book.file}).status, 0) << book.file;
  }
  Names listed = ListedNames(Cli({"ls"}));
  for (const Book& book : books) {
    EXPECT_EQ(std::count(listed.begin(), listed.end(), book.listed), 1) << book.listed;
    const std::string copy = std::string("copy-") + book.seed + ".rb";
    ASSERT_EQ(Cli({"get", book.listed, copy}).status, 0) << book.listed;
    EXPECT_TRUE(ReadFile(Local(copy)) == MakeBook(3000, book.seed)) << book.listed;
  }
  EXPECT_EQ(Cli({"rm", "Poems [someone].rb"}).status, 1) << "an ambiguous name finds nothing";
  ASSERT_EQ(Cli({"rm", "Poems [Ann] (2).rb"}).status, 0);
  ASSERT_EQ(Cli({"rm", "Poems [Bo].rb"}).status, 0);
  EXPECT_TRUE(BookPath(image_, "internal", "Poems [Ann].rb").empty());
  EXPECT_TRUE(BookPath(image_, "internal", "Poems [Bo].rb").empty());
  EXPECT_FALSE(BookPath(image_, "internal", "Poems [ Ann].rb").empty()) << "only those two erased";
  Names expected = DemoEntries();
  expected.insert(expected.begin() + 3, "Poems [Ann].rb");
  EXPECT_EQ(ListedNames(Cli({"ls"})), expected);
}

// Names the folder lists, in the working directory beside the user's files.
Names LocalNames(const std::string& folder) {
  Names names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CliSession, NothingIsReplacedWithoutTheUsersYes) {
  // A download onto an existing file: refused, the file untouched, nothing
  // left beside it; --overwrite replaces it.
  const DemoTitle& title = kDemoTitles[3];
  WriteFile(Local("mine.rb"), "the user's own");
  pagora_test::ProcessResult run = Cli({"get", title.entry, "mine.rb"});
  EXPECT_EQ(run.status, kExitForResult + FS_FILE_EXISTS) << run.err;
  EXPECT_NE(run.err.find("--overwrite"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(Local("mine.rb")), "the user's own");
  EXPECT_EQ(LocalNames(work_), Names{"mine.rb"});
  ASSERT_EQ(Cli({"get", "--overwrite", title.entry, "mine.rb"}).status, 0);
  EXPECT_TRUE(ReadFile(Local("mine.rb")) == ReadFile(BookPath(image_, title.storage, title.file)));

  // An upload to another book's path on the reader, letter case aside.
  const std::string salt = ReadFile(BookPath(image_, "internal", "The Salt Road.rb"));
  WriteFile(Local("the salt road.rb"), MakeBook(2000, 's'));
  run = Cli({"put", "the salt road.rb"});
  EXPECT_EQ(run.status, kExitForResult + FS_FILE_EXISTS) << run.err;
  EXPECT_TRUE(ReadFile(BookPath(image_, "internal", "The Salt Road.rb")) == salt);
  EXPECT_EQ(ListedNames(Cli({"ls"})), DemoEntries()) << "nothing was uploaded";
  EXPECT_EQ(Cli({"put", "--overwrite", "the salt road.rb"}).status, 0);

  // A title and author holding characters no file name may hold (a path
  // out of the target folder, a drive, wildcards) are listed with
  // '_' in their place, and that name downloads into the folder the user
  // chose and deletes the title.
  ASSERT_EQ(simulator_.Stop(), 0);
  WriteFile(image_ + "/internal/book/dune.rb", MakeBook(3000, 'd'));
  std::string ini = ReadFile(image_ + "/reader.ini");
  ini += "\n[title book\\dune.rb]\ntitle = ..\\..\\Dune: Messiah *?\nauthor = C:x/<y>|\n";
  WriteFile(image_ + "/reader.ini", ini);
  std::string error;
  ASSERT_TRUE(simulator_.Start(READERSIM_PATH, image_, sockets_, root_ + "/control",
                               root_ + "/simulator.log", &error))
      << error;
  const std::string listed_name = ".._.._Dune_ Messiah __ [C_x__y__].rb";
  const pagora_test::ProcessResult ls = Cli({"ls"});
  EXPECT_NE(ls.out.find("        3000  " + listed_name + "\n"), std::string::npos) << ls.out;
  std::filesystem::create_directory(Local("shelf"));
  ASSERT_EQ(Cli({"get", listed_name, "shelf"}).status, 0);
  EXPECT_EQ(LocalNames(Local("shelf")), Names{listed_name});
  EXPECT_TRUE(ReadFile(Local("shelf/" + listed_name)) == MakeBook(3000, 'd'));
  ASSERT_EQ(Cli({"rm", listed_name}).status, 0);
  EXPECT_TRUE(BookPath(image_, "internal", "dune.rb").empty());
}

TEST_F(CliSession, DeletesATitle) {
  const std::string gone = kDemoTitles[3].entry;
  const pagora_test::ProcessResult rm = Cli({"rm", gone});
  ASSERT_EQ(rm.status, 0) << rm.err;
  EXPECT_TRUE(BookPath(image_, kDemoTitles[3].storage, kDemoTitles[3].file).empty());
  Names expected = DemoEntries();
  expected.erase(expected.begin() + 3);
  EXPECT_EQ(ListedNames(Cli({"ls"})), expected);
  EXPECT_EQ(Cli({"rm", gone}).status, 1) << "a second deletion finds nothing";
}

TEST_F(CliSession, MovesCompleteOnlyAfterSuccess) {
  const DemoTitle& title = kDemoTitles[0];
  pagora_test::ProcessResult get = Cli({"get", "--move", title.entry, "moved.rb"});
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(ReadFile(Local("moved.rb")).size(), title.size);
  EXPECT_TRUE(BookPath(image_, title.storage, title.file).empty()) << "the host deleted it";

  WriteFile(Local("Tide Tables.rb"), MakeBook(5000, 't'));
  const pagora_test::ProcessResult put = Cli({"put", "--move", "Tide Tables.rb"});
  ASSERT_EQ(put.status, 0) << put.err;
  EXPECT_FALSE(BookPath(image_, "internal", "Tide Tables.rb").empty());
  EXPECT_FALSE(std::filesystem::exists(Local("Tide Tables.rb"))) << "the moved source is gone";

  // An upload refused for want of room keeps its source.
  WriteFile(Local("Huge.rb"), MakeBook(CapacityBytes(image_, "card") + 1, 'h'));
  EXPECT_EQ(Cli({"put", "--move", "Huge.rb"}).status, kExitForResult + FS_FILE_WRITEERROR);
  EXPECT_TRUE(std::filesystem::exists(Local("Huge.rb")));
}

TEST_F(CliSession, UnpluggedReaderIsReportedAndFoundAgain) {
  WriteFile(Local("Late.rb"), MakeBook(2000, 'l'));
  Control("unplug");
  struct Case {
    const char* label;
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {"listing", {"ls"}, 0},
      {"download", {"get", kDemoTitles[1].entry}, kExitForResult + FS_FILE_NOTFOUND},
      {"upload", {"put", "Late.rb"}, kExitForResult + FS_FILE_READERROR},
      {"deletion", {"rm", kDemoTitles[1].entry}, 1},
  };
  for (const Case& c : cases) {
    const pagora_test::ProcessResult run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.label << ": " << run.err;
    EXPECT_EQ(ListedNames(run), c.args[0] == "ls" ? Names{"Pagora Disconnected"} : Names{})
        << c.label;
  }
  EXPECT_TRUE(BookPath(image_, "internal", "Late.rb").empty());
  Control("replug");
  EXPECT_EQ(ListedNames(Cli({"ls"})), DemoEntries());
}

TEST_F(CliSession, ListingAfterFailuresAtEachStep) {
  // A listing makes four exchanges: the internal memory's tree, the card's
  // tree, the title list, the connection test. "fail N" fails the next N
  // control calls; every failed call resets the plugin, whose next
  // exchange opens the reader anew.
  struct Case {
    std::uint32_t failing;
    Names listed;
  };
  const Case cases[] = {
      {1, DemoEntries()},              // a lost tree: titles still listed
      {2, DemoEntries()},              // both trees lost
      {3, {}},                         // no title list, reader present: empty folder
      {4, {"Pagora Disconnected"}},    // the connection test fails too
      {9, {"Pagora Disconnected"}},
  };
  for (const Case& c : cases) {
    Control("fail " + std::to_string(c.failing));
    const pagora_test::ProcessResult ls = Cli({"ls"});
    EXPECT_EQ(ls.status, 0) << c.failing;
    EXPECT_EQ(ListedNames(ls), c.listed) << "fail " << c.failing;
    if (c.listed.empty()) {
      EXPECT_NE(ls.out.find("(empty folder)"), std::string::npos);
    }
    Control("fail 0");
    EXPECT_EQ(ListedNames(Cli({"ls"})), DemoEntries()) << "recovered after fail " << c.failing;
  }
}

TEST_F(CliSession, DetailColumnsOfEveryTitle) {
  const pagora_test::ProcessResult ls = Cli({"ls", "-l"});
  ASSERT_EQ(ls.status, 0) << ls.err;
  // Each title's line holds its details in the column order.
  struct Case {
    const char* entry;
    std::vector<std::string> details;
  } cases[] = {
      {"The Salt Road [Amos Kettleby].rb",
       {"The Salt Road", "Amos Kettleby", "Greyhaven Press", "0-900000-01-7", "no",
        "internal memory", "book\\The Salt Road.rb"}},
      {"Letters from the Fen [Josiah Brandwell].rb",
       {"Letters from the Fen", "Josiah Brandwell", "-", "-", "-", "no", "internal memory"}},
      {"Voyage of the Marigold [Silas Penhallow].rb",
       {"Voyage of the Marigold", "Silas Penhallow", "Marrow & Finch", "0-900000-05-X", "no",
        "card", "SM\\book\\Voyage of the Marigold.rb"}},
  };
  for (const Case& c : cases) {
    const std::size_t start = ls.out.find(std::string("  ") + c.entry + "  ");
    ASSERT_NE(start, std::string::npos) << c.entry << ":\n" << ls.out;
    const std::string line = ls.out.substr(start, ls.out.find('\n', start) - start);
    std::size_t at = std::string(c.entry).size() + 2;
    for (const std::string& detail : c.details) {
      at = line.find("  " + detail, at);
      ASSERT_NE(at, std::string::npos) << detail << " in: " << line;
      at += 2 + detail.size();
    }
  }
}

TEST_F(CliSession, PropertiesAndOpeningATitle) {
  const pagora_test::ProcessResult info = Cli({"info", "The Salt Road [Amos Kettleby].rb"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.err.find("Title: The Salt Road\nAuthor: Amos Kettleby\n"
                          "Publisher: Greyhaven Press\nISBN: 0-900000-01-7\nAnnotated: no\n"
                          "Size: 97213 bytes\nStorage: internal memory\n"
                          "Reader path: book\\The Salt Road.rb\n"),
            std::string::npos)
      << info.err;

  const DemoTitle& title = kDemoTitles[0];
  const pagora_test::ProcessResult open = Cli({"open", title.entry});
  ASSERT_EQ(open.status, 0) << open.err;
  // The copy's path is the last line of the output.
  const std::size_t last = open.out.rfind('\n', open.out.size() - 2) + 1;
  const std::filesystem::path copy = open.out.substr(last, open.out.size() - 1 - last);
  EXPECT_EQ(copy.filename(), title.entry);
  EXPECT_TRUE(ReadFile(copy.string()) == ReadFile(BookPath(image_, title.storage, title.file)));
  std::filesystem::remove_all(copy.parent_path());

  EXPECT_EQ(Cli({"open", "Pagora Disconnected"}).status, kExitForResult + FS_FILE_NOTFOUND);
}

}  // namespace
}  // namespace pagora_e2e
