// Library start and end on Windows.
#include <windows.h>

#include <cstddef>
#include <type_traits>

#include "host/fsplugin.h"
#include "host/plugin.h"
#include "platform/platform.h"

static_assert(sizeof(KsFindDataW) == sizeof(WIN32_FIND_DATAW), "layout of WIN32_FIND_DATAW");
static_assert(offsetof(KsFindDataW, cFileName) == offsetof(WIN32_FIND_DATAW, cFileName), "cFileName");
static_assert(sizeof(KsFindDataA) == sizeof(WIN32_FIND_DATAA), "layout of WIN32_FIND_DATAA");
static_assert(std::is_same_v<KS_HWND, HWND> && std::is_same_v<KS_HICON, HICON> && std::is_same_v<KS_HANDLE, HANDLE>,
              "the handle types are <windows.h>'s");

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  try {
    if (reason == DLL_PROCESS_ATTACH) {
      DisableThreadLibraryCalls(instance);
      kestrow::platform::SetModule(instance);
      kestrow::Plugin().Start();
    } else if (reason == DLL_PROCESS_DETACH) {
      kestrow::Plugin().End();
    }
  } catch (...) {
    // Nothing may unwind into the loader: a failed start refuses the load.
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
  }
  return TRUE;
}
