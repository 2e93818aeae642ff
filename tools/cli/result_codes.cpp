#include "tools/cli/result_codes.h"

#include <algorithm>

#include "plugin/fs_api.h"

namespace pagora_cli {

namespace {

constexpr ResultInfo kResults[] = {
    {kExitOk, "FS_FILE_OK", "done"},
    {kExitResultBase + FS_FILE_EXISTS, "FS_FILE_EXISTS", "the target already exists (--overwrite replaces it)"},
    {kExitResultBase + FS_FILE_NOTFOUND, "FS_FILE_NOTFOUND",
     "not found (no such title, or an unusable local path)"},
    {kExitResultBase + FS_FILE_READERROR, "FS_FILE_READERROR",
     "the transfer failed on the reader's side (unplugged or not answering?)"},
    {kExitResultBase + FS_FILE_WRITEERROR, "FS_FILE_WRITEERROR",
     "the local file could not be written (disk full or read-only?)"},
    {kExitResultBase + FS_FILE_USERABORT, "FS_FILE_USERABORT", "aborted"},
    {kExitResultBase + FS_FILE_NOTSUPPORTED, "FS_FILE_NOTSUPPORTED",
     "not supported (resume; an upload that is no .rb book, whose source cannot be read, or "
     "whose name the reader cannot hold: outside Windows-1252 or too long)"},
};

constexpr const char* kNoRoomOnTheReader = "the reader has no room for the book";

constexpr int kResultCount = static_cast<int>(sizeof(kResults) / sizeof(kResults[0]));

}  // namespace

ResultInfo DescribeResult(int code, Direction direction) {
  if (code == FS_FILE_WRITEERROR && direction == Direction::kUpload) {
    return {kResults[code].exit_status, kResults[code].name, kNoRoomOnTheReader};
  }
  if (code >= 0 && code < kResultCount) return kResults[code];
  return {kExitUnknownResult, "unknown result", "the plugin gave a result code the host does not know"};
}

std::string ExitStatusTable() {
  std::string table =
      "Exit status:\n"
      "   0  success\n"
      "   1  the plugin refused to delete the title\n"
      "   2  usage error (bad option, missing argument, bad name)\n"
      "   3  the module could not be loaded or lacks an export\n"
      "   4  refused or failed on the local side (source unreadable, moved source\n"
      "      not removable)\n";
  for (int code = 1; code < kResultCount; ++code) {
    const ResultInfo& info = kResults[code];
    std::string line = "  " + std::to_string(info.exit_status) + "  " + info.name;
    line.resize(std::max<std::size_t>(line.size() + 2, 28), ' ');
    table += line + (code == FS_FILE_WRITEERROR ? "get: " : "") + info.message + "\n";
    if (code == FS_FILE_WRITEERROR) {
      table += std::string(28, ' ') + "put: " + kNoRoomOnTheReader + "\n";
    }
  }
  table += "  " + std::to_string(kExitUnknownResult) + "  any other transfer result\n";
  return table;
}

}  // namespace pagora_cli
