#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "plugin/content_fields.h"
#include "devlink/exchange.h"
#include "plugin/host_text.h"
#include "plugin/listing.h"
#include "plugin/reader_text.h"
#include "testing/plugin_fixture.h"

namespace pagora {
namespace {

using ExportsTest = PluginTest;

TEST_F(ExportsTest, RootNameFitsAnyBuffer) {
  struct Case {
    int maxlen;
    const char* written;  // nullptr: untouched
  } cases[] = {{260, "Pagora eBook"}, {13, "Pagora eBook"}, {12, "Pagora eBoo"},
               {5, "Pago"},           {1, ""},             {0, nullptr},
               {-1, nullptr}};
  for (const Case& c : cases) {
    char buffer[300];
    std::memset(buffer, '#', sizeof buffer);
    FsGetDefRootName(buffer, c.maxlen);
    if (c.written == nullptr) {
      EXPECT_EQ(buffer[0], '#') << c.maxlen;
      continue;
    }
    EXPECT_STREQ(buffer, c.written) << c.maxlen;
    EXPECT_EQ(buffer[std::strlen(c.written) + 1], '#') << c.maxlen << ": nothing past the NUL";
  }
}

TEST_F(ExportsTest, TrivialExportsChangeNothing) {
  LoadExampleReader(fake);
  ASSERT_EQ(List().size(), 3u);
  const auto calls = fake.calls().size();
  const ListingCursor before = Cursor();
  for (std::intptr_t h : {std::intptr_t{1}, std::intptr_t{-1}, std::intptr_t{12345}}) {
    EXPECT_EQ(FsFindClose(reinterpret_cast<HANDLE>(h)), 0);
  }
  EXPECT_EQ(Cursor().node, before.node);
  EXPECT_EQ(Cursor().title, before.title);
  EXPECT_EQ(fake.calls().size(), calls) << "the reader is not touched";
}

TEST_F(ExportsTest, SecondInitReplacesTheHostValues) {
  LoadExampleReader(fake);
  List();
  FsInit(42, OnProgress, nullptr, nullptr);
  EXPECT_EQ(Host().plugin_nr, 42);
  std::string remote = Remote("Atlas [].rb");
  std::string local = dir.File("atlas.rb");
  fake.SetReply("\\book\\Atlas.rb", "atlas");
  ASSERT_EQ(FsGetFile(&remote[0], &local[0], 0, nullptr), FS_FILE_OK);
  ASSERT_FALSE(Reports().empty());
  for (const ProgressReport& r : Reports()) EXPECT_EQ(r.plugin_nr, 42);
}

TEST_F(ExportsTest, NoProgressCallbackIsNeverCalled) {
  FsInit(1, nullptr, nullptr, nullptr);
  LoadExampleReader(fake);
  List();
  std::string remote = Remote("Atlas [].rb");
  std::string local = dir.File("atlas.rb");
  fake.SetReply("\\book\\Atlas.rb", "atlas");
  EXPECT_EQ(FsGetFile(&remote[0], &local[0], 0, nullptr), FS_FILE_OK);
  std::string book = dir.File("up.rb");
  WriteFile(book, "book");
  fake.SetReply("__STATUS", "FLASHFREE=\"1000\"\n");
  std::string target = Remote("up.rb");
  EXPECT_EQ(FsPutFile(&book[0], &target[0], 0), FS_FILE_OK);
}

// The example reader with every detail given for Tide Tables, listed.
class DetailsTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    LoadExampleReader(fake);
    fake.SetReply("__TITLES",
                  "TITLECOUNT=\"3\"\n"
                  "T1=title=\"A Sea Road\" author=\"Ann Wren\" filename=\"\\book\\The Sea Road.rb\" "
                  "size=\"412345\" ANNO=\"no\"\n"
                  "T2=title=\"Atlas\" author=\"\" filename=\"\\book\\Atlas.rb\" size=\"300\"\n"
                  "T3=title=\"Tide Tables\" author=\"Bo Lind\" publisher=\"Harbour Press\" "
                  "isbn=\"978-0-00-000000-2\" url=\"http://tides.example/\" "
                  "filename=\"\\SM\\book\\tides.rb\" size=\"20480\" ANNO=\"yes\"\n");
    ASSERT_EQ(List().size(), 3u);
    fake.ClearCalls();
    before_ = Cursor();
  }
  // Nothing but message boxes reached the platform, and the listing's
  // position stayed where it was.
  void ExpectUntouched(const std::string& label) {
    for (const FakeCall& call : fake.calls()) {
      EXPECT_EQ(call.op, "message_box") << label;
    }
    EXPECT_EQ(Cursor().node, before_.node) << label;
    EXPECT_EQ(Cursor().title, before_.title) << label;
  }
  ListingCursor before_{};
};

