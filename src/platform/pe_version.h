// The version strings of a Windows program file read in portable code: the version resource found
// through the file's headers and resource tree, and the strings of its first translation. Every
// offset and length taken from the file is checked before it is used, so a truncated or hostile
// file gives no strings rather than a wrong read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kestrow::platform {

// Bytes of a file by offset; false when the range is not all there.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const = 0;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// The version resource (the VS_VERSIONINFO block) of a PE32 or PE32+ image; empty when the image
// has none or its headers do not hold together.
std::vector<std::uint8_t> VersionResourceOf(const ByteSource& image);

// The strings of a VS_VERSIONINFO block: those of the string table of the first translation
// listed, or of the first string table when no translation has one. None when the block is not
// a version resource.
std::optional<VersionStrings> VersionStringsOfResource(const std::uint8_t* data, std::size_t size);

// The key of the block's first string table ("040904b0"); empty when it has none.
std::u16string FirstStringTableKey(const std::uint8_t* data, std::size_t size);

// Both steps: the version strings of an image.
std::optional<VersionStrings> VersionStringsOfImage(const ByteSource& image);

}  // namespace kestrow::platform
