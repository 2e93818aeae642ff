#include "replies.h"

#include <gtest/gtest.h>

#include "short_names.h"
#include "test_support.h"

namespace readersim {
namespace {

using testing_support::Lines;
using testing_support::ReadListing;
using testing_support::ReadStatusLines;
using testing_support::ReadTitleAttributes;

Reader SmallReader(bool card_present) {
  Reader reader;
  reader.internal.id = "A1";
  reader.internal.size_mib = 1;
  reader.card.id = "B2";
  reader.card.size_mib = 2;
  reader.card_present = card_present;
  reader.settings.version = "2.0";
  reader.settings.date = "2004 1 2";
  reader.settings.time = "23 59 7";
  TitleInfo info;
  info.title = "Sum 2+2=4";
  info.author = "A. Writer";
  info.url = "x?a=b";
  reader.Put({false, "book", "sum.rb"}, std::string(1000, 'x'), info);
  reader.Put({false, "system", "config.ini"}, std::string(24, 'c'), {});
  reader.Put({true, "book", "Card Book [Someone].rb"}, std::string(5000, 'y'),
             TitleInfo{"Card Book", "Someone", "", "", "", "", "yes"});
  return reader;
}

TEST(StatusReply, CarriesEveryKeyWithTheReadersFigures) {
  struct Case {
    const char* label;
    bool card;
    std::map<std::string, std::vector<std::string>> expected;
  };
  const Case cases[] = {
      {"card in",
       true,
       {{"SM_PRESENT", {"Yes"}},
        {"FLASHFREE", {"1047552"}},  // 1 MiB less 1024 bytes of files
        {"SM_FLASHFREE", {"2092152"}},
        {"FLASHID", {"A1", "1"}},
        {"OFLASHID01", {"B2", "2"}},
        {"BATTERY", {"80"}},
        {"EXTID", {"0"}},
        {"USERID", {""}},
        {"VERSION", {"2.0"}},
        {"DATE", {"2004 1 2"}},
        {"TIME", {"23 59 7"}}}},
      {"no card", false, {{"SM_PRESENT", {"No"}}, {"SM_FLASHFREE", {"0"}}, {"OFLASHID01", {"00", "0"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string reply = StatusReply(SmallReader(c.card));
    auto status = ReadStatusLines(reply);
    EXPECT_EQ(status.size(), 11u);
    for (const auto& [key, values] : c.expected) EXPECT_EQ(status[key], values) << key;
    for (const std::string& line : Lines(reply)) EXPECT_NE(line.find("=\""), std::string::npos) << line;
  }
}

TEST(TitlesReply, ListsEachBookWithItsAttributes) {
  struct Case {
    const char* label;
    bool card;
    std::vector<std::map<std::string, std::string>> titles;
  };
  std::map<std::string, std::string> internal = {
      {"title", "Sum 2+2=4"},  {"author", "A. Writer"}, {"filename", "\\book\\sum.rb"},
      {"size", "1000"},        {"ANNO", "no"},          {"publisher", ""},
      {"isbn", ""},            {"url", "x?a=b"},        {"username", ""}};
  std::map<std::string, std::string> on_card = {
      {"title", "Card Book"}, {"author", "Someone"}, {"filename", "\\SM\\book\\Card Book [Someone].rb"},
      {"size", "5000"},       {"ANNO", "yes"},       {"publisher", ""},
      {"isbn", ""},           {"url", ""},           {"username", ""}};
  const Case cases[] = {
      {"card in", true, {internal, on_card}},
      {"no card: the card's books are not reported", false, {internal}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> lines = Lines(TitlesReply(SmallReader(c.card)));
    ASSERT_EQ(lines.size(), c.titles.size() + 1);
    EXPECT_EQ(lines[0], "TITLECOUNT=\"" + std::to_string(c.titles.size()) + "\"");
    for (std::size_t i = 0; i < c.titles.size(); ++i) {
      const std::string& line = lines[i + 1];
      EXPECT_EQ(line.rfind("T" + std::to_string(i + 1) + "=", 0), 0u) << line;
      EXPECT_EQ(line.find("\"  "), std::string::npos) << "one blank between attributes: " << line;
      EXPECT_EQ(ReadTitleAttributes(line), c.titles[i]);
    }
  }
}

TEST(ListingReply, PutsEveryColumnAtItsFixedPosition) {
  Reader reader;
  reader.Put({false, "book", "The Sea Road.rb"}, std::string(412345, 's'), {});
  reader.Put({false, "book", "notes.txt"}, std::string(2048, 'n'), {});
  reader.Put({false, "system", "config.ini"}, std::string(311, 'c'), {});
  reader.Put({false, "", "readme.txt"}, std::string(100, 'r'), {});
  std::string long_name = std::string(120, 'L') + ".rb";
  reader.Put({false, "book", long_name}, "x", {});
  std::string reply = ListingReply(reader.internal, false);

  std::vector<std::string> lines = Lines(reply);
  ASSERT_EQ(lines.size(), 9u);
  // The layout of the reader's own listings, character for character.
  EXPECT_EQ(lines[2], "BOOK         -D---         0 book");
  EXPECT_EQ(lines[4], "+  THESEA~1 RB  -----    412345 The Sea Road.rb");
  EXPECT_EQ(lines[8], "README   TXT -----       100 readme.txt");

  struct Expected {
    bool inside;
    const char *name, *ext, *attributes, *size;
    std::string long_name;
  };
  const Expected expected[] = {
      {false, "BOOK", "", "-D---", "0", "book"},
      {true, "LLLLLL~1", "RB", "-----", "1", long_name},
      {true, "THESEA~1", "RB", "-----", "412345", "The Sea Road.rb"},
      {true, "NOTES", "TXT", "-----", "2048", "notes.txt"},
      {false, "SYSTEM", "", "-D---", "0", "system"},
      {true, "CONFIG", "INI", "-----", "311", "config.ini"},
      {false, "README", "TXT", "-----", "100", "readme.txt"},
  };
  std::vector<testing_support::ListingEntry> entries = ReadListing(reply);
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(expected[i].long_name);
    EXPECT_EQ(entries[i].inside, expected[i].inside);
    EXPECT_EQ(entries[i].name, expected[i].name);
    EXPECT_EQ(entries[i].ext, expected[i].ext);
    EXPECT_EQ(entries[i].attributes, expected[i].attributes);
    EXPECT_EQ(entries[i].size, expected[i].size);
    EXPECT_EQ(entries[i].long_name, expected[i].long_name);
  }
}

TEST(ListingReply, EmptyStorageIsJustTheTwoHeaders) {
  Storage empty;
  EXPECT_EQ(Lines(ListingReply(empty, true)).size(), 2u);
}

TEST(ShortNames, FollowTheFatRules) {
  struct Case {
    const char* label;
    std::vector<std::string> names;
    std::vector<std::string> expected;  // BASE.EXT
  };
  const Case cases[] = {
      {"fits as it is", {"config.ini", "README.TXT"}, {"CONFIG.INI", "README.TXT"}},
      {"too long", {"The Sea Road.rb"}, {"THESEA~1.RB"}},
      {"long extension cut", {"page.html"}, {"PAGE~1.HTM"}},
      {"collisions count up", {"Moby Dick 1.rb", "Moby Dick 2.rb", "mobydi~1.rb"},
       {"MOBYDI~1.RB", "MOBYDI~2.RB", "MOBYDI~3.RB"}},
      {"same short name after a fitting one", {"notes.txt", "NOTES.TXT"}, {"NOTES.TXT", "NOTES~1.TXT"}},
      {"forbidden characters", {"a+b=c.rb", "x[1].rb"}, {"A_B_C~1.RB", "X_1_~1.RB"}},
      {"no extension", {"folder"}, {"FOLDER."}},
      {"dots in the stem", {"v1.2.notes.txt"}, {"V12NOT~1.TXT"}},
      {"ten collisions", {"aaaaaaaaa1", "aaaaaaaaa2", "aaaaaaaaa3", "aaaaaaaaa4", "aaaaaaaaa5",
                          "aaaaaaaaa6", "aaaaaaaaa7", "aaaaaaaaa8", "aaaaaaaaa9", "aaaaaaaaa10"},
       {"AAAAAA~1.", "AAAAAA~2.", "AAAAAA~3.", "AAAAAA~4.", "AAAAAA~5.", "AAAAAA~6.", "AAAAAA~7.",
        "AAAAAA~8.", "AAAAAA~9.", "AAAAA~10."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<ShortName> got = MakeShortNames(c.names);
    ASSERT_EQ(got.size(), c.expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].base + "." + got[i].ext, c.expected[i]);
      EXPECT_LE(got[i].base.size(), 8u);
      EXPECT_LE(got[i].ext.size(), 3u);
    }
  }
}

}  // namespace
}  // namespace readersim
