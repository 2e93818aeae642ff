// Serves one simulated reader on its Unix-domain socket, one client at a
// time (a second one is accepted and closed at once, so it sees the reader
// as gone instead of waiting), plus an optional control socket taking text commands:
//   unplug         the reader's socket goes and the client is dropped
//   replug         the socket comes back
//   fail N [code]  the next N control calls fail (code 31 unless given)
//   quit           the server stops
// Each command is answered with one line, "ok" or "error: ...".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "device.h"
#include "link_pacer.h"
#include "protocol.h"

namespace readersim {

// USB 1.1 full speed as the reader's driver achieves it.
constexpr double kUsbBytesPerSecond = 1.2e6;

struct ServerConfig {
  std::string socket_path;
  std::string control_path;  // empty: no control channel
  std::uint16_t tcp_port = 0;  // non-zero: reader on 127.0.0.1 here, control on the next port
  double bytes_per_second = 0;  // pace the link at this rate; 0: as fast as it goes
  bool log = false;          // every control call to stderr
  int wake_fd = -1;          // readable when the server must stop (signals)
  // Frames with more input are refused at once and their input swallowed.
  std::size_t max_input = kMaxFrameInput;
};

class FrameServer {
 public:
  FrameServer(Device* device, ServerConfig config);
  ~FrameServer();
  FrameServer(const FrameServer&) = delete;
  FrameServer& operator=(const FrameServer&) = delete;

  // Makes the sockets; gives false and an error text when that fails.
  bool Start(std::string* error);
  // Runs until "quit" or the wake descriptor; removes the sockets on the way
  // out.
  void Run();

 private:
  using Clock = std::chrono::steady_clock;
  enum class Stage { kHeader, kBody, kDiscard };

  struct Client {
    int fd = -1;
    std::string in;
    std::size_t in_pos = 0;
    Stage stage = Stage::kHeader;
    std::uint32_t code = 0;
    std::uint32_t length = 0;
    std::uint32_t room = 0;
    std::string body;
    std::uint64_t discard_left = 0;
    std::string out;
    std::size_t out_pos = 0;
  };

  struct ControlClient {
    int fd = -1;
    std::string in;
    bool close_after_reply = false;
  };

  void AcceptClients();
  bool ClientHungUp() const;
  void ReadClient();
  void WriteClient();
  void ProcessFrames();
  void Respond(const Answer& answer);
  void DropClient(const char* why);
  void AcceptControl();
  void ReadControl(ControlClient* control);
  std::string RunControl(const std::string& line);
  bool Plug(std::string* error);
  void Unplug();
  void Shutdown();

  Device* device_;
  ServerConfig config_;
  int listen_fd_ = -1;
  int control_fd_ = -1;
  Client client_;
  std::vector<ControlClient> controls_;
  bool stop_ = false;
  LinkPacer pacer_;
};

}  // namespace readersim
