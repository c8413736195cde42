// The version strings of a program file read by the portable reader, from the file itself.
#include <fcntl.h>
#include <unistd.h>

#include "platform/native_path_posix.h"
#include "platform/pe_version.h"
#include "platform/text.h"

namespace kestrow::platform {

namespace {

// An open file read by offset; it closes itself.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~FileSource() override {
    if (fd_ >= 0) ::close(fd_);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool ok() const { return fd_ >= 0; }

  bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const override {
    auto* p = static_cast<char*>(out);
    while (size) {
      if (offset > std::uint64_t(INT64_MAX)) return false;
      const ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
      if (n <= 0) return false;
      p += n;
      offset += std::uint64_t(n);
      size -= std::size_t(n);
    }
    return true;
  }

 private:
  int fd_;
};
}  // namespace

std::optional<VersionStrings> ReadVersionStrings(const std::u16string& path) {
  if (KindOfPath(path) != PathKind::File) return std::nullopt;
  FileSource file(NativePath(path));
  if (!file.ok()) return std::nullopt;
  return VersionStringsOfImage(file);
}

}  // namespace kestrow::platform
