#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devlink/device.h"
#include "devlink/exchange.h"
#include "plugin/file_ops.h"
#include "plugin/listing.h"
#include "testing/plugin_fixture.h"

namespace pagora {
namespace {

class FileOpsTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    LoadExampleReader(fake);
    ASSERT_EQ(List().size(), 3u);
    fake.SetReply("\\book\\The Sea Road.rb", Pattern(10000));
    fake.SetReply("\\book\\Atlas.rb", "atlas");
    fake.ClearCalls();
  }
  int Get(const std::string& name, const std::string& local, int flags) {
    std::string remote = Remote(name);
    std::string target = local;
    return FsGetFile(&remote[0], &target[0], flags, nullptr);
  }
  int Put(const std::string& local, const std::string& name, int flags) {
    std::string source = local;
    std::string remote = Remote(name);
    return FsPutFile(&source[0], &remote[0], flags);
  }
  BOOL Delete(const std::string& remote) {
    std::string name = remote;
    return FsDeleteFile(&name[0]);
  }
  // The upload targets of the start calls made so far.
  std::vector<std::string> UploadTargets() const {
    std::vector<std::string> out;
    for (const FakeCall& c : fake.ControlCalls(IOCTL_DEV_UPLOAD_START)) {
      out.push_back(c.input.c_str());
    }
    return out;
  }
};

TEST_F(FileOpsTest, LookupReadsTheTitleUpToTheFirstBracket) {
  struct Case {
    const char* label;
    std::string name;
    int result;
  } cases[] = {
      {"listed name", "A Sea Road [Ann Wren].rb", FS_FILE_OK},
      {"other author", "A Sea Road [anyone at all", FS_FILE_OK},
      {"case differs", "a sea road [Ann Wren].rb", FS_FILE_NOTFOUND},
      {"no bracket", "Pagora Disconnected", FS_FILE_NOTFOUND},
      {"bracket first", "[x]", FS_FILE_NOTFOUND},
      {"bracket second", "A[x]", FS_FILE_NOTFOUND},
      {"empty", "", FS_FILE_NOTFOUND},
      {"unlinked title", "Tide Tables [Bo Lind].rb", FS_FILE_NOTFOUND},
      {"overlong name", std::string(300, 'x') + " [y].rb", FS_FILE_NOTFOUND},
  };
  fake.SetReply("__SMDIR", "");  // leave the card's title unlinked
  List();
  for (const Case& c : cases) {
    fake.ClearCalls();
    EXPECT_EQ(Get(c.name, dir.File("out.rb"), FS_COPYFLAGS_OVERWRITE), c.result) << c.label;
    if (c.result != FS_FILE_OK) {
      EXPECT_TRUE(fake.ControlCalls().empty()) << c.label;
    }
  }
}

