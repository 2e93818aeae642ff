#include "plugin/host_context.h"

#include "plugin/host_text.h"

#if !defined(_WIN32)
#include <chrono>
#endif

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
#if defined(_WIN32)
  return {kNoTimeLow, kNoTimeHigh};
#else
  // 100-ns intervals since 1601-01-01, the FILETIME epoch, 11644473600 s
  // before the Unix one.
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
  const std::int64_t since_unix =
      std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  const auto ticks = static_cast<std::uint64_t>(since_unix + 11644473600ll * 10000000ll);
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
#endif
}

int ReportProgress(std::int32_t percent) { return AskProgress(percent); }

}  // namespace pagora
