// The reader's side of the socket's frames (docs/device-socket.md). The
// plugin's side (platform/platform_posix.cpp) is written apart from this
// one on purpose: two independent readings of one contract, which the
// end-to-end tests hold to each other.
#include "frame_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "disk_text.h"
#include "parse_number.h"
#include "protocol.h"
#include "unix_socket.h"

namespace readersim {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kReadChunk = 65536;
constexpr std::size_t kMaxControlLine = 1024;

std::uint32_t Le32(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{u[0]} | std::uint32_t{u[1]} << 8 | std::uint32_t{u[2]} << 16 |
         std::uint32_t{u[3]} << 24;
}

void PutLe32(std::string* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void SendAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a control client that does not read loses its answer
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

FrameServer::FrameServer(Device* device, ServerConfig config)
    : device_(device), config_(std::move(config)), pacer_(config_.bytes_per_second) {}

FrameServer::~FrameServer() { Shutdown(); }

bool FrameServer::Start(std::string* error) {
  if (config_.tcp_port != 0) {
    control_fd_ = ListenLoopback(static_cast<std::uint16_t>(config_.tcp_port + 1), error);
    if (control_fd_ < 0) return false;
  } else if (!config_.control_path.empty()) {
    control_fd_ = ListenUnix(config_.control_path, error);
    if (control_fd_ < 0) return false;
  }
  if (!Plug(error)) {
    Shutdown();
    return false;
  }
  return true;
}

bool FrameServer::Plug(std::string* error) {
  if (listen_fd_ >= 0) return true;
  listen_fd_ = config_.tcp_port != 0 ? ListenLoopback(config_.tcp_port, error)
                                     : ListenUnix(config_.socket_path, error);
  return listen_fd_ >= 0;
}

void FrameServer::Unplug() {
  DropClient("unplugged");
  if (listen_fd_ >= 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
    if (config_.tcp_port == 0) ::unlink(config_.socket_path.c_str());
  }
}

void FrameServer::Shutdown() {
  Unplug();
  for (ControlClient& control : controls_) ::close(control.fd);
  controls_.clear();
  if (control_fd_ >= 0) {
    ::close(control_fd_);
    control_fd_ = -1;
    if (config_.tcp_port == 0) ::unlink(config_.control_path.c_str());
  }
}

void FrameServer::Run() {
  while (!stop_) {
    std::vector<pollfd> fds;
    auto watch = [&fds](int fd, short events) {
      fds.push_back(pollfd{fd, events, 0});
      return fds.size() - 1;
    };
    const std::size_t none = static_cast<std::size_t>(-1);
    std::size_t wake = config_.wake_fd >= 0 ? watch(config_.wake_fd, POLLIN) : none;
    std::size_t control = control_fd_ >= 0 ? watch(control_fd_, POLLIN) : none;
    std::size_t first_control_client = fds.size();
    for (const ControlClient& c : controls_) watch(c.fd, POLLIN);
    // Watched while a client is served too, to turn the next one away; not
    // while the client has hung up and its last bytes are still read, so the
    // next one is served once it is gone.
    const bool accepting = listen_fd_ >= 0 && (client_.fd < 0 || !ClientHungUp());
    std::size_t listener = accepting ? watch(listen_fd_, POLLIN) : none;
    std::size_t client = none;
    int timeout = -1;
    if (client_.fd >= 0) {
      short events = client_.out.empty() ? POLLIN : POLLOUT;
      const Clock::time_point now = Clock::now();
      if (pacer_.FreeAt() > now) {
        // The link is still busy with the last chunk; only a hangup is seen.
        events = 0;
        timeout = static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(pacer_.FreeAt() - now).count());
      }
      client = watch(client_.fd, events);
    }

    int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "pagora-readersim: poll: %s\n", std::strerror(errno));
      break;
    }
    if (wake != none && fds[wake].revents != 0) break;
    if (client != none && fds[client].revents != 0) {
      if (fds[client].revents & POLLOUT) {
        WriteClient();
      } else if (fds[client].revents & (POLLIN | POLLHUP | POLLERR)) {
        ReadClient();
      }
    }
    // After the client's own events, so one that has just left is gone
    // before the next is looked at.
    if (listener != none && (fds[listener].revents & POLLIN)) AcceptClients();
    // Control clients may be removed while they are served: walk a copy of
    // the descriptors.
    std::vector<int> readable;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
      if (fds[first_control_client + i].revents != 0) readable.push_back(controls_[i].fd);
    }
    for (int fd : readable) {
      auto it = std::find_if(controls_.begin(), controls_.end(),
                             [fd](const ControlClient& c) { return c.fd == fd; });
      if (it != controls_.end()) ReadControl(&*it);
    }
    if (control != none && (fds[control].revents & POLLIN)) AcceptControl();
  }
  Shutdown();
}

