// The questions the target rules ask of the system: about files, folders and the environment,
// and two registry values. The rules themselves touch neither the file system nor the registry.
// The questions are const: an implementation keeps no state that asking changes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "registry/reg_key.h"

namespace kestrow {

class TargetLookup {
 public:
  virtual ~TargetLookup() = default;
  // What the path names, as the system itself sees it.
  virtual platform::PathKind KindOf(const std::u16string& path) const = 0;
  // The text with its environment references expanded as programs of the view's width see them.
  virtual std::u16string Expand(const std::u16string& text, RegView view) const = 0;
  // The Windows folder, without a final "\".
  virtual std::u16string WindowsFolder() const = 0;
  // The System folder of programs of the view's width (SysWOW64 for the 32-bit view on a 64-bit
  // system, System32 otherwise), without a final "\".
  virtual std::u16string SystemFolder(RegView view) const = 0;
  virtual bool Is64BitSystem() const = 0;
  // The folders of PATH, in order.
  virtual std::vector<std::u16string> PathFolders() const = 0;
  // The stored default value of the "App Paths" entry for the file name ("tool.exe"), the user's
  // entry before the machine's, read in the view; none when neither has one.
  virtual std::optional<std::u16string> AppPath(const std::u16string& fileName, RegView view) const = 0;
  // The stored "ServiceDll" of the service whose key under HKLM is given (as
  // "\SYSTEM\CurrentControlSet\Services\name"): that of its "Parameters" subkey, else its own;
  // none when neither has one.
  virtual std::optional<std::u16string> ServiceDll(const std::u16string& serviceKey, RegView view) const = 0;
};

}  // namespace kestrow
