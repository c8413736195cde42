#include "registry/restore_through_load.h"

#include <string>

#include "platform/platform.h"

namespace kestrow {

namespace {
std::u16string Decimal(std::uint32_t v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}
}  // namespace

std::int32_t RestoreThroughLoad(RegBackend& reg, RegHandle target, const std::u16string& file) {
  const std::u16string name =
      u"KestrowRestore-" + Decimal(platform::ProcessId()) + u"-" + Decimal(platform::TickCount());
  std::int32_t e = reg.LoadKey(HKEY_LOCAL_MACHINE_, name, file);
  if (e != RS_OK) return e;
  RegHandle loaded = 0;
  e = reg.OpenKey(HKEY_LOCAL_MACHINE_, name, KEY_READ_, &loaded);
  if (e == RS_OK) {
    e = reg.EmptyKey(target);
    if (e == RS_OK) e = reg.CopyTree(loaded, target);
    reg.CloseKey(loaded);
  }
  reg.UnloadKey(HKEY_LOCAL_MACHINE_, name);
  return e;
}

}  // namespace kestrow
