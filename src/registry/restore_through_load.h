// Restoring a key where the platform's key restore does nothing (Wine): the key file is loaded as
// a key of its own below the machine's root and its content copied over the target key.
#pragma once

#include "registry/reg_backend.h"

namespace kestrow {

// Restores the open key (opened in the given view) from the key file through the backend's load,
// copy and unload. The loaded key is removed again on every path; when a step after the target
// was emptied fails, the target gets its old content back.
std::int32_t RestoreThroughLoad(RegBackend& reg, RegHandle target, std::uint32_t view, const std::u16string& file);

}  // namespace kestrow