constexpr const char* kTides = "Tide Tables [Bo Lind].rb";
constexpr const char* kSeaRoad = "A Sea Road [Ann Wren].rb";
constexpr const char* kAtlas = "Atlas [].rb";

TEST_F(DetailsTest, ExecuteOpensListedTitlesOnly) {
  struct Case {
    const char* label;
    const char* name;  // nullptr: no name
    const char* verb;  // nullptr: no verb
    int result;
    std::size_t messages;
  } cases[] = {
      {"open a listed title", kSeaRoad, "open", FS_EXEC_YOURSELF, 0},
      {"open a title on the card", kTides, "open", FS_EXEC_YOURSELF, 0},
      {"open by the title text", "Atlas [typed by hand", "open", FS_EXEC_YOURSELF, 0},
      {"open the disconnected entry", "Pagora Disconnected", "open", FS_EXEC_OK, 0},
      {"open a name finding no title", "Nothing [Nobody].rb", "open", FS_EXEC_OK, 0},
      {"open without a name", nullptr, "open", FS_EXEC_OK, 0},
      {"verb in capitals", kSeaRoad, "Open", FS_EXEC_OK, 0},
      {"mode change", kSeaRoad, "chmod 644", FS_EXEC_OK, 0},
      {"command", kSeaRoad, "quote DELTITLE", FS_EXEC_OK, 0},
      {"empty verb", kSeaRoad, "", FS_EXEC_OK, 0},
      {"no verb", kSeaRoad, nullptr, FS_EXEC_OK, 0},
      {"properties of a listed title", kSeaRoad, "properties", FS_EXEC_OK, 1},
      {"properties of no title", "Nothing [Nobody].rb", "properties", FS_EXEC_OK, 0},
      {"properties of the disconnected entry", "Pagora Disconnected", "properties", FS_EXEC_OK, 0},
  };
  for (const Case& c : cases) {
    fake.messages.clear();
    std::string name = c.name != nullptr ? Remote(c.name) : "";
    std::string verb = c.verb != nullptr ? c.verb : "";
    EXPECT_EQ(FsExecuteFile(nullptr, c.name != nullptr ? &name[0] : nullptr,
                            c.verb != nullptr ? &verb[0] : nullptr),
              c.result)
        << c.label;
    EXPECT_EQ(fake.messages.size(), c.messages) << c.label;
    ExpectUntouched(c.label);
  }
}

TEST_F(DetailsTest, PropertiesShowEveryDetailTheReaderGave) {
  struct Case {
    const char* name;
    const char* text;
  } cases[] = {
      {kTides,
       "Title: Tide Tables\nAuthor: Bo Lind\nPublisher: Harbour Press\n"
       "ISBN: 978-0-00-000000-2\nURL: http://tides.example/\nAnnotated: yes\n"
       "Size: 20480 bytes\nStorage: card\nReader path: SM\\book\\tides.rb"},
      {kAtlas,
       "Title: Atlas\nAnnotated: no\nSize: 300 bytes\nStorage: internal memory\n"
       "Reader path: book\\Atlas.rb"},
  };
  for (const Case& c : cases) {
    fake.messages.clear();
    std::string name = Remote(c.name);
    std::string verb = "properties";
    EXPECT_EQ(FsExecuteFile(nullptr, &name[0], &verb[0]), FS_EXEC_OK) << c.name;
    ASSERT_EQ(fake.messages.size(), 1u) << c.name;
    EXPECT_EQ(fake.messages[0].first, "Pagora eBook") << c.name;
    EXPECT_EQ(fake.messages[0].second, c.text) << c.name;
  }
}

TEST_F(DetailsTest, SupportedFieldsInTheirOrder) {
  struct Case {
    int index;
    int maxlen;
    int type;
    const char* name;  // nullptr: nothing written
  } cases[] = {
      {-1, 64, ft_nosuchfield, nullptr},   {0, 64, ft_string, "Title"},
      {1, 64, ft_string, "Author"},        {2, 64, ft_string, "Publisher"},
      {3, 64, ft_string, "ISBN"},          {4, 64, ft_string, "URL"},
      {5, 64, ft_boolean, "Annotated"},    {6, 64, ft_string, "Storage"},
      {7, 64, ft_string, "Reader path"},   {8, 64, ft_nomorefields, nullptr},
      {1000, 64, ft_nomorefields, nullptr}, {7, 5, ft_string, "Read"},
      {7, 1, ft_string, ""},               {7, 0, ft_nosuchfield, nullptr},
      {7, -3, ft_nosuchfield, nullptr},
  };
  for (const Case& c : cases) {
    const std::string label = std::to_string(c.index) + "/" + std::to_string(c.maxlen);
    char name[80];
    char units[80];
    std::memset(name, '#', sizeof name);
    std::memset(units, '#', sizeof units);
    EXPECT_EQ(FsContentGetSupportedField(c.index, name, units, c.maxlen), c.type) << label;
    if (c.name == nullptr) {
      EXPECT_EQ(name[0], '#') << label;
      EXPECT_EQ(units[0], '#') << label;
      continue;
    }
    EXPECT_STREQ(name, c.name) << label;
    EXPECT_EQ(name[std::strlen(c.name) + 1], '#') << label << ": nothing past the NUL";
    EXPECT_EQ(std::string(units, 2), std::string("\0#", 2)) << label << ": no units";
  }
  EXPECT_EQ(FsContentGetSupportedField(0, nullptr, nullptr, 64), ft_nosuchfield);
}

