// The simulator over real sockets: frames in and out, bad frames, a second
// host turned away, the paced link, and the control channel.
#include "frame_server.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "demo_image.h"
#include "link_pacer.h"
#include "protocol.h"
#include "test_support.h"

namespace readersim {
namespace {

int Connect(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  timeval limit{10, 0};  // a hung server fails the test instead of blocking it
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}

bool SendBytes(int fd, const std::string& bytes) {
  return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool ReceiveBytes(int fd, std::size_t count, std::string* out) {
  out->clear();
  char buffer[4096];
  while (out->size() < count) {
    ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, count - out->size()), 0);
    if (n <= 0) return false;
    out->append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

std::string Header(std::uint32_t code, std::uint32_t length, std::uint32_t room) {
  std::string header;
  for (std::uint32_t v : {code, length, room})
    for (int i = 0; i < 4; ++i) header.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return header;
}

struct Response {
  bool received = false;
  std::uint32_t result = 0, error = 0;
  std::string out;
};

Response Call(int fd, std::uint32_t code, const std::string& input, std::uint32_t room) {
  Response response;
  std::string header;
  if (!SendBytes(fd, Header(code, static_cast<std::uint32_t>(input.size()), room) + input) ||
      !ReceiveBytes(fd, 12, &header))
    return response;
  auto le = [&header](int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(header[at + i]);
    return v;
  };
  response.result = le(0);
  response.error = le(4);
  response.received = ReceiveBytes(fd, le(8), &response.out);
  return response;
}

std::string Control(const std::string& path, const std::string& line) {
  int fd = Connect(path);
  if (fd < 0) return "no control socket";
  SendBytes(fd, line + "\n");
  std::string reply;
  char c;
  while (::recv(fd, &c, 1, 0) == 1 && c != '\n') reply += c;
  ::close(fd);
  return reply;
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// The demo reader served on a scratch folder's socket, with a control
// channel; stopped however the test ends.
struct ServedReader {
  explicit ServedReader(ServerConfig settings) : config(std::move(settings)) {
    config.socket_path = scratch.path() + "/reader0";
    config.control_path = scratch.path() + "/control";
    server = std::make_unique<FrameServer>(&device, config);
    started = server->Start(&error);
    if (started) runner = std::thread([this] { server->Run(); });
  }
  ~ServedReader() {
    if (runner.joinable()) {
      Control(config.control_path, "quit");
      runner.join();
    }
  }
  testing_support::ScratchFolder scratch;
  Device device{DemoReader()};
  ServerConfig config;
  std::unique_ptr<FrameServer> server;
  std::string error;
  bool started = false;
  std::thread runner;
};

TEST(FrameServer, ServesFramesSurvivesBadOnesAndObeysTheControlChannel) {
  ServerConfig settings;
  settings.max_input = 1000;  // small enough to send a refused frame whole
  ServedReader reader(settings);
  ASSERT_TRUE(reader.started) << reader.error;
  const ServerConfig& config = reader.config;

  int fd = Connect(config.socket_path);
  ASSERT_GE(fd, 0);
  Response probe = Call(fd, kCodeProbe, "", 50);
  EXPECT_TRUE(probe.received);
  EXPECT_EQ(probe.result, 1u);
  EXPECT_LE(probe.out.size(), 50u);

  // A 65536-byte book: sixteen full blocks and an empty one.
  Response block = Call(fd, kCodeQueryStart, std::string("\\book\\A Winter in Vellmark.rb") + '\0', 4096);
  std::size_t total = block.out.size(), blocks = 1;
  while (block.received && block.out.size() == kBlockSize) {
    block = Call(fd, kCodeQueryNext, "", 4096);
    total += block.out.size();
    ++blocks;
  }
  EXPECT_EQ(total, 65536u);
  EXPECT_EQ(blocks, 17u);
  // The room bounds the output length on the wire too.
  Response small = Call(fd, kCodeQueryStart, std::string("__STATUS") + '\0', 10);
  EXPECT_EQ(small.out.size(), 10u);

  Response unknown = Call(fd, 0x999999, "xyz", 4096);
  EXPECT_EQ(unknown.result, 0u);
  EXPECT_EQ(unknown.error, kErrorInvalidFunction);

  // Input over the bound is refused before it arrives and then swallowed, so
  // the next frame on the connection is understood again.
  ASSERT_TRUE(SendBytes(fd, Header(kCodeUploadStart, 1001, 0)));
  std::string refused;
  ASSERT_TRUE(ReceiveBytes(fd, 12, &refused));
  EXPECT_EQ(refused, Header(0, kErrorInvalidParameter, 0));
  ASSERT_TRUE(SendBytes(fd, "\\book\\x.rb" + std::string(1, '\0') + std::string(1001 - 11, 'x')));
  EXPECT_EQ(Call(fd, kCodeProbe, "", 50).result, 1u);
  EXPECT_EQ(Call(fd, kCodeQueryStart, std::string("\\book\\x.rb") + '\0', 4096).out.size(), 0u);

  // A length near 4 GiB is refused the same way; sending all of it would
  // take long, so the client starts over on a new connection.
  ASSERT_TRUE(SendBytes(fd, Header(kCodeUploadStart, 0xFFFFFFFFu, 0) + "\\book\\x.rb"));
  std::string header;
  ASSERT_TRUE(ReceiveBytes(fd, 12, &header));
  EXPECT_EQ(header, Header(0, kErrorInvalidParameter, 0));
  ::close(fd);

  // Short frames and a client that leaves in the middle of one; each next
  // client connects at once, before its bytes are read, and is served.
  for (std::string partial : {std::string("\x14\x20"), Header(kCodeUploadStart, 100, 0) + "\\bo"}) {
    int broken = Connect(config.socket_path);
    ASSERT_GE(broken, 0);
    SendBytes(broken, partial);
    ::close(broken);
  }

  fd = Connect(config.socket_path);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Call(fd, kCodeProbe, "", 50).result, 1u);

  // A second host while this one is served is turned away at once: its
  // connection ends unanswered (a hang would end in the receive time limit,
  // EAGAIN, instead).
  int second = Connect(config.socket_path);
  ASSERT_GE(second, 0);
  SendBytes(second, Header(kCodeProbe, 0, 50));
  char byte;
  const ssize_t got = ::recv(second, &byte, 1, 0);
  const int why = got < 0 ? errno : 0;
  EXPECT_TRUE(got == 0 || why == ECONNRESET) << "recv gave " << got << ", " << std::strerror(why);
  ::close(second);
  EXPECT_EQ(Call(fd, kCodeProbe, "", 50).result, 1u) << "the first host is still served";

  EXPECT_EQ(Control(config.control_path, "fail 1 1167"), "ok");
  Response failed = Call(fd, kCodeProbe, "", 50);
  EXPECT_EQ(failed.result, 0u);
  EXPECT_EQ(failed.error, 1167u);
  EXPECT_EQ(Call(fd, kCodeProbe, "", 50).result, 1u);
  EXPECT_EQ(Control(config.control_path, "fail x").rfind("error:", 0), 0u);
  EXPECT_EQ(Control(config.control_path, "dance").rfind("error:", 0), 0u);

  EXPECT_EQ(Control(config.control_path, "unplug"), "ok");
  EXPECT_FALSE(Exists(config.socket_path));
  EXPECT_FALSE(Call(fd, kCodeProbe, "", 50).received) << "connection kept after unplug";
  ::close(fd);
  EXPECT_LT(Connect(config.socket_path), 0);

  EXPECT_EQ(Control(config.control_path, "replug"), "ok");
  fd = Connect(config.socket_path);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Call(fd, kCodeProbe, "", 50).result, 1u);

  EXPECT_EQ(Control(config.control_path, "quit"), "ok");
  reader.runner.join();
  ::close(fd);
  EXPECT_FALSE(Exists(config.socket_path));
  EXPECT_FALSE(Exists(config.control_path));
}

TEST(FrameServer, PacesTheLinkChunkByChunkWhileItStreams) {
  using std::chrono::microseconds;
  // A byte a microsecond.
  LinkPacer link(1e6);
  EXPECT_EQ(link.Chunk(65536), LinkPacer::kChunk);
  EXPECT_EQ(link.Chunk(12), 12u);
  const LinkPacer::Clock::time_point t0 = LinkPacer::Clock::now();
  struct Step {
    const char* label;
    microseconds moved_at;
    std::size_t bytes;
    microseconds free_at;
  } steps[] = {
      {"an idle link starts when the bytes move", microseconds(0), 4096, microseconds(4096)},
      {"a wakeup 1 ms late counts from when the link got free", microseconds(5096), 4096,
       microseconds(8192)},
      {"after a pause over the slack the link starts anew", microseconds(100000), 1000,
       microseconds(101000)},
  };
  for (const Step& step : steps) {
    link.Moved(step.bytes, t0 + step.moved_at);
    EXPECT_EQ(std::chrono::duration_cast<microseconds>(link.FreeAt() - t0), step.free_at)
        << step.label;
  }

  // A 64 MiB upload at USB speed: a minute in all, yet bytes move every few
  // milliseconds, never near the plugin's bound on a silent reader.
  LinkPacer usb(kUsbBytesPerSecond);
  LinkPacer::Clock::time_point now = t0;
  LinkPacer::Clock::duration longest{};
  for (std::size_t left = kMaxFrameInput; left > 0;) {
    const std::size_t n = usb.Chunk(left);
    usb.Moved(n, now);
    longest = std::max(longest, usb.FreeAt() - now);
    now = usb.FreeAt();
    left -= n;
  }
  EXPECT_GT(now - t0, std::chrono::seconds(55));
  EXPECT_LT(longest, std::chrono::milliseconds(5));

  // Over the socket, a paced server still carries whole frames: a request
  // and a reply longer than a chunk each come through intact.
  ServerConfig settings;
  settings.bytes_per_second = 50e6;
  ServedReader reader(settings);
  ASSERT_TRUE(reader.started) << reader.error;
  int fd = Connect(reader.config.socket_path);
  ASSERT_GE(fd, 0);
  std::string data(10000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  const std::string target = "\\book\\Paced.rb";
  EXPECT_EQ(Call(fd, kCodeUploadStart, target + '\0' + data, 0).result, 1u);
  for (std::size_t offset = kBlockSize; offset < data.size(); offset += kBlockSize)
    EXPECT_EQ(Call(fd, kCodeUploadNext, data.substr(offset, kBlockSize), 0).result, 1u);
  std::string back;
  Response block = Call(fd, kCodeQueryStart, target + '\0', 4096);
  back += block.out;
  while (block.received && block.out.size() == kBlockSize) {
    block = Call(fd, kCodeQueryNext, "", 4096);
    back += block.out;
  }
  EXPECT_EQ(back, data);
  ::close(fd);
}

}  // namespace
}  // namespace readersim
