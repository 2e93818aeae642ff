// Stands in for the reader's USB driver inside a loaded plugin module, and
// for nothing else: the module's import address table entries for
// SetupAPI's four discovery calls, DeviceIoControl, and CreateFileA and
// CloseHandle are pointed at stand-ins. CreateFileA of the stood-in device
// path connects to a simulated reader on 127.0.0.1, and each control call
// on that handle goes to it as one frame of the reader socket
// (docs/device-socket.md); every other path and handle goes to the
// system's own calls.
#pragma once

#include <string>

namespace wine_host {

// Patches `module` to reach the reader at 127.0.0.1:`port`. False, with a
// reason, when the module lacks one of the imports or a patch fails.
bool BridgeDriver(void* module, unsigned short port, std::string* error);

// Sends one line to the simulator's control channel (127.0.0.1:`port`)
// and gives its answer line ("ok" or "error: ...").
std::string ControlLine(unsigned short port, const std::string& line);

}  // namespace wine_host
