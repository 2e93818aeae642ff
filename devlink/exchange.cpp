#include "devlink/exchange.h"

#include <cstring>

#include "catalog/reader_state.h"
#include "devlink/device.h"

namespace pagora {
namespace {

// The download's temporary file: a short name in the target's folder, so
// any target name the file system allows leaves room for it, created
// exclusively, so no file of the user is ever opened.
constexpr char kPartPattern[] = "~pgr0000.tmp";
constexpr int kPartDigits = 4;     // the zeros of the pattern, from index 4
constexpr int kPartAttempts = 64;  // names tried before the folder counts as full

// A block length as the driver reported it, but never past the room given:
// the count is untrusted, the buffer is ours.
std::int32_t BlockLength(std::uint32_t returned, std::int32_t room) {
  return returned > static_cast<std::uint32_t>(room) ? room : static_cast<std::int32_t>(returned);
}

std::int32_t NameSize(const char* name) {
  return static_cast<std::int32_t>(std::strlen(name) + 1);
}

// Closes and removes the temporary file of a failed download, keeping the
// last-error value of the failure for the caller.
void DiscardPart(OsHandle file, const char* part_path) {
  const Platform& os = Os();
  const std::uint32_t error = os.get_last_error();
  os.close_handle(file);
  os.delete_file(part_path);
  os.set_last_error(error);
}

// Creates the temporary file beside `target`: its path into `*part_path`
// (allocated, the caller frees it) and the open handle, or
// InvalidOsHandle() with the failing call's error.
OsHandle CreatePartFile(const char* target, char** part_path) {
  const Platform& os = Os();
  std::size_t folder = std::strlen(target);
  while (folder > 0 && !IsLocalSeparator(target[folder - 1])) --folder;
  auto* path = static_cast<char*>(os.allocate(folder + sizeof kPartPattern));
  if (path == nullptr) {
    os.set_last_error(kErrorNotEnoughMemory);
    return InvalidOsHandle();
  }
  std::memcpy(path, target, folder);
  std::memcpy(path + folder, kPartPattern, sizeof kPartPattern);
  // Successive downloads start from successive names; an existing file only
  // moves the attempt on to the next one.
  static std::uint32_t next_name = 0;
  for (int attempt = 0; attempt < kPartAttempts; ++attempt) {
    std::uint32_t n = next_name++;
    for (int d = kPartDigits - 1; d >= 0; --d, n >>= 4) {
      path[folder + 4 + static_cast<std::size_t>(d)] = "0123456789abcdef"[n & 0xF];
    }
    OsHandle file = os.create_file(path, kGenericWrite, kFileShareRead, kCreateNew,
                                   kFileAttributeNormal);
    if (file != InvalidOsHandle()) {
      *part_path = path;
      return file;
    }
    if (os.get_last_error() != kErrorFileExists) break;
  }
  const std::uint32_t error = os.get_last_error();
  os.release(path);
  os.set_last_error(error);
  return InvalidOsHandle();
}

}  // namespace

std::int32_t Percent(std::int64_t done, std::int64_t total) {
  const std::int64_t p = done * 100 / total;
  if (p > INT32_MAX) return INT32_MAX;
  if (p < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(p);
}

int DevQuery(ReaderState& state, const char* name, char* buffer, std::int32_t* length) {
  const Platform& os = Os();
  DevOpen(state);
  if (state.device == InvalidOsHandle()) return -1;
  const std::int32_t limit = *length > 0 ? *length : 0;

  std::int32_t room = limit < DEV_BLOCK_SIZE ? limit : DEV_BLOCK_SIZE;
  std::uint32_t returned = 0;
  if (os.device_io_control(state.device, IOCTL_DEV_QUERY_START, name,
                           static_cast<std::uint32_t>(NameSize(name)), buffer,
                           static_cast<std::uint32_t>(room), &returned) == 0) {
    ResetAfterFailure(state);
    return -1;
  }
  std::int32_t received = BlockLength(returned, room);
  if (received == 0) {
    DevRelease(state, false);
    return -1;
  }
  if (received == DEV_BLOCK_SIZE) {
    while (received < limit) {
      room = limit - received < DEV_BLOCK_SIZE ? limit - received : DEV_BLOCK_SIZE;
      returned = 0;
      if (os.device_io_control(state.device, IOCTL_DEV_QUERY_NEXT, nullptr, 0, buffer + received,
                               static_cast<std::uint32_t>(room), &returned) == 0) {
        ResetAfterFailure(state);
        return -1;
      }
      const std::int32_t block = BlockLength(returned, room);
      received += block;
      if (block != DEV_BLOCK_SIZE) break;
    }
  }
  DevRelease(state, false);
  *length = received;
  return 0;
}

int DevDownload(ReaderState& state, const char* name, const char* local_path,
                std::int32_t expected, ProgressFn progress) {
  const Platform& os = Os();
  std::int32_t percent = 0;
  DevOpen(state);
  if (state.device == InvalidOsHandle()) return -1;

  char* part_path = nullptr;
  OsHandle file = CreatePartFile(local_path, &part_path);
  if (file == InvalidOsHandle()) {
    DevRelease(state, false);
    return -1;
  }

  int result = -1;
  // The first 4096 bytes of the reply buffer carry each block to the file.
  char* block = state.reply;
  std::int64_t total = 0;
  std::uint32_t code = IOCTL_DEV_QUERY_START;
  for (;;) {
    std::uint32_t returned = 0;
    const bool first = code == IOCTL_DEV_QUERY_START;
    if (os.device_io_control(state.device, code, first ? name : nullptr,
                             first ? static_cast<std::uint32_t>(NameSize(name)) : 0, block,
                             DEV_BLOCK_SIZE, &returned) == 0) {
      DiscardPart(file, part_path);
      ResetAfterFailure(state);
      break;
    }
    const std::int32_t length = BlockLength(returned, DEV_BLOCK_SIZE);
    if (first && length == 0) {
      DiscardPart(file, part_path);
      DevRelease(state, false);
      break;
    }
    std::uint32_t written = 0;
    const int wrote = os.write_file(file, block, static_cast<std::uint32_t>(length), &written);
    if (wrote == 0 || written != static_cast<std::uint32_t>(length)) {
      // A short write succeeds as a call and leaves no error of its own.
      if (wrote != 0) os.set_last_error(kErrorDiskFull);
      DiscardPart(file, part_path);
      DevRelease(state, false);
      break;
    }
    total += length;
    if (expected != 0) percent = Percent(total, expected);
    if (progress != nullptr) progress(percent);
    if (length != DEV_BLOCK_SIZE) {
      DevRelease(state, false);
      os.close_handle(file);
      if (os.replace_file(part_path, local_path) != 0) {
        result = 0;
      } else {
        const std::uint32_t error = os.get_last_error();
        os.delete_file(part_path);
        os.set_last_error(error);
      }
      break;
    }
    code = IOCTL_DEV_QUERY_NEXT;
  }
  os.release(part_path);
  return result;
}

int DevUpload(ReaderState& state, const char* buffer, std::int32_t data_len,
              std::int32_t header_len, ProgressFn progress) {
  const Platform& os = Os();
  DevOpen(state);
  if (state.device == InvalidOsHandle()) return -1;
  const std::int64_t total = static_cast<std::int64_t>(header_len) + data_len;
  std::uint32_t unused = 0;
  if (os.device_io_control(state.device, IOCTL_DEV_UPLOAD_START, buffer,
                           static_cast<std::uint32_t>(total), nullptr, 0, &unused) == 0) {
    ResetAfterFailure(state);
    return -1;
  }
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
  const Platform& os = Os();
  const std::int32_t header = NameSize(name);
  auto* buffer = static_cast<char*>(os.allocate(static_cast<std::size_t>(header) +
                                                static_cast<std::size_t>(length)));
  if (buffer == nullptr) {
    os.set_last_error(kErrorNotEnoughMemory);
    return -1;
  }
  std::memcpy(buffer, name, static_cast<std::size_t>(header));
  std::memcpy(buffer + header, text, static_cast<std::size_t>(length));
  const int result = DevUpload(state, buffer, length, header, nullptr);
  os.release(buffer);
  return result;
}

int DevUploadFile(ReaderState& state, const char* target, const char* local_path,
                  ProgressFn progress) {
  const Platform& os = Os();
  OsHandle file = os.create_file(local_path, kGenericRead, kFileShareRead, kOpenExisting,
                                 kFileAttributeNormal);
  if (file == InvalidOsHandle()) return -1;

  const std::int32_t header = NameSize(target);
  std::uint32_t high = 0;
  os.set_last_error(0);
  const std::uint32_t size = os.get_file_size(file, &high);
  if (size == 0xFFFFFFFFu && os.get_last_error() != 0) {
    const std::uint32_t error = os.get_last_error();
    os.close_handle(file);
    os.set_last_error(error);
    return -1;
  }
  if (size == 0 && high == 0) {
    os.close_handle(file);
    return -1;
  }
  // The whole upload is counted in 32 signed bits on the wire: a file that
  // does not fit with its header is refused before the reader is touched.
  if (high != 0 || size > static_cast<std::uint32_t>(INT32_MAX - header)) {
    os.close_handle(file);
    os.set_last_error(kErrorFileTooLarge);
    return -1;
  }
  auto* buffer = static_cast<char*>(os.allocate(static_cast<std::size_t>(header) + size));
  if (buffer == nullptr) {
    os.close_handle(file);
    os.set_last_error(kErrorNotEnoughMemory);
    return -1;
  }
  std::memcpy(buffer, target, static_cast<std::size_t>(header));
  std::uint32_t read = 0;
  if (os.read_file(file, buffer + header, size, &read) == 0 || read < size) {
    const std::uint32_t error = os.get_last_error();
    os.release(buffer);
    os.close_handle(file);
    os.set_last_error(error);
    return -1;
  }
  const int result =
      DevUpload(state, buffer, static_cast<std::int32_t>(size), header, progress);
  const std::uint32_t error = os.get_last_error();
  os.release(buffer);
  os.close_handle(file);
  os.set_last_error(error);
  return result;
}

}  // namespace pagora