TEST_F(DetailsTest, ValuesComeFromTheLastListing) {
  constexpr int kNumber = -100;  // `text` is unused: the value is an int
  struct Case {
    const char* label;
    const char* name;
    int index;
    int maxlen;
    int type;
    const char* text;  // the text written; nullptr: nothing written
    int number;
  } cases[] = {
      {"title", kTides, 0, 100, ft_string, "Tide Tables", 0},
      {"author", kTides, 1, 100, ft_string, "Bo Lind", 0},
      {"publisher", kTides, 2, 100, ft_string, "Harbour Press", 0},
      {"ISBN", kTides, 3, 100, ft_string, "978-0-00-000000-2", 0},
      {"URL", kTides, 4, 100, ft_string, "http://tides.example/", 0},
      {"annotated", kTides, 5, 100, ft_boolean, nullptr, 1},
      {"not annotated", kSeaRoad, 5, 100, ft_boolean, nullptr, 0},
      {"annotation not given", kAtlas, 5, 4, ft_boolean, nullptr, 0},
      {"on the card", kTides, 6, 100, ft_string, "card", 0},
      {"in internal memory", kSeaRoad, 6, 100, ft_string, "internal memory", 0},
      {"reader path on the card", kTides, 7, 100, ft_string, "SM\\book\\tides.rb", 0},
      {"reader path in memory", kSeaRoad, 7, 100, ft_string, "book\\The Sea Road.rb", 0},
      {"by the title text", "A Sea Road [typed", 0, 100, ft_string, "A Sea Road", 0},
      {"empty author", kAtlas, 1, 100, ft_fieldempty, nullptr, kNumber},
      {"publisher not given", kSeaRoad, 2, 100, ft_fieldempty, nullptr, kNumber},
      {"no title", "Nothing [Nobody].rb", 0, 100, ft_fileerror, nullptr, kNumber},
      {"disconnected entry", "Pagora Disconnected", 0, 100, ft_fileerror, nullptr, kNumber},
      {"field below the first", kTides, -1, 100, ft_nosuchfield, nullptr, kNumber},
      {"field past the last", kTides, 8, 100, ft_nosuchfield, nullptr, kNumber},
      {"text cut", kTides, 0, 5, ft_string, "Tide", 0},
      {"room for the NUL only", kTides, 0, 1, ft_string, "", 0},
      {"text exactly fits", kTides, 0, 12, ft_string, "Tide Tables", 0},
      {"no room", kTides, 0, 0, ft_nosuchfield, nullptr, kNumber},
      {"negative room", kTides, 0, -1, ft_nosuchfield, nullptr, kNumber},
      {"room short of an int", kTides, 5, 3, ft_nosuchfield, nullptr, kNumber},
  };
  for (const Case& c : cases) {
    std::string name = Remote(c.name);
    unsigned char value[128];
    std::memset(value, '#', sizeof value);
    EXPECT_EQ(FsContentGetValue(&name[0], c.index, 0, value, c.maxlen, 0), c.type) << c.label;
    std::size_t used = 0;
    if (c.text != nullptr) {
      EXPECT_STREQ(reinterpret_cast<char*>(value), c.text) << c.label;
      used = std::strlen(c.text) + 1;
    } else if (c.number != kNumber) {
      std::int32_t number = -1;
      std::memcpy(&number, value, sizeof number);
      EXPECT_EQ(number, c.number) << c.label;
      used = sizeof number;
    }
    for (std::size_t i = used; i < sizeof value; ++i) {
      ASSERT_EQ(value[i], '#') << c.label << ": byte " << i << " written";
    }
    ExpectUntouched(c.label);
  }
  std::string name = Remote(kTides);
  EXPECT_EQ(FsContentGetValue(&name[0], 0, 0, nullptr, 100, 0), ft_nosuchfield);
  EXPECT_EQ(FsContentGetValue(nullptr, 0, 0, nullptr, 100, 0), ft_nosuchfield);
  char value[16];
  EXPECT_EQ(FsContentGetValue(nullptr, 0, 0, value, sizeof value, 0), ft_fileerror);
}

