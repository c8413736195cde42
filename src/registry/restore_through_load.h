// Restoring a key where the platform's key restore does nothing (Wine): the key file is loaded as
// a key of its own below the machine's root and its content copied over the target key.
#pragma once

#include "registry/reg_backend.h"

namespace kestrow {

// Restores the open key from the key file through the backend's load, copy and unload.
std::int32_t RestoreThroughLoad(RegBackend& reg, RegHandle target, const std::u16string& file);

}  // namespace kestrow
