// pagora-readersim: one simulated reader on a Unix-domain socket.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "demo_image.h"
#include "device.h"
#include "frame_server.h"
#include "image_folder.h"
#include "options.h"
#include "protocol.h"
#include "unix_socket.h"

namespace {

int g_wake_write = -1;

extern "C" void OnStopSignal(int) {
  if (g_wake_write >= 0) {
    char byte = 1;
    ssize_t ignored = ::write(g_wake_write, &byte, 1);
    (void)ignored;
  }
}

// A signal only writes to a pipe; the server's poll sees the other end.
int InstallStopSignals() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  g_wake_write = fds[1];
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  return fds[0];
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "pagora-readersim: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace readersim;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string default_dir = DefaultSocketDir(std::getenv("PAGORA_READER_DIR"),
                                             std::getenv("XDG_RUNTIME_DIR"), ::getuid());
  Options options;
  std::string error;
  if (!ParseOptions(args, default_dir, &options, &error)) {
    std::fprintf(stderr, "pagora-readersim: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (!options.write_demo_dir.empty()) {
    if (!SaveNewImage(options.write_demo_dir, DemoReader(), &error)) return Fail(error);
    std::printf("demo image written to %s\n", options.write_demo_dir.c_str());
    return 0;
  }

  Reader reader;
  std::unique_ptr<ImageFolder> image;
  if (options.image_dir.empty()) {
    reader = DemoReader();
  } else {
    if (!LoadReaderImage(options.image_dir, &reader, &error)) return Fail("cannot load image: " + error);
    image = std::make_unique<ImageFolder>(options.image_dir);
  }

  if (!MakeFolder(options.socket_dir, &error)) return Fail(error);
  if (!options.control_path.empty() && IsInsideFolder(options.control_path, options.socket_dir))
    return Fail("--control " + options.control_path +
                " lies in the socket folder, where it would count as a reader");

  Device device(std::move(reader), image.get());
  device.FailNext(options.fail_next, kErrorGenFailure);

  ServerConfig config;
  config.socket_path = options.socket_dir + "/" + options.name;
  config.control_path = options.control_path;
  config.tcp_port = options.tcp_port;
  config.bytes_per_second = options.usb_speed ? kUsbBytesPerSecond : 0;
  config.log = options.log;
  config.wake_fd = InstallStopSignals();
  FrameServer server(&device, config);
  if (!server.Start(&error)) return Fail(error);

  const std::string where = options.tcp_port != 0
                                ? "127.0.0.1:" + std::to_string(options.tcp_port) +
                                      " (control on the next port)"
                                : config.socket_path;
  std::fprintf(stderr, "pagora-readersim: reader at %s, %s\n", where.c_str(),
               image ? ("image " + options.image_dir).c_str()
                     : "built-in demo (changes kept in memory)");
  std::printf("ready\n");
  std::fflush(stdout);
  server.Run();
  return 0;
}