TEST_F(DetailsTest, Utf16TextsAreCutAtWholeUnits) {
  struct Case {
    int maxlen;
    int type;
    std::u16string text;  // the text written, when the type is a text
  } cases[] = {
      {100, ft_stringw, u"Tide Tables"}, {24, ft_stringw, u"Tide Tables"},
      {23, ft_stringw, u"Tide Table"},   {9, ft_stringw, u"Tid"},
      {2, ft_stringw, u""},              {1, ft_nosuchfield, u""},
  };
  const std::string name = Remote(kTides);
  for (const Case& c : cases) {
    char16_t value[64];
    std::fill(std::begin(value), std::end(value), u'#');
    EXPECT_EQ(ContentValue(Reader(), name.c_str(), 0, value, c.maxlen, TextForm::kUtf16), c.type)
        << c.maxlen;
    const std::size_t used = c.type == ft_stringw ? c.text.size() + 1 : 0;
    EXPECT_EQ(std::u16string(value, used), c.type == ft_stringw ? c.text + u'\0' : u"")
        << c.maxlen;
    for (std::size_t i = used; i < 64; ++i) ASSERT_EQ(value[i], u'#') << c.maxlen << ": unit " << i;
  }
}


// What a Unicode host's progress callback received.
std::vector<std::u16string>& WideReports() {
  static std::vector<std::u16string> reports;
  return reports;
}

int WFX_CALL OnProgressW(int, char16_t* source, char16_t* target, int percent) {
  WideReports().push_back(std::u16string(source) + u" > " + std::u16string(target) + u" " +
                          (percent == 100 ? u"100" : u"-"));
  return 0;
}

