// A deliberately wrong plugin module, only for the tests of check_dll.py:
// an executable rather than a DLL, some exports missing, one extra, FsInit
// without the standard calling convention, FsDeleteFile under its decorated
// name (32-bit), an import from a non-system DLL, imports the plugin does
// not make and none of the Windows calls it does, a version resource and no
// icon. Each fault must be reported.
#include <winsock2.h>

extern "C" {
__declspec(dllexport) int FsInit(int, void*, void*, void*) { return 0; }
__declspec(dllexport) int __stdcall FsDeleteFile(char*) { return 0; }
__declspec(dllexport) int __stdcall FsFindClose(void*) { return 0; }
__declspec(dllexport) int PagoraExtra() { return 1; }
}

int main() { return WSAGetLastError(); }
