// Download, upload and delete, as the host asks for them.
#pragma once

#include <cstdint>

#include "plugin/fs_api.h"

namespace pagora {

struct ReaderState;
struct StorageEntry;

// The host's result code for a transfer that failed with `error`.
int MapTransferError(std::uint32_t error);

int GetFile(ReaderState& state, char* remote_name, char* local_name, int copy_flags);
int PutFile(ReaderState& state, char* local_name, char* remote_name, int copy_flags);
BOOL DeleteFile(ReaderState& state, char* remote_name);

}  // namespace pagora