std::string Ansi(const std::u16string& text) {
  char out[1024];
  return Utf16ToAnsi(text.c_str(), out, sizeof out) < 0 ? std::string() : std::string(out);
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

TEST_F(ExportsTest, TitlesInAnyLanguageThroughBothExportSets) {
  struct Case {
    const char* label;
    std::string reader;     // title and author as the reader sends them (Windows-1252)
    std::u16string listed;  // the listed name
    std::string utf8;       // the same in UTF-8
  } cases[] = {
      {"accented letters", "title=\"Caf\xE9 de Flore\" author=\"\xC9mile Zola\"",
       u"Caf\u00E9 de Flore [\u00C9mile Zola].rb", "Caf\xC3\xA9 de Flore [\xC3\x89mile Zola].rb"},
      {"euro sign", "title=\"\x80 100\" author=\"\"", u"\u20AC 100 [].rb", "\xE2\x82\xAC 100 [].rb"},
      {"quotes and dashes", "title=\"\x93Yes\x94 \x96 No\x97\" author=\"O\x92" "Brien\"",
       u"\u201CYes\u201D \u2013 No\u2014 [O\u2019Brien].rb",
       "\xE2\x80\x9CYes\xE2\x80\x9D \xE2\x80\x93 No\xE2\x80\x94 [O\xE2\x80\x99" "Brien].rb"},
      {"undefined bytes stand for control characters", "title=\"\x81\x8D\x8F\x90\x9D\" author=\"x\"",
       u"_____ [x].rb", "_____ [x].rb"},
      {"characters no file name may hold", "title=\"..\\..\\Either/Or: a*b?<c>|\x1b[2J\" author=\"C:x\"",
       u".._.._Either_Or_ a_b__c___[2J [C_x].rb", ".._.._Either_Or_ a_b__c___[2J [C_x].rb"},
  };
  std::string dir_reply = kDirHeader + DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n";
  std::string titles;
  int n = 0;
  for (const Case& c : cases) {
    const std::string file = "b" + std::to_string(n++) + ".rb";
    dir_reply += DirLine(true, "F", "RB", "-----", "5", file) + "\n";
    titles += "T=" + c.reader + " filename=\"\\book\\" + file + "\" size=\"5\"\n";
    fake.SetReply("\\book\\" + file, file);
  }
  fake.SetReply("__DIR", dir_reply);
  fake.SetReply("__SMDIR", "");
  fake.SetReply("__TITLES", titles);

  // Both sets list the same characters, in the reverse of the reply's order.
  WIN32_FIND_DATAW wide{};
  std::u16string root = Wide(Remote(""));
  HANDLE h = FsFindFirstW(&root[0], &wide);
  ASSERT_NE(h, InvalidHandleValue());
  std::vector<std::u16string> listed;
  do listed.emplace_back(wide.cFileName);
  while (FsFindNextW(h, &wide));
  std::vector<std::string> listed_ansi;
  for (const auto& entry : List()) listed_ansi.push_back(entry.first);
  constexpr int kCases = sizeof cases / sizeof cases[0];
  ASSERT_EQ(listed.size(), static_cast<std::size_t>(kCases));
  ASSERT_EQ(listed_ansi.size(), static_cast<std::size_t>(kCases));
  for (int i = 0; i < kCases; ++i) {
    const Case& c = cases[kCases - 1 - i];
    EXPECT_EQ(listed[i], c.listed) << c.label;
    EXPECT_EQ(listed_ansi[i], Ansi(c.listed)) << c.label;
#if !defined(_WIN32)
    EXPECT_EQ(listed_ansi[i], c.utf8) << c.label << ": the native build speaks UTF-8";
#endif
  }

  // Each name downloads and deletes its own book, in either set.
  n = 0;
  for (const Case& c : cases) {
    const std::string file = "b" + std::to_string(n++) + ".rb";
    std::u16string remote = Wide(Remote("")) + c.listed;
    const std::string local = dir.File("w.rb");
    std::u16string local_w = Wide(local);
    ASSERT_EQ(FsGetFileW(&remote[0], &local_w[0], FS_COPYFLAGS_OVERWRITE, nullptr), FS_FILE_OK)
        << c.label;
    EXPECT_EQ(ReadFile(local), file) << c.label;
    const std::string ansi = Ansi(c.listed);
    if (!ansi.empty()) {  // the system's code page may lack a character
      std::string remote_a = Remote(ansi);
      std::string local_a = dir.File("a.rb");
      ASSERT_EQ(FsGetFile(&remote_a[0], &local_a[0], 0, nullptr), FS_FILE_OK) << c.label;
      EXPECT_EQ(ReadFile(local_a), file) << c.label;
      std::remove(local_a.c_str());
    }
    fake.ClearCalls();
    EXPECT_TRUE(FsDeleteFileW(&remote[0])) << c.label;
    EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_START).at(0).input,
              std::string("__WHATYOUWANT", 14) + "CMD!\nDELTITLE book\\" + file +
                  "\n#/* Erase title */\n") << c.label;
  }

  // Uploads land under the reader's bytes for the name, or are refused
  // before any exchange when the reader cannot hold it.
  const std::string book = dir.File("up.rb");
  WriteFile(book, "book");
  fake.SetReply("__STATUS", "FLASHFREE=\"1000\"\n");
  FsInitW(9, OnProgressW, nullptr, nullptr);
  Reports().clear();
  struct Upload {
    const char* label;
    std::u16string name;
    int result;
    std::string target;  // the reader path, for an accepted name
  } uploads[] = {
      {"accented name", u"Caf\u00E9 \u20AC.rb", FS_FILE_OK, "\\book\\Caf\xE9 \x80.rb"},
      {"a character outside the reader's set", u"\u65E5\u672C.rb", FS_FILE_NOTSUPPORTED, ""},
      {"a character beyond the BMP", u"\xD83D\xDCD6.rb", FS_FILE_NOTSUPPORTED, ""},
  };
  for (const Upload& u : uploads) {
    for (bool unicode : {true, false}) {
      fake.ClearCalls();
      WideReports().clear();
      std::u16string remote_w = Wide(Remote("")) + u.name;
      std::u16string local_w = Wide(book);
      std::string remote_a = Remote(Ansi(u.name));
      std::string local_a = book;
      if (!unicode && Ansi(u.name).empty()) continue;  // not typeable in this code page
      const int result = unicode ? FsPutFileW(&local_w[0], &remote_w[0], 0)
                                 : FsPutFile(&local_a[0], &remote_a[0], 0);
      EXPECT_EQ(result, u.result) << u.label << (unicode ? " (Unicode)" : " (ANSI)");
      if (u.result != FS_FILE_OK) {
        EXPECT_TRUE(fake.calls().empty()) << u.label << ": the reader is not touched";
        continue;
      }
      EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_START).at(0).input, u.target + '\0' + "book")
          << u.label;
      // Reports reach the callback given last, names in its form.
      ASSERT_FALSE(WideReports().empty()) << u.label;
      EXPECT_EQ(WideReports().back(), local_w + u" > " + remote_w + u" 100") << u.label;
    }
  }
  EXPECT_TRUE(Reports().empty()) << "the 8-bit callback was replaced";
}

