#include "devlink/exchange.h"

#include <cstring>

#include "state/reader_state.h"
#include "devlink/device.h"
#include "platform/local_path.h"
#include "platform/scoped.h"

namespace pagora {
namespace {

// A block length as the driver reported it, but never past the room given:
// the count is untrusted, the buffer is ours.
std::int32_t BlockLength(std::uint32_t returned, std::int32_t room) {
  return returned > static_cast<std::uint32_t>(room) ? room : static_cast<std::int32_t>(returned);
}

std::int32_t NameSize(const char* name) {
  return static_cast<std::int32_t>(std::strlen(name) + 1);
}

// The length of `path`'s folder part, its last separator included.
template <typename Char>
std::size_t FolderLength(const Char* path) {
  std::size_t length = 0;
  while (path[length] != 0) ++length;
  while (length > 0 && !IsLocalSeparator(static_cast<char16_t>(path[length - 1]))) --length;
  return length;
}

// The temporary file's name; its zeros become a number.
constexpr char kPartPattern[] = "~pgr0000.tmp";

template <typename Char>
std::size_t PartPathBytes(const Char* target) {
  return (FolderLength(target) + sizeof kPartPattern) * sizeof(Char);
}

// The download's temporary file: a short name in the target's folder, in
// the target's own form, so any target name the file system allows leaves
// room for it, created exclusively, so no file of the user is ever opened.
// Unless it took the target's place, it is closed and removed when the
// scope ends.
class PartFile {
 public:
  explicit PartFile(const LocalPath& target)
      : path_(target.wide != nullptr ? PartPathBytes(target.wide) : PartPathBytes(target.narrow)) {
    if (path_.get() == nullptr) {
      Fail(kErrorNotEnoughMemory);
      return;
    }
    if (target.wide != nullptr) {
      Create(target.wide, reinterpret_cast<char16_t*>(path_.get()));
    } else {
      Create(target.narrow, path_.get());
    }
  }
  ~PartFile() {
    Close();
    if (!made_) return;
    KeepLastError keep;
    DeleteLocal(local_);
  }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  bool ok() const { return handle_ != InvalidOsHandle(); }
  OsHandle handle() const { return handle_; }

  // Closes the file and lets it take the target's place, an existing file's
  // only with `replace`. 0, or -1 with the moving call's error.
  int Commit(const LocalPath& target, bool replace) {
    Close();
    if (MoveLocal(local_, target, replace ? kMoveFileReplaceExisting : 0) == 0) return -1;
    made_ = false;  // it is the target now
    return 0;
  }

 private:
  static constexpr std::size_t kFirstDigit = 4;  // the zeros of the pattern
  static constexpr std::size_t kDigits = 4;
  static constexpr int kAttempts = 64;  // names tried before the folder counts as full

  template <typename Char>
  void Create(const Char* target, Char* path) {
    const std::size_t folder = FolderLength(target);
    for (std::size_t i = 0; i < folder; ++i) path[i] = target[i];
    for (std::size_t i = 0; i < sizeof kPartPattern; ++i) {
      path[folder + i] = static_cast<Char>(kPartPattern[i]);
    }
    local_ = LocalPath(static_cast<const Char*>(path));
    // Successive downloads start from successive names; an existing file
    // only moves the attempt on to the next one.
    static std::uint32_t next_name = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      std::uint32_t n = next_name++;
      for (std::size_t d = kDigits; d-- > 0; n >>= 4) {
        path[folder + kFirstDigit + d] = static_cast<Char>("0123456789abcdef"[n & 0xF]);
      }
      handle_ = CreateLocal(local_, kGenericWrite, kFileShareRead, kCreateNew);
      made_ = ok();
      if (made_ || Os().get_last_error() != kErrorFileExists) break;
    }
  }

  void Close() {
    if (!ok()) return;
    KeepLastError keep;
    Os().close_handle(handle_);
    handle_ = InvalidOsHandle();
  }

  ScopedBlock path_;
  LocalPath local_;  // the temporary file's path, in path_
  OsHandle handle_ = InvalidOsHandle();
  bool made_ = false;  // a file of ours stands at the path
};

}  // namespace

