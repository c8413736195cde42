// The registry object against the registry of the platform (in memory natively, the real one
// under Wine): stored byte layouts, views, the read rules and the raised errors.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/errors.h"
#include "model/scanners.h"
#include "registry/memory_registry.h"
#include "model/type_registry.h"
#include "registry/registry_ex.h"
#include "support/helpers.h"

namespace kestrow {
namespace {

using test::Reg;
using test::kRun;

std::u16string Chars(const std::vector<std::uint8_t>& bytes) {
  std::u16string s;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) s += char16_t(bytes[i] | (bytes[i + 1] << 8));
  return s;
}

class RegistryExTest : public test::RegistryTest {
 protected:
  std::unique_ptr<TRegistryEx> Open(PLATFORM_TYPE view, std::uint32_t rights = KEY_ALL_ACCESS_) {
    TItemType t;
    t.RootType = RT_HKCU;
    t.tPlatform = view;
    auto r = RegistryFor(t, rights);
    Reg::CreateKey(RT_HKCU, view, kRun);
    EXPECT_TRUE(r->OpenKey(std::u16string(u"\\") + kRun, false));
    return r;
  }
};

TEST_F(RegistryExTest, WriteStringListStoresEntriesWithoutBlankOnes) {
  struct Case {
    TStringList list;
    std::u16string stored;
  } cases[] = {
      {{u"x"}, std::u16string(u"x\0\0", 3)},
      {{u"a", u"b"}, std::u16string(u"a\0b\0\0", 5)},
      {{u"  a  ", u"", u"   ", u"b"}, std::u16string(u"  a  \0b\0\0", 9)},
      {{}, std::u16string(u"\0", 1)},
      {{u" ", u"\t"}, std::u16string(u"\0", 1)},
  };
  auto r = Open(WOW64_32);
  for (const auto& c : cases) {
    r->WriteStringList(u"ms", c.list);
    auto v = Reg::Get(RT_HKCU, WOW64_32, kRun, u"ms");
    ASSERT_TRUE(v);
    EXPECT_EQ(REG_MULTI_SZ_, v->type);
    EXPECT_EQ(c.stored, Chars(v->data));
    EXPECT_EQ(c.stored.size() * 2, v->data.size());
  }
}

TEST_F(RegistryExTest, ReadStringListKeepsTheLastStringOfSingleNulData) {
  struct Case {
    std::u16string stored;
    TStringList list;
  } cases[] = {
      {std::u16string(u"a\0\0b\0\0", 6), {u"a", u"", u"b"}},
      {std::u16string(u"a\0b\0", 4), {u"a", u"b"}},  // the last string is no longer dropped
      {std::u16string(u"a\0b", 3), {u"a", u"b"}},      // nor one without any final NUL
      {std::u16string(u"\0", 1), {}},
      {std::u16string(u"\0\0", 2), {u""}},
      {std::u16string(u"x\0\0", 3), {u"x"}},
      {std::u16string(u"ab", 2), {u"ab"}},
  };
  auto r = Open(WOW64_64);
  for (const auto& c : cases) {
    Reg::MultiSz(RT_HKCU, WOW64_64, kRun, u"ms", c.stored);
    EXPECT_EQ(c.list, r->ReadStringList(u"ms"));
  }
  EXPECT_EQ(TStringList{}, r->ReadStringList(u"missing"));
}

TEST_F(RegistryExTest, ReadStringListOfAnOddByteCountIgnoresTheHalfCharacter) {
  auto r = Open(WOW64_64);
  Reg::Set(RT_HKCU, WOW64_64, kRun, u"odd", REG_MULTI_SZ_, {'a', 0, 0, 0, 'b'});
  EXPECT_EQ(TStringList{u"a"}, r->ReadStringList(u"odd"));
}

TEST_F(RegistryExTest, ReadStringListRefusesOtherTypes) {
  auto r = Open(WOW64_64);
  Reg::Str(RT_HKCU, WOW64_64, kRun, u"sz", u"text");
  try {
    r->ReadStringList(u"sz");
    FAIL() << "no error raised";
  } catch (const EKestrowError& e) {
    EXPECT_EQ(u"Error RegistryExt Invalid RegType on sz", e.Message());
  }
}

TEST_F(RegistryExTest, StringsAndIntegersHaveTheirLayouts) {
  auto r = Open(WOW64_32);
  r->WriteString(u"s", u"abc");
  r->WriteExpandString(u"e", u"%TEMP%\\x");
  r->WriteInteger(u"i", -2);
  auto s = Reg::Get(RT_HKCU, WOW64_32, kRun, u"s");
  auto e = Reg::Get(RT_HKCU, WOW64_32, kRun, u"e");
  auto i = Reg::Get(RT_HKCU, WOW64_32, kRun, u"i");
  ASSERT_TRUE(s && e && i);
  EXPECT_EQ(REG_SZ_, s->type);
  EXPECT_EQ(8u, s->data.size());
  EXPECT_EQ(REG_EXPAND_SZ_, e->type);
  EXPECT_EQ(u"%TEMP%\\x", r->ReadString(u"e"));  // not expanded
  EXPECT_EQ(REG_DWORD_, i->type);
  EXPECT_EQ((std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}), i->data);
  EXPECT_EQ(-2, r->ReadInteger(u"i"));
  EXPECT_EQ(rdString, r->GetDataType(u"s"));
  EXPECT_EQ(rdExpandString, r->GetDataType(u"e"));
  EXPECT_EQ(rdInteger, r->GetDataType(u"i"));
  EXPECT_EQ(rdUnknown, r->GetDataType(u"missing"));
  EXPECT_EQ(-1, r->GetDataSize(u"missing"));
  EXPECT_EQ(8, r->GetDataSize(u"s"));
}

