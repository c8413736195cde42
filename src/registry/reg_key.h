// An open registry key that closes itself, and the registry view as a parameter of its own.
#pragma once

#include <utility>

#include "registry/reg_backend.h"

namespace kestrow {

// The registry view a key is opened in: the 32-bit one (WOW6432Node on 64-bit Windows) or the
// 64-bit one.
enum class RegView : std::uint8_t { Bits32, Bits64 };

// The access-mask flag that selects the view.
inline std::uint32_t ViewBits(RegView view) { return view == RegView::Bits64 ? KEY_WOW64_64KEY_ : KEY_WOW64_32KEY_; }

// Owns one open key of a backend: closes it when it goes out of scope or is replaced.
class TRegKey {
 public:
  TRegKey() = default;
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

  RegHandle Get() const { return key_; }
  explicit operator bool() const { return key_ != 0; }
  void Reset() {
    if (key_ && reg_) reg_->CloseKey(key_);
    key_ = 0;
  }

  // Opens or creates sub below base; on success this key owns the new handle.
  std::int32_t Open(RegBackend& reg, RegHandle base, const std::u16string& sub, std::uint32_t sam) {
    RegHandle h = 0;
    const std::int32_t e = reg.OpenKey(base, sub, sam, &h);
    if (e == RS_OK) *this = TRegKey(reg, h);
    return e;
  }
  std::int32_t Create(RegBackend& reg, RegHandle base, const std::u16string& sub, std::uint32_t sam) {
    RegHandle h = 0;
    const std::int32_t e = reg.CreateKey(base, sub, sam, &h);
    if (e == RS_OK) *this = TRegKey(reg, h);
    return e;
  }

 private:
  RegBackend* reg_ = nullptr;
  RegHandle key_ = 0;
};

}  // namespace kestrow
