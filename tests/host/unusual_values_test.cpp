// Registry content no well-behaved program writes: data of a size or type its location does not
// expect, in every kind of location, and subkey names as long as the registry takes them. Whatever
// one value holds, every location is read, the value is listed with its substitute, and the
// start-up script still runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"
#include "support/planted_values.h"

#ifndef _WIN32
#include "registry/memory_registry.h"
#endif

namespace kestrow {
namespace {

using test::Line;
using test::List;
using test::Lists;
using test::Names;
using test::Reg;
using test::ScriptPath;

const std::u16string kServices = test::kServices;
const std::u16string kActiveSetup = u"SOFTWARE\\Microsoft\\Active Setup\\Installed Components";

// An open of the service subkey KsB, by its path from the root or below the open services key.
[[maybe_unused]] bool OpensKsB(const std::u16string& sub) { return sub == kServices + u"\\KsB" || sub == u"KsB"; }

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first = 1) {
  std::vector<std::uint8_t> b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(first + i);
  return b;
}

class UnusualValuesTest : public test::FreshPluginTest {
 protected:
  void TearDown() override {
    platform::DeleteFileIfExists(ScriptPath());
    planted.Undo();
    test::FreshPluginTest::TearDown();
  }
  // The "Current value" of an entry's description, or a note of why there is none.
  static std::string CurrentValue(const std::u16string& path) {
    return Line(test::CopiedOut(path, test::ScratchFolder() + u"entry.txt"), "Current value");
  }

