// A value that one thread may replace while others read it: each read takes a copy under a lock.
// For the few settings of the library (its folders, the flags the script sets) that any export may
// read from any thread.
#pragma once

#include <mutex>
#include <utility>

namespace kestrow::platform {

template <typename T>
class TShared {
 public:
  TShared() = default;
  TShared(const TShared&) = delete;
  TShared& operator=(const TShared&) = delete;

  TShared& operator=(T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = std::move(value);
    return *this;
  }
  T Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }
  operator T() const { return Get(); }
  // Changes the value in place under the lock: change(T&) sees and leaves the whole value.
  template <typename F>
  void Update(F&& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(value_);
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

}  // namespace kestrow::platform
