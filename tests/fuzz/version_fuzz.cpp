// Fuzz target: arbitrary bytes read as a program file for its version strings, and as a version
// resource by itself.
#include <cstddef>
#include <cstdint>

#include "platform/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kestrow::platform::MemorySource image(data, size);
  (void)kestrow::platform::VersionStringsOfImage(image);
  (void)kestrow::platform::VersionStringsOfResource(data, size);
  (void)kestrow::platform::FirstStringTableKey(data, size);
  return 0;
}
