#include "plugin/host_context.h"

#include "plugin/host_text.h"

#include "platform/platform.h"

namespace pagora {

HostContext& Host() {
  static HostContext context{};
  return context;
}

void SetTransferNames(char* source, char* target) {
  HostContext& host = Host();
  host.source_name = source;
  host.target_name = target;
  host.source_name_w = nullptr;
  host.target_name_w = nullptr;
}

void SetTransferNames(char16_t* source, char16_t* target) {
  HostContext& host = Host();
  host.source_name = nullptr;
  host.target_name = nullptr;
  host.source_name_w = source;
  host.target_name_w = target;
}

int AskProgress(std::int32_t percent) {
  HostContext& host = Host();
  // A name the other form cannot hold is reported empty.
  constexpr std::size_t kRoom = 1024;
  if (host.progress_w != nullptr) {
    if (host.source_name_w != nullptr || host.source_name == nullptr) {
      return host.progress_w(host.plugin_nr, host.source_name_w, host.target_name_w, percent);
    }
    char16_t source[kRoom];
    char16_t target[kRoom];
    AnsiToUtf16(host.source_name, source, kRoom);
    AnsiToUtf16(host.target_name != nullptr ? host.target_name : "", target, kRoom);
    return host.progress_w(host.plugin_nr, source, target, percent);
  }
  if (host.progress == nullptr) return 0;
  if (host.source_name != nullptr || host.source_name_w == nullptr) {
    return host.progress(host.plugin_nr, host.source_name, host.target_name, percent);
  }
  char source[kRoom];
  char target[kRoom];
  Utf16ToAnsi(host.source_name_w, source, kRoom);
  Utf16ToAnsi(host.target_name_w != nullptr ? host.target_name_w : u"", target, kRoom);
  return host.progress(host.plugin_nr, source, target, percent);
}

FILETIME EntryWriteTime() {
  FILETIME time{};
  if (Os().listing_time(&time.dwLowDateTime, &time.dwHighDateTime) == 0) {
    time = {kNoTimeLow, kNoTimeHigh};
  }
  return time;
}

int ReportProgress(std::int32_t percent) { return AskProgress(percent); }

}  // namespace pagora
