// A host around the module's exports: the fake driver, the module's reader
// state reset between tests, and a progress callback that records.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/reader_state.h"
#include "plugin/fs_api.h"
#include "plugin/host_context.h"
#include "plugin/module.h"
#include "testing/fake_driver.h"
#include "testing/test_support.h"

namespace pagora {

struct ProgressReport {
  int plugin_nr;
  std::string source;
  std::string target;
  int percent;
  bool operator==(const ProgressReport& o) const {
    return plugin_nr == o.plugin_nr && source == o.source && target == o.target &&
           percent == o.percent;
  }
};

inline std::ostream& operator<<(std::ostream& os, const ProgressReport& r) {
  return os << "{" << r.plugin_nr << ", " << r.source << ", " << r.target << ", " << r.percent
            << "}";
}

class PluginTest : public ::testing::Test {
 protected:
  static std::vector<ProgressReport>& Reports() {
    static std::vector<ProgressReport> reports;
    return reports;
  }
  static int& Answer() {  // what the host answers the next reports
    static int answer = 0;
    return answer;
  }
  static int WFX_CALL OnProgress(int plugin_nr, char* source, char* target, int percent) {
    Reports().push_back({plugin_nr, source, target, percent});
    return Answer();
  }

  void SetUp() override {
    Reset(Reader());
    Reports().clear();
    Answer() = 0;
    FsInit(7, OnProgress, nullptr, nullptr);
  }
  void TearDown() override {
    Reset(Reader());
    EXPECT_EQ(fake.live_allocations(), 0u) << "everything the test made is freed";
  }

  // A remote name as the host gives it: its separator, then `name`.
  static std::string Remote(const std::string& name) { return std::string(1, kHostSeparator) + name; }

  // Lists the root; gives the entries' names and sizes in listing order.
  std::vector<std::pair<std::string, DWORD>> List() {
    std::vector<std::pair<std::string, DWORD>> out;
    WIN32_FIND_DATAA fd{};
    std::string root(1, kHostSeparator);
    HANDLE h = FsFindFirst(&root[0], &fd);
    if (h == InvalidHandleValue()) return out;
    do out.emplace_back(fd.cFileName, fd.nFileSizeLow);
    while (FsFindNext(h, &fd));
    return out;
  }

  FakeDriver fake;
  TempDir dir;
};

// The reader of the worked example: "book" holds The Sea Road, notes and
// two more books; three titles name them.
inline void LoadExampleReader(FakeDriver& fake) {
  fake.SetReply("__DIR", kDirHeader + DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n" +
                             DirLine(true, "SEAROA~1", "RB", "-----", "412345", "The Sea Road.rb") +
                             "\n" + DirLine(true, "NOTES", "TXT", "-----", "2048", "notes.txt") +
                             "\n" + DirLine(true, "ATLAS~1", "RB", "-----", "300", "Atlas.rb") +
                             "\n" + DirLine(false, "SYSTEM", "", "-D---", "0", "system") + "\n" +
                             DirLine(true, "CONFIG", "INI", "-----", "311", "config.ini") + "\n" +
                             DirLine(false, "README", "TXT", "-----", "100", "readme.txt") + "\n");
  fake.SetReply("__SMDIR", kDirHeader + DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n" +
                               DirLine(true, "TIDES", "RB", "-----", "20480", "tides.rb") + "\n");
  fake.SetReply("__TITLES",
                "TITLECOUNT=\"3\"\n"
                "T1=title=\"A Sea Road\" author=\"Ann Wren\" filename=\"\\book\\The Sea Road.rb\" "
                "size=\"412345\" ANNO=\"no\"\n"
                "T2=title=\"Atlas\" author=\"\" filename=\"\\book\\Atlas.rb\" size=\"300\"\n"
                "T3=title=\"Tide Tables\" author=\"Bo Lind\" filename=\"\\SM\\book\\tides.rb\" "
                "size=\"20480\" ANNO=\"yes\"\n");
}

}  // namespace pagora
