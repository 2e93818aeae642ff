#include "options.h"

#include "parse_number.h"

namespace readersim {

std::string DefaultSocketDir(const char* reader_dir, const char* runtime_dir, unsigned uid) {
  if (reader_dir != nullptr && *reader_dir != '\0') return reader_dir;
  if (runtime_dir != nullptr && *runtime_dir != '\0')
    return std::string(runtime_dir) + "/pagora-readers";
  return "/tmp/pagora-readers-" + std::to_string(uid);
}

bool ParseOptions(const std::vector<std::string>& args, const std::string& default_socket_dir,
                  Options* options, std::string* error) {
  *options = Options{};
  options->socket_dir = default_socket_dir;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool has_value = false;
    std::size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
      has_value = true;
    }
    auto take = [&](std::string* out) {
      if (!has_value) {
        if (i + 1 >= args.size()) {
          *error = arg + " needs a value";
          return false;
        }
        value = args[++i];
      }
      if (value.empty()) {
        *error = arg + " needs a value";
        return false;
      }
      *out = value;
      return true;
    };
    auto flag = [&](bool* out) {
      if (has_value) {
        *error = arg + " takes no value";
        return false;
      }
      *out = true;
      return true;
    };

    bool ok;
    if (arg == "--image") {
      ok = take(&options->image_dir);
    } else if (arg == "--write-demo") {
      ok = take(&options->write_demo_dir);
    } else if (arg == "--socket-dir") {
      ok = take(&options->socket_dir);
    } else if (arg == "--name") {
      ok = take(&options->name);
      if (ok && (options->name.find('/') != std::string::npos || options->name == "." ||
                 options->name == "..")) {
        *error = "--name must be a plain file name, not '" + options->name + "'";
        ok = false;
      }
    } else if (arg == "--control") {
      ok = take(&options->control_path);
    } else if (arg == "--fail-next") {
      std::string count;
      ok = take(&count);
      if (ok && !ParseNumber(count, &options->fail_next)) {
        *error = "--fail-next needs a count, not '" + count + "'";
        ok = false;
      }
    } else if (arg == "--usb-speed") {
      ok = flag(&options->usb_speed);
    } else if (arg == "--log") {
      ok = flag(&options->log);
    } else if (arg == "--help" || arg == "-h") {
      ok = flag(&options->help);
    } else {
      *error = "unknown option '" + args[i] + "'";
      ok = false;
    }
    if (!ok) return false;
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
  --usb-speed        move bytes no faster than USB full speed (about 1.2 MB/s)
  --log              log every control call to standard error
  --fail-next N      the next N control calls fail with error 31
  --help             this text

SIGTERM and SIGINT stop the simulator and remove its sockets.
)";
}

}  // namespace readersim
