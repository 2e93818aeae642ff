#include "tools/cli/cli_args.h"

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

}  // namespace

ParseResult ParseArgs(const std::vector<std::string>& args) {
  Options options;
  bool module_given = false;
  bool options_ended = false;
  std::vector<std::string> words;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--overwrite") {
      options.overwrite = true;
    } else if (arg == "--move") {
      options.move = true;
    } else if (arg == "--resume") {
      options.resume = true;
    } else if (arg == "-l" || arg == "--long") {
      options.long_listing = true;
    } else if (arg == "--ansi") {
      options.ansi = true;
    } else if (arg == "--module" || arg.rfind("--module=", 0) == 0) {
      if (module_given) return Fail("--module given twice");
      module_given = true;
      if (arg == "--module") {
        if (i + 1 >= args.size()) return Fail("--module needs a path");
        options.module = args[++i];
      } else {
        options.module = arg.substr(sizeof("--module=") - 1);
      }
      if (options.module.empty()) return Fail("--module needs a path");
    } else {
      return Fail("unknown option '" + arg + "'");
    }
  }
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
         "  --overwrite        replace an existing target (get refuses otherwise)\n"
         "  --move             move instead of copy: the source is deleted after success\n"
         "  --resume           ask the plugin to resume a transfer\n"
         "  --ansi             call the module's 8-bit exports even where it has\n"
         "                     Unicode ones (names are UTF-8 either way)\n"
         "  -h, --help         show this text\n"
         "\n"
         "Progress is a bar on a terminal and 'source -> target: N%' lines otherwise.\n"
         "During a transfer, Ctrl-C asks the plugin to abort at its next progress\n"
         "report (a move whose transfer still ends stays a copy); a second Ctrl-C\n"
         "ends pagora-cli at once.\n"
         "\n" +
         ExitStatusTable();
}

}  // namespace pagora_cli