std::int32_t Percent(std::int64_t done, std::int64_t total) {
  const std::int64_t p = done * 100 / total;
  if (p > INT32_MAX) return INT32_MAX;
  if (p < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(p);
}

namespace {

// Opens the link and makes a query's start call, its first block going to
// `buffer` (`room` bytes). Gives the block's length, or -1: the link failed
// (the state reset) or the reply holds nothing (kErrorHandleEof).
std::int32_t FirstBlock(ReaderState& state, const char* name, char* buffer, std::int32_t room) {
  if (DevOpen(state) != 0) return -1;
  std::uint32_t returned = 0;
  if (Os().device_io_control(state.device, IOCTL_DEV_QUERY_START, name,
                             static_cast<std::uint32_t>(NameSize(name)), buffer,
                             static_cast<std::uint32_t>(room), &returned) == 0) {
    ResetAfterFailure(state);
    return -1;
  }
  const std::int32_t received = BlockLength(returned, room);
  if (received == 0) {
    DevRelease(state, false);
    return Fail(kErrorHandleEof);
  }
  return received;
}

}  // namespace

int DevQuery(ReaderState& state, const char* name, char* buffer, std::int32_t* length) {
  const Platform& os = Os();
  const std::int32_t limit = *length > 0 ? *length : 0;
  std::int32_t room = limit < DEV_BLOCK_SIZE ? limit : DEV_BLOCK_SIZE;
  std::int32_t received = FirstBlock(state, name, buffer, room);
  if (received < 0) return -1;
  std::uint32_t returned = 0;
  // A full block says the reply may go on; a shorter one ends it.
  for (std::int32_t block = received; block == DEV_BLOCK_SIZE && received < limit;) {
    room = limit - received < DEV_BLOCK_SIZE ? limit - received : DEV_BLOCK_SIZE;
    returned = 0;
    if (os.device_io_control(state.device, IOCTL_DEV_QUERY_NEXT, nullptr, 0, buffer + received,
                             static_cast<std::uint32_t>(room), &returned) == 0) {
      ResetAfterFailure(state);
      return -1;
    }
    block = BlockLength(returned, room);
    received += block;
  }
  DevRelease(state, false);
  *length = received;
  return 0;
}

Reply::~Reply() {
  if (owned_) Os().release(text_);
}

int DevQueryWhole(ReaderState& state, const char* name, Reply* reply) {
  const Platform& os = Os();
  // The state's buffer first; a longer reply moves to a block twice as
  // large each time the one it is in fills up.
  char* buffer = state.reply;
  std::int32_t capacity = kReplyLimit;
  bool owned = false;
  const auto give_back = [&] {
    if (owned) os.release(buffer);
  };
  std::int32_t received = FirstBlock(state, name, buffer, DEV_BLOCK_SIZE);
  if (received < 0) return -1;
  std::uint32_t returned = 0;
  bool cut = false;
  // A full block says the reply may go on; a shorter one ends it. When the
  // buffer is full the next block is read aside first: only a reply that
  // does go on is moved to a larger block.
  char aside[DEV_BLOCK_SIZE] = {};
  for (std::int32_t block = received; block == DEV_BLOCK_SIZE;) {
    const bool full = received == capacity;
    if (full && capacity == kMaxWholeReply) {
      cut = true;
      break;
    }
    returned = 0;
    if (os.device_io_control(state.device, IOCTL_DEV_QUERY_NEXT, nullptr, 0,
                             full ? aside : buffer + received, DEV_BLOCK_SIZE, &returned) == 0) {
      give_back();
      ResetAfterFailure(state);
      return -1;
    }
    block = BlockLength(returned, DEV_BLOCK_SIZE);
    if (full && block > 0) {
      const std::int32_t grown = capacity > kMaxWholeReply / 2 ? kMaxWholeReply : 2 * capacity;
      char* larger = static_cast<char*>(os.allocate(static_cast<std::size_t>(grown) + 1));
      if (larger == nullptr) {
        give_back();
        DevRelease(state, false);
        return Fail(kErrorNotEnoughMemory);
      }
      std::memcpy(larger, buffer, static_cast<std::size_t>(received));
      std::memcpy(larger + received, aside, static_cast<std::size_t>(block));
      give_back();
      buffer = larger;
      owned = true;
      capacity = grown;
    }
    received += block;
  }
  DevRelease(state, false);
  if (cut) {
    while (received > 0 && buffer[received - 1] != '\n') --received;
  }
  buffer[received] = '\0';
  if (reply->owned_) os.release(reply->text_);
  reply->text_ = buffer;
  reply->length_ = received;
  reply->owned_ = owned;
  reply->cut_ = cut;
  return 0;
}

int DevDownload(ReaderState& state, const char* name, const LocalPath& local_path,
                std::int32_t expected, ProgressFn progress, bool replace, bool* local) {
  const Platform& os = Os();
  bool unused = false;
  if (local == nullptr) local = &unused;
  *local = false;
  if (DevOpen(state) != 0) return -1;
  PartFile part(local_path);
  if (!part.ok()) {
    *local = true;
    DevRelease(state, false);
    return -1;
  }
  // The first 4096 bytes of the reply buffer carry each block to the file.
  char* block = state.reply;
  std::int64_t total = 0;
  std::int32_t percent = 0;
  std::int32_t length = DEV_BLOCK_SIZE;
  for (bool first = true; length == DEV_BLOCK_SIZE; first = false) {
    std::uint32_t returned = 0;
    if (os.device_io_control(state.device, first ? IOCTL_DEV_QUERY_START : IOCTL_DEV_QUERY_NEXT,
                             first ? name : nullptr,
                             first ? static_cast<std::uint32_t>(NameSize(name)) : 0, block,
                             DEV_BLOCK_SIZE, &returned) == 0) {
      ResetAfterFailure(state);
      return -1;
    }
    length = BlockLength(returned, DEV_BLOCK_SIZE);
    if (first && length == 0) {
      DevRelease(state, false);
      return Fail(kErrorHandleEof);
    }
    std::uint32_t written = 0;
    const int wrote =
        os.write_file(part.handle(), block, static_cast<std::uint32_t>(length), &written);
    if (wrote == 0 || written != static_cast<std::uint32_t>(length)) {
      *local = true;
      DevRelease(state, false);
      // A short write succeeds as a call and leaves no error of its own.
      return wrote == 0 ? -1 : Fail(kErrorDiskFull);
    }
    total += length;
    if (expected != 0) percent = Percent(total, expected);
    if (progress != nullptr && progress(percent) != 0) {
      // The reader may still be sending; a new link starts it afresh.
      Fail(kErrorCancelled);
      ResetAfterFailure(state);
      return -1;
    }
  }
  DevRelease(state, false);
  if (part.Commit(local_path, replace) != 0) {
    *local = true;
    return -1;
  }
  return 0;
}

int DevUpload(ReaderState& state, const char* buffer, std::int32_t data_len,
              std::int32_t header_len, ProgressFn progress) {
  const Platform& os = Os();
  if (DevOpen(state) != 0) return -1;
  const std::int64_t total = static_cast<std::int64_t>(header_len) + data_len;
  std::uint32_t unused = 0;
  if (os.device_io_control(state.device, IOCTL_DEV_UPLOAD_START, buffer,
                           static_cast<std::uint32_t>(total), nullptr, 0, &unused) == 0) {
    ResetAfterFailure(state);
    return -1;
  }
  // The data from offset 4096 on goes again, block by block.
  const std::int32_t first = data_len < DEV_BLOCK_SIZE ? data_len : DEV_BLOCK_SIZE;
  std::int64_t position = static_cast<std::int64_t>(header_len) + first;
  std::int32_t remaining = data_len - first;
  if (progress != nullptr) progress(Percent(total - remaining, total));
  while (remaining > 0) {
    const std::int32_t length = remaining < DEV_BLOCK_SIZE ? remaining : DEV_BLOCK_SIZE;
    if (os.device_io_control(state.device, IOCTL_DEV_UPLOAD_NEXT, buffer + position,
                             static_cast<std::uint32_t>(length), nullptr, 0, &unused) == 0) {
      ResetAfterFailure(state);
      return -1;
    }
    remaining -= length;
    position += length;
    if (progress != nullptr) progress(Percent(total - remaining, total));
  }
  DevRelease(state, false);
  return 0;
}

int DevSendCommand(ReaderState& state, const char* name, const char* text, std::int32_t length) {
  const std::int32_t header = NameSize(name);
  ScopedBlock buffer(static_cast<std::size_t>(header) + static_cast<std::size_t>(length));
  if (buffer.get() == nullptr) return Fail(kErrorNotEnoughMemory);
  std::memcpy(buffer.get(), name, static_cast<std::size_t>(header));
  std::memcpy(buffer.get() + header, text, static_cast<std::size_t>(length));
  return DevUpload(state, buffer.get(), length, header, nullptr);
}

int DevUploadFile(ReaderState& state, const char* target, const LocalPath& local_path,
                  ProgressFn progress) {
  const Platform& os = Os();
  ScopedHandle file(CreateLocal(local_path, kGenericRead, kFileShareRead, kOpenExisting));
  if (!file.ok()) return -1;
  const std::int32_t header = NameSize(target);
  std::uint32_t high = 0;
  os.set_last_error(0);
  const std::uint32_t size = os.get_file_size(file.get(), &high);
  // All ones is a valid low half too; only the last error tells.
  if (size == 0xFFFFFFFFu && os.get_last_error() != 0) return -1;
  if (size == 0 && high == 0) return Fail(kErrorHandleEof);
  // The whole upload is counted in 32 signed bits on the wire: a file that
  // does not fit with its header is refused before the reader is touched.
  if (high != 0 || size > static_cast<std::uint32_t>(INT32_MAX - header)) {
    return Fail(kErrorFileTooLarge);
  }
  ScopedBlock buffer(static_cast<std::size_t>(header) + size);
  if (buffer.get() == nullptr) return Fail(kErrorNotEnoughMemory);
  std::memcpy(buffer.get(), target, static_cast<std::size_t>(header));
  std::uint32_t read = 0;
  if (os.read_file(file.get(), buffer.get() + header, size, &read) == 0) return -1;
  if (read < size) return Fail(kErrorHandleEof);
  return DevUpload(state, buffer.get(), static_cast<std::int32_t>(size), header, progress);
}

}  // namespace pagora
