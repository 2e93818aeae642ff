// Shared helpers for the tests: a private reader state and reply builders.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "state/reader_state.h"

namespace pagora {

struct StateDeleter {
  void operator()(ReaderState* state) const {
    DestroyReaderState(*state);
    delete state;
  }
};
using StatePtr = std::unique_ptr<ReaderState, StateDeleter>;

// A freshly constructed reader state of the tests' own, apart from the
// module's.
inline StatePtr MakeState() {
  StatePtr state(new ReaderState);
  ConstructReaderState(*state);
  return state;
}

// One line of a "__DIR" reply, padded into its fixed columns; `plus` makes
// it a line inside the current directory.
inline std::string DirLine(bool plus, const std::string& name, const std::string& ext,
                           const std::string& attributes, const std::string& size,
                           const std::string& long_name) {
  char line[512];
  std::snprintf(line, sizeof line, "%s%-8s %-3s %-6s %8s %s", plus ? "+  " : "", name.c_str(),
                ext.c_str(), attributes.c_str(), size.c_str(), long_name.c_str());
  return line;
}

int ProcessId();

// A folder of its own for a test's local files, removed afterwards.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("pagora-test-" + std::to_string(ProcessId()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Names of the files in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path_)) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A recognisable byte pattern of `n` bytes.
inline std::string Pattern(std::size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + i / 4096) & 0xFF);
  return s;
}

constexpr char kDirHeader[] = "Pagora storage listing\nName     Ext Attr     Size Long name\n";

}  // namespace pagora