// The reader serves one host at a time. A second one is accepted and closed
// at once: left in the listen queue it would wait for as long as the first
// stays, its first call never answered.
void FrameServer::AcceptClients() {
  while (client_.fd < 0 || !ClientHungUp()) {
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (client_.fd >= 0) {
      ::close(fd);
      if (config_.log) std::fprintf(stderr, "pagora-readersim: second client refused\n");
      continue;
    }
    client_ = Client{};
    client_.fd = fd;
    device_->Disconnect();
    if (config_.log) std::fprintf(stderr, "pagora-readersim: client connected\n");
  }
}

// A client that closed its end, while bytes it sent may still wait unread.
// Over TCP a closed end shows only as POLLRDHUP: POLLHUP needs both.
bool FrameServer::ClientHungUp() const {
  pollfd p{client_.fd, POLLRDHUP, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLRDHUP)) != 0;
}

void FrameServer::DropClient(const char* why) {
  if (client_.fd < 0) return;
  ::close(client_.fd);
  client_ = Client{};
  device_->Disconnect();
  if (config_.log) std::fprintf(stderr, "pagora-readersim: client gone (%s)\n", why);
}

void FrameServer::ReadClient() {
  char buffer[kReadChunk];
  ssize_t n = ::recv(client_.fd, buffer, pacer_.Chunk(sizeof buffer), 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (n > 0) pacer_.Moved(static_cast<std::size_t>(n), Clock::now());
  if (n <= 0) {
    bool mid_frame = client_.stage != Stage::kHeader || client_.in_pos < client_.in.size();
    DropClient(n == 0 ? (mid_frame ? "closed in the middle of a frame" : "closed") : "read error");
    return;
  }
  client_.in.append(buffer, static_cast<std::size_t>(n));
  ProcessFrames();
}

void FrameServer::ProcessFrames() {
  Client& c = client_;
  while (c.out.empty()) {
    std::size_t avail = c.in.size() - c.in_pos;
    if (c.stage == Stage::kDiscard) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(avail, c.discard_left));
      c.in_pos += n;
      c.discard_left -= n;
      if (c.discard_left > 0) break;
      c.stage = Stage::kHeader;
      continue;
    }
    if (c.stage == Stage::kHeader) {
      if (avail < kHeaderSize) break;
      const char* header = c.in.data() + c.in_pos;
      c.code = Le32(header);
      c.length = Le32(header + 4);
      c.room = Le32(header + 8);
      c.in_pos += kHeaderSize;
      if (c.length > config_.max_input) {
        // The input is swallowed as it comes, never held.
        Answer refusal;
        refusal.ok = false;
        refusal.error = kErrorInvalidParameter;
        refusal.note = "input of " + std::to_string(c.length) + " bytes refused";
        c.stage = Stage::kDiscard;
        c.discard_left = c.length;
        Respond(refusal);
        continue;
      }
      c.stage = Stage::kBody;
      c.body.clear();
      continue;
    }
    std::size_t n = std::min<std::size_t>(avail, c.length - c.body.size());
    c.body.append(c.in, c.in_pos, n);
    c.in_pos += n;
    if (c.body.size() < c.length) break;
    Respond(device_->Call(c.code, c.body, c.room));
    c.stage = Stage::kHeader;
    if (c.body.capacity() > kReadChunk) std::string().swap(c.body);
  }
  if (c.in_pos == c.in.size()) {
    c.in.clear();
    c.in_pos = 0;
  }
}

