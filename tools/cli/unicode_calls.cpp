#include "tools/cli/unicode_calls.h"

#include <cstring>
#include <string>
#include <vector>

#include "plugin/reader_text.h"

namespace pagora_cli {

namespace {

OptionalExports g_wide;
ProgressProc g_host_progress = nullptr;
RequestProc g_host_request = nullptr;

constexpr std::size_t kRoom = 1024;  // longer than any name or path the host passes

// A UTF-8 text as a writable UTF-16 one; `ok` is false for malformed UTF-8.
struct Wide {
  explicit Wide(const char* text) {
    ok = text != nullptr && pagora::Utf8ToUtf16(text, units, kRoom) >= 0;
  }
  char16_t* get() { return units; }
  char16_t units[kRoom];
  bool ok;
};

std::string Utf8(const char16_t* text) {
  char out[kRoom * 3];
  if (text == nullptr) return "";
  pagora::Utf16ToUtf8(text, out, sizeof out);  // a name that cannot be converted stays cut
  return out;
}

int WFX_CALL ProgressW(int plugin_nr, char16_t* source, char16_t* target, int percent) {
  if (g_host_progress == nullptr) return 0;
  std::string source8 = Utf8(source);
  std::string target8 = Utf8(target);
  return g_host_progress(plugin_nr, source8.data(), target8.data(), percent);
}

BOOL WFX_CALL RequestW(int plugin_nr, int type, char16_t* title, char16_t* text,
                       char16_t* returned, int maxlen) {
  if (g_host_request == nullptr) return kFalse;
  std::string title8 = Utf8(title);
  std::string text8 = Utf8(text);
  std::vector<char> answer(maxlen > 0 ? static_cast<std::size_t>(maxlen) * 3 : 1, '\0');
  const BOOL ok = g_host_request(plugin_nr, type, title8.data(), text8.data(), answer.data(),
                                 static_cast<int>(answer.size()));
  if (returned != nullptr && maxlen > 0) {
    pagora::Utf8ToUtf16(answer.data(), returned, static_cast<std::size_t>(maxlen));
  }
  return ok;
}

int WFX_CALL Init(int plugin_nr, ProgressProc progress, OpaqueProc log, RequestProc request) {
  g_host_progress = progress;
  g_host_request = request;
  return g_wide.init_w(plugin_nr, progress != nullptr ? ProgressW : nullptr, log,
                       request != nullptr ? RequestW : nullptr);
}

void CopyEntry(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA* data) {
  data->dwFileAttributes = wide.dwFileAttributes;
  data->ftCreationTime = wide.ftCreationTime;
  data->ftLastAccessTime = wide.ftLastAccessTime;
  data->ftLastWriteTime = wide.ftLastWriteTime;
  data->nFileSizeHigh = wide.nFileSizeHigh;
  data->nFileSizeLow = wide.nFileSizeLow;
  pagora::Utf16ToUtf8(wide.cFileName, data->cFileName, sizeof data->cFileName);
}

HANDLE WFX_CALL FindFirst(char* path, WIN32_FIND_DATAA* data) {
  Wide wide_path(path);
  WIN32_FIND_DATAW wide{};
  HANDLE handle = g_wide.find_first_w(wide_path.ok ? wide_path.get() : nullptr, &wide);
  if (handle != InvalidHandleValue()) CopyEntry(wide, data);
  // The handle is the module's own value, whatever cppcheck assumes of a
  // call given the address of the record.
  // cppcheck-suppress returnDanglingLifetime
  return handle;
}

BOOL WFX_CALL FindNext(HANDLE handle, WIN32_FIND_DATAA* data) {
  WIN32_FIND_DATAW wide{};
  const BOOL more = g_wide.find_next_w(handle, &wide);
  if (more) CopyEntry(wide, data);
  return more;
}

int WFX_CALL GetFileThroughW(char* remote, char* local, int flags, void* info) {
  Wide remote_w(remote);
  Wide local_w(local);
  if (!remote_w.ok || !local_w.ok) return FS_FILE_NOTFOUND;
  return g_wide.get_file_w(remote_w.get(), local_w.get(), flags, info);
}

int WFX_CALL PutFileThroughW(char* local, char* remote, int flags) {
  Wide local_w(local);
  Wide remote_w(remote);
  if (!remote_w.ok || !local_w.ok) return FS_FILE_NOTSUPPORTED;
  return g_wide.put_file_w(local_w.get(), remote_w.get(), flags);
}

BOOL WFX_CALL DeleteFileThroughW(char* remote) {
  Wide remote_w(remote);
  return remote_w.ok ? g_wide.delete_file_w(remote_w.get()) : kFalse;
}

int WFX_CALL ExecuteFile(HWND window, char* remote, char* verb) {
  Wide remote_w(remote);
  Wide verb_w(verb);
  if (!remote_w.ok || !verb_w.ok) return FS_EXEC_OK;
  return g_wide.execute_file_w(window, remote_w.get(), verb_w.get());
}

// A value as the 8-bit function gives it: texts in UTF-8, cut to fit.
int WFX_CALL ContentValue(char* remote, int index, int unit, void* value, int maxlen, int flags) {
  Wide remote_w(remote);
  if (!remote_w.ok) return ft_fileerror;
  std::vector<char16_t> wide(maxlen > 0 ? static_cast<std::size_t>(maxlen) / 2 + 1 : 1, 0);
  const int type = g_wide.content_value_w(remote_w.get(), index, unit, wide.data(), maxlen, flags);
  if (type != ft_stringw) {
    if (type > 0 && maxlen > 0) std::memcpy(value, wide.data(), static_cast<std::size_t>(maxlen));
    return type;
  }
  pagora::Utf16ToUtf8(wide.data(), static_cast<char*>(value), static_cast<std::size_t>(maxlen));
  return ft_string;
}

}  // namespace

bool UseUnicodeExports(const OptionalExports& optional, PluginExports* exports,
                       ContentExports* content) {
  g_wide = optional;
  if (content->value != nullptr && optional.content_value_w != nullptr) {
    content->value = ContentValue;
  }
  if (optional.init_w == nullptr || optional.find_first_w == nullptr ||
      optional.find_next_w == nullptr || optional.get_file_w == nullptr ||
      optional.put_file_w == nullptr || optional.delete_file_w == nullptr ||
      optional.execute_file_w == nullptr) {
    return false;
  }
  exports->init = Init;
  exports->find_first = FindFirst;
  exports->find_next = FindNext;
  exports->get_file = GetFileThroughW;
  exports->put_file = PutFileThroughW;
  exports->delete_file = DeleteFileThroughW;
  exports->execute_file = ExecuteFile;
  return true;
}

}  // namespace pagora_cli
