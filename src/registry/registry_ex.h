// The registry object (`TRegistryEx`): one open key at a time under one root key, in one registry
// view, with one set of access rights.
#pragma once

#include <memory>
#include <vector>

#include "registry/comma_text.h"
#include "registry/reg_backend.h"
#include "registry/reg_key.h"

namespace kestrow {

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// The registry object: opens keys and reads and writes their values through the current backend.
class TRegistryEx {
 public:
  TRegistryEx(RegView view, std::uint32_t rights);
  ~TRegistryEx();
  TRegistryEx(const TRegistryEx&) = delete;
  TRegistryEx& operator=(const TRegistryEx&) = delete;

  RegHandle RootKey() const { return root_; }
  void SetRootKey(RegHandle root);
  // The rights the keys are opened with (the last read-only open may have lowered them).
  std::uint32_t Access() const { return access_; }
  RegView View() const { return view_; }
  RegHandle CurrentKey() const { return current_.Get(); }
  const std::u16string& CurrentPath() const { return currentPath_; }

  bool KeyExists(const std::u16string& Key);
  // True only when the platform reports that the key is not there (any other failure is no proof).
  bool KeyMissing(const std::u16string& Key);
  // Deletes the key with all its subkeys and values; true when it went.
  bool DeleteKeyTree(const std::u16string& Key);
  bool OpenKey(const std::u16string& Key, bool CanCreate);
  bool OpenKeyReadOnly(const std::u16string& Key);
  void CloseKey();
  bool ValueExists(const std::u16string& Name);
  TRegDataType GetDataType(const std::u16string& Name);
  std::int32_t GetDataSize(const std::u16string& Name);
  std::u16string ReadString(const std::u16string& Name);
  std::int32_t ReadInteger(const std::u16string& Name);
  void WriteString(const std::u16string& Name, const std::u16string& Text);
  void WriteExpandString(const std::u16string& Name, const std::u16string& Text);
  void WriteInteger(const std::u16string& Name, std::int32_t N);
  void WriteBinary(const std::u16string& Name, const std::vector<std::uint8_t>& Data);
  bool DeleteValue(const std::u16string& Name);
  void GetValueNames(TStringList& List);
  void GetKeyNames(TStringList& List);
  // When the current key was last written (a FILETIME in UTC); 0 when no key is open or the
  // platform does not say.
  std::uint64_t CurrentKeyTime();

  // The value's stored type and data, read whole however large it is; never raises. The status is
  // RS_OK, RS_FILE_NOT_FOUND when the current key has no such value, or the platform's error.
  std::int32_t ReadData(const std::u16string& Name, std::uint32_t* type, std::vector<std::uint8_t>* data);
  // Why the last OpenKey or OpenKeyReadOnly failed: RS_FILE_NOT_FOUND for a key that is not there.
  std::int32_t LastOpenStatus() const { return lastOpenStatus_; }
  // The strings of REG_MULTI_SZ data, by the rules of ReadStringList.
  static TStringList StringListFromData(const std::uint8_t* data, std::size_t bytes);

  bool CreateKeyEx(const std::u16string& Key);
  bool SaveKeyEx(const std::u16string& Key, const std::u16string& FileName, std::uint32_t flags);
  bool RestoreKey(const std::u16string& Key, const std::u16string& FileName, std::uint32_t flags);
  void WriteStringList(const std::u16string& name, const TStringList& list);
  TStringList ReadStringList(const std::u16string& name);

 private:
  // Splits a key path into its base handle and the path below it.
  RegHandle Base(const std::u16string& key, std::u16string* rest) const;
  // The key opened with the rights, or nothing (and the status, when asked for).
  TRegKey Open(const std::u16string& key, std::uint32_t rights, std::int32_t* status = nullptr) const;
  std::uint32_t Sam(std::uint32_t rights) const { return rights | ViewBits(view_); }
  // Makes the opened key the current one, at the path it was opened by.
  void MakeCurrent(TRegKey key, const std::u16string& path);
  void WriteTyped(const std::u16string& name, std::uint32_t type, const std::u16string& text);
  // Queries into the buffer; false when the query fails. The type and byte count come back.
  bool GetData(const std::u16string& name, std::uint8_t* buffer, std::uint32_t size, std::uint32_t* type,
               std::uint32_t* got);

  RegBackend& reg_;
  RegHandle root_ = HKEY_CURRENT_USER_;
  RegView view_;
  std::uint32_t access_;
  TRegKey current_;
  std::u16string currentPath_;
  std::int32_t lastOpenStatus_ = RS_OK;
  std::vector<std::uint8_t> buffer_;  // ReadData's query buffer
};

}  // namespace kestrow
