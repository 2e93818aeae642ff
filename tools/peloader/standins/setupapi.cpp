// SETUPAPI's device interface calls, on the platform table: the reader
// folder's sockets are the interfaces (platform/platform_posix.cpp), whose
// detail call keeps the two-call size protocol and refuses a detail record
// whose cbSize is not the 32-bit one (5).
#include "platform/platform.h"
#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

const pagora::Platform& Os() { return pagora::NativePlatform(); }

static_assert(sizeof(pagora::InterfaceData) == 28, "SP_DEVICE_INTERFACE_DATA of a 32-bit process");

Handle PE_API SetupDiGetClassDevsA(const pagora::Guid* interface_class, const char*, Handle, Dword flags) {
  return Os().get_class_devs(interface_class, flags);
}

Bool PE_API SetupDiEnumDeviceInterfaces(Handle set, void*, const pagora::Guid* interface_class, Dword index,
                                        pagora::InterfaceData* data) {
  if (data == nullptr || data->cb_size != sizeof(pagora::InterfaceData)) {
    SetLastErrorCode(kErrorInvalidUserBuffer);
    return 0;
  }
  return Os().enum_device_interfaces(set, interface_class, index, data);
}

Bool PE_API SetupDiGetDeviceInterfaceDetailA(Handle set, pagora::InterfaceData* data, void* detail,
                                             Dword size, Dword* required, void*) {
  return Os().get_interface_detail(set, data, detail, size, required);
}

Bool PE_API SetupDiDestroyDeviceInfoList(Handle set) { return Os().destroy_device_info_list(set); }

const StandIn kEntries[] = {
    {"SetupDiGetClassDevsA", Entry(&SetupDiGetClassDevsA)},
    {"SetupDiEnumDeviceInterfaces", Entry(&SetupDiEnumDeviceInterfaces)},
    {"SetupDiGetDeviceInterfaceDetailA", Entry(&SetupDiGetDeviceInterfaceDetailA)},
    {"SetupDiDestroyDeviceInfoList", Entry(&SetupDiDestroyDeviceInfoList)},
};

}  // namespace

extern const StandInList kSetupApi = ListOf(kEntries);

}  // namespace pe
