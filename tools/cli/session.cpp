#include "tools/cli/session.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "tools/cli/execute_commands.h"
#include "tools/cli/host_messages.h"
#include "tools/cli/host_path.h"
#include "tools/cli/interrupt.h"
#include "tools/cli/result_codes.h"

namespace pagora_cli {

namespace {

namespace fs = std::filesystem;

// A plugin that never ends its listing must not hang the host.
constexpr std::size_t kMaxEntries = 100000;

// The interface hands the plugin writable strings, and a plugin may write
// into them, so each call gets its own copy.
std::vector<char> Writable(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return buffer;
}

FolderEntry EntryOf(const WIN32_FIND_DATAA& data) {
  FolderEntry entry;
  entry.name.assign(data.cFileName, strnlen(data.cFileName, sizeof(data.cFileName)));
  entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.attributes = data.dwFileAttributes;
  return entry;
}

int ReportResult(int code, Direction direction, const std::string& what, std::FILE* err) {
  if (code == FS_FILE_OK) return kExitOk;
  const ResultInfo info = DescribeResult(code, direction);
  std::fprintf(err, "pagora-cli: %s: %s (%s %d)\n", what.c_str(), info.message, info.name, code);
  return info.exit_status;
}

// A transfer the plugin finished although Ctrl-C was pressed stays a copy:
// the user asked to stop, so the source is not deleted.
bool MoveStillWanted(const std::string& source, std::FILE* err) {
  if (!InterruptRequested()) return true;
  std::fprintf(err, "pagora-cli: interrupted: '%s' was copied, not moved\n", source.c_str());
  return false;
}

int InterruptedMoveStatus() { return DescribeResult(FS_FILE_USERABORT).exit_status; }

int List(const PluginExports& plugin, std::FILE* out) {
  const std::vector<FolderEntry> entries = ListFolder(plugin);
  if (entries.empty()) std::fprintf(out, "  (empty folder)\n");
  for (const FolderEntry& entry : entries) {
    std::fprintf(out, "%12llu  %s\n", static_cast<unsigned long long>(entry.size),
                 Printable(entry.name).c_str());
  }
  return kExitOk;
}

int Get(const PluginExports& plugin, const Options& options, const Request& request,
        ProgressDisplay* progress, std::FILE* out, std::FILE* err) {
  // The plugin refuses an existing target unless --overwrite, as it does
  // for a file manager, which then asks the user.
  ListFolder(plugin);
  std::vector<char> remote = Writable(request.remote);
  std::vector<char> local = Writable(request.local);
  progress->Begin();
  const int code = plugin.get_file(remote.data(), local.data(), CopyFlags(options), nullptr);
  progress->End();
  const int status = ReportResult(code, Direction::kDownload, "get '" + request.name + "'", err);
  if (status != kExitOk) return status;
  std::fprintf(out, "downloaded '%s' to '%s'\n", request.name.c_str(), request.local.c_str());
  if (options.move && !MoveStillWanted(request.name, err)) return InterruptedMoveStatus();
  if (options.move) {
    // The plugin only copies; completing a move is the host's part.
    std::vector<char> doomed = Writable(request.remote);
    if (!plugin.delete_file(doomed.data())) {
      std::fprintf(err, "pagora-cli: get: downloaded, but '%s' could not be deleted on the reader\n",
                   request.name.c_str());
      return kExitDeleteRefused;
    }
    std::fprintf(out, "deleted '%s'\n", request.name.c_str());
  }
  return kExitOk;
}

int Put(const PluginExports& plugin, const Options& options, const Request& request,
        ProgressDisplay* progress, std::FILE* out, std::FILE* err) {
  std::error_code ec;
  if (!fs::is_regular_file(request.local, ec)) {
    std::fprintf(err, "pagora-cli: put: '%s' is not a readable file\n", request.local.c_str());
    return kExitLocalFile;
  }
  ListFolder(plugin);
  std::vector<char> local = Writable(request.local);
  std::vector<char> remote = Writable(request.remote);
  progress->Begin();
  const int code = plugin.put_file(local.data(), remote.data(), CopyFlags(options));
  progress->End();
  const int status = ReportResult(code, Direction::kUpload, "put '" + request.local + "'", err);
  if (status != kExitOk) return status;
  std::fprintf(out, "uploaded '%s' as '%s'\n", request.local.c_str(), request.name.c_str());
  if (options.move && !MoveStillWanted(request.local, err)) return InterruptedMoveStatus();
  if (options.move) {
    // Only a confirmed upload may cost the user the local copy. The path is
    // the request's own: the plugin may have changed its copy of the name.
    if (!fs::remove(request.local, ec)) {
      std::fprintf(err, "pagora-cli: put: uploaded, but '%s' could not be removed: %s\n",
                   request.local.c_str(), ec ? ec.message().c_str() : "it is gone");
      return kExitLocalFile;
    }
    std::fprintf(out, "removed '%s'\n", request.local.c_str());
  }
  return kExitOk;
}

int Remove(const PluginExports& plugin, const Request& request, std::FILE* out, std::FILE* err) {
  ListFolder(plugin);
  std::vector<char> remote = Writable(request.remote);
  if (!plugin.delete_file(remote.data())) {
    std::fprintf(err, "pagora-cli: rm: the plugin could not delete '%s'\n", request.name.c_str());
    return kExitDeleteRefused;
  }
  std::fprintf(out, "deleted '%s'\n", request.name.c_str());
  return kExitOk;
}

}  // namespace

std::vector<FolderEntry> ListFolder(const PluginExports& plugin) {
  std::vector<FolderEntry> entries;
  std::vector<char> path = Writable(FolderPath());
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof(data));
  HANDLE handle = plugin.find_first(path.data(), &data);
  if (handle == InvalidHandleValue()) return entries;
  entries.push_back(EntryOf(data));
  while (entries.size() < kMaxEntries) {
    std::memset(&data, 0, sizeof(data));
    if (!plugin.find_next(handle, &data)) break;
    entries.push_back(EntryOf(data));
  }
  plugin.find_close(handle);
  return entries;
}

