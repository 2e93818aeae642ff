#include "tests/windows/session_files.h"

#include <windows.h>

namespace wine_host {

std::wstring Widen(const std::string& utf8) {
  wchar_t out[1024];
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out, 1024);
  return n > 0 ? std::wstring(out) : std::wstring();
}

std::string ReadAll(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  static char block[65536];
  DWORD n = 0;
  while (ReadFile(file, block, sizeof block, &n, nullptr) && n > 0) bytes.append(block, n);
  CloseHandle(file);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(file);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }

std::vector<std::wstring> Names(const std::wstring& folder, const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

unsigned CodePage() { return GetACP(); }

}  // namespace wine_host
