// Writing and deleting values, at the layer below the exports, against the platform's registry.
#include <gtest/gtest.h>

#include "platform/errors.h"
#include "model/integer_text.h"
#include "model/sentrel.h"
#include "registry/memory_registry.h"
#include "host/plugin.h"
#include "support/helpers.h"

namespace kestrow {
namespace {

using test::Reg;

TEST(IntegerText, Table) {
  struct Case {
    std::u16string text;
    std::int32_t value;
  } cases[] = {
      {u"0", 0},
      {u"42", 42},
      {u"   42", 42},
      {u"+7", 7},
      {u"-7", -7},
      {u"2147483647", 2147483647},
      {u"-2147483648", INT32_MIN},
      {u"2147483648", -1},
      {u"-2147483649", -1},
      {u"$10", 16},
      {u"x1f", 31},
      {u"X1F", 31},
      {u"0x7fffffff", 2147483647},
      {u"0XFFFFFFFF", -1},
      {u"0x80000000", INT32_MIN},
      {u"-0x10", -16},
      {u"0x100000000", -1},
      {u"0x", -1},
      {u"$", -1},
      {u"", -1},
      {u"12 ", -1},
      {u"1a", -1},
      {u"--1", -1},
      {u" - 1", -1},
      {u"\t1", -1},
      {u"00012", 12},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.value, IntegerFromText(c.text)) << std::string(c.text.begin(), c.text.end());
}

class ValueEditTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    test::InitCoreInProcess();
    test::Recorded().Reset();
    // Questions go to the recorded host callbacks, as the plugin's own central object's do.
    s.Messages = &kestrow::Plugin();
  }
  TMemItem Item(VALUE_TYPES vt, const std::u16string& name, EDIT_TYPES et = ET_OPTIONAL,
                const std::u16string& address = std::u16string(u"\\") + test::kRun) {
    TMemItem m(ELT_ITEM, nullptr);
    m.ItemType.TypeID = u"T";
    m.ItemType.RootType = RT_HKCU;
    m.ItemType.EditType = et;
    m.ItemType.ValueType = vt;
    m.ItemType.tPlatform = WOW64_64;
    m.Address = address;
    m.ValueName = name;
    return m;
  }
  std::optional<test::RawValue> Stored(const std::u16string& name) {
    return Reg::Get(RT_HKCU, WOW64_64, test::kRun, name);
  }
  TSentrel s;
};

TEST_F(ValueEditTest, IntegerTextsAreStoredAsDwords) {
  Reg::CreateKey(RT_HKCU, WOW64_64, test::kRun);
  struct Case {
    std::u16string text;
    std::vector<std::uint8_t> stored;
  } cases[] = {{u"", {0xFF, 0xFF, 0xFF, 0xFF}}, {u"$1F", {0x1F, 0, 0, 0}}, {u"-2", {0xFE, 0xFF, 0xFF, 0xFF}},
               {u"99999999999", {0xFF, 0xFF, 0xFF, 0xFF}}};
  for (const auto& c : cases) {
    ASSERT_TRUE(s.ApplyNewValue(Item(VAL_INTEGER, u"n"), TValue::Text(c.text), false));
    auto v = Stored(u"n");
    ASSERT_TRUE(v);
    EXPECT_EQ(REG_DWORD_, v->type);
    EXPECT_EQ(c.stored, v->data);
  }
}

TEST_F(ValueEditTest, StringWritesKeepOrSetTheExpandableType) {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"exp", u"%TEMP%", REG_EXPAND_SZ_);
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"sz", u"plain");
  Reg::Dword(RT_HKCU, WOW64_64, test::kRun, u"dw", 3);
  struct Case {
    VALUE_TYPES vt;
    std::u16string name;
    bool debug;
    std::uint32_t type;
    std::size_t questions;
  } cases[] = {
      {VAL_STRING, u"exp", false, REG_EXPAND_SZ_, 0}, {VAL_STRING, u"exp", true, REG_EXPAND_SZ_, 1},
      {VAL_STRING, u"new", true, REG_SZ_, 0},         {VAL_STRING, u"sz", true, REG_SZ_, 0},
      {VAL_STRING, u"dw", false, REG_SZ_, 0},         {VAL_EXPANDSTRING, u"sz", false, REG_EXPAND_SZ_, 0},
  };
  for (const auto& c : cases) {
    test::Recorded().Reset();
    test::Recorded().defaultAnswer = false;  // the answer changes nothing
    s.Settings.Update([&](TSettings& f) { f.fDebugStrings = c.debug; });
    ASSERT_TRUE(s.ApplyNewValue(Item(c.vt, c.name), TValue::Text(u"C:\\x"), false));
    auto v = Stored(c.name);
    ASSERT_TRUE(v);
    EXPECT_EQ(c.type, v->type) << std::string(c.name.begin(), c.name.end());
    EXPECT_EQ(Reg::Utf16Bytes(u"C:\\x"), v->data);
    ASSERT_EQ(c.questions, test::Recorded().requests.size());
    if (c.questions) {
      EXPECT_EQ(u"Information", test::Recorded().requests[0].title);
      EXPECT_EQ(RT_MsgYesNo, test::Recorded().requests[0].type);
      EXPECT_EQ(std::u16string(u"Type changed to EXPAND_STRING for ADDR = \\") + test::kRun + u" NAME =  exp?",
                test::Recorded().requests[0].text);
    }
  }
}

