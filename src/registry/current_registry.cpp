// The registry of the shipped library: the platform's own, always.
#include "registry/reg_backend.h"
#include "registry/win32_registry.h"

namespace kestrow {

RegBackend& CurrentRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace kestrow