TEST_F(ExportsTest, DetailsInAnyLanguage) {
  fake.SetReply("__DIR", kDirHeader + DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n" +
                             DirLine(true, "CAFE", "RB", "-----", "5", "cafe.rb") + "\n");
  fake.SetReply("__SMDIR", "");
  fake.SetReply("__TITLES",
                "T1=title=\"Caf\xE9 de Flore\" author=\"\xC9mile Zola\" "
                "publisher=\"\xC9" "ditions \x80\" filename=\"\\book\\cafe.rb\" size=\"5\"\n");
  ASSERT_EQ(List().size(), 1u);
  const std::string title = Ansi(u"Caf\u00E9 de Flore");
  const std::string publisher = Ansi(u"\u00C9ditions \u20AC");
  std::string name = Remote(Ansi(u"Caf\u00E9 de Flore [\u00C9mile Zola].rb"));
  ASSERT_FALSE(title.empty() || publisher.empty()) << "the system's code page lacks a character";

  char value[64];
  EXPECT_EQ(FsContentGetValue(&name[0], 0, 0, value, sizeof value, 0), ft_string);
  EXPECT_EQ(value, title);
  EXPECT_EQ(FsContentGetValue(&name[0], 2, 0, value, sizeof value, 0), ft_string);
  EXPECT_EQ(value, publisher);
#if !defined(_WIN32)
  // "é" is two bytes of UTF-8: a cut keeps it whole or leaves it out.
  EXPECT_EQ(FsContentGetValue(&name[0], 0, 0, value, 5, 0), ft_string);
  EXPECT_STREQ(value, "Caf");
  EXPECT_EQ(FsContentGetValue(&name[0], 0, 0, value, 6, 0), ft_string);
  EXPECT_STREQ(value, "Caf\xC3\xA9");
#endif
  char16_t wide[64];
  std::u16string name_w = Wide(Remote("")) + u"Caf\u00E9 de Flore [\u00C9mile Zola].rb";
  EXPECT_EQ(FsContentGetValueW(&name_w[0], 2, 0, wide, sizeof wide, 0), ft_stringw);
  EXPECT_EQ(std::u16string(wide), u"\u00C9ditions \u20AC");
  std::u16string verb_w = u"open";
  EXPECT_EQ(FsExecuteFileW(nullptr, &name_w[0], &verb_w[0]), FS_EXEC_YOURSELF);
  verb_w = u"\u00F6ffnen";  // a verb nobody gives means nothing
  EXPECT_EQ(FsExecuteFileW(nullptr, &name_w[0], &verb_w[0]), FS_EXEC_OK);
  std::u16string cjk = Wide(Remote("")) + u"\u65E5.rb";
  EXPECT_EQ(FsContentGetValueW(&cjk[0], 0, 0, wide, sizeof wide, 0), ft_fileerror);
  EXPECT_TRUE(fake.messages.empty());

  std::string verb = "open";
  EXPECT_EQ(FsExecuteFile(nullptr, &name[0], &verb[0]), FS_EXEC_YOURSELF);
  verb = "properties";
  EXPECT_EQ(FsExecuteFile(nullptr, &name[0], &verb[0]), FS_EXEC_OK);
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].second, "Title: " + title + "\nAuthor: " + Ansi(u"\u00C9mile Zola") +
                                         "\nPublisher: " + publisher +
                                         "\nAnnotated: no\nSize: 5 bytes\n"
                                         "Storage: internal memory\nReader path: book\\cafe.rb");
}

// What the host's request callbacks were asked to show, one line each:
// type, title, text, whether there was room for an answer, and the form.
std::vector<std::string>& Requests() {
  static std::vector<std::string> requests;
  return requests;
}
std::string RequestLine(int type, const std::string& title, const std::string& text, int room,
                        bool wide) {
  return std::to_string(type) + " " + title + ": " + text + (room > 0 ? " [room]" : " [none]") +
         (wide ? " (UTF-16)" : " (8-bit)");
}
BOOL WFX_CALL OnRequest(int plugin_nr, int type, char* title, char* text, char* answer, int room) {
  EXPECT_EQ(plugin_nr, 5);
  EXPECT_TRUE(answer != nullptr && answer[0] == '\0');
  Requests().push_back(RequestLine(type, title, text, room, false));
  return kTrue;
}
BOOL WFX_CALL OnRequestW(int plugin_nr, int type, char16_t* title, char16_t* text,
                         char16_t* answer, int room) {
  EXPECT_EQ(plugin_nr, 5);
  EXPECT_TRUE(answer != nullptr && answer[0] == 0);
  char title8[256];
  char text8[2048];
  Utf16ToUtf8(title, title8, sizeof title8);
  Utf16ToUtf8(text, text8, sizeof text8);
  Requests().push_back(RequestLine(type, title8, text8, room, true));
  return kTrue;
}

