#include "testing/run_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

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

int SpawnProcess(const SpawnRequest& request, std::string* error) {
  std::vector<std::string> line = request.command_line;
  std::vector<char*> argv;
  for (std::string& arg : line) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text;
  if (request.env != nullptr) {
    for (const auto& [name, value] : *request.env) env_text.push_back(name + "=" + value);
  }
  std::vector<char*> envp;
  for (std::string& entry : env_text) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (request.out_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, request.out_fd, 1);
  } else if (!request.out_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, request.out_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (!request.err_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, request.err_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (!request.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, request.cwd.c_str());
  pid_t pid = -1;
  const int fault = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(),
                                request.env != nullptr ? envp.data() : environ);
  posix_spawn_file_actions_destroy(&actions);
  if (fault != 0) {
    *error = "cannot start " + line[0] + ": " + std::strerror(fault);
    return -1;
  }
  return pid;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& cwd,
                         const std::string& scratch_dir) {
  SpawnRequest request;
  request.command_line = CommandLine(program, args);
  request.env = &env;
  request.cwd = cwd;
  request.out_path = scratch_dir + "/process.out";
  request.err_path = scratch_dir + "/process.err";
  ProcessResult result;
  std::string error;
  const int pid = SpawnProcess(request, &error);
  int wait_status = 0;
  if (pid > 0 && waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status)) {
    result.status = WEXITSTATUS(wait_status);
  }
  result.out = ReadAll(request.out_path);
  result.err = pid > 0 ? ReadAll(request.err_path) : error;
  return result;
}

std::string MakeTempDir(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

}  // namespace pagora_test
