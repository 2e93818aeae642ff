// How the host spells names inside the plugin's folder.
#pragma once

#include <cstddef>
#include <string>

namespace pagora_cli {

// The host's path separator: the folder itself is this one character, and
// every name in it is this character followed by the entry's name. A host on
// Windows uses a backslash; on other systems it hands the plugin a slash.
#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The folder path given to FsFindFirst.
std::string FolderPath();

// The longest name, separator included, that the host passes to the plugin
// (a find record's name field holds 260 bytes with its terminator).
constexpr std::size_t kMaxRemoteName = 259;

// Builds the plugin's name for the entry `name`. Returns false and sets
// `error` when no entry of the folder can have that name.
bool MakeRemoteName(const std::string& name, std::string* remote, std::string* error);

// The last component of a local path, as a file manager would name the copy.
std::string LocalBaseName(const std::string& path);

}  // namespace pagora_cli
