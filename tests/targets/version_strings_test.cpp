// Version strings of program files: small programs built with version resources of their own,
// read by the platform's reader (the system's under Wine, the portable one natively) and by the
// portable reader everywhere; truncated, corrupted and hand-made hostile resources; two threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#endif

#include "platform/pe_version.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace kestrow::test {
namespace {

using platform::VersionStrings;

std::u16string Probe(const char16_t* name) { return FromUtf8(KESTROW_VERSION_PROBES) + u"\\" + name; }

// A name in the temporary folder.
std::u16string Temp(const std::u16string& name) {
  std::u16string folder = platform::SystemTempPath();
  if (!folder.empty() && folder.back() == u'\\') folder.pop_back();
  return folder + u"\\" + name;
}

std::string Describe(const std::optional<VersionStrings>& v) {
  if (!v) return "(none)";
  return "[" + ToUtf8(v->CompanyName) + "][" + ToUtf8(v->FileDescription) + "]";
}

std::vector<std::uint8_t> Bytes(const std::u16string& path) {
  std::string raw;
  EXPECT_TRUE(platform::ReadWholeFile(path, raw)) << ToUtf8(path);
  return std::vector<std::uint8_t>(raw.begin(), raw.end());
}

std::optional<VersionStrings> Portable(const std::vector<std::uint8_t>& bytes) {
  return platform::VersionStringsOfImage(platform::MemorySource(bytes.data(), bytes.size()));
}

struct ProbeCase {
  const char16_t* file;
  const char* expected;
};
const ProbeCase kProbes[] = {
    {u"probe64.exe", "[Kestrow Test Company][Version probe (64-bit)]"},
    {u"probe32.exe", "[Kestrow Test Company][Version probe (32-bit)]"},
    {u"two_tables.exe", "[Kestrow Pr\xc3\xbc" "fstelle][Pr\xc3\xbc" "fprogramm f\xc3\xbcr Versionen]"},
    {u"no_translation.exe", "[][Probe without translations]"},
    {u"plain.exe", "(none)"},
};

TEST(VersionStrings, TheProbesReadByBothReaders) {
  for (const ProbeCase& c : kProbes) {
    EXPECT_EQ(c.expected, Describe(platform::ReadVersionStrings(Probe(c.file)))) << "platform: " << ToUtf8(c.file);
    EXPECT_EQ(c.expected, Describe(Portable(Bytes(Probe(c.file))))) << "portable: " << ToUtf8(c.file);
  }
}

TEST(VersionStrings, NoStringsWithoutAProgramFile) {
  const std::u16string text = Temp(u"kestrow-version-text.txt");
  ASSERT_TRUE(platform::WriteWholeFile(text, "MZ but nothing else"));
  for (const std::u16string& path : {Probe(u"missing.exe"), FromUtf8(KESTROW_VERSION_PROBES), text})
    EXPECT_EQ("(none)", Describe(platform::ReadVersionStrings(path))) << ToUtf8(path);
  platform::DeleteFileIfExists(text);
}

// Every prefix of each image: the strings are all there or not at all.
TEST(VersionStrings, TruncatedImages) {
  for (const ProbeCase& c : kProbes) {
    const std::vector<std::uint8_t> whole = Bytes(Probe(c.file));
    ASSERT_GT(whole.size(), 512u);
    int complete = 0;
    for (std::size_t n = 0; n <= whole.size(); ++n) {
      const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
      const std::string got = Describe(Portable(cut));
      ASSERT_TRUE(got == "(none)" || got == c.expected) << ToUtf8(c.file) << " cut at " << n << ": " << got;
      complete += got == c.expected;
    }
    EXPECT_GT(complete, 0);
  }
  // The platform's reader on truncated files.
  const std::vector<std::uint8_t> whole = Bytes(Probe(u"probe64.exe"));
  const std::u16string file = Temp(u"kestrow-version-cut.exe");
  for (std::size_t n : {std::size_t(0), std::size_t(64), std::size_t(300), whole.size() / 2, whole.size() - 100,
                        whole.size() - 1}) {
    ASSERT_TRUE(platform::WriteWholeFile(file, std::string(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n))));
    const std::string got = Describe(platform::ReadVersionStrings(file));
    EXPECT_TRUE(got == "(none)" || got == kProbes[0].expected) << "cut at " << n << ": " << got;
  }
  platform::DeleteFileIfExists(file);
}

