#include "testing/e2e/simulator_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "testing/run_process.h"

namespace pagora_e2e {

namespace {

bool SendAll(int fd, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads up to a line feed; the simulator answers every command with one line.
std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

}  // namespace

bool SimulatorProcess::Start(const std::string& program, const std::string& image_dir,
                             const std::string& socket_dir, const std::string& control_path,
                             const std::string& log_path, std::string* error) {
  int ready_pipe[2];
  if (::pipe2(ready_pipe, O_CLOEXEC) != 0) {
    *error = "pipe failed";
    return false;
  }
  pagora_test::SpawnRequest request;
  request.command_line = pagora_test::CommandLine(
      program, {"--image", image_dir, "--socket-dir", socket_dir, "--control", control_path});
  request.out_fd = ready_pipe[1];
  request.err_path = log_path;
  const int pid = pagora_test::SpawnProcess(request, error);
  ::close(ready_pipe[1]);
  if (pid < 0) {
    ::close(ready_pipe[0]);
    return false;
  }
  pid_ = pid;
  control_path_ = control_path;
  // The simulator prints "ready" once both sockets listen; a simulator that
  // fails ends and closes the pipe instead.
  const std::string line = ReadLine(ready_pipe[0]);
  ::close(ready_pipe[0]);
  if (line != "ready") {
    *error = "the simulator did not get ready (see " + log_path + ")";
    Stop();
    return false;
  }
  return true;
}

std::string SimulatorProcess::Control(const std::string& line) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "error: no socket";
  sockaddr_un address;
  std::memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, control_path_.c_str(), sizeof(address.sun_path) - 1);
  std::string answer = "error: control channel unreachable";
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      SendAll(fd, line + "\n")) {
    answer = ReadLine(fd);
  }
  ::close(fd);
  return answer;
}

int SimulatorProcess::Stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  const bool exited = ::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status);
  pid_ = -1;
  return exited ? WEXITSTATUS(status) : -1;
}

}  // namespace pagora_e2e
