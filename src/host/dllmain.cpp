// Library start and end on Windows.
#include <windows.h>

#include "host/library.h"
#include "platform/platform.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  try {
    if (reason == DLL_PROCESS_ATTACH) {
      DisableThreadLibraryCalls(instance);
      kestrow::platform::SetModule(instance);
      kestrow::LibraryStart();
    } else if (reason == DLL_PROCESS_DETACH) {
      kestrow::LibraryEnd();
    }
  } catch (...) {
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
  }
  return TRUE;
}
