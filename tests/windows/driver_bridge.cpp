#include "tests/windows/driver_bridge.h"

#include <winsock2.h>
#include <windows.h>
#include <setupapi.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>

namespace wine_host {
namespace {

constexpr char kDevicePath[] = "\\\\?\\pagora#reader#loopback";
unsigned short g_port = 0;
char g_info_set;  // the one device information set handed out
std::set<HANDLE> g_devices;

decltype(&CreateFileA) g_create_file = nullptr;
decltype(&CloseHandle) g_close_handle = nullptr;
decltype(&DeviceIoControl) g_io_control = nullptr;

struct Device {
  SOCKET socket;
};

SOCKET Connect(unsigned short port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

bool SendAll(SOCKET s, const void* data, std::uint32_t length) {
  const char* p = static_cast<const char*>(data);
  while (length > 0) {
    const int n = send(s, p, static_cast<int>(length), 0);
    if (n <= 0) return false;
    p += n;
    length -= static_cast<std::uint32_t>(n);
  }
  return true;
}

bool ReceiveAll(SOCKET s, void* data, std::uint32_t length) {
  char* p = static_cast<char*>(data);
  while (length > 0) {
    const int n = recv(s, p, static_cast<int>(length), 0);
    if (n <= 0) return false;
    p += n;
    length -= static_cast<std::uint32_t>(n);
  }
  return true;
}

void PutWord(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t GetWord(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

HDEVINFO WINAPI GetClassDevs(const GUID*, PCSTR, HWND, DWORD) {
  return static_cast<HDEVINFO>(&g_info_set);
}

// One interface, present while the simulator listens.
BOOL WINAPI EnumInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* cls, DWORD index,
                           PSP_DEVICE_INTERFACE_DATA data) {
  SOCKET probe = index == 0 && set == &g_info_set ? Connect(g_port) : INVALID_SOCKET;
  if (probe == INVALID_SOCKET) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  closesocket(probe);
  data->InterfaceClassGuid = *cls;
  data->Flags = SPINT_ACTIVE;
  return TRUE;
}

BOOL WINAPI InterfaceDetail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                            PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size, DWORD* required,
                            PSP_DEVINFO_DATA) {
  const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                          sizeof kDevicePath);
  if (required != nullptr) *required = needed;
  if (detail == nullptr || size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  std::memcpy(detail->DevicePath, kDevicePath, sizeof kDevicePath);
  return TRUE;
}

BOOL WINAPI DestroyInfoList(HDEVINFO set) { return set == &g_info_set ? TRUE : FALSE; }

HANDLE WINAPI CreateFileStandIn(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                DWORD disposition, DWORD flags, HANDLE tmpl) {
  if (path == nullptr || std::strcmp(path, kDevicePath) != 0) {
    return g_create_file(path, access, share, sa, disposition, flags, tmpl);
  }
  SOCKET s = Connect(g_port);
  if (s == INVALID_SOCKET) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE device = new Device{s};
  g_devices.insert(device);
  return device;
}

BOOL WINAPI CloseHandleStandIn(HANDLE handle) {
  if (g_devices.erase(handle) == 0) return g_close_handle(handle);
  auto* device = static_cast<Device*>(handle);
  closesocket(device->socket);
  delete device;
  return TRUE;
}

// A broken frame leaves the stream out of step: later calls fail as if the
// reader were gone, until the plugin reconnects.
BOOL Broken(Device* device, DWORD error) {
  shutdown(device->socket, SD_BOTH);
  SetLastError(error);
  return FALSE;
}

BOOL WINAPI IoControlStandIn(HANDLE handle, DWORD code, LPVOID in, DWORD in_length, LPVOID out,
                             DWORD out_length, LPDWORD returned, LPOVERLAPPED overlapped) {
  if (g_devices.count(handle) == 0) {
    return g_io_control(handle, code, in, in_length, out, out_length, returned, overlapped);
  }
  auto* device = static_cast<Device*>(handle);
  if (returned != nullptr) *returned = 0;
  unsigned char header[12];
  PutWord(header, code);
  PutWord(header + 4, in_length);
  PutWord(header + 8, out_length);
  if (!SendAll(device->socket, header, sizeof header) ||
      (in_length > 0 && !SendAll(device->socket, in, in_length))) {
    return Broken(device, ERROR_DEVICE_NOT_CONNECTED);
  }
  unsigned char answer[12];
  if (!ReceiveAll(device->socket, answer, sizeof answer)) {
    return Broken(device, ERROR_DEVICE_NOT_CONNECTED);
  }
  const std::uint32_t result = GetWord(answer);
  const std::uint32_t error = GetWord(answer + 4);
  const std::uint32_t length = GetWord(answer + 8);
  if (result > 1 || length > out_length) return Broken(device, ERROR_GEN_FAILURE);
  if (length > 0 && !ReceiveAll(device->socket, out, length)) {
    return Broken(device, ERROR_GEN_FAILURE);
  }
  if (result == 0) {
    SetLastError(error != 0 ? error : ERROR_GEN_FAILURE);
    return FALSE;
  }
  if (returned != nullptr) *returned = length;
  return TRUE;
}

struct Patch {
  const char* name;
  void* stand_in;
  void** original;  // where the system's own address is kept, if needed
  bool done;
};

}  // namespace

bool BridgeDriver(void* module, unsigned short port, std::string* error) {
  static std::once_flag winsock;
  std::call_once(winsock, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
  g_port = port;
  Patch patches[] = {
      {"SetupDiGetClassDevsA", reinterpret_cast<void*>(&GetClassDevs), nullptr, false},
      {"SetupDiEnumDeviceInterfaces", reinterpret_cast<void*>(&EnumInterfaces), nullptr, false},
      {"SetupDiGetDeviceInterfaceDetailA", reinterpret_cast<void*>(&InterfaceDetail), nullptr,
       false},
      {"SetupDiDestroyDeviceInfoList", reinterpret_cast<void*>(&DestroyInfoList), nullptr, false},
      {"CreateFileA", reinterpret_cast<void*>(&CreateFileStandIn),
       reinterpret_cast<void**>(&g_create_file), false},
      {"CloseHandle", reinterpret_cast<void*>(&CloseHandleStandIn),
       reinterpret_cast<void**>(&g_close_handle), false},
      {"DeviceIoControl", reinterpret_cast<void*>(&IoControlStandIn),
       reinterpret_cast<void**>(&g_io_control), false},
  };
  auto* base = static_cast<unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name != 0; ++d) {
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
        base + (d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* by_name =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      for (Patch& patch : patches) {
        if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), patch.name) != 0) continue;
        DWORD old = 0;
        if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) {
          *error = std::string("cannot patch ") + patch.name;
          return false;
        }
        if (patch.original != nullptr) *patch.original = reinterpret_cast<void*>(slots->u1.Function);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(patch.stand_in);
        VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
        patch.done = true;
      }
    }
  }
  for (const Patch& patch : patches) {
    if (!patch.done) {
      *error = std::string("the module does not import ") + patch.name;
      return false;
    }
  }
  return true;
}

std::string ControlLine(unsigned short port, const std::string& line) {
  SOCKET s = Connect(port);
  if (s == INVALID_SOCKET) return "error: no control channel";
  const std::string text = line + "\n";
  std::string answer;
  if (SendAll(s, text.data(), static_cast<std::uint32_t>(text.size()))) {
    char c = 0;
    while (recv(s, &c, 1, 0) == 1 && c != '\n') answer += c;
  }
  closesocket(s);
  return answer;
}

}  // namespace wine_host
