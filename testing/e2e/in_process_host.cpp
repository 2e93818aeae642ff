#include "testing/e2e/in_process_host.h"

#include "tools/cli/host_path.h"

namespace pagora_e2e {

namespace {

// The plugin's callback is a plain function: it finds its host here.
InProcessHost* g_host = nullptr;

std::vector<char> Writable(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return buffer;
}

}  // namespace

InProcessHost::~InProcessHost() {
  if (g_host == this) g_host = nullptr;
}

bool InProcessHost::Load(const std::string& module_path, std::string* error) {
  if (!module_.Load(module_path, error)) return false;
  g_host = this;
  module_.exports().init(pagora_cli::kPluginNumber, &InProcessHost::Progress, nullptr, nullptr);
  return true;
}

std::vector<std::string> InProcessHost::List() {
  std::vector<std::string> names;
  for (const pagora_cli::FolderEntry& entry : pagora_cli::ListFolder(module_.exports())) {
    names.push_back(entry.name);
  }
  return names;
}

int InProcessHost::Get(const std::string& name, const std::string& local, int copy_flags) {
  reports_.clear();
  std::vector<char> remote = Writable(pagora_cli::FolderPath() + name);
  std::vector<char> target = Writable(local);
  return module_.exports().get_file(remote.data(), target.data(), copy_flags, nullptr);
}

int InProcessHost::Put(const std::string& local, const std::string& name, int copy_flags) {
  reports_.clear();
  std::vector<char> source = Writable(local);
  std::vector<char> remote = Writable(pagora_cli::FolderPath() + name);
  return module_.exports().put_file(source.data(), remote.data(), copy_flags);
}

bool InProcessHost::Delete(const std::string& name) {
  std::vector<char> remote = Writable(pagora_cli::FolderPath() + name);
  return module_.exports().delete_file(remote.data()) != kFalse;
}

int WFX_CALL InProcessHost::Progress(int, char*, char*, int percent) {
  if (g_host == nullptr) return 0;
  g_host->reports_.push_back(percent);
  return g_host->on_progress ? g_host->on_progress(percent) : 0;
}

}  // namespace pagora_e2e
