#include "support/helpers.h"

#include <algorithm>
#include <cctype>
#include <random>

#include "platform/platform.h"
#include "platform/text.h"

namespace kestrow::test {

std::int32_t GetFile(const std::u16string& remote, const std::u16string& local, std::int32_t flags,
                     RemoteInfoStruct* info) {
  auto r = W(remote), l = W(local);
  return Exports().FsGetFileW(r.data(), l.data(), flags, info);
}

std::int32_t PutFile(const std::u16string& local, const std::u16string& remote) {
  auto l = W(local), r = W(remote);
  return Exports().FsPutFileW(l.data(), r.data(), 0);
}

KS_BOOL Delete(const std::u16string& remote) {
  auto r = W(remote);
  return Exports().FsDeleteFileW(r.data());
}

KS_BOOL SetAttr(const std::u16string& remote, std::uint32_t attributes) {
  auto r = W(remote);
  return Exports().FsSetAttrW(r.data(), static_cast<std::int32_t>(attributes));
}

std::int32_t Execute(const std::u16string& remote, const std::u16string& verb) {
  auto r = W(remote), v = W(verb);
  return Exports().FsExecuteFileW(nullptr, r.data(), v.data());
}

std::string Column(const std::u16string& remote, int field, std::size_t size) {
  std::vector<char> buf(size + 8, 'x');
  auto p = W(remote);
  const std::int32_t r =
      Exports().FsContentGetValueW(p.data(), field, 0, buf.data(), static_cast<std::int32_t>(size), 0);
  for (std::size_t i = size; i < buf.size(); ++i) EXPECT_EQ('x', buf[i]) << "wrote past the buffer at " << i;
  if (r != ft_string) return "result " + std::to_string(r);
  const auto end = std::find(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(size), '\0');
  EXPECT_NE(buf.begin() + static_cast<std::ptrdiff_t>(size), end) << "the text does not end in the buffer";
  return std::string(buf.begin(), end);
}

std::uint32_t AttributesOf(const std::u16string& dir, const std::u16string& name) {
  for (const auto& e : List(dir))
    if (e.name == name) return e.attributes;
  return ~0u;
}

bool Lists(const std::u16string& dir, const std::u16string& name) { return CountOf(List(dir), name) > 0; }

std::size_t CountOf(const std::vector<Entry>& entries, const std::u16string& name) {
  std::size_t n = 0;
  for (const auto& e : entries) n += e.name == name ? 1 : 0;
  return n;
}

std::vector<std::u16string> WithCommands(const std::vector<std::u16string>& entries) {
  std::vector<std::u16string> v = {u".ADD", u".SAVE", u".RESTORE"};
  v.insert(v.end(), entries.begin(), entries.end());
  return v;
}

std::string CopiedOut(const std::u16string& remote, const std::u16string& local) {
  const std::int32_t result = GetFile(remote, local);
  if (result != FS_FILE_OK) return "copy-out result " + std::to_string(result);
  std::string text = ReadLocal(local).value_or("no file");
  platform::DeleteFileIfExists(local);
  return text;
}

std::string Line(const std::string& description, const std::string& key) {
  const auto at = description.find("\r\n" + key + ": ");
  if (at == std::string::npos) return "no line " + key;
  const auto from = at + key.size() + 4;
  if (key == "Current value") {
    const std::size_t end = description.size() >= 2 && description.compare(description.size() - 2, 2, "\r\n") == 0
                                ? description.size() - 2
                                : description.size();
    return description.substr(from, end > from ? end - from : 0);
  }
  const auto end = description.find(key == "Value name" ? "\r\nCurrent value: " : "\r\n", from);
  return description.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

std::u16string ScriptPath() { return PluginFolder() + u"startup.kscr"; }

std::u16string Repeat(const std::u16string& s, std::size_t units) {
  std::u16string out;
  while (out.size() < units) out += s;
  out.resize(units);
  return out;
}

std::optional<std::u16string> Some(const char16_t* text) { return std::u16string(text); }

std::string Ascii(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    EXPECT_LT(c, 0x80) << "not an ASCII text";
    out += static_cast<char>(c);
  }
  return out;
}

std::optional<std::u16string> RunValue(const std::u16string& name) {
  return Reg::Text(RT_HKCU, WOW64_64, kRun, name);
}

std::string ValuesOf(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& key) {
  std::string state;
  for (const auto& name : Reg::ValueNames(root, view, key)) {
    auto v = Reg::Get(root, view, key, name);
    state += ToUtf8(name) + "=" + std::to_string(v ? v->type : 99) + ":";
    if (v) state.append(v->data.begin(), v->data.end());
    state += ";";
  }
  return state;
}

std::vector<NotAHive> FilesThatAreNoHive() {
  const auto noise = [](std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(random() & 0xFF);
    return bytes;
  };
  return {
      {"empty", ""},
      {"text", "not a hive\r\n"},
      {"random bytes", noise(4096, 20240611)},
      {"other random bytes", noise(2048, 77)},
      {"a hive's signature and then nothing", std::string("regf") + std::string(508, '\0')},
      {"a registry export's header", "Windows Registry Editor Version 5.00\r\n\r\n"},
      {"NULs", std::string(1024, '\0')},
  };
}

void FreshPluginTest::SetUp() {
  RegistryTest::SetUp();
  ReloadPlugin();
  InitCoreInProcess();
  Recorded().Reset();
}

void HostFolderTest::SetUp() {
  FreshPluginTest::SetUp();
  SetEnv("COMMANDER_PATH", u"C:\\Commander");
}

void HostFolderTest::TearDown() {
  SetEnv("COMMANDER_PATH", u"");
  FreshPluginTest::TearDown();
}

std::string CaseName(const char* name) {
  std::string out;
  for (const char* c = name; *c; ++c) out += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return out;
}

}  // namespace kestrow::test
