#include "plugin/file_ops.h"

#include <cstdio>
#include <cstring>

#include "catalog/links.h"
#include "state/reader_state.h"
#include "catalog/status.h"
#include "state/text.h"
#include "catalog/titles.h"
#include "devlink/device.h"
#include "devlink/exchange.h"
#include "plugin/host_context.h"
#include "plugin/listing.h"
#include "plugin/messages.h"
#include "plugin/title_names.h"

namespace pagora {
namespace {

constexpr std::size_t kMaxPath = 259;  // longest upload path on the reader, without NUL
constexpr char kInternalFolder[] = "\\book";
constexpr char kCardFolder[] = "\\SM\\book";

// The remote name without the host's leading separator.
const char* RemoteTail(const char* remote_name) {
  return remote_name[0] == kHostSeparator ? remote_name + 1 : remote_name;
}

bool UploadPathFits(const char* folder, const char* remote_name) {
  return std::strlen(folder) + 1 + std::strlen(RemoteTail(remote_name)) <= kMaxPath;
}

// The low 32 bits of the local file's length. 0, or -1 when it cannot be
// opened for reading or measured.
int MeasureFile(const LocalPath& path, std::uint32_t* length) {
  const Platform& os = Os();
  OsHandle file = CreateLocal(path, kGenericRead, kFileShareRead, kOpenExisting);
  if (file == InvalidOsHandle()) return -1;
  std::uint32_t high = 0;
  os.set_last_error(0);
  *length = os.get_file_size(file, &high);
  // All ones is a valid low half too; only the last-error value tells.
  const bool failed = *length == 0xFFFFFFFFu && os.get_last_error() != 0;
  os.close_handle(file);
  return failed ? -1 : 0;
}

}  // namespace

int MapTransferError(std::uint32_t error, bool local) {
  if (local && (error == kErrorDiskFull || error == kErrorHandleDiskFull ||
                error == kErrorWriteProtect)) {
    return FS_FILE_WRITEERROR;
  }
  switch (error) {
    case kErrorFileNotFound:
    case kErrorPathNotFound:
    case kErrorTooManyOpenFiles:
    case kErrorAccessDenied: return FS_FILE_NOTFOUND;
    case kErrorFileExists:
    case kErrorAlreadyExists: return FS_FILE_EXISTS;
    case kErrorCancelled: return FS_FILE_USERABORT;
    default: return FS_FILE_READERROR;
  }
}

int GetRemoteFile(ReaderState& state, const char* remote_name, const LocalPath& local_name,
            int copy_flags) {
  if (local_name.none()) return FS_FILE_NOTFOUND;
  if (FindTitleByName(state, remote_name) == nullptr) return FS_FILE_NOTFOUND;
  if (copy_flags & FS_COPYFLAGS_RESUME) return FS_FILE_NOTSUPPORTED;
  // Without the overwrite flag the host asks the user about any entry at
  // the target (a folder, a dangling link) before anything is replaced.
  const bool overwrite = (copy_flags & FS_COPYFLAGS_OVERWRITE) != 0;
  if (!overwrite && LocalAttributes(local_name) != kInvalidFileAttributes) {
    return FS_FILE_EXISTS;
  }
  if (AskProgress(0) != 0) return FS_FILE_USERABORT;
  // Nothing is deleted first, not even for a move with overwrite: the
  // download replaces the local file only once it is complete, so a failed
  // or cancelled one leaves the user's file as it was; without the flag it
  // replaces none, not even one that appeared meanwhile.

  // A failing exchange resets the catalog and frees the title, so the
  // download works from copies of what it needs.
  const TitleRecord& title = *Cursor().title;
  char filename[sizeof title.filename];
  std::memcpy(filename, title.filename, sizeof filename);
  bool local = false;
  if (DevDownload(state, filename, local_name, title.size, ReportProgress, overwrite, &local) !=
      0) {
    return MapTransferError(Os().get_last_error(), local);
  }
  AskProgress(100);
  return FS_FILE_OK;
}

int PutRemoteFile(ReaderState& state, const LocalPath& local_name, const char* remote_name,
            int copy_flags) {
  const Platform& os = Os();
  if (local_name.none() || remote_name == nullptr) return FS_FILE_NOTSUPPORTED;
  if (!LocalPathHolds(local_name, ".rb")) return FS_FILE_NOTSUPPORTED;
  if (!UploadPathFits(kInternalFolder, remote_name)) return FS_FILE_NOTSUPPORTED;

  std::uint32_t length = 0;
  if (MeasureFile(local_name, &length) != 0) return FS_FILE_NOTSUPPORTED;

  // Without a status reply there is no reader to be full: a failed
  // transfer, not the out-of-space message.
  if (RefreshStatus(state) != 0) return MapTransferError(os.get_last_error());

  const char* folder;
  if (length < static_cast<std::uint32_t>(state.free_memory)) {
    folder = kInternalFolder;
  } else if (state.card_present && length < static_cast<std::uint32_t>(state.sm_free_memory)) {
    folder = kCardFolder;
  } else {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Insufficiently memory!\nPagora memory free: %d\nSmartMedia free: %d",
                  static_cast<int>(state.free_memory),
                  static_cast<int>(state.card_present ? state.sm_free_memory : 0));
    ShowMessage(text, "Error!", kMbOkIconError);
    // The book was not uploaded; a host told otherwise would delete the
    // source of a move.
    return FS_FILE_WRITEERROR;
  }
  if (!UploadPathFits(folder, remote_name)) return FS_FILE_NOTSUPPORTED;
  char upload_path[kMaxPath + 1];
  const std::size_t folder_length = std::strlen(folder);
  const char* tail = RemoteTail(remote_name);
  std::memcpy(upload_path, folder, folder_length);
  upload_path[folder_length] = '\\';
  std::memcpy(upload_path + folder_length + 1, tail, std::strlen(tail) + 1);

  if (copy_flags & FS_COPYFLAGS_RESUME) return FS_FILE_NOTSUPPORTED;
  if (std::strlen(remote_name) < 3) return FS_FILE_NOTFOUND;
  // The listing shows titles, not reader paths, so only the plugin can tell
  // that the upload would take another book's place: the host asks first.
  const int storage = folder == kInternalFolder ? kStorageInternal : kStorageCard;
  if ((copy_flags & FS_COPYFLAGS_OVERWRITE) == 0 &&
      HoldsReaderPath(state, storage, upload_path + 1)) {
    return FS_FILE_EXISTS;
  }
  if (AskProgress(0) != 0) return FS_FILE_USERABORT;
  if (DevUploadFile(state, upload_path, local_name, ReportProgress) != 0) {
    return MapTransferError(os.get_last_error());
  }
  AskProgress(100);
  return FS_FILE_OK;
}

BOOL DeleteRemoteFile(ReaderState& state, const char* remote_name) {
  if (remote_name == nullptr || std::strlen(remote_name) < 3) return kFalse;
  if (!DevIsConnected(state)) return kFalse;
  StorageEntry* file = FindTitleByName(state, remote_name);
  if (file == nullptr) return kFalse;
  return DeleteTitle(*file) == 0 ? kTrue : kFalse;
}

}  // namespace pagora