TEST_F(FileOpsTest, EveryListedNameReachesItsOwnBook) {
  const std::string t127(127, 't');
  const std::string a127(127, 'a');
  std::string dir_reply = kDirHeader + DirLine(false, "BOOK", "", "-D---", "0", "book") + "\n";
  std::string titles;
  const char* const files[] = {"a.rb", "b.rb", "c.rb", "d.rb", "e.rb", "f.rb"};
  const std::string texts[] = {"title=\"Poems\" author=\"Old\"",
                               "title=\"Poems\" author=\"New\"",
                               "title=\"Odd [1]\" author=\"X\"",
                               "title=\"" + t127 + "\" author=\"" + a127 + "\"",
                               "title=\"Same\" author=\"Twin\"",
                               "title=\"Same\" author=\"Twin\""};
  for (int i = 0; i < 6; ++i) {
    dir_reply += DirLine(true, "F", "RB", "-----", "1", files[i]) + "\n";
    titles += "T=" + texts[i] + " filename=\"\\book\\" + files[i] + "\" size=\"1\"\n";
  }
  fake.SetReply("__DIR", dir_reply);
  fake.SetReply("__SMDIR", "");
  fake.SetReply("__TITLES", titles);
  ASSERT_EQ(List().size(), 6u);
  struct Case {
    const char* label;
    std::string name;
    const char* file;  // the book reached, or nullptr for none
  } cases[] = {
      {"equal titles, the later author", "Poems [New].rb", "b.rb"},
      {"equal titles, the earlier author", "Poems [Old].rb", "a.rb"},
      {"ambiguous hand-typed name", "Poems [someone].rb", nullptr},
      {"bracket inside the title", "Odd [1] [X].rb", "c.rb"},
      {"hand-typed, cut at the title's own bracket", "Odd [anything", nullptr},
      {"255-byte listed name", t127 + " [" + a127.substr(5) + "].rb", "d.rb"},
      {"equal names, the first in the reply", "Same [Twin].rb", "e.rb"},
      {"equal names, the one added later", "Same [Twin] (2).rb", "f.rb"},
      {"a mark on a name nobody shows", "Same [Twin] (3).rb", nullptr},
  };
  for (const Case& c : cases) {
    ASSERT_LE(c.name.size() + 1, 259u) << c.label;
    fake.ClearCalls();
    for (const char* file : files) fake.SetReply(std::string("\\book\\") + file, file);
    const std::string local = dir.File("out.rb");
    EXPECT_EQ(Get(c.name, local, FS_COPYFLAGS_OVERWRITE),
              c.file != nullptr ? FS_FILE_OK : FS_FILE_NOTFOUND) << c.label;
    EXPECT_EQ(Delete(Remote(c.name)), c.file != nullptr ? kTrue : kFalse) << c.label;
    if (c.file == nullptr) {
      EXPECT_TRUE(UploadTargets().empty()) << c.label << ": nothing erased";
      continue;
    }
    EXPECT_EQ(ReadFile(local), c.file) << c.label;
    ASSERT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_START).size(), 1u) << c.label;
    EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_START)[0].input,
              std::string("__WHATYOUWANT", 14) + "CMD!\nDELTITLE book\\" + c.file +
                  "\n#/* Erase title */\n") << c.label;
  }
}

TEST_F(FileOpsTest, DownloadReportsAroundTheTransfer) {
  const std::string local = dir.File("sea.rb");
  ASSERT_EQ(Get("A Sea Road [Ann Wren].rb", local, 0), FS_FILE_OK);
  EXPECT_EQ(ReadFile(local), Pattern(10000));
  auto starts = fake.ControlCalls(IOCTL_DEV_QUERY_START);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].input, std::string("\\book\\The Sea Road.rb", 22));
  const std::string remote = Remote("A Sea Road [Ann Wren].rb");
  // 10000 of an expected 412345 bytes: the percentages stay small.
  EXPECT_EQ(Reports(), (std::vector<ProgressReport>{{7, remote, local, 0},
                                                    {7, remote, local, 0},
                                                    {7, remote, local, 1},
                                                    {7, remote, local, 2},
                                                    {7, remote, local, 100}}));
}

