// The kinds of autostart location, by who starts what an entry names and how it reads the value.
#pragma once

#include <cstdint>
#include <string>

namespace kestrow {

enum class LocationKind : std::uint8_t {
  RunKey,           // Run, RunOnce, RunServices(Once), RunOnceEx, the policy Run keys: the shell starts them
  WindowsLoadRun,   // "Load" and "Run" of the user's Windows key
  WinlogonList,     // Winlogon's "Userinit" and "Shell": programs separated by commas
  WinlogonProgram,  // Winlogon's "UIHost"
  WinlogonDll,      // Winlogon's "GinaDLL" and a notification package's "DLLName": a library path
  AppInitList,      // "AppInit_DLLs": libraries separated by spaces or commas
  ServiceImage,     // a service's or driver's "ImagePath"
  Debugger,         // an image-file debugger
  ActiveSetup,      // an Active Setup component's "StubPath"
  ShellFolder,      // a value of the shell folders: it names a folder
  Other,            // anything else, such as the locations a start-up script declares
};

// The kind of the value of that name in the key at that path (as "\SOFTWARE\...", the root key
// left out; the leading "\" may be missing). Letters a to z compare in either case.
LocationKind KindOfLocation(const std::u16string& keyPath, const std::u16string& valueName);

}  // namespace kestrow
