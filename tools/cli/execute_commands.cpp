#include "tools/cli/execute_commands.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/cli/result_codes.h"

#if !defined(_WIN32)
#include <stdlib.h>
#endif

namespace pagora_cli {

namespace {

namespace fs = std::filesystem;

std::vector<char> Writable(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return buffer;
}

int NotFound(const char* command, const Request& request, std::FILE* err) {
  const ResultInfo info = DescribeResult(FS_FILE_NOTFOUND);
  std::fprintf(err, "pagora-cli: %s: no title is listed as '%s'\n", command,
               request.name.c_str());
  return info.exit_status;
}

// A new folder of its own under the system's temporary folder; empty when
// none can be made.
std::string MakeTemporaryFolder() {
  std::error_code ec;
  std::string pattern = (fs::temp_directory_path(ec) / "pagora-open-XXXXXX").string();
  if (ec) return "";
  std::vector<char> path = Writable(pattern);
  return mkdtemp(path.data()) != nullptr ? std::string(path.data()) : "";
}

}  // namespace

int ShowInfo(const PluginExports& plugin, const ContentExports& content, const Request& request,
             std::FILE* err) {
  ListFolder(plugin);
  if (content.value != nullptr) {
    std::vector<char> remote = Writable(request.remote);
    char value[8];
    if (content.value(remote.data(), 0, 0, value, static_cast<int>(sizeof value), 0) ==
        ft_fileerror) {
      return NotFound("info", request, err);
    }
  }
  std::vector<char> remote = Writable(request.remote);
  char verb[] = "properties";
  plugin.execute_file(nullptr, remote.data(), verb);
  return kExitOk;
}

int OpenEntry(const PluginExports& plugin, const Request& request, ProgressDisplay* progress,
              std::FILE* out, std::FILE* err) {
  ListFolder(plugin);
  std::vector<char> remote = Writable(request.remote);
  char verb[] = "open";
  if (plugin.execute_file(nullptr, remote.data(), verb) != FS_EXEC_YOURSELF) {
    return NotFound("open", request, err);
  }
  const std::string folder = MakeTemporaryFolder();
  if (folder.empty()) {
    std::fprintf(err, "pagora-cli: open: cannot make a temporary folder\n");
    return kExitLocalFile;
  }
  const std::string target = (fs::path(folder) / request.name).string();
  std::vector<char> local = Writable(target);
  remote = Writable(request.remote);
  progress->Begin();
  const int code = plugin.get_file(remote.data(), local.data(), 0, nullptr);
  progress->End();
  if (code != FS_FILE_OK) {
    const ResultInfo info = DescribeResult(code);
    std::fprintf(err, "pagora-cli: open '%s': %s (%s %d)\n", request.name.c_str(), info.message,
                 info.name, code);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return info.exit_status;
  }
  std::fprintf(out, "%s\n", target.c_str());
  return kExitOk;
}

}  // namespace pagora_cli
