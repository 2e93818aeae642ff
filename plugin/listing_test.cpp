#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "devlink/device.h"
#include "devlink/exchange.h"
#include "plugin/listing.h"
#include "testing/plugin_fixture.h"

namespace pagora {
namespace {

using ListingTest = PluginTest;
using Entries = std::vector<std::pair<std::string, DWORD>>;

const Entries kExampleEntries = {{"Tide Tables [Bo Lind].rb", 20480},
                                 {"Atlas [].rb", 300},
                                 {"A Sea Road [Ann Wren].rb", 412345}};

TEST_F(ListingTest, ExampleReaderListsTitlesNewestFirst) {
  LoadExampleReader(fake);
  EXPECT_EQ(List(), kExampleEntries);
  // Trees, then titles, then the connection test; every exchange probes first.
  std::vector<std::string> sequence;
  for (const FakeCall& c : fake.ControlCalls()) {
    sequence.push_back(c.code == IOCTL_DEV_PROBE ? "probe" : c.input.c_str());
  }
  EXPECT_EQ(sequence, (std::vector<std::string>{"probe", "__DIR", "probe", "__SMDIR", "probe",
                                                "__TITLES", "probe"}));
}

TEST_F(ListingTest, FindDataCarriesExactlyTheEntryFields) {
  LoadExampleReader(fake);
  WIN32_FIND_DATAA fd;
  std::memset(&fd, 0xAB, sizeof fd);
  std::string root = Remote("");
  HANDLE h = FsFindFirst(&root[0], &fd);
  ASSERT_NE(h, InvalidHandleValue());
  ASSERT_NE(h, reinterpret_cast<HANDLE>(1));
  EXPECT_EQ(fd.dwFileAttributes, 0x80u);
  EXPECT_EQ(fd.ftLastWriteTime.dwLowDateTime, 0xFFFFFFFEu);
  EXPECT_EQ(fd.ftLastWriteTime.dwHighDateTime, 0xFFFFFFFFu);
  EXPECT_EQ(fd.nFileSizeHigh, 0u);
  EXPECT_EQ(fd.nFileSizeLow, 20480u);
  EXPECT_EQ(fd.ftCreationTime.dwLowDateTime, 0xABABABABu) << "untouched";
  EXPECT_EQ(fd.ftLastAccessTime.dwHighDateTime, 0xABABABABu);
  EXPECT_EQ(fd.dwReserved0, 0xABABABABu);
  EXPECT_EQ(fd.dwReserved1, 0xABABABABu);
  EXPECT_EQ(static_cast<unsigned char>(fd.cAlternateFileName[0]), 0xABu);
  EXPECT_EQ(static_cast<unsigned char>(fd.cFileName[sizeof("Tide Tables [Bo Lind].rb")]), 0xABu)
      << "nothing written past the name's terminator";

  // A handle FsFindFirst never gave continues the walk all the same.
  EXPECT_TRUE(FsFindNext(reinterpret_cast<HANDLE>(0x1234), &fd));
  EXPECT_STREQ(fd.cFileName, "Atlas [].rb");
  EXPECT_TRUE(FsFindNext(h, &fd));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(FsFindNext(h, &fd)) << "past the end, every time";
}

TEST_F(ListingTest, DisconnectedAndEmptyFolders) {
  fake.present = false;
  WIN32_FIND_DATAA fd;
  std::memset(&fd, 0xAB, sizeof fd);
  std::string root = Remote("");
  HANDLE h = FsFindFirst(&root[0], &fd);
  EXPECT_EQ(h, reinterpret_cast<HANDLE>(1));
  EXPECT_STREQ(fd.cFileName, "Pagora Disconnected");
  EXPECT_EQ(fd.dwFileAttributes, 0x4u);
  EXPECT_EQ(fd.nFileSizeLow, 0u);
  EXPECT_EQ(fd.nFileSizeHigh, 0u);
  EXPECT_EQ(fd.ftLastWriteTime.dwLowDateTime, 0xFFFFFFFEu);
  EXPECT_EQ(fd.ftLastWriteTime.dwHighDateTime, 0xFFFFFFFFu);
  std::memset(&fd, 0xCD, sizeof fd);
  EXPECT_FALSE(FsFindNext(h, &fd));
  EXPECT_EQ(fd.dwFileAttributes, 0xCDCDCDCDu) << "not written";
  EXPECT_EQ(fake.open_info_sets(), 0u);

  fake.present = true;
  fake.SetReply("__TITLES", "TITLECOUNT=\"0\"\n");
  EXPECT_EQ(FsFindFirst(&root[0], &fd), InvalidHandleValue()) << "connected, no titles";
}

TEST_F(ListingTest, OnlyTheRootPathIsListed) {
  LoadExampleReader(fake);
  for (std::string path : {Remote("sub"), std::string(""), Remote("") + Remote(""),
                           std::string(1, kHostSeparator == '/' ? '\\' : '/')}) {
    WIN32_FIND_DATAA fd;
    std::memset(&fd, 0xAB, sizeof fd);
    EXPECT_EQ(FsFindFirst(&path[0], &fd), InvalidHandleValue()) << path;
    EXPECT_EQ(fd.dwFileAttributes, 0xABABABABu) << path;
  }
  EXPECT_TRUE(fake.calls().empty());
}

TEST_F(ListingTest, OneFailingExchangeAtEachStep) {
  struct Case {
    const char* label;
    std::string failing;  // the request name whose start call fails, or "probe#4"
    Entries entries;
    std::vector<bool> downloadable;  // per entry, whether its title kept its link
  } cases[] = {
      {"internal tree", "__DIR", kExampleEntries, {true, false, false}},
      {"card tree", "__SMDIR", kExampleEntries, {false, false, false}},
      {"titles", "__TITLES", {}, {}},
      {"connection test", "probe#4", {{"Pagora Disconnected", 0}}, {}},
  };
  for (const Case& c : cases) {
    FakeDriver local;
    LoadExampleReader(local);
    auto probes = std::make_shared<int>(0);
    const std::string failing = c.failing;
    local.FailWhen([failing, probes](const FakeCall& call) {
      if (call.code == IOCTL_DEV_PROBE) return failing == "probe#4" && ++*probes == 4;
      return call.code == IOCTL_DEV_QUERY_START && call.input.c_str() == failing;
    }, 31);
    EXPECT_EQ(List(), c.entries) << c.label;
    for (std::size_t i = 0; i < c.downloadable.size(); ++i) {
      std::string remote = Remote(c.entries[i].first);
      std::string target = dir.File("out.rb");
      local.SetReply("\\book\\Atlas.rb", "x");
      local.SetReply("\\SM\\book\\tides.rb", "x");
      local.SetReply("\\book\\The Sea Road.rb", "x");
      const int want = c.downloadable[i] ? FS_FILE_OK : FS_FILE_NOTFOUND;
      EXPECT_EQ(FsGetFile(&remote[0], &target[0], FS_COPYFLAGS_OVERWRITE, nullptr), want)
          << c.label << " " << c.entries[i].first;
    }
    Reset(Reader());
  }
}

TEST_F(ListingTest, NamesAreComposedWithoutTrimming) {
  const std::string t127(127, 't');
  const std::string a127(127, 'a');
  fake.SetReply("__TITLES",
                "T1=title=\"\" author=\"Nobody\" x=\"\"\n"
                "T2=title=\"" + t127 + "\" author=\"" + a127 + "\" x=\"\"\n"
                "T3=title=\"Same\" author=\"Twin\" x=\"\"\n"
                "T4=title=\"Same\" author=\"Twin\" size=\"-1\"\n");
  Entries entries = List();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0], (std::pair<std::string, DWORD>{"Same [Twin].rb", 0xFFFFFFFFu}))
      << "the size's 32 bits as they are";
  EXPECT_EQ(entries[1], (std::pair<std::string, DWORD>{"Same [Twin].rb", 0}));
  EXPECT_EQ(entries[2].first.size(), 259u) << "one author character gives way";
  EXPECT_EQ(entries[2].first, t127 + " [" + a127.substr(1) + "].rb");
  EXPECT_EQ(entries[3].first, " [Nobody].rb");
}

TEST_F(ListingTest, WalkOfAClearedTitleListEnds) {
  LoadExampleReader(fake);
  WIN32_FIND_DATAA fd{};
  std::string root = Remote("");
  HANDLE h = FsFindFirst(&root[0], &fd);
  ASSERT_NE(h, InvalidHandleValue());
  // A failing exchange between two FsFindNext calls frees the title list.
  fake.FailWhen([](const FakeCall& c) { return c.code == IOCTL_DEV_QUERY_START; }, 31);
  std::string remote = Remote("Atlas [].rb");
  std::string local = dir.File("a.rb");
  EXPECT_EQ(FsGetFile(&remote[0], &local[0], 0, nullptr), FS_FILE_READERROR);
  EXPECT_FALSE(FsFindNext(h, &fd));
}

}  // namespace
}  // namespace pagora
