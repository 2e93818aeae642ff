// A small host inside the test process: loads the plugin module and calls
// its exports directly, so a test can act in the middle of a transfer from
// the progress callback.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/cli/module_loader.h"
#include "tools/cli/session.h"

namespace pagora_e2e {

class InProcessHost {
 public:
  ~InProcessHost();

  // Loads the module and calls FsInit with this host's progress callback.
  bool Load(const std::string& module_path, std::string* error);

  // The folder's entry names in listing order.
  std::vector<std::string> List();

  int Get(const std::string& name, const std::string& local, int copy_flags = 0);
  int Put(const std::string& local, const std::string& name, int copy_flags = 0);
  bool Delete(const std::string& name);

  // Called with every progress report of a transfer; reset by each call of
  // Get and Put. Its answer goes back to the plugin.
  std::function<int(int percent)> on_progress;

  // The percentages reported by the last transfer.
  const std::vector<int>& reports() const { return reports_; }

 private:
  static int WFX_CALL Progress(int plugin_nr, char* source, char* target, int percent);

  pagora_cli::PluginModule module_;
  std::vector<int> reports_;
};

}  // namespace pagora_e2e
