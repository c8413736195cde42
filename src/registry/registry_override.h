// The test and tool builds only: the backend that every registry object uses can be replaced
// (by the in-memory registry, or one that injects faults). The shipped library holds none of it.
#pragma once

#include "registry/reg_backend.h"

namespace kestrow {

// Replaces the backend (null restores the default: the in-memory registry on Linux, the
// platform's on Windows); returns the previous one.
RegBackend* SetRegistryForTests(RegBackend* backend);

}  // namespace kestrow
