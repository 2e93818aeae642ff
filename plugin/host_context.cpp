#include "plugin/host_context.h"

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

void ReportProgress(std::int32_t percent) { AskProgress(percent); }

}  // namespace pagora
