// What the tests write again and again: the exports called as the host calls them, with its text
// in host characters; a description read back line by line; the start-up script's place; texts
// built of repeated parts or holding NULs; the registry's content written out for comparison.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/plugin_under_test.h"
#include "support/registry_fixture.h"

namespace kestrow::test {

// ---- fixtures

// Each test starts with the test keys of the registry emptied (RegistryTest), the plugin loaded
// afresh with its core set up in this process, and nothing recorded of the host's callbacks.
class FreshPluginTest : public RegistryTest {
 protected:
  void SetUp() override;
};

// The same, with the host's folder in COMMANDER_PATH as the file manager sets it for its plugins
// (C:\Commander), and the variable emptied again at the end.
class HostFolderTest : public FreshPluginTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// ---- the exports, as the host calls them

// Copies an entry out (FsGetFileW); by default as the host copies once its user has allowed an
// existing local file to be written over.
std::int32_t GetFile(const std::u16string& remote, const std::u16string& local,
                     std::int32_t flags = FS_COPYFLAGS_OVERWRITE, RemoteInfoStruct* info = nullptr);
// Copies a local file in (FsPutFileW, no flags).
std::int32_t PutFile(const std::u16string& local, const std::u16string& remote);
KS_BOOL Delete(const std::u16string& remote);
KS_BOOL SetAttr(const std::u16string& remote, std::uint32_t attributes);
// FsExecuteFileW without a parent window.
std::int32_t Execute(const std::u16string& remote, const std::u16string& verb = u"open");
// A content column of an entry read into a buffer of `size` bytes: its text, or "result N" for
// any other result than a string. Nothing after the buffer may be written, and the text ends in
// the buffer.
std::string Column(const std::u16string& remote, int field, std::size_t size = std::size_t(1) << 16);
// The attribute word the listing of a directory gives an entry; ~0 when it is not listed.
std::uint32_t AttributesOf(const std::u16string& dir, const std::u16string& name);
// Whether a listing of the directory shows the entry.
bool Lists(const std::u16string& dir, const std::u16string& name);
// How often the name is among the entries.
std::size_t CountOf(const std::vector<Entry>& entries, const std::u16string& name);
// The three command files every type directory lists first, then the entries given.
std::vector<std::u16string> WithCommands(const std::vector<std::u16string>& entries = {});

// ---- descriptions

// The description of an entry copied out into the local file (written over when it is there from
// an earlier copy), read back and the file deleted again; "copy-out result N" when the copy fails.
std::string CopiedOut(const std::u16string& remote, const std::u16string& local);
// One line of a description: the text after "KEY: ". A value name runs to the "Current value"
// line (a name may hold line breaks of its own), the current value to the end of the description
// (a multi-string has a line per string), every other line to its line break.
std::string Line(const std::string& description, const std::string& key);

// ---- the plugin's folder

// The start-up script beside the plugin.
std::u16string ScriptPath();

// ---- texts

// The text repeated and cut to the given number of UTF-16 units.
std::u16string Repeat(const std::u16string& s, std::size_t units);
// A string literal whole, the NULs in it included.
template <std::size_t N>
std::u16string Whole(const char16_t (&s)[N]) {
  return std::u16string(s, N - 1);
}
std::optional<std::u16string> Some(const char16_t* text);
// The bytes of a text of ASCII characters alone, as every ANSI code page holds them; a text with
// any other character fails the test.
std::string Ascii(const std::u16string& text);

// ---- the registry's content

// A value of the user's Run key in the 64-bit view, as text.
std::optional<std::u16string> RunValue(const std::u16string& name);
// Every value of the key written out, "name=type:data;" each, in the registry's order; for
// comparing the key before and after.
std::string ValuesOf(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& key);

// ---- key files

// Files no registry hive was saved to: a restore from each must be refused and change nothing.
struct NotAHive {
  const char* label;
  std::string bytes;
};
std::vector<NotAHive> FilesThatAreNoHive();

// ---- parameterised tests

// A test's name from a case's name: its letters and digits, every other character an underscore.
std::string CaseName(const char* name);

// ---- skips: why a test does not run on a platform

// The test fails or changes registry calls through the in-memory registry's hooks.
inline constexpr const char* kNeedsInMemoryRegistry =
    "needs the in-memory registry of the native build: its hooks fail and change registry calls, which the real "
    "registry under Wine cannot";
// The test reaches into the core linked into the test program; under Windows the plugin under test
// is the DLL the test loads, whose core the test cannot reach.
inline constexpr const char* kNeedsLinkedCore =
    "reaches into the plugin's core, which only the native test links in; under Windows the test loads the DLL";

}  // namespace kestrow::test
