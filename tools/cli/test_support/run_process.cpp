#include "tools/cli/test_support/run_process.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace pagora_test {

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<std::string> CommandLine(const std::string& program,
                                     const std::vector<std::string>& args) {
  std::vector<std::string> line;
#if defined(PAGORA_TEST_EMULATOR)
  line.push_back(PAGORA_TEST_EMULATOR);
#endif
  line.push_back(program);
  line.insert(line.end(), args.begin(), args.end());
  return line;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& cwd,
                         const std::string& scratch_dir) {
  const std::string out_path = scratch_dir + "/process.out";
  const std::string err_path = scratch_dir + "/process.err";
  // Everything the child needs is built before fork: after it only
  // async-signal-safe calls are made.
  std::vector<std::string> env_text;
  for (const auto& [name, value] : env) env_text.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : env_text) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> arg_text = CommandLine(program, args);
  std::vector<char*> argv;
  for (std::string& arg : arg_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int in_fd = open("/dev/null", O_RDONLY);
    const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 ||
        dup2(err_fd, 2) < 0 || chdir(cwd.c_str()) != 0) {
      _exit(127);
    }
    execve(arg_text[0].c_str(), argv.data(), envp.data());
    _exit(127);
  }
  ProcessResult result;
  int wait_status = 0;
  if (pid > 0 && waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status)) {
    result.status = WEXITSTATUS(wait_status);
  }
  result.out = ReadAll(out_path);
  result.err = ReadAll(err_path);
  return result;
}

std::string MakeTempDir(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

}  // namespace pagora_test
