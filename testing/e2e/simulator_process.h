// The reader simulator run as a process of its own, with its control channel.
#pragma once

#include <string>
#include <sys/types.h>

namespace pagora_e2e {

class SimulatorProcess {
 public:
  SimulatorProcess() = default;
  ~SimulatorProcess() { Stop(); }
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  // Starts `program` serving the image in `image_dir` on a socket in
  // `socket_dir`, with its control socket at `control_path`, and waits for
  // its "ready" line. Its standard error goes to `log_path`.
  bool Start(const std::string& program, const std::string& image_dir,
             const std::string& socket_dir, const std::string& control_path,
             const std::string& log_path, std::string* error);

  // Sends one control line ("unplug", "replug", "fail N [code]") and gives
  // the simulator's answer line ("ok" or "error: ...").
  std::string Control(const std::string& line);

  // Asks the simulator to quit and waits for it. Gives its exit status, or
  // -1 when it was not running or did not exit normally.
  int Stop();

 private:
  pid_t pid_ = -1;
  std::string control_path_;
};

}  // namespace pagora_e2e