void FrameServer::Respond(const Answer& answer) {
  Client& c = client_;
  std::size_t length = std::min<std::size_t>(answer.out.size(), c.room);
  c.out.clear();
  c.out_pos = 0;
  PutLe32(&c.out, answer.ok ? 1 : 0);
  PutLe32(&c.out, answer.ok ? 0 : answer.error);
  PutLe32(&c.out, static_cast<std::uint32_t>(length));
  c.out.append(answer.out, 0, length);
  if (config_.log) {
    std::fprintf(stderr, "pagora-readersim: 0x%06X %s in=%u room=%u -> %s", c.code, CodeName(c.code),
                 c.length, c.room, answer.ok ? "ok" : "FAIL");
    if (!answer.ok) std::fprintf(stderr, " error=%u", answer.error);
    // A note quotes the reader's names, which are Windows-1252; the log is UTF-8.
    std::fprintf(stderr, " out=%zu%s%s\n", length, answer.note.empty() ? "" : "  ",
                 ReaderToDisk(answer.note).c_str());
  }
  if (!answer.warning.empty())
    std::fprintf(stderr, "pagora-readersim: warning: %s\n", answer.warning.c_str());
}

void FrameServer::WriteClient() {
  Client& c = client_;
  while (c.out_pos < c.out.size()) {
    ssize_t n = ::send(c.fd, c.out.data() + c.out_pos, pacer_.Chunk(c.out.size() - c.out_pos),
                       MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      DropClient("write failed");
      return;
    }
    c.out_pos += static_cast<std::size_t>(n);
    if (pacer_.paced()) {
      // The rest goes once the link has carried this chunk.
      pacer_.Moved(static_cast<std::size_t>(n), Clock::now());
      if (c.out_pos < c.out.size()) return;
    }
  }
  c.out.clear();
  c.out_pos = 0;
  ProcessFrames();
}

void FrameServer::AcceptControl() {
  int fd = ::accept4(control_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd >= 0) controls_.push_back(ControlClient{fd, "", false});
}

void FrameServer::ReadControl(ControlClient* control) {
  char buffer[512];
  ssize_t n = ::recv(control->fd, buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  int fd = control->fd;
  auto remove = [this, fd]() {
    ::close(fd);
    controls_.erase(std::remove_if(controls_.begin(), controls_.end(),
                                   [fd](const ControlClient& c) { return c.fd == fd; }),
                    controls_.end());
  };
  if (n <= 0) {
    remove();
    return;
  }
  control->in.append(buffer, static_cast<std::size_t>(n));
  std::size_t end;
  while ((end = control->in.find('\n')) != std::string::npos) {
    std::string line = control->in.substr(0, end);
    control->in.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    SendAll(fd, RunControl(line) + "\n");
    if (stop_) return;
  }
  if (control->in.size() > kMaxControlLine) {
    SendAll(fd, "error: line too long\n");
    remove();
  }
}

std::string FrameServer::RunControl(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  if (config_.log) std::fprintf(stderr, "pagora-readersim: control: %s\n", line.c_str());
  if (command == "unplug") {
    Unplug();
    return "ok";
  }
  if (command == "replug") {
    std::string error;
    return Plug(&error) ? "ok" : "error: " + error;
  }
  if (command == "quit") {
    stop_ = true;
    return "ok";
  }
  if (command == "fail") {
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    std::uint32_t count = 0;
    std::uint32_t code = kErrorGenFailure;
    if (args.empty() || args.size() > 2 || !ParseNumber(args[0], &count) ||
        (args.size() == 2 && (!ParseNumber(args[1], &code) || code == 0)))
      return "error: usage: fail N [code]";
    device_->FailNext(count, code);
    return "ok";
  }
  return "error: unknown command '" + command + "' (unplug, replug, fail N [code], quit)";
}

}  // namespace readersim