TEST_F(ValueEditTest, MultiStringWritesDropBlankEntries) {
  Reg::CreateKey(RT_HKCU, WOW64_64, test::kRun);
  ASSERT_TRUE(s.ApplyNewValue(Item(VAL_MULTISZ, u"m"), TValue::Text(u"a,\"  \",,\"b c\""), false));
  EXPECT_EQ(Reg::Utf16Bytes(std::u16string(u"a\0b c\0", 6)), Stored(u"m")->data);
  ASSERT_TRUE(s.ApplyNewValue(Item(VAL_MULTISZ, u"m"), TValue::Text(u"\" \","), false));
  EXPECT_EQ(2u, Stored(u"m")->data.size());
}

TEST_F(ValueEditTest, MissingKeysAreCreatedOnlyOnRequest) {
  const std::u16string deep = u"Software\\KestrowEditTest\\a\\b";
  Own(RT_HKCU, WOW64_64, u"Software\\KestrowEditTest");
  TMemItem m = Item(VAL_STRING, u"v", ET_OPTIONAL, u"\\" + deep);
  EXPECT_FALSE(s.ApplyNewValue(m, TValue::Text(u"x"), false));
  EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, u"Software\\KestrowEditTest"));
  EXPECT_TRUE(s.ApplyNewValue(m, TValue::Text(u"x"), true));
  EXPECT_TRUE(Reg::Get(RT_HKCU, WOW64_64, deep, u"v"));
}

TEST_F(ValueEditTest, DeletionOfOptionalAndRequiredValues) {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"gone", u"x");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"kept", u"x");
  EXPECT_TRUE(s.TryDeleteValue(Item(VAL_STRING, u"gone")));
  EXPECT_FALSE(Stored(u"gone"));
  EXPECT_FALSE(s.TryDeleteValue(Item(VAL_STRING, u"gone")));  // no longer there
  EXPECT_FALSE(s.TryDeleteValue(Item(VAL_STRING, u"kept", ET_MUST)));
  EXPECT_TRUE(Stored(u"kept"));
  EXPECT_FALSE(s.TryDeleteValue(Item(VAL_STRING, u"x", ET_OPTIONAL, u"\\Software\\KestrowNoKey")));
}

TEST_F(ValueEditTest, KeyWithoutWriteRightsWritesNothing) {
  if (!InMemory())
    GTEST_SKIP() << "needs a key without write rights, which only the in-memory registry gives: under Wine every "
                    "process runs elevated and may write every key";
  auto* mem = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"v", u"old");
  mem->Find(HKEY_CURRENT_USER_, test::kRun, KEY_WOW64_64KEY_)->writable = false;
  EXPECT_FALSE(s.ApplyNewValue(Item(VAL_STRING, u"v"), TValue::Text(u"new"), true));
  EXPECT_FALSE(s.TryDeleteValue(Item(VAL_STRING, u"v")));
  EXPECT_EQ(Reg::Utf16Bytes(u"old"), Stored(u"v")->data);
}

TEST_F(ValueEditTest, AWriteRefusedAfterTheOpenRaises) {
  if (!InMemory()) GTEST_SKIP() << test::kNeedsInMemoryRegistry;
  auto* mem = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
  Reg::CreateKey(RT_HKCU, WOW64_64, test::kRun);
  mem->hook = [](RegOp op, const std::u16string&) { return op == RegOp::Set ? RS_ACCESS_DENIED : RS_OK; };
  EXPECT_THROW(s.ApplyNewValue(Item(VAL_STRING, u"v"), TValue::Text(u"x"), false), EKestrowError);
  mem->hook = nullptr;
  EXPECT_EQ(0u, mem->OpenHandles());
}

}  // namespace
}  // namespace kestrow
