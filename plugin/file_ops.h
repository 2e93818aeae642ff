// Download, upload and delete, as the host asks for them.
#pragma once

#include <cstdint>

#include "platform/local_path.h"
#include "plugin/fs_api.h"

namespace pagora {

struct ReaderState;
struct StorageEntry;

// The host's result code for a transfer that failed with `error`; `local`
// when a local file call of a download failed, where want of room (a full
// disk, no inode, a read-only medium) is the user's side: a write error.
int MapTransferError(std::uint32_t error, bool local = false);

// The operations behind the exports. Remote names are reader text, local
// names the host's own, in the form its export set takes; the export has
// saved them for the progress reports.
int GetRemoteFile(ReaderState& state, const char* remote_name, const LocalPath& local_name,
            int copy_flags);
int PutRemoteFile(ReaderState& state, const LocalPath& local_name, const char* remote_name,
            int copy_flags);
BOOL DeleteRemoteFile(ReaderState& state, const char* remote_name);

}  // namespace pagora
