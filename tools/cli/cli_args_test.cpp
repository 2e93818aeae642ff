#include "tools/cli/cli_args.h"

#include <gtest/gtest.h>

#include "plugin/fs_api.h"

namespace pagora_cli {
namespace {

TEST(CliArgs, AcceptedCommandLines) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    Command command;
    std::string module;
    std::vector<std::string> operands;
    int copy_flags;
  };
  const Case cases[] = {
      {"ls", {"ls"}, Command::kList, "", {}, 0},
      {"module before", {"--module", "/m.wfx", "ls"}, Command::kList, "/m.wfx", {}, 0},
      {"module with =", {"--module=/m.wfx", "ls"}, Command::kList, "/m.wfx", {}, 0},
      {"get one", {"get", "A [B].rb"}, Command::kGet, "", {"A [B].rb"}, 0},
      {"get dest", {"get", "A [B].rb", "out.rb"}, Command::kGet, "", {"A [B].rb", "out.rb"}, 0},
      {"get overwrite", {"--overwrite", "get", "x"}, Command::kGet, "", {"x"},
       FS_COPYFLAGS_OVERWRITE},
      {"flags after", {"get", "x", "--move", "--resume"}, Command::kGet, "", {"x"},
       FS_COPYFLAGS_MOVE | FS_COPYFLAGS_RESUME},
      {"put all flags", {"put", "--overwrite", "f.rb", "--move", "n.rb", "--resume"},
       Command::kPut, "", {"f.rb", "n.rb"}, 7},
      {"dash dash", {"rm", "--", "--move"}, Command::kRemove, "", {"--move"}, 0},
      {"lone dash is a word", {"rm", "-"}, Command::kRemove, "", {"-"}, 0},
      {"ls long", {"ls", "-l"}, Command::kList, "", {}, 0},
      {"info", {"info", "A [B].rb"}, Command::kInfo, "", {"A [B].rb"}, 0},
      {"open", {"open", "A [B].rb"}, Command::kOpen, "", {"A [B].rb"}, 0},
  };
  for (const Case& c : cases) {
    const ParseResult result = ParseArgs(c.args);
    ASSERT_TRUE(result.ok) << c.label << ": " << result.error;
    EXPECT_EQ(result.options.command, c.command) << c.label;
    EXPECT_EQ(result.options.module, c.module) << c.label;
    EXPECT_EQ(result.options.operands, c.operands) << c.label;
    EXPECT_EQ(CopyFlags(result.options), c.copy_flags) << c.label;
    EXPECT_FALSE(result.options.help) << c.label;
  }
}

TEST(CliArgs, RejectedCommandLines) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    const char* error_part;
  };
  const Case cases[] = {
      {"nothing", {}, "no command"},
      {"only options", {"--move"}, "no command"},
      {"unknown command", {"cp", "a"}, "unknown command 'cp'"},
      {"unknown option", {"--force", "ls"}, "unknown option '--force'"},
      {"ls with operand", {"ls", "x"}, "too many"},
      {"get without name", {"get"}, "missing argument"},
      {"get three", {"get", "a", "b", "c"}, "too many"},
      {"put without file", {"put"}, "missing argument"},
      {"rm two", {"rm", "a", "b"}, "too many"},
      {"rm with copy flag", {"rm", "a", "--move"}, "takes no"},
      {"ls with copy flag", {"--overwrite", "ls"}, "takes no"},
      {"module without path", {"ls", "--module"}, "needs a path"},
      {"module empty", {"--module=", "ls"}, "needs a path"},
      {"module twice", {"--module", "a", "--module", "b", "ls"}, "twice"},
      {"long get", {"get", "-l", "a"}, "get takes no -l"},
      {"info without name", {"info"}, "missing argument"},
      {"open two", {"open", "a", "b"}, "too many"},
      {"open with copy flag", {"open", "a", "--overwrite"}, "takes no"},
  };
  for (const Case& c : cases) {
    const ParseResult result = ParseArgs(c.args);
    EXPECT_FALSE(result.ok) << c.label;
    EXPECT_NE(result.error.find(c.error_part), std::string::npos)
        << c.label << ": got '" << result.error << "'";
  }
}

TEST(CliArgs, HelpWinsOverAnythingElse) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h", "get"}, {"frobnicate", "--help"}}) {
    const ParseResult result = ParseArgs(args);
    EXPECT_TRUE(result.ok && result.options.help) << args[0];
  }
  const std::string usage = UsageText();
  for (const char* word : {"ls [-l]", "get NAME [DEST]", "put FILE [NAME]", "rm NAME",
                           "info NAME", "standard error", "open NAME", "--overwrite", "--move",
                           "--resume", "--module PATH", "Exit status"}) {
    EXPECT_NE(usage.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace pagora_cli
