#include "tests/windows/window_watch.h"

#include <windows.h>

namespace {

HHOOK g_hook = nullptr;
int g_attempts = 0;

LRESULT CALLBACK OnWindowEvent(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND) {
    ++g_attempts;
    return 1;  // refuse the window: a message box then returns at once
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

}  // namespace

bool StartWindowWatch() {
  if (g_hook == nullptr) {
    g_hook = SetWindowsHookExA(WH_CBT, OnWindowEvent, nullptr, GetCurrentThreadId());
  }
  return g_hook != nullptr;
}

void StopWindowWatch() {
  if (g_hook != nullptr) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
}

int WindowsAttempted() { return g_attempts; }
