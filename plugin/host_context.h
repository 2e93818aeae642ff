// What the host handed over at initialisation, the names of the transfer
// under way, and the progress function the transfers report through.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "plugin/fs_api.h"

namespace pagora {

// The write time the listing gives its entries (the platform's listing
// time: no time on Windows, the time of the listing elsewhere).
FILETIME EntryWriteTime();

struct HostContext {
  int plugin_nr;
  // The progress callback the host gave last, by FsInit or FsInitW; the
  // other one is none. Reports go to it whichever exports run the transfer.
  ProgressProc progress;
  ProgressProcW progress_w;
  OpaqueProc log;  // kept, never called
  // The request callback of the same call; the other one is none. Messages
  // go through it where the system has no message boxes of its own.
  RequestProc request;
  RequestProcW request_w;
  bool unicode;  // the host came through FsInitW
  // The running transfer's names as the host gave them, not copies: the
  // 8-bit pair from the ANSI exports or the UTF-16 pair from the Unicode
  // ones; the other pair is none.
  char* source_name;
  char* target_name;
  char16_t* source_name_w;
  char16_t* target_name_w;
};

HostContext& Host();

// Reports `percent` for the running transfer and gives the host's answer,
// for the exchanges (downloads stop on a cancel, uploads cannot).
int ReportProgress(std::int32_t percent);

// Remembers the names of the transfer an export starts.
void SetTransferNames(char* source, char* target);
void SetTransferNames(char16_t* source, char16_t* target);

// Reports `percent` and gives the host's answer (non-zero asks to abort).
// Names from the other export set are converted for the callback. A host
// without a progress callback never aborts.
int AskProgress(std::int32_t percent);

}  // namespace pagora
