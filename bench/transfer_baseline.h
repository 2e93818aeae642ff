// The least work a transfer can do: the same control calls with the same
// bytes through the same platform table, and the same local file written or
// read, without anything of the plugin's own around them. The transfer
// benchmarks divide the plugin's time by this one's.
#pragma once

#include "platform/platform.h"

namespace pagora {

// Probes `device`, then reads the reply to `name` block by block into a
// 4096-byte buffer and writes each block to `local_path` (created anew).
// Gives the bytes written, or -1.
long long BaselineDownload(OsHandle device, const char* name, const char* local_path);

// The same, written the way the plugin writes a download: into a file beside
// the target that then replaces it, so nothing half-written is ever left.
long long BaselineDownloadReplacing(OsHandle device, const char* name, const char* local_path);

// Reads `local_path` whole behind `target` and its NUL, probes `device`,
// then sends the start call with everything and the continuation blocks
// from the data's 4096th byte on. Gives the data bytes sent, or -1.
long long BaselineUpload(OsHandle device, const char* target, const char* local_path);

}  // namespace pagora
