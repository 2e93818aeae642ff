#include "tools/cli/cli_args.h"

#include <getopt.h>

#include "plugin/fs_api.h"
#include "tools/cli/result_codes.h"

namespace pagora_cli {

namespace {

struct CommandShape {
  const char* word;
  std::size_t min_operands;
  std::size_t max_operands;
  Command command;
  bool takes_copy_flags;
};

constexpr CommandShape kCommands[] = {
    {"ls", 0, 0, Command::kList, false},
    {"get", 1, 2, Command::kGet, true},
    {"put", 1, 2, Command::kPut, true},
    {"rm", 1, 1, Command::kRemove, false},
    {"info", 1, 1, Command::kInfo, false},
    {"open", 1, 1, Command::kOpen, false},
};

const CommandShape* FindCommand(const std::string& word) {
  for (const CommandShape& shape : kCommands) {
    if (word == shape.word) return &shape;
  }
  return nullptr;
}

ParseResult Fail(std::string error) {
  ParseResult result;
  result.error = std::move(error);
  return result;
}

// Long options without a short form, numbered past every character.
enum LongOption { kOverwrite = 256, kMove, kResume, kAnsi, kModule };

constexpr option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},       {"long", no_argument, nullptr, 'l'},
    {"overwrite", no_argument, nullptr, kOverwrite}, {"move", no_argument, nullptr, kMove},
    {"resume", no_argument, nullptr, kResume}, {"ansi", no_argument, nullptr, kAnsi},
    {"module", required_argument, nullptr, kModule}, {nullptr, 0, nullptr, 0},
};

}  // namespace

// Options may stand anywhere among the words (getopt_long moves the words
// behind them); "--" ends them.
ParseResult ParseArgs(const std::vector<std::string>& args) {
  std::vector<std::string> texts = args;
  std::vector<char*> argv;
  static char program[] = "pagora-cli";
  argv.push_back(program);
  for (std::string& text : texts) argv.push_back(&text[0]);
  argv.push_back(nullptr);
  const int argc = static_cast<int>(argv.size()) - 1;

  Options options;
  bool module_given = false;
  opterr = 0;  // the messages are this host's own
  optind = 0;  // start afresh: a parse may come after another
  for (;;) {
    const int c = getopt_long(argc, argv.data(), ":hl", kLongOptions, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'h': options.help = true; break;
      case 'l': options.long_listing = true; break;
      case kOverwrite: options.overwrite = true; break;
      case kMove: options.move = true; break;
      case kResume: options.resume = true; break;
      case kAnsi: options.ansi = true; break;
      case kModule:
        if (module_given) return Fail("--module given twice");
        module_given = true;
        options.module = optarg;
        if (options.module.empty()) return Fail("--module needs a path");
        break;
      case ':': return Fail("--module needs a path");
      default: {
        const std::string given = optopt != 0 && optopt < 256 ? std::string("-") + static_cast<char>(optopt)
                                                              : std::string(argv[optind - 1]);
        return Fail("unknown option '" + given + "'");
      }
    }
  }
  std::vector<std::string> words(argv.begin() + optind, argv.begin() + argc);
  if (options.help) {
    ParseResult result;
    result.ok = true;
    result.options = options;
    return result;
  }
  if (words.empty()) return Fail("no command given");
  const CommandShape* shape = FindCommand(words[0]);
  if (shape == nullptr) return Fail("unknown command '" + words[0] + "'");
  options.command = shape->command;
  options.operands.assign(words.begin() + 1, words.end());
  const std::size_t count = options.operands.size();
  if (count < shape->min_operands) return Fail(std::string(shape->word) + ": missing argument");
  if (count > shape->max_operands) return Fail(std::string(shape->word) + ": too many arguments");
  if (!shape->takes_copy_flags && (options.overwrite || options.move || options.resume)) {
    return Fail(std::string(shape->word) + " takes no --overwrite, --move or --resume");
  }
  if (options.long_listing && shape->command != Command::kList) {
    return Fail(std::string(shape->word) + " takes no -l");
  }
  ParseResult result;
  result.ok = true;
  result.options = options;
  return result;
}

int CopyFlags(const Options& options) {
  return (options.overwrite ? FS_COPYFLAGS_OVERWRITE : 0) |
         (options.resume ? FS_COPYFLAGS_RESUME : 0) | (options.move ? FS_COPYFLAGS_MOVE : 0);
}

std::string UsageText() {
  return "Usage: pagora-cli [--module PATH] [options] COMMAND\n"
         "\n"
         "Loads a file-system plugin module and works in its folder through the\n"
         "module's exports only, as a file manager does: its Unicode exports where\n"
         "it has them. Names are shown and taken in UTF-8. Every command first\n"
         "opens the folder (a listing), since the plugin finds titles in its last\n"
         "listing.\n"
         "\n"
         "Commands:\n"
         "  ls [-l]            list the folder: size and name of each entry; with -l\n"
         "                     (--long) also a column for each detail field the\n"
         "                     module offers (its content functions)\n"
         "  get NAME [DEST]    download entry NAME to DEST (default: NAME here;\n"
         "                     a directory DEST receives NAME inside it)\n"
         "  put FILE [NAME]    upload local FILE as NAME (default: FILE's own name)\n"
         "  rm NAME            delete entry NAME\n"
         "  info NAME          show the properties of entry NAME: the module shows\n"
         "                     them in its message box, which the native build\n"
         "                     writes to standard error\n"
         "  open NAME          open entry NAME as a file manager does on Enter: when\n"
         "                     the module leaves opening to the host, download it\n"
         "                     into a new temporary folder and print the copy's path\n"
         "                     (the copy stays there for you to open)\n"
         "\n"
         "Options:\n"
         "  --module PATH      the plugin module (default: pagora.wfx beside pagora-cli)\n"
         "  --overwrite        replace an existing target (the plugin refuses otherwise)\n"
         "  --move             move instead of copy: the source is deleted after success\n"
         "  --resume           ask the plugin to resume a transfer\n"
         "  --ansi             call the module's 8-bit exports even where it has\n"
         "                     Unicode ones (names are UTF-8 either way)\n"
         "  -h, --help         show this text\n"
         "\n"
         "Progress is a bar on a terminal and 'source -> target: N%' lines otherwise.\n"
         "During a transfer, Ctrl-C (or SIGTERM, SIGHUP) asks the plugin to abort at\n"
         "its next progress report, and a cancelled download leaves nothing behind (a\n"
         "move whose transfer still ends stays a copy); a second signal ends\n"
         "pagora-cli at once and may leave a temporary ~pgr....tmp beside the target.\n"
         "\n" +
         ExitStatusTable();
}

}  // namespace pagora_cli
