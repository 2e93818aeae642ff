// Runs the pagora-cli executable against the stand-in plugin and checks what
// a user sees (output, exit status, files) and what the plugin was called with.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/fs_api.h"
#include "tools/cli/result_codes.h"
#include "testing/run_process.h"

namespace pagora_cli {
namespace {

namespace fs = std::filesystem;

using Outcome = pagora_test::ProcessResult;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class CliRun : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = pagora_test::MakeTempDir("pagora-cli-test");
    ASSERT_FALSE(root_.empty());
    reader_ = root_ / "reader";
    work_ = root_ / "work";
    fs::create_directories(reader_);
    fs::create_directories(work_);
    env_["FAKE_READER_DIR"] = reader_.string();
    env_["FAKE_READER_LOG"] = (root_ / "calls.log").string();
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs pagora-cli in the work directory with the stand-in plugin (unless
  // the arguments name a module) and the environment in env_.
  Outcome Cli(std::vector<std::string> args, bool with_fake_module = true) {
    if (with_fake_module) args.insert(args.begin(), {"--module", FAKE_READER_MODULE});
    fs::remove(root_ / "calls.log");
    return pagora_test::RunProcess(PAGORA_CLI_PATH, args, env_, work_.string(), root_.string());
  }

  // The plugin calls of the last run, one per line.
  std::vector<std::string> Calls() {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(root_ / "calls.log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // The calls of the last run from the first one starting with `prefix`.
  std::vector<std::string> CallsFrom(const std::string& prefix) {
    std::vector<std::string> calls = Calls();
    auto first = std::find_if(calls.begin(), calls.end(), [&](const std::string& call) {
      return call.rfind(prefix, 0) == 0;
    });
    return std::vector<std::string>(first, calls.end());
  }

  fs::path root_;
  fs::path reader_;
  fs::path work_;
  std::map<std::string, std::string> env_;
};

using Lines = std::vector<std::string>;

TEST_F(CliRun, ListsTheFolderLikeAHost) {
  WriteFile(reader_ / "A [X].rb", std::string(10, 'a'));
  WriteFile(reader_ / "B [Y].rb", std::string(12345, 'b'));
  Outcome run = Cli({"ls"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Fake Reader:\n          10  A [X].rb\n       12345  B [Y].rb\n");
  EXPECT_EQ(Calls(), (Lines{"FsInit 1 progress no-log request", "FsGetDefRootName 260",
                            "FsFindFirst /", "FsFindNext", "FsFindNext", "FsFindClose"}));

  fs::remove_all(reader_ / "A [X].rb");
  fs::remove_all(reader_ / "B [Y].rb");
  run = Cli({"ls"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Fake Reader:\n  (empty folder)\n");
  EXPECT_EQ(CallsFrom("FsFindFirst"), (Lines{"FsFindFirst /"})) << "no close of an invalid handle";

  env_.erase("FAKE_READER_DIR");
  run = Cli({"ls"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Fake Reader:\n           0  Pagora Disconnected\n");
  EXPECT_EQ(CallsFrom("FsFindFirst"), (Lines{"FsFindFirst /", "FsFindNext", "FsFindClose foreign"}));
}

TEST_F(CliRun, DownloadsAndHonoursCopyFlags) {
  const std::string book(5000, 'k');
  WriteFile(reader_ / "T [A].rb", book);

  Outcome run = Cli({"get", "T [A].rb"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(work_ / "T [A].rb"), book);
  // The folder is listed first: the plugin finds titles in its last listing.
  EXPECT_EQ(CallsFrom("FsFindFirst").front(), "FsFindFirst /");
  EXPECT_EQ(Calls().back(), "FsGetFile /T [A].rb T [A].rb 0");
  EXPECT_NE(run.err.find("/T [A].rb -> T [A].rb: 100%"), std::string::npos) << run.err;

  // An existing target stays untouched: the plugin refuses it, as it does
  // for a file manager that then asks the user.
  WriteFile(work_ / "mine.rb", "precious");
  run = Cli({"get", "T [A].rb", "mine.rb"});
  EXPECT_EQ(run.status, 11) << "FS_FILE_EXISTS";
  EXPECT_NE(run.err.find("--overwrite"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(work_ / "mine.rb"), "precious");
  EXPECT_EQ(Calls().back(), "FsGetFile /T [A].rb mine.rb 0");

  run = Cli({"get", "--overwrite", "T [A].rb", "mine.rb"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(work_ / "mine.rb"), book);
  EXPECT_EQ(Calls().back(), "FsGetFile /T [A].rb mine.rb 1");

  run = Cli({"get", "--resume", "T [A].rb", "mine.rb"});
  EXPECT_EQ(Calls().back(), "FsGetFile /T [A].rb mine.rb 2") << "resume may continue a file";

  // A directory receives the entry under its own name.
  fs::create_directories(work_ / "sub");
  run = Cli({"get", "T [A].rb", "sub"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(work_ / "sub" / "T [A].rb"), book);

  // A failed moved download keeps the title; a good one deletes it after.
  env_["FAKE_READER_RESULT"] = "3";
  run = Cli({"get", "--move", "T [A].rb", "moved.rb"});
  EXPECT_EQ(run.status, 13);
  EXPECT_EQ(Calls().back(), "FsGetFile /T [A].rb moved.rb 4");
  env_.erase("FAKE_READER_RESULT");
  run = Cli({"get", "--move", "T [A].rb", "moved.rb"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(CallsFrom("FsGetFile"),
            (Lines{"FsGetFile /T [A].rb moved.rb 4", "FsDeleteFile /T [A].rb"}));
  EXPECT_EQ(ReadFile(work_ / "moved.rb"), book);
  EXPECT_FALSE(fs::exists(reader_ / "T [A].rb"));
}

TEST_F(CliRun, UploadsAndRemovesAMovedSourceOnlyAfterSuccess) {
  const std::string book(3000, 'u');
  WriteFile(work_ / "New.RB", book);

  env_["FAKE_READER_RESULT"] = "4";
  Outcome run = Cli({"put", "--move", "New.RB"});
  EXPECT_EQ(run.status, 14);
  EXPECT_NE(run.err.find("FS_FILE_WRITEERROR"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(work_ / "New.RB")) << "a failed move keeps the source";

  env_.erase("FAKE_READER_RESULT");
  run = Cli({"put", "New.RB", "Other.rb"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Calls().back(), "FsPutFile New.RB /Other.rb 0");
  EXPECT_EQ(ReadFile(reader_ / "Other.rb"), book);

  run = Cli({"put", "New.RB", "Other.rb"});
  EXPECT_EQ(run.status, 11) << "the plugin says it exists";
  run = Cli({"put", "--overwrite", "New.RB", "Other.rb"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Calls().back(), "FsPutFile New.RB /Other.rb 1");

  // The stand-in plugin writes into its buffer (it lowers the local name's
  // case); the source removed is still the one the user named.
  run = Cli({"put", "--move", "New.RB"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Calls().back(), "FsPutFile New.RB /New.RB 4");
  EXPECT_EQ(ReadFile(reader_ / "New.RB"), book);
  EXPECT_FALSE(fs::exists(work_ / "New.RB"));
  EXPECT_NE(run.err.find("new.rb -> /New.RB: 100%"), std::string::npos) << run.err;

  run = Cli({"put", "gone.rb"});
  EXPECT_EQ(run.status, kExitLocalFile);
  EXPECT_TRUE(CallsFrom("FsPutFile").empty());
}

TEST_F(CliRun, DeletesThroughThePlugin) {
  WriteFile(reader_ / "D [A].rb", "d");
  Outcome run = Cli({"rm", "D [A].rb"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(CallsFrom("FsFindFirst").front(), "FsFindFirst /");
  EXPECT_EQ(Calls().back(), "FsDeleteFile /D [A].rb");
  EXPECT_FALSE(fs::exists(reader_ / "D [A].rb"));

  run = Cli({"rm", "D [A].rb"});
  EXPECT_EQ(run.status, kExitDeleteRefused);
  EXPECT_NE(run.err.find("could not delete 'D [A].rb'"), std::string::npos) << run.err;
}

TEST_F(CliRun, EveryTransferResultHasAMessageAndStatus) {
  WriteFile(reader_ / "R [A].rb", "r");
  WriteFile(work_ / "up.rb", "u");
  for (int code : {0, 1, 2, 3, 4, 5, 6, 7, -3}) {
    env_["FAKE_READER_RESULT"] = std::to_string(code);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"get", "--overwrite", "R [A].rb", "down.rb"},
          {"put", "up.rb"}}) {
      // A write error is the local disk's in a download, the reader's in an upload.
      const ResultInfo info =
          DescribeResult(code, args[0] == "get" ? Direction::kDownload : Direction::kUpload);
      const std::string label = args[0] + " result " + std::to_string(code);
      const Outcome run = Cli(args);
      EXPECT_EQ(run.status, info.exit_status) << label;
      if (code == FS_FILE_OK) {
        EXPECT_EQ(run.err.find("pagora-cli:"), std::string::npos) << label << ": " << run.err;
      } else {
        EXPECT_NE(run.err.find(info.message), std::string::npos) << label << ": " << run.err;
      }
    }
  }
}

TEST_F(CliRun, CtrlCAnswersAbortAtTheNextReport) {
  WriteFile(reader_ / "I [A].rb", std::string(100, 'i'));
  WriteFile(work_ / "up.rb", "u");
  env_["FAKE_READER_INTERRUPT"] = "1";
  for (const char* signal_name : {"INT", "TERM", "HUP"}) {
    env_["FAKE_READER_SIGNAL"] = signal_name;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"get", "I [A].rb"}, {"put", "up.rb"}}) {
      const Outcome run = Cli(args);
      EXPECT_EQ(run.status, 10 + FS_FILE_USERABORT) << signal_name << " " << args[0] << ": "
                                                    << run.err;
      EXPECT_NE(run.err.find("aborted"), std::string::npos) << run.err;
    }
  }
  // A second signal ends the host at once, and says what may be left.
  env_["FAKE_READER_INTERRUPT"] = "twice";
  env_["FAKE_READER_SIGNAL"] = "TERM";
  Outcome twice = Cli({"get", "I [A].rb", "twice.rb"});
  EXPECT_EQ(twice.status, -1) << "ended by the signal";
  EXPECT_NE(twice.err.find("~pgr"), std::string::npos) << twice.err;
  env_.erase("FAKE_READER_SIGNAL");

  // A plugin that finishes anyway leaves a copy: the move is not completed.
  env_["FAKE_READER_INTERRUPT"] = "ignore";
  Outcome run = Cli({"get", "--move", "I [A].rb", "kept.rb"});
  EXPECT_EQ(run.status, 10 + FS_FILE_USERABORT) << run.err;
  EXPECT_NE(run.err.find("copied, not moved"), std::string::npos) << run.err;
  EXPECT_EQ(Calls().back(), "FsGetFile /I [A].rb kept.rb 4") << "no FsDeleteFile";
  EXPECT_TRUE(fs::exists(reader_ / "I [A].rb"));
  run = Cli({"put", "--move", "up.rb"});
  EXPECT_EQ(run.status, 10 + FS_FILE_USERABORT) << run.err;
  EXPECT_TRUE(fs::exists(reader_ / "up.rb"));
  EXPECT_TRUE(fs::exists(work_ / "up.rb")) << "the source stays";
}

TEST_F(CliRun, DetailsPropertiesAndOpening) {
  WriteFile(reader_ / "A [X].rb", std::string(10, 'a'));
  WriteFile(reader_ / "notes", "abc");
  Outcome run = Cli({"ls", "-l"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Fake Reader:\n"
            "        SIZE  NAME      Extension  Book\n"
            "          10  A [X].rb  rb         yes\n"
            "           3  notes     -          no\n");
  EXPECT_EQ(CallsFrom("FsContentGetValue"),
            (Lines{"FsContentGetValue /A [X].rb 0", "FsContentGetValue /A [X].rb 1",
                   "FsContentGetValue /notes 0", "FsContentGetValue /notes 1"}));

  run = Cli({"info", "A [X].rb"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Fake Reader: A [X].rb\n"), std::string::npos) << run.err;
  EXPECT_EQ(Calls().back(), "FsExecuteFile /A [X].rb properties");

  run = Cli({"open", "A [X].rb"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string prefix = "Fake Reader:\n";
  ASSERT_EQ(run.out.compare(0, prefix.size(), prefix), 0) << run.out;
  const fs::path copy = run.out.substr(prefix.size(), run.out.size() - prefix.size() - 1);
  EXPECT_EQ(copy.filename(), "A [X].rb");
  EXPECT_EQ(copy.parent_path().filename().string().rfind("pagora-open-", 0), 0u) << copy;
  EXPECT_EQ(ReadFile(copy), std::string(10, 'a'));
  EXPECT_EQ(CallsFrom("FsExecuteFile"),
            (Lines{"FsExecuteFile /A [X].rb open", "FsGetFile /A [X].rb " + copy.string() + " 0"}));
  fs::remove_all(copy.parent_path());

  for (const char* command : {"info", "open"}) {
    run = Cli({command, "missing.rb"});
    EXPECT_EQ(run.status, 10 + FS_FILE_NOTFOUND) << command;
    EXPECT_NE(run.err.find("no title is listed as 'missing.rb'"), std::string::npos) << run.err;
    EXPECT_EQ(CallsFrom("FsGetFile"), Lines{}) << command << ": nothing downloaded";
  }
}

TEST_F(CliRun, RefusesBadInputPlainly) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    bool with_fake_module;
    int status;
    std::string error_part;
  };
  const Case cases[] = {
      {"no command", {}, true, kExitUsage, "no command"},
      {"name with separator", {"get", "a/b.rb"}, true, kExitUsage, "separator"},
      {"empty name", {"rm", ""}, true, kExitUsage, "empty"},
      {"name too long", {"rm", std::string(300, 'n')}, true, kExitUsage, "at most 258"},
      {"missing module", {"--module", "/nonexistent/pagora.wfx", "ls"}, false, kExitModule,
       "cannot load module '/nonexistent/pagora.wfx'"},
      {"not a module", {"--module", "/etc/passwd", "ls"}, false, kExitModule, "cannot load"},
      {"module without exports", {"--module", PARTIAL_MODULE, "ls"}, false, kExitModule,
       "lacks FsFindFirst, FsFindNext, FsFindClose, FsGetFile, FsPutFile, FsDeleteFile, "
       "FsExecuteFile"},
  };
  for (const Case& c : cases) {
    const Outcome run = Cli(c.args, c.with_fake_module);
    EXPECT_EQ(run.status, c.status) << c.label;
    EXPECT_NE(run.err.find(c.error_part), std::string::npos) << c.label << ": " << run.err;
    EXPECT_TRUE(Calls().empty()) << c.label << ": no plugin call";
  }
  const Outcome help = Cli({"--help"}, false);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("15  FS_FILE_USERABORT"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace pagora_cli
