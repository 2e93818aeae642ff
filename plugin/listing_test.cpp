#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "devlink/device.h"
#include "devlink/exchange.h"
#include "plugin/listing.h"
#include "plugin/title_names.h"
#include "testing/plugin_fixture.h"

namespace pagora {
namespace {

using ListingTest = PluginTest;
using Entries = std::vector<std::pair<std::string, DWORD>>;

// Windows hosts get the interface's no-time mark; the native build's hosts
// the time of the listing, which a listing just made is within a minute of.
void ExpectListingTime(const FILETIME& time) {
#if defined(_WIN32)
  EXPECT_EQ(time.dwLowDateTime, 0xFFFFFFFEu);
  EXPECT_EQ(time.dwHighDateTime, 0xFFFFFFFFu);
#else
  const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  const std::int64_t unix_seconds = static_cast<std::int64_t>(ticks / 10000000) - 11644473600ll;
  EXPECT_LE(std::llabs(unix_seconds - static_cast<std::int64_t>(std::time(nullptr))), 60);
#endif
}

const Entries kExampleEntries = {{"Tide Tables [Bo Lind].rb", 20480},
                                 {"Atlas [].rb", 300},
                                 {"A Sea Road [Ann Wren].rb", 412345}};

TEST_F(ListingTest, ExampleReaderListsTitlesNewestFirst) {
  LoadExampleReader(fake);
  EXPECT_EQ(List(), kExampleEntries);
  // Trees, then titles, then the connection test; every exchange probes first.
  std::vector<std::string> sequence;
  for (const FakeCall& c : fake.ControlCalls()) {
    sequence.push_back(c.control_code == IOCTL_DEV_PROBE ? "probe" : c.input.c_str());
  }
  EXPECT_EQ(sequence, (std::vector<std::string>{"probe", "__DIR", "probe", "__SMDIR", "probe",
                                                "__TITLES", "probe"}));
}

TEST_F(ListingTest, ALargeCatalogListsWhole) {
  // 3,000 books on the card, far past one 64 KiB reply each: every title is
  // listed and found, none of them twice.
  std::string card = kDirHeader + DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n";
  std::string titles = "TITLECOUNT=\"3000\"\n";
  for (int i = 0; i < 3000; ++i) {
    const std::string file = "Small Book Number " + std::to_string(i) + ".rb";
    card += DirLine(true, "B" + std::to_string(i), "RB", "-----", "100", file) + "\n";
    titles += "T" + std::to_string(i) + "=title=\"Small Book Number " + std::to_string(i) +
              "\" author=\"A. Writer\" filename=\"\\SM\\book\\" + file + "\" size=\"100\"\n";
  }
  ASSERT_GT(titles.size(), 3u * 65536);
  fake.SetReply("__DIR", "");
  fake.SetReply("__SMDIR", card);
  fake.SetReply("__TITLES", titles);
  const auto listed = List();
  ASSERT_EQ(listed.size(), 3000u);
  EXPECT_EQ(listed.front().first, "Small Book Number 2999 [A. Writer].rb");
  EXPECT_EQ(listed.back().first, "Small Book Number 0 [A. Writer].rb");
  std::string remote = Remote("Small Book Number 1234 [A. Writer].rb");
  EXPECT_NE(FindTitleByName(Reader(), remote.c_str()), nullptr) << "linked on the card";
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
  ExpectListingTime(fd.ftLastWriteTime);
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
  ExpectListingTime(fd.ftLastWriteTime);
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
      if (call.control_code == IOCTL_DEV_PROBE) return failing == "probe#4" && ++*probes == 4;
      return call.control_code == IOCTL_DEV_QUERY_START && call.input.c_str() == failing;
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

TEST_F(ListingTest, EveryTitleGetsItsOwnNameThatFitsTheHostsPath) {
  const std::string t127(127, 't');
  const std::string a127(127, 'a');
  fake.SetReply("__TITLES",
                "T0=title=\"Same\" author=\"Twin [X\" x=\"\"\n"
                "T1=title=\"\" author=\"Nobody\" x=\"\"\n"
                "T2=title=\"" + t127 + "\" author=\"" + a127 + "\" x=\"\"\n"
                "T3=title=\"Same\" author=\"Twin\" x=\"\"\n"
                "T4=title=\"Same\" author=\"Twin\" size=\"-1\"\n"
                "T5=title=\"Same\" author=\"Twin\" x=\"\"\n"
                "T6=title=\"Same [Twin\" author=\"X\" x=\"\"\n"
                "T7=title=\"" + t127 + "\" author=\"" + a127 + "\" x=\"\"\n"
                "T8=title=\"" + t127 + "\" author=\"" + a127.substr(1) + "b\" x=\"\"\n");
  const std::string cut = t127 + " [" + std::string(122, 'a');
  const std::string cut_for_mark = t127 + " [" + std::string(118, 'a');
  const Entries expected = {
      {cut_for_mark + "] (3).rb", 0},        // T8: cut to 255, meets T2 and T7
      {cut_for_mark + "] (2).rb", 0},        // T7
      {"Same [Twin [X] (2).rb", 0},          // T6 composes T0's name
      {"Same [Twin] (3).rb", 0},
      {"Same [Twin] (2).rb", 0xFFFFFFFFu},   // the size's 32 bits as they are
      {"Same [Twin].rb", 0},
      {cut + "].rb", 0},                     // T2
      {" [Nobody].rb", 0},                   // an empty title
      {"Same [Twin [X].rb", 0},              // T0: title and author cut elsewhere
  };
  // The first of equal names in the reader's reply (the last listed) shows
  // it plain, the later ones a mark, so a title added later never takes an
  // existing one's name; a name cut to 255 bytes that meets an equal one is
  // marked too, and its author gives way to the mark.
  List();  // opens the link, whose discovery allocates once
  const std::size_t before = fake.allocations();
  EXPECT_EQ(List(), expected);
  for (const auto& entry : expected) {
    EXPECT_LE(entry.first.size(), 255u) << "a file name on every common file system";
  }
  // Without memory for the marking (a listing's last allocation) every
  // title after the reply's first is marked by its place in the reply:
  // still unique.
  fake.FailAllocation(2 * fake.allocations() - before);
  const Entries plain = List();
  ASSERT_EQ(plain.size(), expected.size());
  EXPECT_EQ(plain[0].first, cut_for_mark + "] (9).rb");
  EXPECT_EQ(plain[3].first, "Same [Twin] (6).rb");
  EXPECT_EQ(plain[8].first, "Same [Twin [X].rb");
}

TEST_F(ListingTest, WalkOfAClearedTitleListEnds) {
  LoadExampleReader(fake);
  WIN32_FIND_DATAA fd{};
  std::string root = Remote("");
  HANDLE h = FsFindFirst(&root[0], &fd);
  ASSERT_NE(h, InvalidHandleValue());
  // A failing exchange between two FsFindNext calls frees the title list.
  fake.FailWhen([](const FakeCall& c) { return c.control_code == IOCTL_DEV_QUERY_START; }, 31);
  std::string remote = Remote("Atlas [].rb");
  std::string local = dir.File("a.rb");
  EXPECT_EQ(FsGetFile(&remote[0], &local[0], 0, nullptr), FS_FILE_READERROR);
  EXPECT_FALSE(FsFindNext(h, &fd));
}

}  // namespace
}  // namespace pagora
