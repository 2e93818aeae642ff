#include "bench/peak_rss.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace pagora {
namespace {

// "5" in clear_refs sets the peak back to the current resident size.
void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

bool WriteAll(int fd, const void* data, std::size_t length) {
  const auto* p = static_cast<const char*>(data);
  while (length > 0) {
    const ssize_t n = write(fd, p, length);
    if (n <= 0) return false;
    p += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, std::size_t length) {
  auto* p = static_cast<char*>(data);
  while (length > 0) {
    const ssize_t n = read(fd, p, length);
    if (n <= 0) return false;
    p += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

long ReadStatusKib(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = std::string(field) + ":";
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
  }
  return -1;
}

PeakRss MeasureInChild(const std::function<bool()>& warm_up, const std::function<bool()>& work) {
  PeakRss result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  std::fflush(nullptr);  // nothing buffered is written twice
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return result;
  }
  if (child == 0) {
    close(fds[0]);
    PeakRss measured;
    if (warm_up()) {
      ResetPeak();
      measured.start_kib = ReadStatusKib("VmRSS");
      measured.ok = work();
      measured.peak_kib = ReadStatusKib("VmHWM");
      measured.ok = measured.ok && measured.start_kib > 0 && measured.peak_kib > 0;
    }
    _exit(WriteAll(fds[1], &measured, sizeof measured) ? 0 : 1);
  }
  close(fds[1]);
  PeakRss measured;
  const bool received = ReadAll(fds[0], &measured, sizeof measured);
  close(fds[0]);
  int status = 0;
  const bool exited = waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                      WEXITSTATUS(status) == 0;
  if (received && exited) result = measured;
  return result;
}

}  // namespace pagora
