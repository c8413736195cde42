#include "support/registry_fixture.h"

#include "registry/memory_registry.h"
#include "model/type_registry.h"
#include "registry/registry_ex.h"
#include "support/counted_names_win32.h"

namespace kestrow::test {

namespace {
std::uint32_t ViewMask(PLATFORM_TYPE v) { return ViewBits(ViewOf(v)); }

#ifdef _WIN32
// Under Wine, names that hold a NUL go past the backend: the fixture reaches them itself.
bool Counted(const std::u16string& path, const std::u16string& name = std::u16string()) {
  return counted::HoldsNul(path) || counted::HoldsNul(name);
}
#endif

// The key at the path, opened (or created) in the view through the backend under test.
TRegKey OpenKey(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, bool create,
                std::uint32_t rights = KEY_ALL_ACCESS_) {
  RegBackend& r = CurrentRegistry();
  const std::uint32_t sam = rights | ViewMask(view);
  return create ? TRegKey::Create(r, RootOf(root), path, sam) : TRegKey::Open(r, RootOf(root), path, sam);
}
}  // namespace

std::vector<std::uint8_t> Reg::Utf16Bytes(const std::u16string& s, bool withNul) {
  std::vector<std::uint8_t> b;
  for (char16_t c : s) {
    b.push_back(std::uint8_t(c & 0xFF));
    b.push_back(std::uint8_t(c >> 8));
  }
  if (withNul) {
    b.push_back(0);
    b.push_back(0);
  }
  return b;
}

void Reg::Set(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
              std::uint32_t type, const std::vector<std::uint8_t>& data) {
#ifdef _WIN32
  if (Counted(path, name)) {
    ASSERT_EQ(0, counted::SetValue(root, view, path, name, type, data));
    return;
  }
#endif
  const TRegKey k = OpenKey(root, view, path, true);
  ASSERT_TRUE(k);
  ASSERT_EQ(RS_OK, CurrentRegistry().SetValue(k.Get(), name, type, data.data(), static_cast<std::uint32_t>(data.size())));
}

void Reg::Str(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
              const std::u16string& text, std::uint32_t type) {
  Set(root, view, path, name, type, Utf16Bytes(text));
}

void Reg::Dword(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                std::uint32_t value) {
  Set(root, view, path, name, REG_DWORD_,
      {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)});
}

void Reg::MultiSz(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                  const std::u16string& charsWithNuls) {
  Set(root, view, path, name, REG_MULTI_SZ_, Utf16Bytes(charsWithNuls, false));
}

void Reg::CreateKey(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
#ifdef _WIN32
  if (Counted(path)) {
    ASSERT_EQ(0, counted::CreateKey(root, view, path));
    return;
  }
#endif
  ASSERT_TRUE(OpenKey(root, view, path, true));
}

void Reg::DeleteKey(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
#ifdef _WIN32
  // Any key may hold subkeys with a NUL in their names, which a tree delete by names cannot take.
  counted::DeleteTree(root, view, path);
#else
  CurrentRegistry().DeleteTree(RootOf(root), path, ViewMask(view));
#endif
}

bool Reg::DeleteValue(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name) {
#ifdef _WIN32
  if (Counted(path, name)) return counted::DeleteValue(root, view, path, name) == 0;
#endif
  const TRegKey k = OpenKey(root, view, path, false);
  return k && CurrentRegistry().DeleteValue(k.Get(), name) == RS_OK;
}

bool Reg::KeyExists(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
#ifdef _WIN32
  if (Counted(path)) return counted::KeyExists(root, view, path);
#endif
  return bool(OpenKey(root, view, path, false, KEY_READ_));
}

std::optional<RawValue> Reg::Get(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path,
                                 const std::u16string& name) {
#ifdef _WIN32
  if (Counted(path, name)) return counted::Get(root, view, path, name);
#endif
  const TRegKey k = OpenKey(root, view, path, false, KEY_READ_);
  if (!k) return std::nullopt;
  RawValue v;
  std::uint32_t size = 0;
  if (CurrentRegistry().QueryValue(k.Get(), name, &v.type, nullptr, &size) != RS_OK) return std::nullopt;
  v.data.resize(size);
  if (size && CurrentRegistry().QueryValue(k.Get(), name, &v.type, v.data.data(), &size) != RS_OK) return std::nullopt;
  return v;
}

std::optional<std::u16string> Reg::Text(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path,
                                        const std::u16string& name) {
  auto v = Get(root, view, path, name);
  if (!v) return std::nullopt;
  std::u16string s;
  for (std::size_t i = 0; i + 1 < v->data.size(); i += 2)
    s += static_cast<char16_t>(v->data[i] | (v->data[i + 1] << 8));
  while (!s.empty() && s.back() == u'\0') s.pop_back();
  return s;
}

std::vector<std::u16string> Reg::ValueNames(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
#ifdef _WIN32
  if (Counted(path)) return counted::ValueNames(root, view, path);
#endif
  std::vector<std::u16string> names;
  const TRegKey k = OpenKey(root, view, path, false, KEY_READ_);
  if (!k) return names;
  std::u16string n;
  for (std::uint32_t i = 0; CurrentRegistry().EnumValue(k.Get(), i, &n) == RS_OK; ++i) names.push_back(n);
  return names;
}

std::vector<std::u16string> Reg::SubkeyNames(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
#ifdef _WIN32
  if (Counted(path)) return counted::SubkeyNames(root, view, path);
#endif
  std::vector<std::u16string> names;
  const TRegKey k = OpenKey(root, view, path, false, KEY_READ_);
  if (!k) return names;
  std::u16string n;
  for (std::uint32_t i = 0; CurrentRegistry().EnumKey(k.Get(), i, &n) == RS_OK; ++i) names.push_back(n);
  return names;
}

bool RegistryTest::InMemory() { return dynamic_cast<MemoryRegistry*>(&CurrentRegistry()) != nullptr; }

void RegistryTest::SetUp() {
  if (auto* m = dynamic_cast<MemoryRegistry*>(&CurrentRegistry())) {
    m->hook = nullptr;
    m->Clear();
    return;
  }
  for (auto view : {WOW64_32, WOW64_64})
    for (auto root : {RT_HKLM, RT_HKCU})
      for (const char16_t* k : {kRun, kRunOnce}) Reg::DeleteKey(root, view, k);
}

void RegistryTest::Hide(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name) {
  if (auto v = Reg::Get(root, view, path, name)) {
    hidden_.push_back({root, view, path, name, *v});
    Reg::DeleteValue(root, view, path, name);
  }
  ASSERT_FALSE(Reg::Get(root, view, path, name)) << "could not delete a value for the test";
}

void RegistryTest::TearDown() {
  if (auto* m = dynamic_cast<MemoryRegistry*>(&CurrentRegistry())) {
    m->hook = nullptr;
    EXPECT_EQ(0u, m->OpenHandles()) << "registry handles left open";
  }
  for (const auto& o : owned_) Reg::DeleteKey(o.root, o.view, o.path);
  for (const auto& h : hidden_) Reg::Set(h.root, h.view, h.path, h.name, h.value.type, h.value.data);
  hidden_.clear();
  RegistryTest::SetUp();  // this fixture's own, not a derived one that plants content again
}

}  // namespace kestrow::test
