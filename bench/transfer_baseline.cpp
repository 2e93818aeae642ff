#include "bench/transfer_baseline.h"

#include <cstring>
#include <string>

#include "devlink/device.h"
#include "devlink/exchange.h"

namespace pagora {
namespace {

bool Probe(OsHandle device) {
  char reply[50];
  std::uint32_t returned = 0;
  return Os().device_io_control(device, IOCTL_DEV_PROBE, nullptr, 0, reply, sizeof reply,
                                &returned) != 0;
}

}  // namespace

long long BaselineDownload(OsHandle device, const char* name, const char* local_path) {
  const Platform& os = Os();
  if (!Probe(device)) return -1;
  OsHandle file = os.create_file(local_path, kGenericWrite, kFileShareRead, kCreateAlways,
                                 kFileAttributeNormal);
  if (file == InvalidOsHandle()) return -1;
  char block[DEV_BLOCK_SIZE];
  const auto name_size = static_cast<std::uint32_t>(std::strlen(name) + 1);
  long long total = 0;
  std::uint32_t code = IOCTL_DEV_QUERY_START;
  for (;;) {
    const bool first = code == IOCTL_DEV_QUERY_START;
    std::uint32_t returned = 0;
    std::uint32_t written = 0;
    if (os.device_io_control(device, code, first ? name : nullptr, first ? name_size : 0, block,
                             sizeof block, &returned) == 0 ||
        returned > sizeof block || os.write_file(file, block, returned, &written) == 0) {
      os.close_handle(file);
      return -1;
    }
    total += returned;
    if (returned != sizeof block) break;
    code = IOCTL_DEV_QUERY_NEXT;
  }
  os.close_handle(file);
  return total;
}

long long BaselineDownloadReplacing(OsHandle device, const char* name, const char* local_path) {
  const std::string part = std::string(local_path) + ".part";
  const long long total = BaselineDownload(device, name, part.c_str());
  if (total < 0 || Os().move_file(part.c_str(), local_path, kMoveFileReplaceExisting) == 0) return -1;
  return total;
}

long long BaselineUpload(OsHandle device, const char* target, const char* local_path) {
  const Platform& os = Os();
  OsHandle file =
      os.create_file(local_path, kGenericRead, kFileShareRead, kOpenExisting, kFileAttributeNormal);
  if (file == InvalidOsHandle()) return -1;
  std::uint32_t high = 0;
  const std::uint32_t size = os.get_file_size(file, &high);
  const std::size_t header = std::strlen(target) + 1;
  auto* buffer = high == 0 ? static_cast<char*>(os.allocate(header + size)) : nullptr;
  std::uint32_t read = 0;
  if (buffer == nullptr || os.read_file(file, buffer + header, size, &read) == 0 || read != size) {
    os.release(buffer);
    os.close_handle(file);
    return -1;
  }
  std::memcpy(buffer, target, header);
  long long sent = -1;
  std::uint32_t unused = 0;
  if (Probe(device) && os.device_io_control(device, IOCTL_DEV_UPLOAD_START, buffer,
                                            static_cast<std::uint32_t>(header + size), nullptr,
                                            0, &unused) != 0) {
    std::size_t position = header + (size < DEV_BLOCK_SIZE ? size : DEV_BLOCK_SIZE);
    sent = size;
    while (position < header + size) {
      const std::size_t left = header + size - position;
      const auto length = static_cast<std::uint32_t>(left < DEV_BLOCK_SIZE ? left : DEV_BLOCK_SIZE);
      if (os.device_io_control(device, IOCTL_DEV_UPLOAD_NEXT, buffer + position, length, nullptr,
                               0, &unused) == 0) {
        sent = -1;
        break;
      }
      position += length;
    }
  }
  os.release(buffer);
  os.close_handle(file);
  return sent;
}

}  // namespace pagora
