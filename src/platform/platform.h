// The narrow layer between the portable core and the operating system: folders, environment,
// files, ANSI text and locale-aware comparison. Windows builds use kernel32; the native build
// maps Windows-style paths ("Z:\tmp\x") onto the Linux file system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrow::platform {

// The user's temporary folder as the system reports it (not yet normalised).
std::u16string SystemTempPath();
// Full file name of the plugin's own module, whatever its length; empty when it cannot be had.
std::u16string ModuleFileName();
std::optional<std::u16string> GetEnv(const std::u16string& name);

// True when a file (not a folder) exists at the path.
bool FileExists(const std::u16string& path);
bool ReadWholeFile(const std::u16string& path, std::string& bytes);
// Creates or replaces the file with exclusive access and closes it again.
bool CreateEmptyFile(const std::u16string& path);
// Writes the bytes into the file, replacing it.
bool WriteWholeFile(const std::u16string& path, const std::string& bytes);
bool DeleteFileIfExists(const std::u16string& path);
// Moves a file over another one, replacing it.
bool ReplaceFile(const std::u16string& from, const std::u16string& to);
// A new file name in the folder (ending in "\") that no file has yet; the file is created empty.
std::optional<std::u16string> CreateUniqueFile(const std::u16string& folder, const std::u16string& prefix);

// Conversion to and from the system ANSI code page. Characters that the code page lacks become "?".
std::string ToAnsi(const std::u16string& text);
std::u16string FromAnsi(const std::string& text);
unsigned AnsiCodePage();
// The longest prefix of ANSI text of at most max bytes that does not split a double-byte character.
std::string AnsiPrefix(const std::string& text, std::size_t max);

// The two sizes the system shows icons at.
enum class IconSize { Small, Large };
// The icon resource of the plugin's own module drawn at the system's small or large icon size, a
// new icon the caller destroys (natively, where there are no resources, a distinct token per
// resource and size).
void* LoadPluginIcon(const std::u16string& name, IconSize size);

// Compares the first prefix.size() characters of text with prefix, ignoring case as the user's
// default locale does. A prefix longer than the text never matches; an empty prefix always does.
bool StartsWithIgnoreCase(const std::u16string& text, const std::u16string& prefix);

// The width of the programs that see a path or an environment: the 32-bit world of a 64-bit
// system (WOW64) or the system's own.
enum class Bitness : std::uint8_t { Bits32, Bits64 };

// What a path names: nothing, a file or a folder.
enum class PathKind : std::uint8_t { None, File, Folder };

// The path by which this process reaches what the system itself names so: a 32-bit process on
// 64-bit Windows, which the system sends to SysWOW64 for a path in System32, reaches the real
// System32 through "Sysnative". Elsewhere, and for every other path, the path itself.
std::u16string PathPastRedirection(const std::u16string& path);
// What the path names, as the system sees it whatever the width of this process.
PathKind KindOfPath(const std::u16string& path);

// The Windows folder of the system (shared by every session), without a final "\".
std::u16string WindowsFolder();
// The System folder that programs of the given width load from: System32 for the system's own
// programs and on a 32-bit system, SysWOW64 for 32-bit programs on a 64-bit system.
std::u16string SystemFolder(Bitness programs);
// True when the system is 64-bit, whatever the width of this process.
bool Is64BitSystem();
// The folders of PATH in their order, quotes taken off, empty entries left out.
std::vector<std::u16string> SearchPathFolders();
// Environment references ("%NAME%") replaced as a program of the given width sees the
// environment: its program-files folders differ on a 64-bit system. Names that are not set stay
// as they are.
std::u16string ExpandEnvironment(const std::u16string& text, Bitness programs);

// The version strings of a program file: the company and the description of its first
// translation (empty when the file names none).
struct VersionStrings {
  std::u16string CompanyName;
  std::u16string FileDescription;
};
// None when the file cannot be read or holds no version resource. Safe to call from several
// threads at once.
std::optional<VersionStrings> ReadVersionStrings(const std::u16string& path);

// Enables or disables a privilege in the process token; true when the platform reported no error.
bool EnablePrivilege(const std::u16string& name, bool enable);

// The calling thread's last error code, which the host reads after a call that failed: on Windows
// the system's own (SetLastError, GetLastError), natively a value each thread keeps.
void SetLastErrorCode(std::uint32_t code);
std::uint32_t LastErrorCode();
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;

// True when the plugin runs under Wine rather than on Windows.
bool RunningOnWine();

// The number of this process and the milliseconds since the system started (wrapping around):
// together they make names that no other process and no earlier call of this one uses.
std::uint32_t ProcessId();
std::uint32_t TickCount();

// The time now as a FILETIME: 100-nanosecond steps since 1601-01-01 UTC.
std::uint64_t FileTimeNow();
// A FILETIME as the local date and time, "YYYY-MM-DD HH:MM:SS"; empty when it has none.
std::u16string LocalDateTimeText(std::uint64_t fileTime);

// Runs work on a thread whose stack reserves the given number of bytes, and waits for it: on
// Windows a new thread each time, on Linux one thread kept for the process. Where no such thread
// can be made, work runs on the calling thread. Work must not throw.
void RunOnLargeStack(std::size_t stackBytes, void (*work)(void*), void* arg);

}  // namespace kestrow::platform

namespace kestrow::platform {
// The module whose file name ModuleFileName reports: the DLL's instance handle on Windows; on
// Linux, where there is no plugin module, the file name itself.
void SetModule(void* instance);
#ifndef _WIN32
// The file name ModuleFileName reports on Linux, where only tests and tools run the plugin's code.
void SetModuleFileNameForTests(const std::u16string& fileName);
#endif
}  // namespace kestrow::platform
