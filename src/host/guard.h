// Nothing raised below an export leaves it: the export gives its failure result instead.
#pragma once

#include <utility>

namespace kestrow {

template <typename R, typename F>
R Guarded(R failure, F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    // Whatever it was, it must not reach the host, which is no C++ caller.
    return failure;
  }
}

template <typename F>
void GuardedVoid(F&& body) noexcept {
  try {
    std::forward<F>(body)();
  } catch (...) {
    // As above: the export has no result to fail with.
  }
}

}  // namespace kestrow