TEST_F(ExportsTest, MessagesReachTheUserThroughTheHost) {
  fake.SetReply("__DIR", kDirHeader + DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n" +
                             DirLine(true, "CAFE", "RB", "-----", "5", "cafe.rb") + "\n");
  fake.SetReply("__SMDIR", "");
  fake.SetReply("__TITLES", "T1=title=\"Caf\xE9\" author=\"\" filename=\"\\book\\cafe.rb\" size=\"5\"\n");
  fake.SetReply("__STATUS", "FLASHFREE=\"3\"\n");
  const std::string book = dir.File("up.rb");
  WriteFile(book, "book");
  const std::string full = "Insufficiently memory!\nPagora memory free: 3\nSmartMedia free: 0";
  const std::string properties =
      "Title: Caf\xC3\xA9\nAnnotated: no\nSize: 5 bytes\nStorage: internal memory\nReader path: book\\cafe.rb";
  struct Case {
    const char* label;
    bool unicode;  // the host came through FsInitW
    bool request;  // and gave a request callback
  } cases[] = {
      {"8-bit host with a request callback", false, true},
      {"8-bit host without one", false, false},
      {"Unicode host with a request callback", true, true},
      {"Unicode host without one", true, false},
  };
  for (const Case& c : cases) {
    if (c.unicode) {
      FsInitW(5, nullptr, nullptr, c.request ? OnRequestW : nullptr);
    } else {
      FsInit(5, nullptr, nullptr, c.request ? OnRequest : nullptr);
    }
    ASSERT_EQ(List().size(), 1u);
    Requests().clear();
    fake.messages.clear();
    fake.wide_messages.clear();
    std::u16string local_w = Wide(book);
    std::u16string remote_w = Wide(Remote("up.rb"));
    std::u16string name_w = Wide(Remote("")) + u"Caf\u00E9 [].rb";
    std::u16string verb_w = u"properties";
    std::string local = book;
    std::string remote = Remote("up.rb");
    std::string name = Remote(Ansi(u"Caf\u00E9 [].rb"));
    std::string verb = "properties";
    EXPECT_EQ(c.unicode ? FsPutFileW(&local_w[0], &remote_w[0], 0) : FsPutFile(&local[0], &remote[0], 0),
              FS_FILE_WRITEERROR) << c.label;
    EXPECT_EQ(c.unicode ? FsExecuteFileW(nullptr, &name_w[0], &verb_w[0])
                        : FsExecuteFile(nullptr, &name[0], &verb[0]),
              FS_EXEC_OK) << c.label;
    const std::string shown = c.unicode ? properties : Ansi(u"Title: Caf\u00E9") +
                                  properties.substr(properties.find('\n'));
    if (!kSystemShowsMessageBoxes && c.request) {
      // The native build has no windows of its own: the host shows them.
      EXPECT_EQ(Requests(),
                (std::vector<std::string>{RequestLine(RT_MsgOK, "Error!", full, 1, c.unicode),
                                          RequestLine(RT_MsgOK, "Pagora eBook", shown, 1, c.unicode)}))
          << c.label;
      EXPECT_TRUE(fake.messages.empty()) << c.label;
      continue;
    }
    EXPECT_TRUE(Requests().empty()) << c.label;
    ASSERT_EQ(fake.messages.size(), 2u) << c.label;
    EXPECT_EQ(fake.messages[0], std::make_pair(std::string("Error!"), full)) << c.label;
    EXPECT_EQ(fake.messages[1], std::make_pair(std::string("Pagora eBook"), shown)) << c.label;
    EXPECT_EQ(fake.wide_messages, std::vector<bool>(2, c.unicode)) << c.label << ": the host's form";
  }
}

TEST_F(ExportsTest, LocalFoldersInAnyLanguageThroughTheUnicodeExports) {
  namespace fs = std::filesystem;
  LoadExampleReader(fake);
  fake.SetReply("\\book\\Atlas.rb", "atlas");
  fake.SetReply("__STATUS", "FLASHFREE=\"100000\"\n");
  for (const char16_t* folder : {u"\u041A\u043D\u0438\u0433\u0438", u"\u672C\u68DA"}) {
    const fs::path base = fs::path(dir.File("")) / fs::path(std::u16string(folder));
    fs::create_directory(base);
    std::u16string root = Wide(Remote(""));
    WIN32_FIND_DATAW wide{};
    ASSERT_NE(FsFindFirstW(&root[0], &wide), InvalidHandleValue());
    fake.ClearCalls();
    std::u16string remote = Wide(Remote("Atlas [].rb"));
    std::u16string local = (base / u"Atlas \u00E9.rb").u16string();
    ASSERT_EQ(FsGetFileW(&remote[0], &local[0], 0, nullptr), FS_FILE_OK);
    std::ifstream in(base / u"Atlas \u00E9.rb", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "atlas");
    EXPECT_EQ(FsGetFileW(&remote[0], &local[0], 0, nullptr), FS_FILE_EXISTS);
    std::u16string upload = Wide(Remote("up.rb"));
    ASSERT_EQ(FsPutFileW(&local[0], &upload[0], 0), FS_FILE_OK);
    EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_START).at(0).input,
              std::string("\\book\\up.rb\0atlas", 17));
    // Every local file call took the host's UTF-16 path as it was.
    for (const FakeCall& call : fake.calls()) {
      if (call.op == "create_file" && call.input != fake.device_path) {
        EXPECT_TRUE(call.wide) << call.input;
      }
      if (call.op == "move_file" || call.op == "get_file_attributes") {
        EXPECT_TRUE(call.wide) << call.input;
      }
    }
    EXPECT_EQ(fs::path(local).filename().u16string(), u"Atlas \u00E9.rb");
  }
}