TEST_F(FileOpsTest, DownloadFlags) {
  enum class Target { kFile, kNothing, kFolder, kDanglingLink };
  struct Case {
    const char* label;
    int flags;
    int result;
    Target target = Target::kFile;
  } cases[] = {
      {"none: the host asks first", 0, FS_FILE_EXISTS},
      {"overwrite", FS_COPYFLAGS_OVERWRITE, FS_FILE_OK},
      {"move alone asks too", FS_COPYFLAGS_MOVE, FS_FILE_EXISTS},
      {"move and overwrite", FS_COPYFLAGS_MOVE | FS_COPYFLAGS_OVERWRITE, FS_FILE_OK},
      {"move and overwrite, the download fails", FS_COPYFLAGS_MOVE | FS_COPYFLAGS_OVERWRITE,
       FS_FILE_READERROR},
      {"resume", FS_COPYFLAGS_RESUME, FS_FILE_NOTSUPPORTED},
      {"all", 7, FS_FILE_NOTSUPPORTED},
      {"none, no target", 0, FS_FILE_OK, Target::kNothing},
      {"none, a folder at the target", 0, FS_FILE_EXISTS, Target::kFolder},
#if !defined(_WIN32)
      {"none, a dangling link at the target", 0, FS_FILE_EXISTS, Target::kDanglingLink},
#endif
  };
  for (const Case& c : cases) {
    const std::string local = dir.File("atlas.rb");
    std::filesystem::remove_all(local);
    switch (c.target) {
      case Target::kFile: WriteFile(local, "older"); break;
      case Target::kNothing: break;
      case Target::kFolder: std::filesystem::create_directory(local); break;
      case Target::kDanglingLink: std::filesystem::create_symlink(dir.File("gone.rb"), local); break;
    }
    List();
    fake.ClearCalls();
    if (c.result == FS_FILE_READERROR) {
      fake.FailWhen([](const FakeCall& call) { return call.control_code == IOCTL_DEV_QUERY_NEXT; }, 1167);
      fake.SetReply("\\book\\Atlas.rb", Pattern(5000));
    }
    EXPECT_EQ(Get("Atlas [].rb", local, c.flags), c.result) << c.label;
    for (const FakeCall& call : fake.calls()) {
      EXPECT_FALSE(call.op == "delete_file" && call.input == local) << c.label << ": never deleted";
    }
    if (c.result == FS_FILE_EXISTS) {
      EXPECT_TRUE(fake.ControlCalls().empty()) << c.label << ": the reader is not asked";
      EXPECT_EQ(fake.CountOf("create_file"), 0u) << c.label << ": no temporary file";
    }
    if (c.target == Target::kFile || c.result == FS_FILE_OK) {
      EXPECT_EQ(ReadFile(local), c.result == FS_FILE_OK ? "atlas" : "older") << c.label;
    }
    EXPECT_EQ(std::filesystem::is_directory(local), c.target == Target::kFolder) << c.label;
    EXPECT_EQ(std::filesystem::is_symlink(local), c.target == Target::kDanglingLink) << c.label;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"atlas.rb"}) << c.label;
    fake.ClearFailures();
    fake.SetReply("\\book\\Atlas.rb", "atlas");
  }
  std::filesystem::remove_all(dir.File("atlas.rb"));
  EXPECT_EQ(Get("Atlas [].rb", dir.File("x.rb"), FS_COPYFLAGS_MOVE), FS_FILE_OK);
  EXPECT_EQ(List().size(), 3u) << "a moved title stays on the reader";

  // A file that appears at the target while the book downloads is not
  // replaced without the flag: the host is asked, and nothing is left.
  static std::string g_appearing;
  g_appearing = dir.File("late.rb");
  struct Appear {
    static int WFX_CALL During(int, char*, char*, int percent) {
      if (percent > 0 && percent < 100 && !std::filesystem::exists(g_appearing)) {
        WriteFile(g_appearing, "theirs");
      }
      return 0;
    }
  };
  FsInit(7, Appear::During, nullptr, nullptr);
  EXPECT_EQ(Get("A Sea Road [Ann Wren].rb", g_appearing, 0), FS_FILE_EXISTS);
  EXPECT_EQ(ReadFile(g_appearing), "theirs");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"late.rb", "x.rb"})) << "no temporary left";
}

TEST_F(FileOpsTest, CancelStopsADownloadAtTheNextBlock) {
  Answer() = 1;
  const std::string local = dir.File("a.rb");
  EXPECT_EQ(Get("A Sea Road [Ann Wren].rb", local, FS_COPYFLAGS_MOVE | FS_COPYFLAGS_OVERWRITE),
            FS_FILE_USERABORT);
  EXPECT_TRUE(fake.calls().empty()) << "nothing deleted or downloaded";
  EXPECT_TRUE(dir.Names().empty());
  // Cancel answered to the first block's report: no further block is asked
  // for, the user's file stays, no temporary is left, and the next exchange
  // finds the reader afresh.
  static int g_reports;
  g_reports = 0;
  struct Counter {
    static int WFX_CALL Abort(int, char*, char*, int) { return ++g_reports > 1 ? 1 : 0; }
  };
  WriteFile(local, "the user's own");
  FsInit(7, Counter::Abort, nullptr, nullptr);
  fake.ClearCalls();
  EXPECT_EQ(Get("A Sea Road [Ann Wren].rb", local, FS_COPYFLAGS_OVERWRITE), FS_FILE_USERABORT);
  EXPECT_EQ(g_reports, 2) << "the report of 0 and the first block's";
  EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_QUERY_START).size(), 1u);
  EXPECT_TRUE(fake.ControlCalls(IOCTL_DEV_QUERY_NEXT).empty());
  EXPECT_EQ(ReadFile(local), "the user's own");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.rb"});
  fake.ClearCalls();
  EXPECT_EQ(List().size(), 3u);
  EXPECT_EQ(fake.CountOf("get_class_devs"), 1u) << "the link was reset";
  // An upload cannot be called back once its start call has sent the data.
  const std::string book = dir.File("b.rb");
  WriteFile(book, Pattern(10000));
  fake.SetReply("__STATUS", "FLASHFREE=\"100000\"\n");
  g_reports = 0;
  EXPECT_EQ(Put(book, "b.rb", 0), FS_FILE_OK);
  EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_NEXT).size(), 2u);
}

