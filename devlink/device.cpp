#include "devlink/device.h"

#include <cstring>

#include "state/reader_state.h"

namespace pagora {
namespace {

// A detail record larger than this cannot hold a path the state can keep.
constexpr std::uint32_t kDetailLimit = 4096;

// Finds interface 0 of the reader class and stores its path. 0 or -1; never
// resets, since the handle is closed whenever the path is unknown.
int Discover(ReaderState& state) {
  const Platform& os = Os();
  OsHandle set = os.get_class_devs(&kReaderInterfaceClass, kDigcfPresentInterface);
  if (set == InvalidOsHandle()) return -1;

  InterfaceData iface{};
  iface.cb_size = sizeof(InterfaceData);
  if (os.enum_device_interfaces(set, &kReaderInterfaceClass, 0, &iface) == 0) {
    os.destroy_device_info_list(set);
    return -1;
  }

  std::uint32_t required = 0;
  os.get_interface_detail(set, &iface, nullptr, 0, &required);
  if (required <= kDetailPathOffset || required > kDetailLimit) {
    os.destroy_device_info_list(set);
    os.set_last_error(kErrorNoMoreItems);
    return -1;
  }
  auto* detail = static_cast<unsigned char*>(os.allocate(required));
  if (detail == nullptr) {
    os.destroy_device_info_list(set);
    os.set_last_error(kErrorNotEnoughMemory);
    return -1;
  }
  std::memset(detail, 0, required);
  std::memcpy(detail, &kDetailCbSize, sizeof kDetailCbSize);
  std::uint32_t unused = 0;
  int fetched = os.get_interface_detail(set, &iface, detail, required, &unused);

  // The path must end inside the record and fit the state's field; a longer
  // one counts as no reader rather than being cut into a wrong path.
  const char* path = reinterpret_cast<const char*>(detail + kDetailPathOffset);
  const std::size_t room = required - kDetailPathOffset;
  const std::size_t length = fetched != 0 ? strnlen(path, room) : room;
  const bool fits = fetched != 0 && length < room && length < sizeof state.device_path;
  if (fits) std::memcpy(state.device_path, path, length + 1);
  os.destroy_device_info_list(set);
  os.release(detail);
  if (!fits) {
    if (fetched != 0) os.set_last_error(kErrorNoMoreItems);
    return -1;
  }
  state.device_path_known = true;
  return 0;
}

}  // namespace

void ResetAfterFailure(ReaderState& state) {
  const std::uint32_t error = Os().get_last_error();
  Reset(state);
  Os().set_last_error(error);
}

int DevOpen(ReaderState& state) {
  const Platform& os = Os();
  if (!state.device_path_known && Discover(state) != 0) return -1;
  if (state.device == InvalidOsHandle()) {
    state.device = os.create_file(state.device_path, kGenericRead | kGenericWrite,
                                  kFileShareRead | kFileShareWrite, kOpenExisting, 0);
  }
  if (state.device == InvalidOsHandle()) {
    ResetAfterFailure(state);
    return -1;
  }
  std::uint32_t returned = 0;
  if (os.device_io_control(state.device, IOCTL_DEV_PROBE, nullptr, 0, state.probe_reply,
                           sizeof state.probe_reply, &returned) == 0) {
    ResetAfterFailure(state);
    return -1;
  }
  return 0;
}

int DevRelease(ReaderState& state, bool force) {
  if (force) CloseDevice(state);
  return 0;
}

bool DevIsConnected(ReaderState& state) {
  DevOpen(state);
  DevRelease(state, false);
  return state.device_path_known;
}

}  // namespace pagora
