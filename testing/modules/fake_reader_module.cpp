// A stand-in plugin for testing the host: its "reader" is a directory whose
// files are the folder's entries. Environment variables steer it:
//   FAKE_READER_DIR        the directory (unset: the reader is disconnected)
//   FAKE_READER_LOG        a file that receives one line per export call
//   FAKE_READER_RESULT     a result that FsGetFile/FsPutFile give at once
//   FAKE_READER_INTERRUPT  raise a signal in the middle of a transfer, then
//                          give up on an abort answer ("ignore": carry on;
//                          "twice": raise it again)
//   FAKE_READER_SIGNAL     that signal: "TERM", "HUP", else SIGINT
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "plugin/fs_api.h"

namespace {

namespace fs = std::filesystem;

struct HostState {
  int plugin_nr = 0;
  ProgressProc progress = nullptr;
  RequestProc request = nullptr;
  std::vector<std::string> entries;
  std::size_t next = 0;
};

HostState g_state;

const char* Env(const char* name) { return std::getenv(name); }

void Log(const std::string& line) {
  const char* path = Env("FAKE_READER_LOG");
  if (path == nullptr) return;
  std::ofstream(path, std::ios::app) << line << '\n';
}

bool ReaderDir(fs::path* dir) {
  const char* path = Env("FAKE_READER_DIR");
  std::error_code ec;
  if (path == nullptr || !fs::is_directory(path, ec)) return false;
  *dir = path;
  return true;
}

void Fill(const std::string& name, std::uintmax_t size, DWORD attributes, WIN32_FIND_DATAA* data) {
  data->dwFileAttributes = attributes;
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  std::snprintf(data->cFileName, sizeof(data->cFileName), "%s", name.c_str());
}

bool FillEntry(std::size_t index, WIN32_FIND_DATAA* data) {
  fs::path dir;
  if (index >= g_state.entries.size() || !ReaderDir(&dir)) return false;
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(dir / g_state.entries[index], ec);
  Fill(g_state.entries[index], ec ? 0 : size, kAttrNormal, data);
  return true;
}

bool ForcedResult(int* code) {
  const char* forced = Env("FAKE_READER_RESULT");
  if (forced == nullptr) return false;
  *code = std::atoi(forced);
  return true;
}

int Report(char* source, char* target, int percent) {
  return g_state.progress(g_state.plugin_nr, source, target, percent);
}

// Plays the user pressing Ctrl-C during a transfer: true when the transfer
// gives up on the host's answer.
bool InterruptedMidway(char* source, char* target) {
  const char* mode = Env("FAKE_READER_INTERRUPT");
  if (mode == nullptr) return false;
  const char* name = Env("FAKE_READER_SIGNAL");
  const std::string signal_name = name != nullptr ? name : "";
  const int signal_number =
      signal_name == "TERM" ? SIGTERM : signal_name == "HUP" ? SIGHUP : SIGINT;
  std::raise(signal_number);
  if (std::strcmp(mode, "twice") == 0) std::raise(signal_number);
  const int answer = Report(source, target, 50);
  return answer != 0 && std::strcmp(mode, "ignore") != 0;
}

bool ReadAll(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Writes in quarters with a report after each, as a transfer in blocks does.
bool Transfer(const std::string& bytes, const fs::path& to, char* source, char* target) {
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const std::size_t quarter = bytes.size() / 4 + 1;
  for (std::size_t done = 0; done < bytes.size(); done += quarter) {
    const std::size_t count = std::min(quarter, bytes.size() - done);
    out.write(bytes.data() + done, static_cast<std::streamsize>(count));
    Report(source, target, static_cast<int>((done + count) * 100 / bytes.size()));
  }
  return static_cast<bool>(out);
}

}  // namespace

extern "C" {

int WFX_CALL FsInit(int plugin_nr, ProgressProc progress, OpaqueProc log, RequestProc request) {
  Log("FsInit " + std::to_string(plugin_nr) + (progress ? " progress" : " no-progress") +
      (log ? " log" : " no-log") + (request ? " request" : " no-request"));
  g_state.plugin_nr = plugin_nr;
  g_state.progress = progress;
  g_state.request = request;
  return 0;
}

void WFX_CALL FsGetDefRootName(char* def_root_name, int maxlen) {
  Log("FsGetDefRootName " + std::to_string(maxlen));
  if (maxlen > 0) std::snprintf(def_root_name, static_cast<std::size_t>(maxlen), "Fake Reader");
}

HANDLE WFX_CALL FsFindFirst(char* path, WIN32_FIND_DATAA* find_data) {
  Log(std::string("FsFindFirst ") + path);
  fs::path dir;
  if (!ReaderDir(&dir)) {
    Fill("Pagora Disconnected", 0, kAttrSystem, find_data);
    return reinterpret_cast<HANDLE>(1);
  }
  g_state.entries.clear();
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    g_state.entries.push_back(entry.path().filename().string());
  }
  std::sort(g_state.entries.begin(), g_state.entries.end());
  g_state.next = 1;
  if (!FillEntry(0, find_data)) return InvalidHandleValue();
  return &g_state;
}

BOOL WFX_CALL FsFindNext(HANDLE handle, WIN32_FIND_DATAA* find_data) {
  Log("FsFindNext");
  if (handle != &g_state || !FillEntry(g_state.next, find_data)) return kFalse;
  ++g_state.next;
  return kTrue;
}

int WFX_CALL FsFindClose(HANDLE handle) {
  Log(std::string("FsFindClose") + (handle == &g_state ? "" : " foreign"));
  return 0;
}

int WFX_CALL FsGetFile(char* remote_name, char* local_name, int copy_flags, void*) {
  Log(std::string("FsGetFile ") + remote_name + " " + local_name + " " + std::to_string(copy_flags));
  int code = FS_FILE_OK;
  if (ForcedResult(&code)) return code;
  fs::path dir;
  std::string bytes;
  if (!ReaderDir(&dir) || !ReadAll((dir / (remote_name + 1)).string(), &bytes)) {
    return FS_FILE_NOTFOUND;
  }
  std::error_code ec;
  if ((copy_flags & FS_COPYFLAGS_OVERWRITE) == 0 && fs::symlink_status(local_name, ec).type() !=
                                                        fs::file_type::not_found) {
    return FS_FILE_EXISTS;
  }
  if (Report(remote_name, local_name, 0) != 0) return FS_FILE_USERABORT;
  if (InterruptedMidway(remote_name, local_name)) return FS_FILE_USERABORT;
  if (!Transfer(bytes, local_name, remote_name, local_name)) return FS_FILE_WRITEERROR;
  Report(remote_name, local_name, 100);
  return FS_FILE_OK;
}

int WFX_CALL FsPutFile(char* local_name, char* remote_name, int copy_flags) {
  Log(std::string("FsPutFile ") + local_name + " " + remote_name + " " + std::to_string(copy_flags));
  const std::string source = local_name;
  // It writes into the host's buffer (lowering its case), as a plugin may;
  // the host must not take its names back from that buffer.
  for (char* c = local_name; *c != '\0'; ++c) {
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
  }
  int code = FS_FILE_OK;
  if (ForcedResult(&code)) return code;
  fs::path dir;
  std::string bytes;
  if (!ReaderDir(&dir)) return FS_FILE_READERROR;
  const fs::path target = dir / (remote_name + 1);
  std::error_code ec;
  if (fs::exists(target, ec) && (copy_flags & FS_COPYFLAGS_OVERWRITE) == 0) return FS_FILE_EXISTS;
  if (!ReadAll(source, &bytes)) return FS_FILE_NOTFOUND;
  if (Report(local_name, remote_name, 0) != 0) return FS_FILE_USERABORT;
  if (InterruptedMidway(local_name, remote_name)) return FS_FILE_USERABORT;
  if (!Transfer(bytes, target, local_name, remote_name)) return FS_FILE_WRITEERROR;
  Report(local_name, remote_name, 100);
  return FS_FILE_OK;
}

BOOL WFX_CALL FsDeleteFile(char* remote_name) {
  Log(std::string("FsDeleteFile ") + remote_name);
  fs::path dir;
  std::error_code ec;
  return ReaderDir(&dir) && fs::remove(dir / (remote_name + 1), ec) ? kTrue : kFalse;
}

// "open" on an entry is left to the host; "properties" shows the entry's
// name through the host's request callback, or on standard error without.
int WFX_CALL FsExecuteFile(HWND, char* remote_name, char* verb) {
  Log(std::string("FsExecuteFile ") + remote_name + " " + verb);
  fs::path dir;
  std::error_code ec;
  if (!ReaderDir(&dir) || !fs::is_regular_file(dir / (remote_name + 1), ec)) return FS_EXEC_OK;
  if (std::strcmp(verb, "open") == 0) return FS_EXEC_YOURSELF;
  if (std::strcmp(verb, "properties") != 0) return FS_EXEC_OK;
  char title[] = "Fake Reader";
  char answer[16] = {};
  if (g_state.request == nullptr) {
    std::fprintf(stderr, "Fake Reader: %s\n", remote_name + 1);
  } else {
    g_state.request(g_state.plugin_nr, RT_MsgOK, title, remote_name + 1, answer, sizeof answer);
  }
  return FS_EXEC_OK;
}

// Two detail fields: an entry's extension, and whether it is a book.
int WFX_CALL FsContentGetSupportedField(int index, char* name, char* units, int maxlen) {
  static const char* const kNames[] = {"Extension", "Book"};
  if (index < 0) return ft_nosuchfield;
  if (index >= 2) return ft_nomorefields;
  std::snprintf(name, static_cast<std::size_t>(maxlen), "%s", kNames[index]);
  units[0] = '\0';
  return index == 0 ? ft_string : ft_boolean;
}

int WFX_CALL FsContentGetValue(char* remote_name, int index, int, void* value, int maxlen, int) {
  Log(std::string("FsContentGetValue ") + remote_name + " " + std::to_string(index));
  fs::path dir;
  std::error_code ec;
  if (!ReaderDir(&dir) || !fs::is_regular_file(dir / (remote_name + 1), ec)) return ft_fileerror;
  const std::string extension = fs::path(remote_name + 1).extension().string();
  if (index == 1) {
    const int book = extension == ".rb" ? 1 : 0;
    std::memcpy(value, &book, sizeof book);
    return ft_boolean;
  }
  if (extension.empty()) return ft_fieldempty;
  std::snprintf(static_cast<char*>(value), static_cast<std::size_t>(maxlen), "%s",
                extension.c_str() + 1);
  return ft_string;
}

}  // extern "C"
