// Exit statuses of pagora-cli and the meaning of the plugin's transfer results.
#pragma once

#include <string>

namespace pagora_cli {

constexpr int kExitOk = 0;
constexpr int kExitDeleteRefused = 1;  // FsDeleteFile answered FALSE
constexpr int kExitUsage = 2;
constexpr int kExitModule = 3;         // module missing or without the exports
constexpr int kExitLocalFile = 4;      // refused or failed on the local side
constexpr int kExitResultBase = 10;    // plus the FS_FILE_* code of a failed transfer
constexpr int kExitUnknownResult = 19; // a transfer result outside the interface's codes

struct ResultInfo {
  int exit_status;
  const char* name;     // the interface's name of the code, e.g. "FS_FILE_NOTFOUND"
  const char* message;  // what it means to the user
};

// Which way a transfer went: the side a write error is on.
enum class Direction { kDownload, kUpload };

// What a FsGetFile/FsPutFile result means; codes outside the interface's
// range get kExitUnknownResult and a generic message. A write error is the
// local disk's in a download and the reader's in an upload.
ResultInfo DescribeResult(int code, Direction direction = Direction::kDownload);

// The table of exit statuses, as printed by --help.
std::string ExitStatusTable();

}  // namespace pagora_cli
