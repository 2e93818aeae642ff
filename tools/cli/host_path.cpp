#include "tools/cli/host_path.h"

namespace pagora_cli {

std::string FolderPath() { return std::string(1, kSeparator); }

bool MakeRemoteName(const std::string& name, std::string* remote, std::string* error) {
  if (name.empty()) {
    *error = "the name is empty";
    return false;
  }
  // The folder is flat: a separator inside the name would address a
  // subfolder, which the plugin does not have.
  if (name.find(kSeparator) != std::string::npos) {
    *error = "the name '" + name + "' contains the folder separator '" +
             std::string(1, kSeparator) + "'";
    return false;
  }
  if (name.size() + 1 > kMaxRemoteName) {
    *error = "the name is " + std::to_string(name.size()) + " characters long; at most " +
             std::to_string(kMaxRemoteName - 1) + " fit";
    return false;
  }
  *remote = FolderPath() + name;
  return true;
}

std::string LocalBaseName(const std::string& path) {
#if defined(_WIN32)
  const char* separators = "\\/:";
#else
  const char* separators = "/";
#endif
  std::string trimmed = path;
  // "dir/book.rb/" names the same file as "dir/book.rb".
  while (trimmed.size() > 1 && std::string(separators).find(trimmed.back()) != std::string::npos) {
    trimmed.pop_back();
  }
  const std::size_t cut = trimmed.find_last_of(separators);
  return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

}  // namespace pagora_cli
