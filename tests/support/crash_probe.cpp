// Not part of the suite: configured with KESTROW_CRASH_PROBE=ON, this program crashes on purpose
// the way a plugin can, inside a window procedure while a message loop runs, to show that the
// test command then fails at once instead of passing or waiting.
#include <gtest/gtest.h>

#include <cstdint>

#ifdef _WIN32
#include <windows.h>

namespace {

LRESULT CALLBACK CrashingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_APP) {
    volatile int* nowhere = reinterpret_cast<int*>(static_cast<std::intptr_t>(-1));
    return *nowhere;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(CrashProbe, CrashesInsideAWindowProcedure) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &CrashingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"KestrowCrashProbe";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_NE(nullptr, hwnd);
  PostMessageW(hwnd, WM_APP, 0, 0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

}  // namespace
#else
namespace {
TEST(CrashProbe, CrashesOnABadPointer) {
  volatile int* nowhere = reinterpret_cast<int*>(static_cast<std::intptr_t>(-1));
  EXPECT_EQ(0, *nowhere);
}
}  // namespace
#endif