TEST_F(FileOpsTest, FailedTransfersMapTheLastError) {
  struct Case {
    std::uint32_t error;
    int result;
    int local_result;  // when a download's local write fails with the error
  } cases[] = {{2, FS_FILE_NOTFOUND, FS_FILE_NOTFOUND},
               {3, FS_FILE_NOTFOUND, FS_FILE_NOTFOUND},
               {4, FS_FILE_NOTFOUND, FS_FILE_NOTFOUND},
               {5, FS_FILE_NOTFOUND, FS_FILE_NOTFOUND},
               {80, FS_FILE_EXISTS, FS_FILE_EXISTS},
               {31, FS_FILE_READERROR, FS_FILE_READERROR},
               {1167, FS_FILE_READERROR, FS_FILE_READERROR},
               {6, FS_FILE_READERROR, FS_FILE_READERROR},
               // Want of room is the user's side only when a local call failed.
               {kErrorDiskFull, FS_FILE_READERROR, FS_FILE_WRITEERROR},
               {kErrorHandleDiskFull, FS_FILE_READERROR, FS_FILE_WRITEERROR},
               {kErrorWriteProtect, FS_FILE_READERROR, FS_FILE_WRITEERROR}};
  for (const Case& c : cases) {
    // Downloads: the start call of the transfer fails.
    Reset(Reader());
    FakeDriver local;
    LoadExampleReader(local);
    List();
    local.SetReply("\\book\\Atlas.rb", "atlas");
    local.FailWhen([](const FakeCall& call) {
      return call.control_code == IOCTL_DEV_QUERY_START && call.input.c_str() == std::string("\\book\\Atlas.rb");
    }, c.error);
    EXPECT_EQ(Get("Atlas [].rb", dir.File("a.rb"), 0), c.result) << c.error;
    // Downloads: the local write fails.
    local.ClearFailures();
    List();
    local.FailWhen([](const FakeCall& call) { return call.op == "write_file"; }, c.error);
    EXPECT_EQ(Get("Atlas [].rb", dir.File("a.rb"), 0), c.local_result) << c.error << " locally";
    local.ClearFailures();
    // Uploads: the start call of the upload fails.
    local.SetReply("__STATUS", "FLASHFREE=\"100000\"\n");
    local.FailWhen([](const FakeCall& call) { return call.control_code == IOCTL_DEV_UPLOAD_START; },
                   c.error);
    const std::string book = dir.File("b.rb");
    WriteFile(book, "book");
    EXPECT_EQ(Put(book, "b.rb", 0), c.result) << c.error;
    Reset(Reader());
  }
  EXPECT_EQ(MapTransferError(0), FS_FILE_READERROR);
}

