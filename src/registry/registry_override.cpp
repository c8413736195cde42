// The registry of the test and tool builds: the default backend, or the one a test put in.
#include "registry/registry_override.h"

#ifdef _WIN32
#include "registry/win32_registry.h"
#else
#include "registry/memory_registry.h"
#endif

namespace kestrow {

namespace {
RegBackend* g_override = nullptr;

RegBackend& Default() {
#ifdef _WIN32
  static Win32Registry registry;
#else
  static MemoryRegistry registry;
#endif
  return registry;
}
}  // namespace

RegBackend& CurrentRegistry() { return g_override ? *g_override : Default(); }

RegBackend* SetRegistryForTests(RegBackend* backend) {
  RegBackend* previous = g_override;
  g_override = backend;
  return previous;
}

}  // namespace kestrow
