// What the host handed over at initialisation, the names of the transfer
// under way, and the progress function the transfers report through.
#pragma once

#include <cstdint>

#include "plugin/fs_api.h"

namespace pagora {

// The host's path separator: the listing path is this character alone and
// remote names begin with it. Reader-side texts always use backslashes.
#if defined(_WIN32)
constexpr char kHostSeparator = '\\';
#else
constexpr char kHostSeparator = '/';
#endif

// The write time the listing gives its entries. The Windows hosts show the
// interface's no-time mark as no date; the hosts of the native build show it
// as a date in the year 9999 and refuse to copy such a file, so there each
// listing gives the time it was made (UTC).
FILETIME EntryWriteTime();

struct HostContext {
  int plugin_nr;
  ProgressProc progress;
  OpaqueProc log;      // kept, never called
  OpaqueProc request;  // kept, never called
  char* source_name;   // the running transfer's host strings, not copies
  char* target_name;
};

HostContext& Host();

// Reports `percent` for the running transfer. The host's answer is not
// read: a transfer once started runs to its end.
void ReportProgress(std::int32_t percent);

// Reports `percent` and gives the host's answer (non-zero asks to abort).
// A host without a progress callback never aborts.
int AskProgress(std::int32_t percent);

}  // namespace pagora