TEST_F(ExportsTest, EightBitExportsOnTheSystemsCodePage) {
  fake.SetReply("__DIR", kDirHeader + DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n" +
                             DirLine(true, "CAFE", "RB", "-----", "5", "cafe.rb") + "\n");
  fake.SetReply("__SMDIR", "");
  fake.SetReply("__TITLES",
                "T1=title=\"Caf\xE9 \x80\" author=\"Zo\xEB\" filename=\"\\book\\cafe.rb\" size=\"5\"\n");
  fake.SetReply("\\book\\cafe.rb", "cafe!");
  fake.SetReply("__STATUS", "FLASHFREE=\"100000\"\n");
  const std::string book = dir.File("up.rb");
  WriteFile(book, "book");
  struct Case {
    const char* label;
    std::uint32_t code_page;
    std::string listed;  // the 8-bit listed name
    std::string upload;  // an 8-bit upload name and the reader path it takes
    std::string target;
  } cases[] = {
      // Windows set to UTF-8 takes only the flags and pointers UTF-8 allows.
      {"Windows set to UTF-8", kCodePageUtf8, "Caf\xC3\xA9 \xE2\x82\xAC [Zo\xC3\xAB].rb",
       "\xC3\x89t\xC3\xA9.rb", "\\book\\\xC9t\xE9.rb"},
      {"Windows-1252", 1252, "Caf\xE9 \x80 [Zo\xEB].rb", "\xC9t\xE9.rb", "\\book\\\xC9t\xE9.rb"},
  };
  for (const Case& c : cases) {
    fake.code_page = c.code_page;
    const auto listed = List();
    ASSERT_EQ(listed.size(), 1u) << c.label;
    EXPECT_EQ(listed[0].first, c.listed) << c.label;
    std::string remote = Remote(c.listed);
    std::string local = dir.File("got.rb");
    std::remove(local.c_str());
    ASSERT_EQ(FsGetFile(&remote[0], &local[0], 0, nullptr), FS_FILE_OK) << c.label;
    EXPECT_EQ(ReadFile(local), "cafe!") << c.label;
    fake.ClearCalls();
    std::string upload = Remote(c.upload);
    std::string source = book;
    ASSERT_EQ(FsPutFile(&source[0], &upload[0], 0), FS_FILE_OK) << c.label;
    EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_START).at(0).input, c.target + '\0' + "book")
        << c.label;
    char value[64] = {};
    EXPECT_EQ(FsContentGetValue(&remote[0], 1, 0, value, sizeof value, 0), ft_string) << c.label;
    EXPECT_EQ(std::string(value), c.listed.substr(c.listed.find('[') + 1,
                                                  c.listed.find(']') - c.listed.find('[') - 1))
        << c.label << ": the author in the code page";
  }
  fake.code_page = 0;
}

TEST_F(ExportsTest, ContentCallsFromAnotherThreadReadAWholeCatalogOrNone) {
  // A host's worker thread asks for the detail columns while its main
  // thread lists, downloads and deletes. (The stress is for the thread
  // sanitizer build; here it holds the answers to the interface's own.)
  LoadExampleReader(fake);
  fake.SetReply("\\book\\Atlas.rb", "atlas");
  std::vector<std::string> names;
  for (const auto& entry : List()) names.push_back(Remote(entry.first));
  std::atomic<bool> done{false};
  std::atomic<int> answered{0};
  std::atomic<int> wrong{0};
  std::thread columns([&] {
    while (!done.load()) {
      for (std::string name : names) {
        for (int field = 0; field < 8; ++field) {
          char value[256];
          const int type = FsContentGetValue(&name[0], field, 0, value, sizeof value, 0);
          if (type == ft_string || type == ft_boolean) {
            ++answered;
          } else if (type != ft_fieldempty && type != ft_fileerror) {
            ++wrong;
          }
        }
      }
    }
  });
  const std::string local = dir.File("atlas.rb");
  for (int round = 0; round < 200; ++round) {
    List();
    std::string remote = Remote("Atlas [].rb");
    std::string target = local;
    FsGetFile(&remote[0], &target[0], FS_COPYFLAGS_OVERWRITE, nullptr);
    std::string doomed = Remote("Tide Tables [Bo Lind].rb");
    FsDeleteFile(&doomed[0]);
  }
  // Then the worker's calls go on alone: the catalog is free for them.
  const int before = answered.load();
  while (answered.load() == before) {
  }
  done = true;
  columns.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GT(answered.load(), before);
}

}  // namespace
}  // namespace pagora
