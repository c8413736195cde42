#include "platform/pe_version.h"

#include <algorithm>
#include <cstring>

namespace kestrow::platform {

bool MemorySource::ReadAt(std::uint64_t offset, void* out, std::size_t size) const {
  if (offset > size_ || size > size_ - offset) return false;
  if (size) std::memcpy(out, data_ + offset, size);
  return true;
}

namespace {

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
bool SameText(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

// ---- The image: headers, sections and the resource tree.

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVersionInfoId = 1;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::size_t kMostSections = 96;
// The block's own length field is 16 bits wide: nothing longer can be a version resource.
constexpr std::uint32_t kMostVersionBytes = 0xFFFF;

struct Section {
  std::uint32_t address, rawSize, rawOffset;
};

class Image {
 public:
  explicit Image(const ByteSource& source) : source_(source) {}

  // Reads the headers and the section table; false when they are not those of a PE image.
  bool Load(std::uint32_t* resourceRva) {
    std::uint8_t dos[64];
    if (!source_.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const std::uint64_t pe = U32(dos + 0x3C);
    std::uint8_t header[24];
    if (!source_.ReadAt(pe, header, sizeof header) || std::memcmp(header, "PE\0\0", 4) != 0) return false;
    const std::size_t sectionCount = U16(header + 6);
    const std::size_t optionalSize = U16(header + 20);
    if (sectionCount == 0 || sectionCount > kMostSections) return false;
    std::vector<std::uint8_t> optional(optionalSize);
    if (!source_.ReadAt(pe + 24, optional.data(), optional.size()) || optional.size() < 2) return false;
    std::size_t countAt, directoriesAt;
    switch (U16(optional.data())) {
      case 0x10B: countAt = 92, directoriesAt = 96; break;    // PE32
      case 0x20B: countAt = 108, directoriesAt = 112; break;  // PE32+
      default: return false;
    }
    const std::size_t resourceAt = directoriesAt + 2 * 8;
    if (optional.size() < resourceAt + 8 || U32(optional.data() + countAt) < 3) return false;
    *resourceRva = U32(optional.data() + resourceAt);
    std::vector<std::uint8_t> table(sectionCount * 40);
    if (!source_.ReadAt(pe + 24 + optionalSize, table.data(), table.size())) return false;
    for (std::size_t i = 0; i < sectionCount; ++i) {
      const std::uint8_t* s = table.data() + i * 40;
      sections_.push_back({U32(s + 12), U32(s + 16), U32(s + 20)});
    }
    return *resourceRva != 0;
  }

  // Reads size bytes at an address of the loaded image, from the section whose file data holds
  // them all.
  bool ReadRva(std::uint64_t rva, void* out, std::size_t size) const {
    for (const Section& s : sections_) {
      if (rva < s.address) continue;
      const std::uint64_t delta = rva - s.address;
      if (delta >= s.rawSize || size > s.rawSize - delta) continue;
      return source_.ReadAt(std::uint64_t(s.rawOffset) + delta, out, size);
    }
    return false;
  }

 private:
  const ByteSource& source_;
  std::vector<Section> sections_;
};

struct ResourceEntry {
  std::uint32_t name, offset;
};

// The entries of the resource directory at an offset from the start of the resource tree.
bool ReadDirectory(const Image& image, std::uint32_t root, std::uint32_t offset, std::vector<ResourceEntry>* entries) {
  std::uint8_t header[16];
  const std::uint64_t at = std::uint64_t(root) + offset;
  if (!image.ReadRva(at, header, sizeof header)) return false;
  const std::size_t count = std::size_t(U16(header + 12)) + U16(header + 14);
  std::vector<std::uint8_t> raw(count * 8);
  if (!image.ReadRva(at + 16, raw.data(), raw.size())) return false;
  entries->clear();
  for (std::size_t i = 0; i < count; ++i) entries->push_back({U32(&raw[i * 8]), U32(&raw[i * 8 + 4])});
  return true;
}

const ResourceEntry* FindId(const std::vector<ResourceEntry>& entries, std::uint32_t id) {
  for (const ResourceEntry& e : entries)
    if (e.name == id) return &e;
  return nullptr;
}

// ---- The VS_VERSIONINFO block: a tree of length-prefixed nodes aligned on four bytes.

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t(3); }

struct Block {
  std::size_t end = 0;       // the first byte after the block
  std::u16string key;
  std::size_t value = 0;     // where the value begins
  std::size_t valueEnd = 0;  // where the value ends by its stated length, within the block
  std::size_t children = 0;  // where the first child begins
};

bool ReadBlock(const std::uint8_t* d, std::size_t limit, std::size_t at, Block* b) {
  if (at > limit || limit - at < 6) return false;
  const std::size_t length = U16(d + at);
  const std::size_t valueLength = U16(d + at + 2);
  const bool text = U16(d + at + 4) == 1;
  if (length < 6) return false;
  b->end = at + std::min(length, limit - at);
  b->key.clear();
  std::size_t p = at + 6;
  for (;;) {
    if (b->end - p < 2) return false;
    const char16_t c = U16(d + p);
    p += 2;
    if (!c) break;
    b->key += c;
  }
  b->value = std::min(Align4(p), b->end);
  b->valueEnd = b->value + std::min(text ? valueLength * 2 : valueLength, b->end - b->value);
  b->children = std::min(Align4(b->valueEnd), b->end);
  return true;
}

// Calls visit for each child of the block until it returns false.
template <typename Visit>
void ForEachChild(const std::uint8_t* d, const Block& parent, Visit visit) {
  std::size_t at = parent.children;
  while (at < parent.end) {
    Block child;
    if (!ReadBlock(d, parent.end, at, &child) || !visit(child)) return;
    at = Align4(child.end);
  }
}

// A string's text: from its value up to its NUL or the end of its block.
std::u16string TextOf(const std::uint8_t* d, const Block& b) {
  std::u16string text;
  for (std::size_t p = b.value; b.end - p >= 2; p += 2) {
    const char16_t c = U16(d + p);
    if (!c) break;
    text += c;
  }
  return text;
}

bool ReadRoot(const std::uint8_t* d, std::size_t size, Block* root) {
  return d && ReadBlock(d, size, 0, root) && root->key == u"VS_VERSION_INFO";
}

std::vector<Block> StringTables(const std::uint8_t* d, const Block& root) {
  std::vector<Block> tables;
  ForEachChild(d, root, [&](const Block& child) {
    if (child.key == u"StringFileInfo")
      ForEachChild(d, child, [&](const Block& table) {
        tables.push_back(table);
        return true;
      });
    return true;
  });
  return tables;
}

// The key of the first translation ("040704b0" for German in Unicode); empty when none is listed.
std::u16string FirstTranslationKey(const std::uint8_t* d, const Block& root) {
  std::u16string key;
  ForEachChild(d, root, [&](const Block& child) {
    if (child.key != u"VarFileInfo") return true;
    ForEachChild(d, child, [&](const Block& var) {
      if (var.key != u"Translation" || var.valueEnd - var.value < 4) return true;
      const unsigned language = U16(d + var.value), codePage = U16(d + var.value + 2);
      static const char16_t hex[] = u"0123456789abcdef";
      for (unsigned v : {language, codePage})
        for (int shift = 12; shift >= 0; shift -= 4) key += hex[(v >> shift) & 0xF];
      return false;
    });
    return key.empty();
  });
  return key;
}

}  // namespace

std::vector<std::uint8_t> VersionResourceOf(const ByteSource& source) {
  Image image(source);
  std::uint32_t root = 0;
  std::vector<ResourceEntry> types, names, languages;
  if (!image.Load(&root) || !ReadDirectory(image, root, 0, &types)) return {};
  const ResourceEntry* type = FindId(types, kRtVersion);
  if (!type || !(type->offset & kSubdirectory) || !ReadDirectory(image, root, type->offset & ~kSubdirectory, &names) ||
      names.empty())
    return {};
  const ResourceEntry* name = FindId(names, kVersionInfoId);
  if (!name) name = &names.front();
  if (!(name->offset & kSubdirectory) || !ReadDirectory(image, root, name->offset & ~kSubdirectory, &languages) ||
      languages.empty() || (languages.front().offset & kSubdirectory))
    return {};
  std::uint8_t leaf[16];
  if (!image.ReadRva(std::uint64_t(root) + languages.front().offset, leaf, sizeof leaf)) return {};
  const std::uint32_t size = std::min(U32(leaf + 4), kMostVersionBytes);
  std::vector<std::uint8_t> data(size);
  if (size == 0 || !image.ReadRva(U32(leaf), data.data(), data.size())) return {};
  return data;
}

std::optional<VersionStrings> VersionStringsOfResource(const std::uint8_t* data, std::size_t size) {
  Block root;
  if (!ReadRoot(data, size, &root)) return std::nullopt;
  const std::vector<Block> tables = StringTables(data, root);
  VersionStrings strings;
  if (tables.empty()) return strings;
  const std::u16string wanted = FirstTranslationKey(data, root);
  const Block* table = &tables.front();
  for (const Block& t : tables)
    if (!wanted.empty() && SameText(t.key, wanted)) {
      table = &t;
      break;
    }
  ForEachChild(data, *table, [&](const Block& s) {
    if (SameText(s.key, u"CompanyName") && strings.CompanyName.empty()) strings.CompanyName = TextOf(data, s);
    if (SameText(s.key, u"FileDescription") && strings.FileDescription.empty()) strings.FileDescription = TextOf(data, s);
    return true;
  });
  return strings;
}

std::u16string FirstStringTableKey(const std::uint8_t* data, std::size_t size) {
  Block root;
  if (!ReadRoot(data, size, &root)) return std::u16string();
  const std::vector<Block> tables = StringTables(data, root);
  return tables.empty() ? std::u16string() : tables.front().key;
}

std::optional<VersionStrings> VersionStringsOfImage(const ByteSource& image) {
  const std::vector<std::uint8_t> resource = VersionResourceOf(image);
  if (resource.empty()) return std::nullopt;
  return VersionStringsOfResource(resource.data(), resource.size());
}

}  // namespace kestrow::platform