// Bytes of the image overwritten at random (the same sequence every run): whatever the reader
// gives, it reads only what is there.
TEST(VersionStrings, CorruptedImages) {
  const std::vector<std::uint8_t> whole = Bytes(Probe(u"two_tables.exe"));
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  int withStrings = 0;
  for (int round = 0; round < 4000; ++round) {
    std::vector<std::uint8_t> bytes = whole;
    const int changes = 1 + int(next() % 6);
    for (int i = 0; i < changes; ++i) {
      // Half the changes fall in the headers, where offsets and counts live.
      const std::size_t at = (next() & 1) ? next() % 512 : next() % bytes.size();
      bytes[at] = static_cast<std::uint8_t>(next() >> 24);
    }
    const std::optional<VersionStrings> v = Portable(bytes);
    if (v) {
      EXPECT_LE(v->CompanyName.size() + v->FileDescription.size(), bytes.size());
      ++withStrings;
    }
  }
  EXPECT_GT(withStrings, 0);
}

// A VS_VERSIONINFO node: length, value length, type, key, padding, value, padding, children.
struct Node {
  std::u16string key;
  std::uint16_t type = 1;
  std::vector<std::uint8_t> value;
  std::uint16_t valueLength = 0;
  std::vector<Node> children;
  int lengthDelta = 0;  // added to the true length, to make it lie
  bool terminateKey = true;
};

void Pad(std::vector<std::uint8_t>& out) {
  while (out.size() % 4) out.push_back(0);
}

std::vector<std::uint8_t> Write(const Node& n) {
  std::vector<std::uint8_t> out(6, 0);
  for (char16_t c : n.key) out.insert(out.end(), {std::uint8_t(c), std::uint8_t(c >> 8)});
  if (n.terminateKey) out.insert(out.end(), {0, 0});
  Pad(out);
  out.insert(out.end(), n.value.begin(), n.value.end());
  for (const Node& child : n.children) {
    Pad(out);
    const std::vector<std::uint8_t> c = Write(child);
    out.insert(out.end(), c.begin(), c.end());
  }
  const int length = int(out.size()) + n.lengthDelta;
  out[0] = std::uint8_t(length), out[1] = std::uint8_t(length >> 8);
  out[2] = std::uint8_t(n.valueLength), out[3] = std::uint8_t(n.valueLength >> 8);
  out[4] = std::uint8_t(n.type), out[5] = 0;
  return out;
}

Node Text(const std::u16string& key, const std::u16string& text, bool terminate = true) {
  Node n{key, 1, {}, std::uint16_t(text.size() + 1), {}};
  for (char16_t c : text) n.value.insert(n.value.end(), {std::uint8_t(c), std::uint8_t(c >> 8)});
  if (terminate) n.value.insert(n.value.end(), {0, 0});
  return n;
}

Node Root(std::vector<Node> tables, std::vector<std::uint8_t> translation) {
  Node root{u"VS_VERSION_INFO", 0, std::vector<std::uint8_t>(52, 0), 52, {}};
  root.children.push_back(Node{u"StringFileInfo", 1, {}, 0, std::move(tables)});
  if (!translation.empty()) {
    Node var{u"Translation", 0, translation, std::uint16_t(translation.size()), {}};
    root.children.push_back(Node{u"VarFileInfo", 1, {}, 0, {var}});
  }
  return root;
}

Node Table(const std::u16string& key, std::vector<Node> strings) { return Node{key, 1, {}, 0, std::move(strings)}; }

