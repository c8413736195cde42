// Linux stand-in for the system's folders. The Windows folder is the one the environment names
// (SystemRoot, else windir), so that a test can lay out a system of its own; the process counts
// as a program of the system's own width on a 64-bit system, and nothing is redirected.
#include <sys/stat.h>

#include "platform/native_path_posix.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace kestrow::platform {

std::u16string PathPastRedirection(const std::u16string& path) { return path; }

PathKind KindOfPath(const std::u16string& path) {
  struct stat st;
  if (path.empty() || ::stat(NativePath(path).c_str(), &st) != 0) return PathKind::None;
  if (S_ISDIR(st.st_mode)) return PathKind::Folder;
  return S_ISREG(st.st_mode) ? PathKind::File : PathKind::None;
}

std::u16string WindowsFolder() {
  std::u16string folder = GetEnv(u"SystemRoot").value_or(GetEnv(u"windir").value_or(u"C:\\Windows"));
  while (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
  return folder;
}

std::u16string SystemFolder(Bitness programs) {
  return WindowsFolder() + (programs == Bitness::Bits32 && Is64BitSystem() ? u"\\SysWOW64" : u"\\System32");
}

bool Is64BitSystem() { return sizeof(void*) == 8; }

}  // namespace kestrow::platform
