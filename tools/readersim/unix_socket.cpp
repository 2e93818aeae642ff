#include "unix_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace readersim {

namespace {

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Connecting tells a socket in use from one whose server is gone.
bool SomeoneListens(const sockaddr_un& address) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool live = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return live;
}

}  // namespace

int ListenUnix(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!FillAddress(path, &address)) {
    *error = path + ": socket path longer than " + std::to_string(sizeof address.sun_path - 1) +
             " bytes";
    return -1;
  }
  struct stat info;
  if (::lstat(path.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) {
      *error = path + ": exists and is not a socket";
      return -1;
    }
    if (SomeoneListens(address)) {
      *error = path + ": another process serves this socket";
      return -1;
    }
    ::unlink(path.c_str());
  }
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = Errno("socket");
    return -1;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 8) != 0) {
    *error = Errno(path);
    ::close(fd);
    return -1;
  }
  return fd;
}

int ListenLoopback(std::uint16_t port, std::string* error) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = Errno("socket");
    return -1;
  }
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 8) != 0) {
    *error = Errno("127.0.0.1:" + std::to_string(port));
    ::close(fd);
    return -1;
  }
  return fd;
}

bool MakeFolder(const std::string& dir, std::string* error) {
  std::error_code ec;
  namespace fs = std::filesystem;
  fs::path path(dir);
  fs::path built;
  for (const fs::path& part : path) {
    built /= part;
    if (fs::is_directory(built, ec)) continue;
    if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = Errno(built.string() + ": cannot make the folder");
      return false;
    }
  }
  if (!fs::is_directory(path, ec)) {
    *error = dir + ": not a folder";
    return false;
  }
  return true;
}

bool IsInsideFolder(const std::string& path, const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec1, ec2;
  fs::path parent = fs::weakly_canonical(fs::absolute(fs::path(path), ec1).parent_path(), ec1);
  fs::path folder = fs::weakly_canonical(fs::absolute(fs::path(dir), ec2), ec2);
  if (ec1 || ec2) return false;
  if (folder.filename().empty()) folder = folder.parent_path();
  if (parent.filename().empty()) parent = parent.parent_path();
  return parent == folder;
}

}  // namespace readersim
