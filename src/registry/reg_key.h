// An open registry key that closes itself, and the registry view as a parameter of its own.
#pragma once

#include <string>
#include <utility>

#include "registry/reg_backend.h"

namespace kestrow {

// The registry view a key is opened in: the 32-bit one (WOW6432Node on 64-bit Windows) or the
// 64-bit one.
enum class RegView : std::uint8_t { Bits32, Bits64 };

// The access-mask flag that selects the view.
inline std::uint32_t ViewBits(RegView view) { return view == RegView::Bits64 ? KEY_WOW64_64KEY_ : KEY_WOW64_32KEY_; }

// The one owner of an open key: whoever opens a key holds it in one of these, and the key is
// closed by the backend that opened it when the owner goes out of scope or is given another key.
// The predefined root keys are never closed.
class TRegKey {
 public:
  TRegKey() = default;
  // Takes the open key of the backend.
  TRegKey(RegBackend& reg, RegHandle key) : reg_(&reg), key_(key) {}
  ~TRegKey() { Reset(); }
  TRegKey(TRegKey&& other) noexcept : reg_(other.reg_), key_(std::exchange(other.key_, 0)) {}
  TRegKey& operator=(TRegKey&& other) noexcept {
    if (this != &other) {
      Reset();
      reg_ = other.reg_;
      key_ = std::exchange(other.key_, 0);
    }
    return *this;
  }
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  // The key sub below base, opened with the access mask; an empty owner when the backend refused,
  // with the backend's status in *status when it is given.
  static TRegKey Open(RegBackend& reg, RegHandle base, const std::u16string& sub, std::uint32_t sam,
                      std::int32_t* status = nullptr) {
    RegHandle h = 0;
    const std::int32_t e = reg.OpenKey(base, sub, sam, &h);
    if (status) *status = e;
    return e == RS_OK ? TRegKey(reg, h) : TRegKey();
  }
  // The same, creating the keys of the path that are missing.
  static TRegKey Create(RegBackend& reg, RegHandle base, const std::u16string& sub, std::uint32_t sam,
                        std::int32_t* status = nullptr) {
    RegHandle h = 0;
    const std::int32_t e = reg.CreateKey(base, sub, sam, &h);
    if (status) *status = e;
    return e == RS_OK ? TRegKey(reg, h) : TRegKey();
  }

  RegHandle Get() const { return key_; }
  explicit operator bool() const { return key_ != 0; }
  void Reset() {
    if (key_ && reg_ && !IsPredefinedRoot(key_)) reg_->CloseKey(key_);
    key_ = 0;
  }
  // Gives the key up: the caller closes it (a backend handing an open key to its own caller).
  RegHandle Release() { return std::exchange(key_, 0); }

 private:
  RegBackend* reg_ = nullptr;
  RegHandle key_ = 0;
};

}  // namespace kestrow
