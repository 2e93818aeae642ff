// Runs a program to its end for a test, as a user would from a shell.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace pagora_test {

struct ProcessResult {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
};

// The command line that runs `program` with `args`: behind the build's
// emulator when its programs need one (PAGORA_TEST_EMULATOR), as the
// system cannot start them itself.
std::vector<std::string> CommandLine(const std::string& program,
                                     const std::vector<std::string>& args);

// How a test starts a program: its command line (CommandLine), its
// standard streams and folder, its environment.
struct SpawnRequest {
  std::vector<std::string> command_line;
  const std::map<std::string, std::string>* env = nullptr;  // none: this process's
  std::string cwd;          // empty: this process's
  std::string out_path;     // standard output to this file, unless out_fd is given
  int out_fd = -1;          // standard output to this descriptor
  std::string err_path;     // standard error to this file; empty: this process's
};

// Starts the program with posix_spawn, standard input from /dev/null.
// Gives its process id, or -1 with `error` set.
int SpawnProcess(const SpawnRequest& request, std::string* error);

// Runs `program` with `args` in `cwd`, with exactly the variables in `env`
// and no standard input. Output is collected through files in `scratch_dir`.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& cwd,
                         const std::string& scratch_dir);

// A new empty directory under the system's temporary directory.
std::string MakeTempDir(const std::string& prefix);

}  // namespace pagora_test
