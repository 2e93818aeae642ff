// One contract for every implementation of the platform table: the fake
// driver of the tests, and the build's own table (the socket substitute
// here, the real Windows calls in the Windows builds). Whatever the plugin
// relies on must hold for each of them alike. Beside the contract, the
// socket substitute's own bound on a reader that has gone silent.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/control_codes.h"
#include "platform/platform.h"
#if !defined(_WIN32)
#include "platform/platform_posix.h"
#endif
#include "testing/fake_driver.h"
#include "testing/test_support.h"

#if !defined(_WIN32)
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace pagora {
namespace {

#if !defined(_WIN32)
int ListenAt(const std::string& path) {
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(listener, 1);
  return listener;
}

bool ReadBytes(int fd, void* p, std::size_t n) {
  auto* c = static_cast<char*>(p);
  while (n > 0) {
    ssize_t r = recv(fd, c, n, 0);
    if (r <= 0) return false;
    c += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

// A reader on a socket that answers the probe, one query and a failing code,
// enough to hold the substitute to the contract.
class SocketReader {
 public:
  explicit SocketReader(const std::string& dir) : path_(dir + "/reader0") {
    listener_ = ListenAt(path_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~SocketReader() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }
  SocketReader(const SocketReader&) = delete;
  SocketReader& operator=(const SocketReader&) = delete;
  const std::string& path() const { return path_; }

 private:
  static void Answer(int fd, std::uint32_t ok, std::uint32_t error, const std::string& out) {
    std::uint32_t h[3] = {ok, error, static_cast<std::uint32_t>(out.size())};
    send(fd, h, sizeof h, MSG_NOSIGNAL);
    send(fd, out.data(), out.size(), MSG_NOSIGNAL);
  }
  void Serve() {
    int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    std::uint32_t h[3];
    while (ReadBytes(fd, h, sizeof h)) {
      std::string in(h[1], '\0');
      if (h[1] > 0 && !ReadBytes(fd, &in[0], h[1])) break;
      const std::uint32_t room = h[2];
      if (h[0] == IOCTL_DEV_PROBE) Answer(fd, 1, 0, "PAGORA");
      else if (h[0] == IOCTL_DEV_QUERY_START) Answer(fd, 1, 0, std::string("hello").substr(0, room));
      else if (h[0] == IOCTL_DEV_QUERY_NEXT) Answer(fd, 1, 0, "");
      else if (h[0] == 0xBAD) Answer(fd, 0, 5, "");
      else if (h[0] == 0xB16) Answer(fd, 1, 0, std::string(room + 1, 'x'));  // more than asked
      else Answer(fd, 1, 0, "");
    }
    close(fd);
  }
  std::string path_;
  int listener_;
  std::thread thread_;
};
#endif

// The fake driver: devices are scripted, files are the system's.
struct FakeBackend {
  FakeDriver fake;
  bool has_device_tests() const { return true; }
  void Attach(const std::string&) {
    fake.present = true;
    fake.SetReply("__STATUS", "hello");
    fake.FailWhen([](const FakeCall& c) { return c.control_code == 0xBAD; }, 5);
    fake.FailWhen([](const FakeCall& c) { return c.control_code == 0xB16; }, kErrorGenFailure);
  }
  void Detach() { fake.present = false; }
};

// The build's own table.
struct NativeBackend {
  NativeBackend() { SetPlatform(&NativePlatform()); }
  ~NativeBackend() {
    SetPlatform(nullptr);
#if !defined(_WIN32)
    reader.reset();
    unsetenv("PAGORA_READER_DIR");
#endif
  }
#if defined(_WIN32)
  // No reader driver is installed where the Windows suite runs.
  bool has_device_tests() const { return false; }
  void Attach(const std::string&) {}
  void Detach() {}
#else
  bool has_device_tests() const { return true; }
  void Attach(const std::string& dir) {
    setenv("PAGORA_READER_DIR", dir.c_str(), 1);
    reader = std::make_unique<SocketReader>(dir);
  }
  void Detach() { setenv("PAGORA_READER_DIR", "/nonexistent/pagora-readers", 1); }
  std::unique_ptr<SocketReader> reader;
#endif
};

template <typename Backend>
class PlatformContract : public ::testing::Test {
 protected:
  Backend backend;
  TempDir dir;
};

using Backends = ::testing::Types<FakeBackend, NativeBackend>;
TYPED_TEST_SUITE(PlatformContract, Backends);

TYPED_TEST(PlatformContract, LocalFilesAndTheirErrors) {
  const Platform& os = Os();
  const std::string path = this->dir.File("a.rb");
  OsHandle f = os.create_file(path.c_str(), kGenericWrite, kFileShareRead, kCreateAlways,
                              kFileAttributeNormal);
  ASSERT_NE(f, InvalidOsHandle());
  std::uint32_t n = 0;
  ASSERT_NE(os.write_file(f, "hello", 5, &n), 0);
  EXPECT_EQ(n, 5u);
  os.close_handle(f);

  f = os.create_file(path.c_str(), kGenericRead, kFileShareRead, kOpenExisting,
                     kFileAttributeNormal);
  ASSERT_NE(f, InvalidOsHandle());
  std::uint32_t high = 7;
  EXPECT_EQ(os.get_file_size(f, &high), 5u);
  EXPECT_EQ(high, 0u);
  char buf[16] = {};
  ASSERT_NE(os.read_file(f, buf, 5, &n), 0);
  EXPECT_EQ(std::string(buf, n), "hello");
  os.close_handle(f);

  // Creating again truncates; a move without the replace flag leaves an
  // existing target alone, and with it puts one file in another's place.
  const std::string other = this->dir.File("b.rb");
  WriteFile(other, "other");
  EXPECT_EQ(os.move_file(other.c_str(), path.c_str(), 0), 0);
  EXPECT_EQ(os.get_last_error(), kErrorAlreadyExists);
  EXPECT_EQ(ReadFile(path), "hello");
  ASSERT_NE(os.move_file(other.c_str(), path.c_str(), kMoveFileReplaceExisting), 0);
  EXPECT_EQ(ReadFile(path), "other");
  EXPECT_EQ(this->dir.Names(), std::vector<std::string>{"a.rb"});
  // Attributes tell an entry from none; a folder is an entry too.
  EXPECT_NE(os.get_file_attributes(path.c_str()), kInvalidFileAttributes);
  EXPECT_NE(os.get_file_attributes(this->dir.File("").c_str()), kInvalidFileAttributes);
  EXPECT_EQ(os.get_file_attributes(this->dir.File("missing.rb").c_str()), kInvalidFileAttributes);
  EXPECT_EQ(os.get_last_error(), 2u);
  const std::string moved = this->dir.File("c.rb");
  ASSERT_NE(os.move_file(path.c_str(), moved.c_str(), 0), 0);
  EXPECT_EQ(ReadFile(moved), "other");
  ASSERT_NE(os.move_file(moved.c_str(), path.c_str(), 0), 0);
  f = os.create_file(path.c_str(), kGenericWrite, kFileShareRead, kCreateAlways,
                     kFileAttributeNormal);
  ASSERT_NE(f, InvalidOsHandle());
  os.close_handle(f);
  EXPECT_EQ(ReadFile(path), "");

  struct Case {
    const char* label;
    std::string path;
    std::uint32_t access;
    std::uint32_t disposition;
    std::uint32_t error;
  } cases[] = {
      {"missing file", this->dir.File("missing.rb"), kGenericRead, kOpenExisting, 2},
      {"missing folder", this->dir.File("none/x.rb"), kGenericWrite, kCreateAlways, 3},
      {"a folder", this->dir.File(""), kGenericRead, kOpenExisting, 5},
  };
  for (const Case& c : cases) {
    os.set_last_error(0);
    EXPECT_EQ(os.create_file(c.path.c_str(), c.access, kFileShareRead, c.disposition,
                             kFileAttributeNormal),
              InvalidOsHandle())
        << c.label;
    EXPECT_EQ(os.get_last_error(), c.error) << c.label;
  }
  ASSERT_NE(os.delete_file(path.c_str()), 0);
  EXPECT_EQ(os.delete_file(path.c_str()), 0);
  EXPECT_EQ(os.get_last_error(), 2u);
#if !defined(_WIN32)
  // A device with no room left: the Windows code of a full disk.
  OsHandle full = os.create_file("/dev/full", kGenericWrite, 0, kOpenExisting, 0);
  ASSERT_NE(full, InvalidOsHandle());
  EXPECT_EQ(os.write_file(full, "x", 1, &n), 0);
  EXPECT_EQ(os.get_last_error(), kErrorDiskFull);
  os.close_handle(full);
#endif
  os.set_last_error(1234);
  EXPECT_EQ(os.get_last_error(), 1234u);
}

TYPED_TEST(PlatformContract, WideFileCallsTakeNamesInAnyLanguage) {
  const Platform& os = Os();
  namespace fs = std::filesystem;
  for (const char16_t* folder : {u"\u041A\u043D\u0438\u0433\u0438", u"\u672C\u68DA"}) {
    const fs::path base = fs::path(this->dir.File("")) / fs::path(std::u16string(folder));
    fs::create_directory(base);
    const std::u16string book = (base / u"Caf\u00E9 \u20AC.rb").u16string();
    const std::u16string moved = (base / u"moved.rb").u16string();
    for (int round = 0; round < 2; ++round) {
      OsHandle f = os.create_file_w(book.c_str(), kGenericWrite, kFileShareRead, kCreateNew,
                                    kFileAttributeNormal);
      ASSERT_NE(f, InvalidOsHandle()) << round;
      std::uint32_t n = 0;
      ASSERT_NE(os.write_file(f, "wide", 4 - round, &n), 0);
      os.close_handle(f);
      // The second round's file meets the first: no replace without the flag.
      const int moved_ok = os.move_file_w(book.c_str(), moved.c_str(), 0);
      EXPECT_EQ(moved_ok != 0, round == 0) << round;
      EXPECT_EQ(os.get_last_error() == kErrorAlreadyExists, round == 1) << round;
    }
    EXPECT_EQ(os.create_file_w(book.c_str(), kGenericWrite, 0, kCreateNew, kFileAttributeNormal),
              InvalidOsHandle());
    EXPECT_EQ(os.get_last_error(), kErrorFileExists);
    EXPECT_NE(os.get_file_attributes_w(book.c_str()), kInvalidFileAttributes);
    ASSERT_NE(os.move_file_w(book.c_str(), moved.c_str(), kMoveFileReplaceExisting), 0);
    EXPECT_EQ(fs::file_size(base / u"moved.rb"), 3u);
    EXPECT_EQ(os.get_file_attributes_w(book.c_str()), kInvalidFileAttributes);
    EXPECT_EQ(os.get_last_error(), 2u);
    ASSERT_NE(os.delete_file_w(moved.c_str()), 0);
    EXPECT_EQ(os.delete_file_w(moved.c_str()), 0);
    EXPECT_EQ(os.get_last_error(), 2u);
  }
#if !defined(_WIN32)
  // Windows keeps a lone surrogate in a name; here no UTF-8 name holds one.
  const char16_t lone[] = {u'x', 0xD800, u'.', u'r', u'b', 0};
  EXPECT_EQ(os.get_file_attributes_w(lone), kInvalidFileAttributes);
  EXPECT_EQ(os.get_last_error(), kErrorInvalidName);
#endif
}

TYPED_TEST(PlatformContract, NoReaderMeansNoMoreItems) {
  this->backend.Detach();
  const Platform& os = Os();
  OsHandle set = os.get_class_devs(&kReaderInterfaceClass, kDigcfPresentInterface);
  ASSERT_NE(set, InvalidOsHandle());
  InterfaceData data{};
  data.cb_size = sizeof data;
  EXPECT_EQ(os.enum_device_interfaces(set, &kReaderInterfaceClass, 0, &data), 0);
  EXPECT_EQ(os.get_last_error(), kErrorNoMoreItems);
  EXPECT_NE(os.destroy_device_info_list(set), 0);
}

TYPED_TEST(PlatformContract, ReaderAnswersControlCalls) {
  if (!this->backend.has_device_tests()) GTEST_SKIP() << "no reader driver here";
  this->backend.Attach(this->dir.File(""));
  const Platform& os = Os();
  OsHandle set = os.get_class_devs(&kReaderInterfaceClass, kDigcfPresentInterface);
  InterfaceData data{};
  data.cb_size = sizeof data;
  ASSERT_NE(os.enum_device_interfaces(set, &kReaderInterfaceClass, 0, &data), 0);
  std::uint32_t required = 0;
  EXPECT_EQ(os.get_interface_detail(set, &data, nullptr, 0, &required), 0);
  EXPECT_EQ(os.get_last_error(), kErrorInsufficientBuffer);
  ASSERT_GT(required, kDetailPathOffset + 1);
  std::string detail(required, '\0');
  std::memcpy(&detail[0], &kDetailCbSize, 4);
  ASSERT_NE(os.get_interface_detail(set, &data, &detail[0], required, nullptr), 0);
  const std::string path = detail.c_str() + kDetailPathOffset;
  EXPECT_EQ(path.size() + kDetailPathOffset + 1, required);
  os.destroy_device_info_list(set);

  OsHandle dev = os.create_file(path.c_str(), kGenericRead | kGenericWrite,
                                kFileShareRead | kFileShareWrite, kOpenExisting, 0);
  ASSERT_NE(dev, InvalidOsHandle());
  char out[4096];
  std::uint32_t returned = 99;
  ASSERT_NE(os.device_io_control(dev, IOCTL_DEV_PROBE, nullptr, 0, out, 50, &returned), 0);
  EXPECT_LE(returned, 50u);
  ASSERT_NE(os.device_io_control(dev, IOCTL_DEV_QUERY_START, "__STATUS", 9, out, 3, &returned), 0);
  EXPECT_EQ(std::string(out, returned), "hel") << "the reply is cut to the room";
  ASSERT_NE(os.device_io_control(dev, IOCTL_DEV_QUERY_NEXT, nullptr, 0, out, 4096, &returned), 0);
  EXPECT_EQ(os.device_io_control(dev, 0xBAD, nullptr, 0, out, 0, &returned), 0);
  EXPECT_EQ(os.get_last_error(), 5u) << "a failure answer carries its code";
  EXPECT_EQ(os.device_io_control(dev, 0xB16, nullptr, 0, out, 10, &returned), 0);
  EXPECT_EQ(os.get_last_error(), kErrorGenFailure) << "a reply longer than its room is malformed";
  EXPECT_NE(os.close_handle(dev), 0);
}

TYPED_TEST(PlatformContract, ListingTimeIsNowWhereHostsWantOne) {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  const int known = Os().listing_time(&low, &high);
#if defined(_WIN32)
  EXPECT_EQ(known, 0) << "Windows hosts take the no-time mark";
#else
  ASSERT_NE(known, 0);
  // FILETIME ticks (100 ns since 1601) against the clock's seconds since 1970.
  const std::uint64_t ticks = (std::uint64_t{high} << 32) | low;
  const auto seconds = static_cast<std::int64_t>(ticks / 10000000u) - 11644473600ll;
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  EXPECT_LE(std::llabs(seconds - now), 60) << "the current time, UTC";
#endif
}

#if !defined(_WIN32)
// A reader on a socket that plays a script on one connection and then holds
// it until the client lets go. A script that gives false closes the
// connection at once instead, as the simulator does to a second host.
class ScriptedPeer {
 public:
  ScriptedPeer(const std::string& path, std::function<bool(int fd)> script)
      : listener_(ListenAt(path)) {
    thread_ = std::thread([this, script] {
      int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      if (script(fd)) {
        // Past this the peer lets go itself, so a client that never gives
        // up fails the test instead of hanging it.
        pollfd hangup{fd, 0, 0};
        gave_up_ = poll(&hangup, 1, 10000) == 0;
      }
      close(fd);
    });
  }
  ~ScriptedPeer() {
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;
  // After the client has closed: whether the peer had to end the wait.
  bool GaveUp() {
    thread_.join();
    return gave_up_;
  }

 private:
  int listener_;
  bool gave_up_ = false;
  std::thread thread_;
};

std::string Frame(std::uint32_t ok, std::uint32_t error, const std::string& out) {
  std::string frame;
  for (std::uint32_t v : {ok, error, static_cast<std::uint32_t>(out.size())})
    for (int i = 0; i < 4; ++i) frame.push_back(static_cast<char>(v >> (8 * i)));
  return frame + out;
}

// Reads one request, `chunk` bytes of its input at a time with `gap` between.
bool TakeRequest(int fd, std::size_t chunk = 1u << 30,
                 std::chrono::milliseconds gap = std::chrono::milliseconds(0)) {
  std::uint32_t h[3];
  if (!ReadBytes(fd, h, sizeof h)) return false;
  std::string in(chunk < h[1] ? chunk : h[1], '\0');
  for (std::size_t left = h[1]; left > 0;) {
    const std::size_t n = left < in.size() ? left : in.size();
    if (!ReadBytes(fd, &in[0], n)) return false;
    left -= n;
    std::this_thread::sleep_for(gap);
  }
  return true;
}

void SendBytes(int fd, const std::string& bytes) {
  send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

TEST(SocketSubstitute, BytesAfterAResponseFailTheNextCall) {
  struct Case {
    const char* label;
    std::string after;  // what the peer sends after its first response
    std::uint32_t error;
  } cases[] = {
      {"the response repeated", Frame(1, 0, "first"), kErrorGenFailure},
      {"a frame appended", Frame(1, 0, "other answer"), kErrorGenFailure},
      {"a stray byte", "x", kErrorGenFailure},
      {"the connection closed", "", kErrorDeviceNotConnected},
  };
  const Platform& os = NativePlatform();
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path = dir.File("reader0");
    const std::string after = c.after;
    ScriptedPeer peer(path, [after](int fd) {
      TakeRequest(fd);
      SendBytes(fd, Frame(1, 0, "first") + after);
      if (after.empty()) shutdown(fd, SHUT_WR);
      return true;
    });
    OsHandle dev = os.create_file(path.c_str(), kGenericRead | kGenericWrite,
                                  kFileShareRead | kFileShareWrite, kOpenExisting, 0);
    ASSERT_NE(dev, InvalidOsHandle()) << c.label;
    char out[50];
    std::uint32_t returned = 0;
    ASSERT_NE(os.device_io_control(dev, IOCTL_DEV_PROBE, nullptr, 0, out, sizeof out, &returned), 0)
        << c.label;
    EXPECT_EQ(std::string(out, returned), "first") << c.label;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the rest has arrived
    EXPECT_EQ(os.device_io_control(dev, IOCTL_DEV_PROBE, nullptr, 0, out, sizeof out, &returned), 0)
        << c.label;
    EXPECT_EQ(os.get_last_error(), c.error) << c.label;
    EXPECT_EQ(os.device_io_control(dev, IOCTL_DEV_PROBE, nullptr, 0, out, sizeof out, &returned), 0)
        << c.label << ": the connection is dropped";
    os.close_handle(dev);
    EXPECT_FALSE(peer.GaveUp()) << c.label;
  }
}

TEST(SocketSubstitute, ASilentReaderFailsAsLostAndASlowOneIsWaitedFor) {
  SetReaderSilenceLimitForTests(200);
  struct Restore {
    ~Restore() { SetReaderSilenceLimitForTests(0); }
  } restore;
  using std::chrono::milliseconds;
  const std::size_t kLarge = 2u << 20;  // more than the socket buffers hold
  struct Case {
    const char* label;
    std::size_t input;
    std::function<bool(int)> script;
    bool ok;
    std::string out;
  } cases[] = {
      {"accepts and closes at once, as a reader serving another host", 8,
       [](int) { return false; }, false, ""},
      {"takes the request and never answers", 8, [](int fd) { return TakeRequest(fd); }, false, ""},
      {"stops inside the response header", 8,
       [](int fd) {
         const bool taken = TakeRequest(fd);
         SendBytes(fd, Frame(1, 0, "12345678").substr(0, 6));
         return taken;
       },
       false, ""},
      {"stops inside the output", 8,
       [](int fd) {
         const bool taken = TakeRequest(fd);
         SendBytes(fd, Frame(1, 0, "12345678").substr(0, 15));
         return taken;
       },
       false, ""},
      {"stops taking the request", kLarge, [](int) { return true; }, false, ""},
      {"answers a byte every 25 ms", 8,
       [](int fd) {
         TakeRequest(fd);
         for (char c : Frame(1, 0, "dribbled")) {
           std::this_thread::sleep_for(milliseconds(25));
           SendBytes(fd, std::string(1, c));
         }
         return true;
       },
       true, "dribbled"},
      {"takes the request 128 KiB every 25 ms", kLarge,
       [](int fd) {
         TakeRequest(fd, 128u << 10, milliseconds(25));
         SendBytes(fd, Frame(1, 0, "taken"));
         return true;
       },
       true, "taken"},
  };
  const Platform& os = NativePlatform();
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path = dir.File("reader0");
    ScriptedPeer peer(path, c.script);
    OsHandle dev = os.create_file(path.c_str(), kGenericRead | kGenericWrite,
                                  kFileShareRead | kFileShareWrite, kOpenExisting, 0);
    ASSERT_NE(dev, InvalidOsHandle()) << c.label;
    const std::string in(c.input, 'i');
    char out[50];
    std::uint32_t returned = 0;
    os.set_last_error(0);
    const int ok = os.device_io_control(dev, IOCTL_DEV_QUERY_START, in.data(),
                                        static_cast<std::uint32_t>(in.size()), out, sizeof out,
                                        &returned);
    EXPECT_EQ(ok != 0, c.ok) << c.label;
    EXPECT_EQ(std::string(out, returned), c.out) << c.label;
    if (!c.ok) {
      EXPECT_EQ(os.get_last_error(), kErrorDeviceNotConnected) << c.label;
      // The connection is dropped: the next call fails the same way at once.
      EXPECT_EQ(os.device_io_control(dev, IOCTL_DEV_PROBE, nullptr, 0, out, sizeof out, &returned),
                0)
          << c.label;
      EXPECT_EQ(os.get_last_error(), kErrorDeviceNotConnected) << c.label;
    }
    os.close_handle(dev);
    EXPECT_FALSE(peer.GaveUp()) << c.label << ": the call waited past the bound";
  }
}
#endif

}  // namespace
}  // namespace pagora
