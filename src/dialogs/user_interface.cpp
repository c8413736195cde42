#include "dialogs/user_interface.h"

namespace kestrow {

// The platform's user interface: windows on Windows, none in the native build.
TUserInterface& PlatformUserInterface();

namespace {
TUserInterface* g_current = nullptr;
}  // namespace

TUserInterface& UserInterface() { return g_current ? *g_current : PlatformUserInterface(); }

void SetUserInterface(TUserInterface* ui) { g_current = ui; }

}  // namespace kestrow
