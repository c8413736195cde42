// Nothing raised below an export leaves it: the export gives its failure result instead.
#pragma once

#include <utility>

namespace kestrow {

template <typename R, typename F>
R Guarded(R failure, F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    return failure;
  }
}

template <typename F>
void GuardedVoid(F&& body) noexcept {
  try {
    std::forward<F>(body)();
  } catch (...) {
  }
}

}  // namespace kestrow