TEST_F(RegistryExTest, ReadErrorsCarryTheirMessages) {
  auto r = Open(WOW64_32);
  Reg::Str(RT_HKCU, WOW64_32, kRun, u"sz", u"5");
  Reg::Dword(RT_HKCU, WOW64_32, kRun, u"dw", 5);
  struct Case {
    std::function<void()> call;
    std::u16string message;
  } cases[] = {
      {[&] { r->ReadInteger(u"sz"); }, u"Invalid data type for 'sz'"},
      {[&] { r->ReadString(u"dw"); }, u"Invalid data type for 'dw'"},
      {[&] { r->ReadInteger(u"none"); }, u"Failed to get data for 'none'"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error";
    } catch (const EKestrowError& e) {
      EXPECT_EQ(c.message, e.Message());
    }
  }
  EXPECT_EQ(u"", r->ReadString(u"none"));  // a missing value has size -1: empty, no error
}

TEST_F(RegistryExTest, ViewsSeparateMachineSoftwareButShareUserSoftware) {
  Reg::Str(RT_HKLM, WOW64_32, kRun, u"only32", u"x");
  Own(RT_HKLM, WOW64_32, kRun);
  TItemType t;
  t.RootType = RT_HKLM;
  t.tPlatform = WOW64_64;
  auto r64 = RegistryFor(t, KEY_READ_);
  if (r64->OpenKeyReadOnly(std::u16string(u"\\") + kRun)) {
    EXPECT_FALSE(r64->ValueExists(u"only32"));
  }
  r64->CloseKey();
  t.tPlatform = WOW64_32;
  auto r32 = RegistryFor(t, KEY_READ_);
  ASSERT_TRUE(r32->OpenKeyReadOnly(std::u16string(u"\\") + kRun));
  EXPECT_TRUE(r32->ValueExists(u"only32"));
  // From a 32-bit and a 64-bit process alike, the 32-bit view is WOW6432Node of the 64-bit one.
  EXPECT_TRUE(
      Reg::Get(RT_HKLM, WOW64_64, u"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", u"only32"));

  Reg::Str(RT_HKCU, WOW64_32, kRun, u"shared", u"y");
  EXPECT_TRUE(Reg::Get(RT_HKCU, WOW64_64, kRun, u"shared"));
  // A key that exists only in the other view does not exist in this one.
  Reg::CreateKey(RT_HKLM, WOW64_32, u"SOFTWARE\\KestrowViewTest");
  Own(RT_HKLM, WOW64_32, u"SOFTWARE\\KestrowViewTest");
  EXPECT_TRUE(r32->KeyExists(u"\\SOFTWARE\\KestrowViewTest"));
  EXPECT_FALSE(r64->KeyExists(u"\\SOFTWARE\\KestrowViewTest"));
}