bool MakeRequest(const Options& options, Request* request, std::string* error) {
  const std::vector<std::string>& operands = options.operands;
  switch (options.command) {
    case Command::kGet: {
      request->name = operands[0];
      request->local = operands.size() > 1 ? operands[1] : operands[0];
      std::error_code ec;
      if (fs::is_directory(request->local, ec)) {
        request->local = (fs::path(request->local) / request->name).string();
      }
      break;
    }
    case Command::kPut:
      request->local = operands[0];
      request->name = operands.size() > 1 ? operands[1] : LocalBaseName(operands[0]);
      break;
    case Command::kRemove:
    case Command::kInfo:
    case Command::kOpen:
      request->name = operands[0];
      break;
    case Command::kList:
    case Command::kNone:
      return true;
  }
  return MakeRemoteName(request->name, &request->remote, error);
}

int RunCommand(const PluginExports& plugin, const Options& options, const Request& request,
               ProgressDisplay* progress, std::FILE* out, std::FILE* err,
               const ContentExports& content) {
  plugin.init(kPluginNumber, HostProgress, nullptr, HostRequest);
  SetMessageStream(err);
  char root[260];
  std::memset(root, 0, sizeof(root));
  plugin.get_def_root_name(root, static_cast<int>(sizeof(root)));
  root[sizeof(root) - 1] = '\0';
  std::fprintf(out, "%s:\n", root);
  std::fflush(out);

  SetProgressDisplay(progress);
  int status = kExitUsage;
  switch (options.command) {
    case Command::kList:
      status = options.long_listing ? ListWithDetails(plugin, content, out, err) : List(plugin, out);
      break;
    case Command::kGet:
      status = Get(plugin, options, request, progress, out, err);
      break;
    case Command::kPut:
      status = Put(plugin, options, request, progress, out, err);
      break;
    case Command::kRemove:
      status = Remove(plugin, request, out, err);
      break;
    case Command::kInfo:
      status = ShowInfo(plugin, content, request, err);
      break;
    case Command::kOpen:
      status = OpenEntry(plugin, request, progress, out, err);
      break;
    case Command::kNone:
      break;
  }
  SetProgressDisplay(nullptr);
  SetMessageStream(nullptr);
  return status;
}

}  // namespace pagora_cli