  test::Planted planted;
};

// One odd value per case, in each kind of location, beside ordinary values in locations read
// after it: the odd value is listed with its substitute and nothing else goes missing.
TEST_F(UnusualValuesTest, OneOddValueHidesNothingElse) {
  struct Case {
    const char* label;
    ROOT_TYPES root;
    PLATFORM_TYPE view;
    std::u16string key;
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::u16string entry;  // the entry that shows it
    std::string shown;     // its current value
    // What its location needs besides the odd value to list it: a service its Start, a
    // component its StubPath.
    std::function<void(test::Planted&)> needs = nullptr;
  };
  const auto serviceStart = [](test::Planted& p) { p.Dword(RT_HKLM, WOW64_64, kServices + u"\\KsOdd", u"Start", 3); };
  const std::u16string odd = kServices + u"\\KsOdd";
  const std::vector<Case> cases = {
      {"a Start of 8 bytes", RT_HKLM, WOW64_64, odd, u"Start", REG_DWORD_, Bytes(8), u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start of 8 bytes in the 32-bit list", RT_HKLM, WOW64_64, odd, u"Start", REG_DWORD_, Bytes(8),
       u"\\HKLM_SERV32\\KsOdd\\Start", "-1"},
      {"a Start of no bytes", RT_HKLM, WOW64_64, odd, u"Start", REG_DWORD_, {}, u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start of 1 byte", RT_HKLM, WOW64_64, odd, u"Start", REG_DWORD_, Bytes(1), u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start of 3 bytes", RT_HKLM, WOW64_64, odd, u"Start", REG_DWORD_, Bytes(3), u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start of 5 bytes", RT_HKLM, WOW64_64, odd, u"Start", REG_DWORD_, Bytes(5), u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start of 9 bytes", RT_HKLM, WOW64_64, odd, u"Start", REG_DWORD_, Bytes(9), u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start of 64 KiB", RT_HKLM, WOW64_64, odd, u"Start", REG_DWORD_, Bytes(65536),
       u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start as a QWORD", RT_HKLM, WOW64_64, odd, u"Start", REG_QWORD_, Bytes(8), u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start as a big-endian DWORD", RT_HKLM, WOW64_64, odd, u"Start", 5, Bytes(4), u"\\HKLM_SERV64\\KsOdd\\Start",
       "-1"},
      {"a Start of an unknown type", RT_HKLM, WOW64_64, odd, u"Start", 0xFFFFFFFFu, Bytes(4),
       u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"a Start as a string", RT_HKLM, WOW64_64, odd, u"Start", REG_SZ_, Reg::Utf16Bytes(u"2"),
       u"\\HKLM_SERV64\\KsOdd\\Start", "-1"},
      {"an extra integer of 2 bytes", RT_HKLM, WOW64_64, odd, u"Type", REG_DWORD_, Bytes(2),
       u"\\HKLM_SERV64\\KsOdd\\Type", "-1", serviceStart},
      {"an extra string as an 8-byte DWORD", RT_HKLM, WOW64_64, odd, u"ImagePath", REG_DWORD_, Bytes(8),
       u"\\HKLM_SERV64\\KsOdd\\ImagePath", "", serviceStart},
      {"a Run value as an 8-byte DWORD", RT_HKCU, WOW64_32, test::kRun, u"Odd", REG_DWORD_, Bytes(8),
       u"\\HKCU_RUN32\\Odd", ""},
      {"a named Winlogon value as an 8-byte DWORD", RT_HKLM, WOW64_32, test::kWinlogon, u"UIHost", REG_DWORD_,
       Bytes(8), u"\\HKLM_WINLOGON32\\UIHost", ""},
      {"a debugger as a 6-byte DWORD", RT_HKLM, WOW64_32, std::u16string(test::kIfeo) + u"\\ksodd.exe", u"Debugger",
       REG_DWORD_, Bytes(6), u"\\HKLM_IFEO32\\ksodd.exe\\Debugger", ""},
      {"an installed flag of 8 bytes", RT_HKLM, WOW64_32, kActiveSetup + u"\\{KsOdd}", u"IsInstalled", REG_DWORD_,
       Bytes(8), u"\\HKLM_ACTIVESETUP32\\{KsOdd}\\IsInstalled", "-1",
       [](test::Planted& p) { p.Text(RT_HKLM, WOW64_32, kActiveSetup + u"\\{KsOdd}", u"StubPath", u"x"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    test::Recorded().Reset();
    // The location around the odd value, and ordinary values read after it.
    if (c.needs) c.needs(planted);
    planted.Value(c.root, c.view, c.key, c.name, c.type, c.data);
    planted.Dword(RT_HKLM, WOW64_64, kServices + u"\\KsPlain", u"Start", 2);
    planted.Text(RT_HKCU, WOW64_64, test::kRun, u"Later", u"C:\\later.exe");
    planted.Text(RT_HKLM, WOW64_64, test::kWinlogon, u"UserInit", u"userinit.exe");
    ASSERT_TRUE(platform::WriteWholeFile(ScriptPath(),
                                         "begin\n  QInitializeType('KS_SCRIPTED', RT_HKCU, ET_MUST, VAL_STRING, "
                                         "WOW64_64, '\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run');\n"
                                         "  QAddValue('KS_SCRIPTED', 'Later');\nend.\n"));

    const auto root = Names(List(u"\\"));
    ASSERT_EQ(47u, root.size());
    EXPECT_EQ(u"KS_SCRIPTED", root.back());
    EXPECT_TRUE(Lists(u"\\HKCU_RUN64", u"Later"));
    EXPECT_EQ((std::vector<std::u16string>{u".ADD", u".SAVE", u".RESTORE", u"GinaDLL", u"Shell", u"UserInit",
                                           u"UIHost"}),
              Names(List(u"\\HKLM_WINLOGON64")));
    EXPECT_EQ("userinit.exe", CurrentValue(u"\\HKLM_WINLOGON64\\UserInit"));
    for (const char16_t* dir : {u"\\HKLM_SERV32", u"\\HKLM_SERV64"}) EXPECT_TRUE(Lists(dir, u"KsPlain"));
    EXPECT_TRUE(Lists(u"\\KS_SCRIPTED", u"Later"));
    EXPECT_EQ(c.shown, CurrentValue(c.entry));
    EXPECT_TRUE(test::Recorded().requests.empty()) << ToUtf8(test::Recorded().requests[0].text);
    planted.Undo();
    platform::DeleteFileIfExists(ScriptPath());
  }
}

// The longest subkey names the registry takes (Windows 255 characters, Wine 256) are listed, and
// so are the subkeys enumerated after them.
TEST_F(UnusualValuesTest, LongSubkeyNamesHideNoLaterSubkey) {
  const std::u16string longest255(255, u'A'), longest256 = u"B" + std::u16string(255, u'b');
  for (const auto& name : {longest255, longest256, std::u16string(u"ZzKsAfter")})
    planted.Dword(RT_HKLM, WOW64_64, kServices + u"\\" + name, u"Start", 4);
  planted.Text(RT_HKLM, WOW64_32, std::u16string(test::kIfeo) + u"\\" + longest256, u"Debugger", u"d.exe");
  planted.Text(RT_HKLM, WOW64_32, std::u16string(test::kIfeo) + u"\\zz-after.exe", u"Debugger", u"e.exe");
  const auto services = Names(List(u"\\HKLM_SERV64"));
  for (const auto& name : {longest255, longest256, std::u16string(u"ZzKsAfter")}) {
    SCOPED_TRACE(name.size());
    EXPECT_NE(services.end(), std::find(services.begin(), services.end(), name));
    EXPECT_EQ("4", CurrentValue(u"\\HKLM_SERV64\\" + name + u"\\Start"));
  }
  EXPECT_TRUE(Lists(u"\\HKLM_IFEO32", longest256));
  EXPECT_TRUE(Lists(u"\\HKLM_IFEO32", u"zz-after.exe"));
}

// What only the in-memory registry can do: change under the scanner between the enumeration of a
// key and the read of what it enumerated.
TEST_F(UnusualValuesTest, ValuesAndSubkeysChangingUnderTheScanner) {
#ifdef _WIN32
  GTEST_SKIP() << test::kNeedsInMemoryRegistry;
#else
  auto* mem = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
  ASSERT_NE(nullptr, mem);
  const std::u16string run = test::kRun;
  struct Case {
    const char* label;
    std::function<std::int32_t(RegOp, const std::u16string&)> hook;  // on every call of the listing
    std::u16string dir;
    std::vector<std::u16string> listed;     // the directory's entries after the commands
    std::u16string entry;                   // one entry and its current value
    std::string shown;
  };
  int calls = 0;
  const auto once = [&calls](bool when) { return when && calls++ == 0; };
  const auto value = [mem, run](const std::u16string& name) {
    return MemoryRegistry::FindValue(*mem->Find(HKEY_CURRENT_USER_, run, KEY_WOW64_64KEY_), name);
  };
  const std::vector<Case> cases = {
      {"a value gone before its read",
       [&](RegOp op, const std::u16string& n) {
         if (once(op == RegOp::Query && n == u"Middle")) mem->Find(HKEY_CURRENT_USER_, run, KEY_WOW64_64KEY_)->RemoveValue(n);
         return RS_OK;
       },
       u"\\HKCU_RUN64", {u"First", u"Last"}, u"\\HKCU_RUN64\\Last", "last"},
      {"a value that cannot be read",
       [&](RegOp op, const std::u16string& n) { return op == RegOp::Query && n == u"Middle" ? RS_ACCESS_DENIED : RS_OK; },
       u"\\HKCU_RUN64", {u"First", u"Middle", u"Last"}, u"\\HKCU_RUN64\\Middle", ""},
      {"a value that grows as it is read",
       [&](RegOp op, const std::u16string& n) {
         if (once(op == RegOp::Query && n == u"Middle")) value(n)->data = Reg::Utf16Bytes(std::u16string(3000, u'g'));
         return RS_OK;
       },
       u"\\HKCU_RUN64", {u"First", u"Middle", u"Last"}, u"\\HKCU_RUN64\\Middle", std::string(3000, 'g')},
      {"the key's counts cannot be read",
       [&](RegOp op, const std::u16string&) { return once(op == RegOp::QueryInfo) ? RS_ACCESS_DENIED : RS_OK; },
       u"\\HKCU_RUN64", {u"First", u"Middle", u"Last"}, u"\\HKCU_RUN64\\Last", "last"},
      {"one value name that cannot be enumerated at first",
       [&](RegOp op, const std::u16string&) { return once(op == RegOp::EnumValue) ? RS_ACCESS_DENIED : RS_OK; },
       u"\\HKCU_RUN64", {u"First", u"Middle", u"Last"}, u"\\HKCU_RUN64\\First", "first"},
      {"a subkey gone before it opens",
       [&](RegOp op, const std::u16string& n) {
         if (once(op == RegOp::Open && OpensKsB(n)))
           mem->DeleteTree(HKEY_LOCAL_MACHINE_, kServices + u"\\KsB", KEY_WOW64_64KEY_);
         return RS_OK;
       },
       u"\\HKLM_SERV64", {u"KsA", u"KsC"}, u"\\HKLM_SERV64\\KsC\\Start", "3"},
      {"a subkey that cannot be opened",
       [&](RegOp op, const std::u16string& n) {
         return op == RegOp::Open && OpensKsB(n) ? RS_ACCESS_DENIED : RS_OK;
       },
       u"\\HKLM_SERV64", {u"KsA", u"KsB", u"KsC"}, u"\\HKLM_SERV64\\KsB\\Start", "-1"},
      {"one subkey name that cannot be enumerated at first",
       [&](RegOp op, const std::u16string&) { return once(op == RegOp::EnumKey) ? RS_ACCESS_DENIED : RS_OK; },
       u"\\HKLM_SERV64", {u"KsA", u"KsB", u"KsC"}, u"\\HKLM_SERV64\\KsA\\Start", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    mem->Clear();
    Reg::Str(RT_HKCU, WOW64_64, run, u"First", u"first");
    Reg::Str(RT_HKCU, WOW64_64, run, u"Middle", u"middle");
    Reg::Str(RT_HKCU, WOW64_64, run, u"Last", u"last");
    int n = 0;
    for (const char16_t* svc : {u"KsA", u"KsB", u"KsC"}) {
      Reg::Dword(RT_HKLM, WOW64_64, kServices + u"\\" + svc, u"Start", std::uint32_t(++n));
      Reg::Str(RT_HKLM, WOW64_64, kServices + u"\\" + svc, u"Group", u"g");
    }
    calls = 0;
    mem->hook = c.hook;
    const auto entries = Names(List(c.dir));
    mem->hook = nullptr;
    EXPECT_EQ(0u, mem->OpenHandles());
    std::vector<std::u16string> expected = {u".ADD", u".SAVE", u".RESTORE"};
    expected.insert(expected.end(), c.listed.begin(), c.listed.end());
    EXPECT_EQ(expected, entries);
    EXPECT_EQ(c.shown, CurrentValue(c.entry));
    if (c.dir == u"\\HKLM_SERV64") {
      // Every subkey that is listed lists all its values.
      for (const auto& svc : c.listed)
        EXPECT_EQ((std::vector<std::u16string>{u"Start", u"DisplayName", u"Group", u"ImagePath", u"Type"}),
                  Names(List(c.dir + u"\\" + svc)));
    }
  }
#endif
}

}  // namespace
}  // namespace kestrow