// A key's last-write time moves with every write to it (a value set or deleted, a subkey made)
// and stays with every read, on both registries.
TEST_F(RegistryExTest, AKeysTimeMovesWithEveryWriteAndNoRead) {
  auto r = Open(WOW64_64);
  const std::u16string sub = std::u16string(kRun) + u"\\KestrowTimeSub";
  Own(RT_HKCU, WOW64_64, sub);
  std::uint64_t last = r->CurrentKeyTime();
  ASSERT_NE(0u, last);
  const struct {
    const char* label;
    bool writes;
    std::function<void()> step;
  } steps[] = {
      {"a string written", true, [&] { r->WriteString(u"t", u"one"); }},
      {"a value read", false, [&] { EXPECT_EQ(u"one", r->ReadString(u"t")); }},
      {"the names listed", false, [&] {
         TStringList names;
         r->GetValueNames(names);
       }},
      {"the same value written again", true, [&] { r->WriteInteger(u"t", 5); }},
      {"a subkey made", true, [&] { Reg::CreateKey(RT_HKCU, WOW64_64, sub); }},
      {"the value deleted", true, [&] { EXPECT_TRUE(r->DeleteValue(u"t")); }},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.label);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    s.step();
    const std::uint64_t now = r->CurrentKeyTime();
    if (s.writes) EXPECT_LT(last, now);
    else EXPECT_EQ(last, now);
    last = now;
  }
  r->CloseKey();
  EXPECT_EQ(0u, r->CurrentKeyTime());  // no key open
}

TEST_F(RegistryExTest, KeyPathsAbsoluteAndRelative) {
  Reg::CreateKey(RT_HKCU, WOW64_64, u"Software\\KestrowPathTest\\Sub");
  Own(RT_HKCU, WOW64_64, u"Software\\KestrowPathTest");
  TRegistryEx r(RegView::Bits64, KEY_READ_);
  r.SetRootKey(HKEY_CURRENT_USER_);
  EXPECT_TRUE(r.KeyExists(u"\\Software\\KestrowPathTest"));
  EXPECT_TRUE(r.KeyExists(u"Software\\KestrowPathTest"));
  EXPECT_TRUE(r.KeyExists(u""));
  EXPECT_TRUE(r.KeyExists(u"\\"));
  ASSERT_TRUE(r.OpenKeyReadOnly(u"\\Software\\KestrowPathTest"));
  EXPECT_TRUE(r.KeyExists(u"Sub"));  // relative to the open key
  EXPECT_FALSE(r.KeyExists(u"\\Sub"));
  TRegistryEx w(RegView::Bits64, KEY_ALL_ACCESS_);
  w.SetRootKey(HKEY_CURRENT_USER_);
  EXPECT_TRUE(w.CreateKeyEx(u"\\Software\\KestrowPathTest\\a\\b\\c"));
  EXPECT_TRUE(Reg::KeyExists(RT_HKCU, WOW64_64, u"Software\\KestrowPathTest\\a\\b\\c"));
}

TEST_F(RegistryExTest, ReadValueRulesByValueType) {
  Reg::Str(RT_HKCU, WOW64_64, kRun, u"sz5", u"5");
  Reg::Dword(RT_HKCU, WOW64_64, kRun, u"dw", 7);
  Reg::Str(RT_HKCU, WOW64_64, kRun, u"exp", u"%SystemRoot%", REG_EXPAND_SZ_);
  Reg::MultiSz(RT_HKCU, WOW64_64, kRun, u"ms", std::u16string(u"a b\0c\0\0", 7));
  auto r = Open(WOW64_64, KEY_READ_);
  TMemItem mi(ELT_ITEM, nullptr);
  struct Case {
    VALUE_TYPES type;
    std::u16string name;
    TValue expected;
  } cases[] = {
      {VAL_INTEGER, u"sz5", TValue::Integer(-1)},
      {VAL_INTEGER, u"dw", TValue::Integer(7)},
      {VAL_INTEGER, u"missing", TValue::Integer(-1)},
      {VAL_STRING, u"dw", TValue::Text(u"")},
      {VAL_STRING, u"exp", TValue::Text(u"%SystemRoot%")},
      {VAL_EXPANDSTRING, u"sz5", TValue::Text(u"5")},
      {VAL_STRING, u"ms", TValue::Text(u"")},
      {VAL_MULTISZ, u"ms", TValue::Text(u"\"a b\",c")},
      {VAL_MULTISZ, u"missing", TValue::Text(u"")},
      // Another type is no error: the value is listed with the empty text like any other.
      {VAL_MULTISZ, u"dw", TValue::Text(u"")},
      {VAL_MULTISZ, u"sz5", TValue::Text(u"")},
  };
  for (const auto& c : cases) {
    mi.ItemType.ValueType = c.type;
    mi.ValueName = c.name;
    EXPECT_EQ(c.expected, TScanners::RegReadValue(*r, mi)) << int(c.type);
  }
}