TEST_F(FileOpsTest, UploadChoosesTheStorageByEachOnesFreeMemory) {
  const std::string book = dir.File("Book.RB");
  WriteFile(book, Pattern(1000));
  const std::string card = "SM_PRESENT=\"Yes\"\nSM_FLASHFREE=";
  struct Case {
    const char* label;
    std::string status;
    const char* folder;  // nullptr: out of space
    const char* message;
  } cases[] = {
      {"fits internal", "FLASHFREE=\"1001\"\n" + card + "\"16\"", "\\book", nullptr},
      {"equal goes to the card", "FLASHFREE=\"1000\"\n" + card + "\"1001\"", "\\SM\\book",
       nullptr},
      {"negative free memory compares unsigned", "FLASHFREE=\"-1\"", "\\book", nullptr},
      {"card's free memory equal", "FLASHFREE=\"0\"\n" + card + "\"1000\"", nullptr,
       "Insufficiently memory!\nPagora memory free: 0\nSmartMedia free: 1000"},
      {"full card, however large", "FLASHFREE=\"10\"\nOFLASHID01=\"C\" \"16\"\n" + card + "\"0\"",
       nullptr, "Insufficiently memory!\nPagora memory free: 10\nSmartMedia free: 0"},
      {"no card", "FLASHFREE=\"999\"", nullptr,
       "Insufficiently memory!\nPagora memory free: 999\nSmartMedia free: 0"},
      {"card figures without a card", "FLASHFREE=\"10\"\nSM_PRESENT=\"No\"\nSM_FLASHFREE=\"9999\"",
       nullptr, "Insufficiently memory!\nPagora memory free: 10\nSmartMedia free: 0"},
  };
  for (const Case& c : cases) {
    Reset(Reader());
    fake.ClearCalls();
    fake.messages.clear();
    fake.SetReply("__STATUS", c.status);
    const int result = Put(book, "Book.RB", FS_COPYFLAGS_MOVE | FS_COPYFLAGS_OVERWRITE);
    if (c.folder == nullptr) {
      EXPECT_EQ(result, FS_FILE_WRITEERROR) << c.label;
      ASSERT_EQ(fake.messages.size(), 1u) << c.label;
      EXPECT_EQ(fake.messages[0].first, "Error!");
      EXPECT_EQ(fake.messages[0].second, c.message) << c.label;
      EXPECT_EQ(fake.calls().back().box_type, 0x10u) << "MB_OK | MB_ICONERROR";
      EXPECT_TRUE(UploadTargets().empty()) << c.label;
      continue;
    }
    EXPECT_EQ(result, FS_FILE_OK) << c.label;
    ASSERT_EQ(UploadTargets().size(), 1u) << c.label;
    EXPECT_EQ(UploadTargets()[0], std::string(c.folder) + "\\Book.RB") << c.label;
    EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_UPLOAD_START)[0].input,
              std::string(c.folder) + "\\Book.RB" + std::string(1, '\0') + Pattern(1000));
    EXPECT_TRUE(fake.messages.empty()) << c.label;
  }
  EXPECT_EQ(ReadFile(book), Pattern(1000)) << "move and overwrite delete nothing";
}

TEST_F(FileOpsTest, UploadChecksInOrder) {
  const std::string book = dir.File("Book.Rb");
  WriteFile(book, Pattern(10));
  const std::string plain = dir.File("notes.txt");
  WriteFile(plain, "x");
  std::filesystem::create_directories(dir.File("shelf.rb"));
  const std::string inside = dir.File("shelf.rb") + "/notes.txt";
  WriteFile(inside, "x");
  fake.SetReply("__STATUS", "FLASHFREE=\"100\"\n");
  struct Case {
    const char* label;
    std::string local;
    std::string remote;
    int flags;
    int answer;
    int result;
    bool status_asked;
  } cases[] = {
      {"no .rb", plain, "notes.txt", 0, 0, FS_FILE_NOTSUPPORTED, false},
      {".rb in a folder name", inside, "shelf notes.txt", 0, 0, FS_FILE_OK, true},
      {"another file's path, letter case aside", book, "ATLAS.rb", 0, 0, FS_FILE_EXISTS, true},
      {"another file's path, overwrite", book, "notes.TXT", FS_COPYFLAGS_OVERWRITE, 0, FS_FILE_OK,
       true},
      {"a path only the other storage holds", book, "tides.rb", 0, 0, FS_FILE_OK, true},
      {"missing file", dir.File("missing.rb"), "m.rb", 0, 0, FS_FILE_NOTSUPPORTED, false},
      {"resume after the choice", book, "b.rb", FS_COPYFLAGS_RESUME, 0, FS_FILE_NOTSUPPORTED, true},
      {"short remote name", book, "b", 0, 0, FS_FILE_NOTFOUND, true},
      {"abort at 0", book, "b.rb", 0, 1, FS_FILE_USERABORT, true},
      {"internal path at its longest", book, std::string(253, 'n'), 0, 0, FS_FILE_OK, true},
      {"internal path too long", book, std::string(254, 'n'), 0, 0, FS_FILE_NOTSUPPORTED, false},
  };
  for (const Case& c : cases) {
    fake.ClearCalls();
    Answer() = c.answer;
    std::string local = c.local;
    std::string remote = Remote(c.remote);
    const std::string local_before = local;
    EXPECT_EQ(FsPutFile(&local[0], &remote[0], c.flags), c.result) << c.label;
    EXPECT_EQ(local, local_before) << c.label << ": the host's string is not written";
    EXPECT_EQ(fake.ControlCalls(IOCTL_DEV_QUERY_START).size(), c.status_asked ? 1u : 0u) << c.label;
    EXPECT_EQ(UploadTargets().size(), c.result == FS_FILE_OK ? 1u : 0u) << c.label;
  }
}

