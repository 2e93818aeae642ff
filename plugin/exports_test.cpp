#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/listing.h"
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
  std::string name = Remote("A Sea Road [Ann Wren].rb");
  std::string verb = "open";
  EXPECT_EQ(FsExecuteFile(nullptr, &name[0], &verb[0]), FS_EXEC_OK);
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

}  // namespace
}  // namespace pagora