TEST_F(RegistryExTest, SaveOfAMissingKeyFailsAndLeavesNoFile) {
  TRegistryEx r(RegView::Bits64, KEY_READ_);
  r.SetRootKey(HKEY_CURRENT_USER_);
  // The platform's save needs the backup privilege; either way the missing key fails first.
  EXPECT_FALSE(r.SaveKeyEx(u"\\Software\\KestrowNoSuchKey", u"C:\\nonexistent-folder\\x.kscrkey", 0));
}

// Faults only the in-memory registry can produce.
class MemoryRegistryFaults : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    if (!InMemory()) GTEST_SKIP() << test::kNeedsInMemoryRegistry;
    mem = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
  }
  MemoryRegistry* mem = nullptr;
};

TEST_F(MemoryRegistryFaults, WritesAndReadsRaiseWhenThePlatformRefuses) {
  Reg::Dword(RT_HKCU, WOW64_64, kRun, u"dw", 1);
  Reg::MultiSz(RT_HKCU, WOW64_64, kRun, u"ms", std::u16string(u"a\0\0", 3));
  TRegistryEx r(RegView::Bits64, KEY_ALL_ACCESS_);
  r.SetRootKey(HKEY_CURRENT_USER_);
  ASSERT_TRUE(r.OpenKey(std::u16string(u"\\") + kRun, false));
  mem->hook = [](RegOp op, const std::u16string&) { return op == RegOp::Set ? RS_ACCESS_DENIED : RS_OK; };
  struct Case {
    std::function<void()> call;
    std::u16string message;
  } writes[] = {
      {[&] { r.WriteString(u"v", u"x"); }, u"Failed to set data for 'v'"},
      {[&] { r.WriteExpandString(u"v", u"x"); }, u"Failed to set data for 'v'"},
      {[&] { r.WriteInteger(u"v", 1); }, u"Failed to set data for 'v'"},
      {[&] { r.WriteStringList(u"v", {u"a"}); }, u"Error RegistryExt Write Param v"},
  };
  for (const auto& c : writes) {
    try {
      c.call();
      ADD_FAILURE() << "no error";
    } catch (const EKestrowError& e) {
      EXPECT_EQ(c.message, e.Message());
    }
  }
  // The size query succeeds, the data query fails.
  int queries = 0;
  mem->hook = [&](RegOp op, const std::u16string&) {
    return op == RegOp::Query && ++queries == 2 ? RS_ACCESS_DENIED : RS_OK;
  };
  try {
    r.ReadStringList(u"ms");
    ADD_FAILURE() << "no error";
  } catch (const EKestrowError& e) {
    EXPECT_EQ(u"Error RegistryExt Get Data Failed on ms", e.Message());
  }
}

TEST_F(MemoryRegistryFaults, KeyWithoutWriteRightsOpensOnlyForReading) {
  Reg::CreateKey(RT_HKCU, WOW64_64, kRun);
  mem->Find(HKEY_CURRENT_USER_, kRun, KEY_WOW64_64KEY_)->writable = false;
  TRegistryEx w(RegView::Bits64, KEY_ALL_ACCESS_);
  w.SetRootKey(HKEY_CURRENT_USER_);
  EXPECT_FALSE(w.OpenKey(std::u16string(u"\\") + kRun, false));
  EXPECT_TRUE(w.KeyExists(std::u16string(u"\\") + kRun));
  EXPECT_TRUE(w.OpenKeyReadOnly(std::u16string(u"\\") + kRun));
  EXPECT_EQ(KEY_READ_, w.Access());
  EXPECT_TRUE(w.View() == RegView::Bits64);
}

TEST_F(MemoryRegistryFaults, EnumeratesInCreationOrderAndComparesNamesWithoutCase) {
  Reg::Str(RT_HKCU, WOW64_64, kRun, u"zeta", u"1");
  Reg::Str(RT_HKCU, WOW64_64, kRun, u"Alpha", u"2");
  Reg::Str(RT_HKCU, WOW64_64, kRun, u"ALPHA", u"3");  // same value, new data
  EXPECT_EQ((std::vector<std::u16string>{u"zeta", u"Alpha"}), Reg::ValueNames(RT_HKCU, WOW64_64, kRun));
  EXPECT_TRUE(Reg::KeyExists(RT_HKCU, WOW64_32, u"software\\MICROSOFT\\windows\\CurrentVersion\\run"));
}

}  // namespace
}  // namespace kestrow
