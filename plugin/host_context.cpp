#include "plugin/host_context.h"

#if !defined(_WIN32)
#include <chrono>
#endif

namespace pagora {

HostContext& Host() {
  static HostContext context{};
  return context;
}

int AskProgress(std::int32_t percent) {
  HostContext& host = Host();
  if (host.progress == nullptr) return 0;
  return host.progress(host.plugin_nr, host.source_name, host.target_name, percent);
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

void ReportProgress(std::int32_t percent) { AskProgress(percent); }

}  // namespace pagora
