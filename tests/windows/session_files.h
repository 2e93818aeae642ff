// The Windows file calls the session host makes itself, kept apart from the
// plugin interface's declarations, which do not mix with <windows.h>.
#pragma once

#include <string>
#include <vector>

namespace wine_host {

std::wstring Widen(const std::string& utf8);
// The bytes of a file, or "<missing>".
std::string ReadAll(const std::wstring& path);
void WriteAll(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);
void MakeFolder(const std::wstring& path);
// The entry names in `folder` that match `pattern`, "." and ".." left out.
std::vector<std::wstring> Names(const std::wstring& folder, const wchar_t* pattern);
// The system's ANSI code page.
unsigned CodePage();

}  // namespace wine_host
