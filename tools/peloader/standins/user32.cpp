// USER32's message box: no window here, so the platform table's message
// goes to standard error and the box is answered OK (IDOK).
#include "platform/platform.h"
#include "tools/peloader/standins/standins.h"

namespace pe {

namespace {

std::int32_t PE_API MessageBoxA(Handle, const char* text, const char* caption, Dword type) {
  return pagora::NativePlatform().message_box(text != nullptr ? text : "",
                                              caption != nullptr ? caption : "Error", type);
}

std::int32_t PE_API MessageBoxW(Handle, const char16_t* text, const char16_t* caption,
                                Dword type) {
  return pagora::NativePlatform().message_box_w(text != nullptr ? text : u"",
                                                caption != nullptr ? caption : u"Error", type);
}

const StandIn kEntries[] = {
    {"MessageBoxA", Entry(&MessageBoxA)},
    {"MessageBoxW", Entry(&MessageBoxW)},
};

}  // namespace

extern const StandInList kUser32 = ListOf(kEntries);

}  // namespace pe
