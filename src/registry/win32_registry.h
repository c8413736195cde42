// The registry of the running system, through advapi32.
#pragma once

#include "registry/reg_backend.h"

namespace kestrow {

class Win32Registry : public RegBackend {
 public:
  std::int32_t OpenKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) override;
  std::int32_t CreateKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) override;
  std::int32_t CloseKey(RegHandle key) override;
  std::int32_t QueryValue(RegHandle key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size) override;
  std::int32_t SetValue(RegHandle key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data,
                        std::uint32_t size) override;
  std::int32_t DeleteValue(RegHandle key, const std::u16string& name) override;
  std::int32_t EnumKey(RegHandle key, std::uint32_t index, std::u16string* name) override;
  std::int32_t EnumValue(RegHandle key, std::uint32_t index, std::u16string* name) override;
  std::int32_t QueryInfoKey(RegHandle key, std::uint32_t* subKeys, std::uint32_t* values) override;
  std::int32_t QueryKeyTime(RegHandle key, std::uint64_t* lastWrite) override;
  std::int32_t SaveKey(RegHandle key, const std::u16string& file) override;
  std::int32_t RestoreKey(RegHandle key, const std::u16string& file, std::uint32_t flags) override;
  std::int32_t DeleteTree(RegHandle base, const std::u16string& sub, std::uint32_t view) override;
  bool RestoreWorks() const override;
  std::int32_t LoadKey(RegHandle root, const std::u16string& name, const std::u16string& file) override;
  std::int32_t UnloadKey(RegHandle root, const std::u16string& name) override;
  std::int32_t CopyTree(RegHandle from, RegHandle to) override;
  std::int32_t EmptyKey(RegHandle key) override;
};

}  // namespace kestrow
