// The command line of pagora-readersim.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace readersim {

struct Options {
  std::string image_dir;       // empty: the built-in demo, kept in memory
  std::string write_demo_dir;  // set: write the demo image there and stop
  std::string socket_dir;
  std::string name = "reader0";
  std::string control_path;
  // Non-zero: the reader listens on 127.0.0.1 at this port instead of its
  // Unix socket, and the control channel at the next port, for hosts whose
  // sockets know no Unix domain (Wine's Winsock).
  std::uint16_t tcp_port = 0;
  bool usb_speed = false;
  bool log = false;
  bool help = false;
  std::uint32_t fail_next = 0;
};

// The reader folder the plugin searches: $PAGORA_READER_DIR, else
// $XDG_RUNTIME_DIR/pagora-readers, else /tmp/pagora-readers-<uid>. Empty or
// unset variables count as absent.
std::string DefaultSocketDir(const char* reader_dir, const char* runtime_dir, unsigned uid);

// `args` without the program name. `default_socket_dir` fills socket_dir
// when --socket-dir is not given.
bool ParseOptions(const std::vector<std::string>& args, const std::string& default_socket_dir,
                  Options* options, std::string* error);

std::string HelpText();

}  // namespace readersim