TEST(VersionStrings, HostileResources) {
  const std::vector<std::uint8_t> german = {0x07, 0x04, 0xB0, 0x04};
  const Node english = Table(u"040904b0", {Text(u"CompanyName", u"E Co"), Text(u"FileDescription", u"E")});
  const Node deutsch = Table(u"040704B0", {Text(u"CompanyName", u"D Co"), Text(u"FileDescription", u"D")});
  struct Case {
    const char* name;
    std::vector<std::uint8_t> block;
    const char* expected;
  };
  Node liar = Root({english}, {});
  liar.lengthDelta = 4000;
  Node badKey = Root({english}, {});
  badKey.key = u"VS_VERSION_INFX";
  // The last block of the data ends inside its key.
  Node openKey = Table(u"040704b0", {});
  openKey.terminateKey = false;
  openKey.lengthDelta = -2;
  std::vector<std::uint8_t> endsInKey = Write(Root({english, openKey}, {}));
  endsInKey.resize(endsInKey.size() - 2);
  Node shortChild = Table(u"040904b0", {Text(u"CompanyName", u"First"), Node{u"", 1, {}, 0, {}, -10},
                                        Text(u"FileDescription", u"Never read")});
  std::vector<std::uint8_t> truncated = Write(Root({english}, {}));
  truncated.resize(truncated.size() - 9);
  const Case cases[] = {
      {"the first translation names the table", Write(Root({english, deutsch}, german)), "[D Co][D]"},
      {"a translation without a table: the first table", Write(Root({english}, german)), "[E Co][E]"},
      {"a translation too short to read", Write(Root({english, deutsch}, {0x07, 0x04})), "[E Co][E]"},
      {"no tables", Write(Root({}, german)), "[][]"},
      {"a root longer than the data", Write(liar), "[E Co][E]"},
      {"a string without its NUL ends with its block",
       Write(Root({Table(u"040904b0", {Text(u"FileDescription", u"Open", false)})}, {})), "[][Open]"},
      {"a child shorter than its header ends the children", Write(Root({shortChild}, {})), "[First][]"},
      {"a key without its NUL", endsInKey, "[E Co][E]"},
      {"cut inside the last string", truncated, "[E Co][]"},
      {"another root", Write(badKey), "(none)"},
      {"nothing", {}, "(none)"},
      {"a header alone", {0x06, 0x00, 0x00, 0x00, 0x00, 0x00}, "(none)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, Describe(platform::VersionStringsOfResource(c.block.data(), c.block.size()))) << c.name;
}

// A program in System32 and another of the same name in SysWOW64: each is read where the system
// itself has it, by the 64-bit and by the 32-bit build (natively in a Windows folder of its own).
TEST(VersionStrings, EachSystemFolderAsTheSystemSeesIt) {
#ifndef _WIN32
  const std::u16string windows = Temp(u"kestrow-version-windows");
  const char* before = std::getenv("SystemRoot");
  const bool wasSet = before != nullptr;
  const std::string saved = wasSet ? before : "";
  ::setenv("SystemRoot", ToUtf8(windows).c_str(), 1);
  for (const std::u16string& folder : {windows, windows + u"\\System32", windows + u"\\SysWOW64"}) {
    std::string native = ToUtf8(folder.substr(2));  // "Z:\tmp\x" is "/tmp/x"
    for (auto& c : native)
      if (c == '\\') c = '/';
    ::mkdir(native.c_str(), 0755);
  }
#endif
  const std::u16string name = u"\\kestrow-probe-" + FromUtf8(std::to_string(platform::ProcessId())) + u".exe";
  const std::u16string in64 = platform::SystemFolder(platform::Bitness::Bits64) + name;
  const std::u16string in32 = platform::SystemFolder(platform::Bitness::Bits32) + name;
  ASSERT_NE(in64, in32);
  const std::vector<std::uint8_t> image64 = Bytes(Probe(u"probe64.exe")), image32 = Bytes(Probe(u"probe32.exe"));
  ASSERT_TRUE(platform::WriteWholeFile(platform::PathPastRedirection(in64), std::string(image64.begin(), image64.end())));
  ASSERT_TRUE(platform::WriteWholeFile(platform::PathPastRedirection(in32), std::string(image32.begin(), image32.end())));
  EXPECT_EQ(kProbes[0].expected, Describe(platform::ReadVersionStrings(in64)));
  EXPECT_EQ(kProbes[1].expected, Describe(platform::ReadVersionStrings(in32)));
  EXPECT_TRUE(platform::DeleteFileIfExists(platform::PathPastRedirection(in64)));
  EXPECT_TRUE(platform::DeleteFileIfExists(platform::PathPastRedirection(in32)));
#ifndef _WIN32
  if (wasSet) ::setenv("SystemRoot", saved.c_str(), 1);
  else ::unsetenv("SystemRoot");
#endif
}

TEST(VersionStrings, TwoThreadsAtOnce) {
  int wrong[2] = {0, 0};
  auto read = [](const ProbeCase& c, int* failures) {
    for (int i = 0; i < 150; ++i)
      if (Describe(platform::ReadVersionStrings(Probe(c.file))) != c.expected) ++*failures;
  };
  std::thread a(read, kProbes[0], &wrong[0]);
  std::thread b(read, kProbes[2], &wrong[1]);
  a.join();
  b.join();
  EXPECT_EQ(0, wrong[0]);
  EXPECT_EQ(0, wrong[1]);
}

}  // namespace
}  // namespace kestrow::test
