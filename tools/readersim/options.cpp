#include "options.h"

#include <getopt.h>

#include "parse_number.h"

namespace readersim {

std::string DefaultSocketDir(const char* reader_dir, const char* runtime_dir, unsigned uid) {
  if (reader_dir != nullptr && *reader_dir != '\0') return reader_dir;
  if (runtime_dir != nullptr && *runtime_dir != '\0')
    return std::string(runtime_dir) + "/pagora-readers";
  return "/tmp/pagora-readers-" + std::to_string(uid);
}

namespace {

enum LongOption {
  kImage = 256, kWriteDemo, kSocketDir, kName, kControl, kTcp, kFailNext, kUsbSpeed, kLog
};

constexpr option kLongOptions[] = {
    {"image", required_argument, nullptr, kImage},
    {"write-demo", required_argument, nullptr, kWriteDemo},
    {"socket-dir", required_argument, nullptr, kSocketDir},
    {"name", required_argument, nullptr, kName},
    {"control", required_argument, nullptr, kControl},
    {"tcp", required_argument, nullptr, kTcp},
    {"fail-next", required_argument, nullptr, kFailNext},
    {"usb-speed", no_argument, nullptr, kUsbSpeed},
    {"log", no_argument, nullptr, kLog},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// The option's own spelling, for messages.
std::string Spelling(int code) {
  if (code == 'h') return "--help";
  for (const option& o : kLongOptions) {
    if (o.name != nullptr && o.val == code) return std::string("--") + o.name;
  }
  return "";
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, const std::string& default_socket_dir,
                  Options* options, std::string* error) {
  *options = Options{};
  options->socket_dir = default_socket_dir;
  std::vector<std::string> texts = args;
  std::vector<char*> argv;
  static char program[] = "pagora-readersim";
  argv.push_back(program);
  for (std::string& text : texts) argv.push_back(&text[0]);
  argv.push_back(nullptr);
  const int argc = static_cast<int>(argv.size()) - 1;

  opterr = 0;  // the messages are the simulator's own
  optind = 0;  // start afresh: a parse may come after another
  for (;;) {
    const int c = getopt_long(argc, argv.data(), ":h", kLongOptions, nullptr);
    if (c == -1) break;
    if (c == ':') {
      *error = Spelling(optopt) + " needs a value";
      return false;
    }
    if (c == '?') {
      // A known option given a value it does not take, or no option at all.
      const std::string known = optopt != 0 ? Spelling(optopt) : "";
      *error = !known.empty() ? known + " takes no value"
                              : "unknown option '" + std::string(argv[optind - 1]) + "'";
      return false;
    }
    const std::string value = optarg != nullptr ? optarg : "";
    if (optarg != nullptr && value.empty()) {
      *error = Spelling(c) + " needs a value";
      return false;
    }
    switch (c) {
      case kImage: options->image_dir = value; break;
      case kWriteDemo: options->write_demo_dir = value; break;
      case kSocketDir: options->socket_dir = value; break;
      case kControl: options->control_path = value; break;
      case kName:
        if (value.find('/') != std::string::npos || value == "." || value == "..") {
          *error = "--name must be a plain file name, not '" + value + "'";
          return false;
        }
        options->name = value;
        break;
      case kFailNext:
        if (!ParseNumber(value, &options->fail_next)) {
          *error = "--fail-next needs a count, not '" + value + "'";
          return false;
        }
        break;
      case kTcp: {
        std::uint32_t port = 0;
        if (!ParseNumber(value, &port) || port == 0 || port > 65534) {
          *error = "--tcp needs a port from 1 to 65534, not '" + value + "'";
          return false;
        }
        options->tcp_port = static_cast<std::uint16_t>(port);
        break;
      }
      case kUsbSpeed: options->usb_speed = true; break;
      case kLog: options->log = true; break;
      default: options->help = true; break;
    }
  }
  // The simulator takes no words besides its options.
  if (optind < argc) {
    *error = "unknown option '" + std::string(argv[optind]) + "'";
    return false;
  }
  if (!options->image_dir.empty() && !options->write_demo_dir.empty()) {
    *error = "--image and --write-demo do not go together";
    return false;
  }
  return true;
}

std::string HelpText() {
  return R"(Usage: pagora-readersim [options]

Serves one simulated Pagora eBook reader on a Unix-domain socket, the way the
plugin's native build reaches a reader (docs/device-socket.md). Prints "ready"
on standard output once it listens.

  --image DIR        serve the reader image in DIR; uploads and deletions are
                     written back to it at once
                     (without --image: the built-in demo reader, whose
                     changes are kept in memory only and lost on exit)
  --write-demo DIR   write the built-in demo as an image into DIR (missing or
                     empty) and exit
  --socket-dir DIR   folder of reader sockets (made if missing); default
                     $PAGORA_READER_DIR, else $XDG_RUNTIME_DIR/pagora-readers,
                     else /tmp/pagora-readers-<uid>
  --name NAME        socket file name in that folder (default reader0)
  --control PATH     control socket taking the lines "unplug", "replug",
                     "fail N [code]" and "quit"; must lie outside the socket
                     folder, where every socket counts as a reader
  --tcp PORT         serve the reader on 127.0.0.1:PORT instead of a socket
                     file, and the control channel on PORT+1 (for hosts
                     without Unix-domain sockets, such as Wine)
  --usb-speed        move bytes no faster than USB full speed (about 1.2 MB/s)
  --log              log every control call to standard error
  --fail-next N      the next N control calls fail with error 31
  --help             this text

SIGTERM and SIGINT stop the simulator and remove its sockets.
)";
}

}  // namespace readersim
