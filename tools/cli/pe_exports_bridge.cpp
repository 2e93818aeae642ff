#include "tools/cli/pe_exports_bridge.h"

#include <cstring>
#include <vector>

#include "tools/peloader/stdcall_call.h"

namespace pagora_cli {

namespace {

// Each export's address in the module, none where it lacks it.
struct ModuleAddresses {
#define PAGORA_ADDRESS(set, result, name, field, parameters, forwarded) \
  const void* field = nullptr;
  PAGORA_EXPORTS(PAGORA_ADDRESS)
#undef PAGORA_ADDRESS
};

ModuleAddresses g_module;
ProgressProc g_progress = nullptr;
ProgressProcW g_progress_w = nullptr;

// The callback the module calls, in its convention; it passes the call on
// to the host's.
int PE_API ProgressFromModule(int plugin_nr, char* source, char* target, int percent) {
  return g_progress != nullptr ? g_progress(plugin_nr, source, target, percent) : 0;
}

int PE_API ProgressFromModuleW(int plugin_nr, char16_t* source, char16_t* target, int percent) {
  return g_progress_w != nullptr ? g_progress_w(plugin_nr, source, target, percent) : 0;
}

// The host spells remote names with its own separator; a Windows module is
// handed them as a host on Windows would, with backslashes, in a copy of
// its own (MAX_PATH at least, as a host's buffers are) that it may write in.
template <typename Char>
class WindowsRemoteOf {
 public:
  explicit WindowsRemoteOf(const Char* remote) {
    std::size_t length = 0;
    while (remote != nullptr && remote[length] != 0) ++length;
    text_.assign(length + 1 > kMaxPath ? length + 1 : kMaxPath, 0);
    for (std::size_t i = 0; i < length; ++i) text_[i] = remote[i] == '/' ? Char('\\') : remote[i];
    null_ = remote == nullptr;
  }
  Char* get() const { return null_ ? nullptr : text_.data(); }

 private:
  static constexpr std::size_t kMaxPath = 260;
  mutable std::vector<Char> text_;
  bool null_ = false;
};

WindowsRemoteOf<char> Remote(const char* remote) { return WindowsRemoteOf<char>(remote); }
WindowsRemoteOf<char16_t> Remote(const char16_t* remote) {
  return WindowsRemoteOf<char16_t>(remote);
}

// A host callback as the module is given it: the host's progress callback
// through a stdcall function of this bridge. The host gives no logging or
// request callbacks; a module is told so by null pointers, which the
// interface allows, and shows its messages with MessageBoxA and
// MessageBoxW, whose stand-ins write them to standard error.
struct ModuleCallback {
  const void* address;
};
ModuleCallback Callback(ProgressProc progress) {
  g_progress = progress;
  return {progress != nullptr ? pe::CodeAddress(&ProgressFromModule) : nullptr};
}
ModuleCallback Callback(ProgressProcW progress) {
  g_progress_w = progress;
  return {progress != nullptr ? pe::CodeAddress(&ProgressFromModuleW) : nullptr};
}
ModuleCallback Callback(OpaqueProc) { return {nullptr}; }
ModuleCallback Callback(RequestProc) { return {nullptr}; }
ModuleCallback Callback(RequestProcW) { return {nullptr}; }

// Each argument as the 32-bit word the module is given.
template <typename T>
std::uint32_t Word(T value) {
  return pe::ToWord(value);
}
template <typename Char>
std::uint32_t Word(const WindowsRemoteOf<Char>& remote) {
  return pe::ToWord(remote.get());
}
std::uint32_t Word(ModuleCallback callback) { return pe::ToWord(callback.address); }

template <typename>
using WordOf = std::uint32_t;

// Calls the export at `address` with the words of `args`, in stdcall.
template <typename R, typename... Given>
R CallExport(const char* what, const void* address, const Given&... args) {
  R(PE_STDCALL * function)(WordOf<Given>...) = nullptr;
  static_assert(sizeof(function) == sizeof(address), "code and data addresses share a size");
  std::memcpy(&function, &address, sizeof(function));
  return pe::Call(what, function, Word(args)...);
}

// The host-side function of every export: BridgedFsInit and so on.
#define PAGORA_BRIDGED(set, result, name, field, parameters, forwarded) \
  result WFX_CALL Bridged##name parameters {                             \
    return CallExport<result>(#name, g_module.field,                     \
                              PAGORA_UNPARENTHESIZED forwarded);         \
  }
PAGORA_EXPORTS(PAGORA_BRIDGED)
#undef PAGORA_BRIDGED

void AddMissing(std::string* missing, const char* name) {
  *missing += std::string(missing->empty() ? "" : ", ") + name;
}

}  // namespace

bool BridgeExports(const pe::PeModule& module, PluginExports* exports, OptionalExports* optional,
                   std::string* missing) {
  ModuleAddresses found;
#define PAGORA_FIND(set, result, name, field, parameters, forwarded) \
  found.field = module.Export(#name);                                \
  PAGORA_IF_REQUIRED(set, if (found.field == nullptr) AddMissing(missing, #name);)
  PAGORA_EXPORTS(PAGORA_FIND)
#undef PAGORA_FIND
  if (!missing->empty()) return false;
  g_module = found;
  g_progress = nullptr;
  g_progress_w = nullptr;
#define PAGORA_FILL(set, result, name, field, parameters, forwarded) \
  PAGORA_IF_REQUIRED(set, exports->field = &Bridged##name;)          \
  PAGORA_IF_OPTIONAL(set, optional->field = found.field != nullptr ? &Bridged##name : nullptr;)
  PAGORA_EXPORTS(PAGORA_FILL)
#undef PAGORA_FILL
  return true;
}

void ReleaseBridge() {
  g_module = ModuleAddresses{};
  g_progress = nullptr;
  g_progress_w = nullptr;
}

}  // namespace pagora_cli