TEST_F(FileOpsTest, CardPathLengthAndProgressNames) {
  const std::string book = dir.File("b.rb");
  WriteFile(book, Pattern(5000));
  fake.SetReply("__STATUS", "FLASHFREE=\"0\"\nSM_PRESENT=\"Yes\"\nSM_FLASHFREE=\"1048576\"");
  EXPECT_EQ(Put(book, std::string(251, 'n'), 0), FS_FILE_NOTSUPPORTED);
  EXPECT_EQ(Put(book, "Tides.RB", 0), FS_FILE_EXISTS) << "the card's own book";
  EXPECT_EQ(Put(book, "Atlas.rb", 0), FS_FILE_OK) << "a path only internal memory holds";
  fake.ClearCalls();
  EXPECT_TRUE(UploadTargets().empty());
  Reports().clear();
  EXPECT_EQ(Put(book, std::string(250, 'n'), 0), FS_FILE_OK);
  ASSERT_EQ(UploadTargets().size(), 1u);
  EXPECT_EQ(UploadTargets()[0].size(), 259u);
  const std::string remote = Remote(std::string(250, 'n'));
  EXPECT_EQ(Reports(), (std::vector<ProgressReport>{{7, book, remote, 0},
                                                    {7, book, remote, 82},
                                                    {7, book, remote, 100},
                                                    {7, book, remote, 100}}));
}

TEST_F(FileOpsTest, UploadWithoutAReaderIsAFailedTransfer) {
  fake.present = false;
  Reset(Reader());
  const std::string book = dir.File("b.rb");
  WriteFile(book, "b");
  EXPECT_EQ(Put(book, "b.rb", 0), FS_FILE_READERROR);
  EXPECT_TRUE(fake.messages.empty()) << "an absent reader is not a full one";
  // A title list left from the last listing leads to the mapped failure.
  fake.present = true;
  List();
  fake.present = false;
  EXPECT_EQ(Get("Atlas [].rb", dir.File("a.rb"), 0), FS_FILE_READERROR);
  EXPECT_TRUE(dir.Names() == std::vector<std::string>{"b.rb"});
}

TEST_F(FileOpsTest, DeleteSendsTheScriptForFoundTitles) {
  EXPECT_FALSE(Delete(Remote("A")));
  EXPECT_TRUE(fake.calls().empty()) << "short names never reach the reader";

  EXPECT_TRUE(Delete(Remote("Tide Tables [Bo Lind].rb")));
  auto starts = fake.ControlCalls(IOCTL_DEV_UPLOAD_START);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].input, std::string("__WHATYOUWANT", 14) +
                                 "CMD!\nDELTITLE SM\\book\\tides.rb\n#/* Erase title */\n");
  EXPECT_TRUE(Delete(Remote("Tide Tables [Bo Lind].rb"))) << "found again before the next listing";
  EXPECT_FALSE(Delete(Remote("Nothing [x].rb")));

  fake.FailWhen([](const FakeCall& c) { return c.control_code == IOCTL_DEV_UPLOAD_START; }, 31);
  EXPECT_FALSE(Delete(Remote("Atlas [].rb"))) << "a failed erase is not reported as done";
  EXPECT_FALSE(Delete(Remote("Atlas [].rb"))) << "the reset emptied the title list";

  fake.present = false;
  fake.ClearCalls();
  EXPECT_FALSE(Delete(Remote("Atlas [].rb")));
}

}  // namespace
}  // namespace pagora
