// Small helpers of the benchmarks and their checks: a reader state of their
// own and a temporary folder for local files.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "catalog/reader_state.h"

namespace pagora {

struct StateDeleter {
  void operator()(ReaderState* state) const {
    DestroyReaderState(*state);
    delete state;
  }
};
using StatePtr = std::unique_ptr<ReaderState, StateDeleter>;

// A freshly constructed reader state, apart from the module's.
inline StatePtr MakeState() {
  StatePtr state(new ReaderState);
  ConstructReaderState(*state);
  return state;
}

// A folder of its own under the system's temporary folder, removed with its
// files afterwards. The name holds the process id, so concurrent runs and
// forked children never share one.
class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("pagora-bench-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace pagora
