#include "names.h"

#include <gtest/gtest.h>

#include "command_script.h"
#include "ini_file.h"

namespace readersim {
namespace {

TEST(Names, ValidNamesAreThoseTheListingsCanCarry) {
  struct Case {
    const char* label;
    std::string name;
    bool valid;
  };
  const Case cases[] = {
      {"plain", "The Sea Road.rb", true},
      {"brackets and equals", "Title [Author] a=b.rb", true},
      {"8-bit letters", "Caf\xe9.rb", true},
      {"127 bytes", std::string(127, 'a'), true},
      {"128 bytes", std::string(128, 'a'), false},
      {"empty", "", false},
      {"backslash", "a\\b.rb", false},
      {"quote would end a title value", "a\"b.rb", false},
      {"line feed", "a\nb", false},
      {"leading dot (temporary files)", ".readersim.tmp", false},
      {"leading blank", " a.rb", false},
      {"trailing blank", "a.rb ", false},
      {"trailing dot", "a.", false},
      {"colon", "a:b", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidName(c.name), c.valid) << c.label;
}

TEST(Names, DevicePathsNameStorageFolderAndFile) {
  struct Case {
    const char* path;
    bool valid;
    bool card;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {"\\book\\The Sea Road.rb", true, false, "book", "The Sea Road.rb"},
      {"\\SM\\book\\The Sea Road.rb", true, true, "book", "The Sea Road.rb"},
      {"\\readme.txt", true, false, "", "readme.txt"},
      {"\\SM\\readme.txt", true, true, "", "readme.txt"},
      {"\\SMALL\\x.rb", true, false, "SMALL", "x.rb"},
      {"\\SM", true, false, "", "SM"},
      {"book\\x.rb", false, false, "", ""},           // no leading backslash
      {"\\\\book\\x.rb", false, false, "", ""},       // two of them
      {"\\book\\sub\\x.rb", false, false, "", ""},    // folders are one level deep
      {"\\book\\", false, false, "", ""},
      {"\\", false, false, "", ""},
      {"", false, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::optional<Location> where = ParseDevicePath(c.path);
    ASSERT_EQ(where.has_value(), c.valid);
    if (!where) continue;
    EXPECT_EQ(where->card, c.card);
    EXPECT_EQ(where->folder, c.folder);
    EXPECT_EQ(where->name, c.name);
    EXPECT_EQ(DevicePath(*where), c.path);
    EXPECT_EQ("\\" + ReaderPath(*where), c.path);
  }
  EXPECT_FALSE(ParseDevicePath("\\book\\" + std::string(122, 'a')));  // 128 characters
  EXPECT_TRUE(ParseDevicePath("\\book\\" + std::string(121, 'a')));
}

TEST(Names, TitleAndAuthorComeFromTheFileName) {
  struct Case {
    const char* name;
    const char* title;
    const char* author;
  };
  const Case cases[] = {
      {"The Sea Road [Ann Other].rb", "The Sea Road", "Ann Other"},
      {"The Sea Road.rb", "The Sea Road", ""},
      {"Notes [draft] v2.rb", "Notes [draft] v2", ""},  // brackets not at the end
      {"A [B] [C].RB", "A [B]", "C"},
      {"[Only Author].rb", "[Only Author]", ""},  // no " [" in front
      {"noext", "noext", ""},
  };
  for (const Case& c : cases) {
    TitleInfo info = TitleFromName(c.name);
    EXPECT_EQ(info.title, c.title) << c.name;
    EXPECT_EQ(info.author, c.author) << c.name;
    EXPECT_EQ(info.anno, "no") << c.name;
  }
  EXPECT_TRUE(IsTitleLocation({false, "book", "x.RB"}));
  EXPECT_TRUE(IsTitleLocation({true, "book", "x.rb"}));
  EXPECT_FALSE(IsTitleLocation({false, "Book", "x.rb"}));
  EXPECT_FALSE(IsTitleLocation({false, "", "x.rb"}));
  EXPECT_FALSE(IsTitleLocation({false, "book", "x.rbz"}));
}

TEST(CommandScript, NeedsItsHeaderAndSkipsComments) {
  struct Case {
    const char* label;
    std::string text;
    bool header;
    std::vector<std::pair<std::string, std::string>> commands;
  };
  const Case cases[] = {
      {"the plugin's delete script", "CMD!\nDELTITLE SM\\book\\The Sea Road.rb\n#/* Erase title */\n",
       true, {{"DELTITLE", "SM\\book\\The Sea Road.rb"}}},
      {"CRLF and no final line end", "CMD!\r\nDELTITLE book\\a b.rb\r\nFOO", true,
       {{"DELTITLE", "book\\a b.rb"}, {"FOO", ""}}},
      {"blank lines", "CMD!\n\n\nDELTITLE x\n", true, {{"DELTITLE", "x"}}},
      {"no header", "DELTITLE book\\a.rb\n", false, {}},
      {"header in lower case", "cmd!\nDELTITLE book\\a.rb\n", false, {}},
      {"empty", "", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Script script = ParseScript(c.text);
    EXPECT_EQ(script.has_header, c.header);
    ASSERT_EQ(script.commands.size(), c.commands.size());
    for (std::size_t i = 0; i < c.commands.size(); ++i) {
      EXPECT_EQ(script.commands[i].word, c.commands[i].first);
      EXPECT_EQ(script.commands[i].argument, c.commands[i].second);
    }
  }
}

TEST(IniFile, ReadsSectionsKeysAndLineNumbers) {
  std::vector<IniSection> sections;
  IniFault fault;
  ASSERT_TRUE(ParseIni("# c\n[a]\n k = v w \n; c\n\n[title book\\x [y].rb]\nkey=\r\n", &sections,
                       &fault));
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0].name, "a");
  ASSERT_EQ(sections[0].entries.size(), 1u);
  EXPECT_EQ(sections[0].entries[0].value, "v w");
  EXPECT_EQ(sections[0].entries[0].line, 3);
  EXPECT_EQ(sections[1].name, "title book\\x [y].rb");
  EXPECT_EQ(sections[1].line, 6);
  EXPECT_EQ(sections[1].entries[0].value, "");
}

}  // namespace
}  // namespace readersim
