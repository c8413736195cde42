// The edit, add and About dialogs, shown through the core linked into this test: what they show
// when they open, what the user can do in them, and what they write and say afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "dialogs/forms.h"
#include "dialogs/user_driver.h"
#include "host/plugin.h"
#include "model/sentrel.h"
#include "platform/text.h"
#include "registry/comma_text.h"
#include "support/helpers.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/errors.h"
#include "registry/memory_registry.h"
#endif

namespace kestrow {
namespace {

using test::Act;
using test::Clear;
using test::ExpectNoProblems;
using test::Click;
using test::CloseBox;
using test::Key;
using test::Reactivate;
using test::Reg;
using test::Request;
using test::Seen;
using test::SetText;
using test::Snapshot;
using test::Step;
using test::TabCycle;
using test::Type;

// The key the items of these tests live in (HKCU, 64-bit view), as the registry helpers and as
// the items name it.
const char16_t* const kKey = u"Software\\KestrowDialogs";
const char16_t* const kAddress = u"\\Software\\KestrowDialogs";
const char16_t* const kName = u"Tool";

const Request kConfirm{RT_MsgYesNo, u"Confirm", u"Do you want to write new value?"};
const Request kWriteFailed{RT_MsgOK, u"Error", u"Registry write failed.\r\nCheck rights and user elevation!"};

test::RawValue Raw(std::uint32_t type, const std::u16string& charsWithNuls) {
  return {type, Reg::Utf16Bytes(charsWithNuls, false)};
}
test::RawValue Sz(const std::u16string& s, std::uint32_t type = REG_SZ_) { return Raw(type, s + u'\0'); }
// A multi-string as the registry stores it: each string ended by NUL, and one NUL more.
std::u16string MultiChars(std::initializer_list<const char16_t*> strings) {
  std::u16string chars;
  for (const char16_t* s : strings) {
    chars += s;
    chars += u'\0';
  }
  return chars + u'\0';
}
test::RawValue Multi(std::initializer_list<const char16_t*> strings) { return Raw(REG_MULTI_SZ_, MultiChars(strings)); }
test::RawValue Dword(std::uint32_t v) {
  return {REG_DWORD_, {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}};
}

std::string Describe(const std::optional<test::RawValue>& v) {
  if (!v) return "(absent)";
  std::string s = "type " + std::to_string(v->type) + ":";
  for (auto b : v->data) s += " " + std::to_string(b);
  return s;
}

TItemType TestType(VALUE_TYPES vt, EDIT_TYPES et = ET_OPTIONAL, std::u16string addr = kAddress) {
  return {u"TEST_TYPE", RT_HKCU, et, vt, WOW64_64, std::move(addr)};
}

TMemItem Item(VALUE_TYPES vt, TValue value, std::u16string address = kAddress, std::u16string name = kName) {
  TMemItem mi(ELT_ITEM, nullptr);
  mi.ItemType = TestType(vt);
  mi.Address = std::move(address);
  mi.ValueName = std::move(name);
  mi.Value = std::move(value);
  return mi;
}

std::vector<int> Ids(std::initializer_list<int> ids) { return std::vector<int>(ids); }

// A control as the tables of the dialogs give it: fixed text (null when filled from the item),
// left, top, width, height at 96 dots per inch.
struct Expected {
  int id;
  const char16_t* text;
  int left, top, width, height;
};

bool IsLabel(int id) {
  for (int l : {idTypeIDLabel, idValueTypeLabel, idEditTypeLabel, idRootTypeLabel, idFolderNameLabel, idPathLabel,
                idValueNameLabel, idValueLabel})
    if (id == l) return true;
  return false;
}

int At(int v, int dpi) { return (v * dpi + 48) / 96; }

void ExpectLayout(const Seen& seen, const std::vector<Expected>& table, int clientWidth, int clientHeight) {
  EXPECT_EQ(u"Kestrow", seen.caption);
  EXPECT_EQ(At(clientWidth, seen.dpi), seen.clientWidth);
  EXPECT_EQ(At(clientHeight, seen.dpi), seen.clientHeight);
  for (const auto& e : table) {
    SCOPED_TRACE("control " + std::to_string(e.id));
    auto it = seen.controls.find(e.id);
    ASSERT_NE(seen.controls.end(), it);
    const test::SeenControl& c = it->second;
    if (e.text) {
      EXPECT_EQ(e.text, c.text);
    }
    EXPECT_EQ(At(e.left, seen.dpi), c.left);
    EXPECT_EQ(At(e.top, seen.dpi), c.top);
    if (IsLabel(e.id)) {
      // A label grows with its text where the font is wider than the one it was laid out with.
      EXPECT_GE(c.width, At(e.width, seen.dpi));
      EXPECT_LE(c.width, At(e.width, seen.dpi) + 10);
    } else {
      EXPECT_EQ(At(e.width, seen.dpi), c.width);
    }
    EXPECT_EQ(At(e.height, seen.dpi), c.height);
    if (e.id != 119 /* the picture has no text */) {
      EXPECT_EQ(u"Tahoma", c.fontFace);
      EXPECT_EQ(-(8 * seen.dpi + 36) / 72, c.fontHeight);
    }
  }
#ifdef _WIN32
  EXPECT_FALSE(seen.resizable);
  EXPECT_FALSE(seen.maximizeBox);
  EXPECT_FALSE(seen.minimizeBox);
  EXPECT_TRUE(seen.centred);
#endif
}

class DialogTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    test::UseRecordingHost();
    test::Recorded().Reset();
    Own(RT_HKCU, WOW64_64, kKey);
    Reg::DeleteKey(RT_HKCU, WOW64_64, kKey);
    sentrel().Settings.Update([](TSettings& f) {
      f.fConfirmChange = true;
      f.fConfirmAdd = true;
      f.fCanCreateKey = false;
    });
  }
  static TSentrel& sentrel() { return *kestrow::Plugin().Sentrel; }
  static std::optional<test::RawValue> Stored(const std::u16string& name = kName, const std::u16string& key = kKey) {
    return Reg::Get(RT_HKCU, WOW64_64, key, name);
  }
  static void ExpectRequests(const std::vector<Request>& expected) {
    const auto& got = test::Recorded().requests;
    ASSERT_EQ(expected.size(), got.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(expected[i].type, got[i].type) << i;
      EXPECT_EQ(expected[i].title, got[i].title) << i;
      EXPECT_EQ(expected[i].text, got[i].text) << i;
    }
  }
  // The failed write told in the log, as an important error, or nothing logged.
  static void ExpectLogged(bool logged) {
    if (logged) {
      EXPECT_EQ(std::vector<std::u16string>{u"Value not written!"}, test::Recorded().logs);
      EXPECT_EQ(std::vector<std::int32_t>{MSGTYPE_IMPORTANTERROR}, test::Recorded().logTypes);
    } else {
      EXPECT_TRUE(test::Recorded().logs.empty());
    }
  }
};

// ---------------------------------------------------------------- edit value dialog

struct EditCase {
  const char* name;
  TMemItem item;
  std::function<void()> seed;  // the registry as it is when the dialog opens
  std::vector<Step> steps;
  bool result;
  std::optional<test::RawValue> after;  // the value afterwards; absent when none
  std::vector<Request> requests;
  bool confirm = true;
  std::vector<bool> answers = {};
  std::function<void(const Seen&)> check = nullptr;
  std::string screenshot = "";
  bool logged = false;  // "Value not written!" in the log
};

void SeedTool() { Reg::Str(RT_HKCU, WOW64_64, kKey, kName, u"C:\\old.exe"); }

std::vector<EditCase> EditCases() {
  const TMemItem str = Item(VAL_STRING, TValue::Text(u"C:\\old.exe"));
  const auto old = Sz(u"C:\\old.exe");
  return {
      {"cancel writes nothing and asks nothing", str, SeedTool, {Type(idValue, u"x"), Click(idCancel)}, false, old, {}},
      {"escape cancels", str, SeedTool, {Type(idValue, u"x"), Key(test::kEscape)}, false, old, {}},
      {"escape in the memo cancels too", Item(VAL_MULTISZ, TValue::Text(u"a")),
       [] { Reg::MultiSz(RT_HKCU, WOW64_64, kKey, kName, MultiChars({u"a"})); },
       {Key(test::kEscape)}, false, Multi({u"a"}), {}},
      {"the close box cancels", str, SeedTool, {Type(idValue, u"x"), CloseBox()}, false, old, {}},
      {"OK and Yes write the new value", str, SeedTool, {Clear(idValue), Type(idValue, u"C:\\new.exe"), Click(idOK)}, true,
       Sz(u"C:\\new.exe"), {kConfirm}, true, {true},
       [](const Seen& s) {
         EXPECT_EQ(u"C:\\old.exe", s.controls.at(idValue).text);
         EXPECT_EQ(idValue, s.focus);
       },
       "edit_string"},
      {"OK and No write nothing and show no error", str, SeedTool, {Type(idValue, u"x"), Click(idOK)}, false, old,
       {kConfirm}, true, {false}},
      {"without confirmation OK writes at once", str, SeedTool, {Clear(idValue), Type(idValue, u"now"), Click(idOK)},
       true, Sz(u"now"), {}, false},
      {"an integer shows in decimal and takes digits only",
       Item(VAL_INTEGER, TValue::Integer(42)), [] { Reg::Dword(RT_HKCU, WOW64_64, kKey, kName, 42); },
       {Type(idValue, u"7a-"), Click(idOK)}, true, Dword(427), {}, false, {},
       [](const Seen& s) {
         EXPECT_EQ(u"42", s.controls.at(idValue).text);
         EXPECT_TRUE(s.controls.at(idValue).numbersOnly);
         EXPECT_EQ(u"VAL_INTEGER", s.controls.at(idValueType).text);
       }},
      {"a negative integer shows its sign", Item(VAL_INTEGER, TValue::Integer(-5)),
       [] { Reg::Dword(RT_HKCU, WOW64_64, kKey, kName, 0xFFFFFFFBu); }, {Click(idCancel)}, false, Dword(0xFFFFFFFBu), {},
       true, {}, [](const Seen& s) { EXPECT_EQ(u"-5", s.controls.at(idValue).text); }},
      {"a missing integer shows -1", Item(VAL_INTEGER, TValue::Null()), [] { Reg::CreateKey(RT_HKCU, WOW64_64, kKey); },
       {Click(idCancel)}, false, std::nullopt, {}, true, {},
       [](const Seen& s) { EXPECT_EQ(u"-1", s.controls.at(idValue).text); }},
      {"an emptied integer field writes -1", Item(VAL_INTEGER, TValue::Integer(42)),
       [] { Reg::Dword(RT_HKCU, WOW64_64, kKey, kName, 42); }, {Clear(idValue), Click(idOK)}, true, Dword(0xFFFFFFFFu),
       {kConfirm}},
      {"a missing string shows an empty field", Item(VAL_STRING, TValue::Null()),
       [] { Reg::CreateKey(RT_HKCU, WOW64_64, kKey); }, {Click(idCancel)}, false, std::nullopt, {}, true, {},
       [](const Seen& s) { EXPECT_EQ(u"", s.controls.at(idValue).text); }},
      {"an expandable string stays expandable", Item(VAL_EXPANDSTRING, TValue::Text(u"%SystemRoot%\\a.exe")),
       [] { Reg::Str(RT_HKCU, WOW64_64, kKey, kName, u"%SystemRoot%\\a.exe", REG_EXPAND_SZ_); },
       {Type(idValue, u"x"), Click(idOK)}, true, Sz(u"%SystemRoot%\\a.exex", REG_EXPAND_SZ_), {}, false, {},
       [](const Seen& s) { EXPECT_EQ(u"VAL_EXPANDSTRING", s.controls.at(idValueType).text); }},
      {"a multi-string shows one string per line and is written back",
       Item(VAL_MULTISZ, TValue::Text(JoinCommaText({u"first", u"with blanks inside", u"third"}))),
       [] {
         Reg::MultiSz(RT_HKCU, WOW64_64, kKey, kName, MultiChars({u"first", u"with blanks inside", u"third"}));
       },
       {SetText(idValueLines, u"first\r\nwith blanks inside\r\n\r\nfourth line"), Click(idOK)}, true,
       Multi({u"first", u"with blanks inside", u"fourth line"}), {kConfirm}, true, {true},
       [](const Seen& s) {
         EXPECT_EQ(u"first\r\nwith blanks inside\r\nthird", s.controls.at(idValueLines).text);
         EXPECT_EQ(u"", s.controls.at(idValue).text);
         EXPECT_EQ(idValueLines, s.focus);
       },
       "edit_multistring"},
      {"a key deleted since the listing is not written", Item(VAL_STRING, TValue::Text(u"C:\\old.exe")), [] {},
       {Type(idValue, u"x"), Click(idOK)}, false, std::nullopt, {kConfirm, kWriteFailed}, true, {true},
       // The key is not created again.
       [](const Seen&) { EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, kKey)); }, "", true},
      {"Enter in the value field does nothing", str, SeedTool, {Key(test::kEnter), Click(idCancel)}, false, old, {},
       false},
      {"Enter on the focused OK button presses it", str, SeedTool,
       {Clear(idValue), Type(idValue, u"entered"), Key(test::kTab), Key(test::kTab), Key(test::kEnter)}, true,
       Sz(u"entered"), {}, false},
      {"Tab visits the tab stops in order", str, SeedTool, {TabCycle(), Click(idCancel)}, false, old, {}, true, {},
       [](const Seen& s) { EXPECT_EQ(Ids({idValueLines, idOK, idCancel, idPath, idValue}), s.tabCycle); }},
      {"a later activation leaves the focus where it was", str, SeedTool,
       {Key(test::kTab), Key(test::kTab), Reactivate(), Click(idCancel)}, false, old, {}, true, {},
       [](const Seen& s) {
         EXPECT_EQ(idOK, s.focusBeforeReactivate);
         EXPECT_EQ(idOK, s.focusAfterReactivate);
       }},
  };
}

TEST_F(DialogTest, EditDialogCases) {
  for (const auto& c : EditCases()) {
    SCOPED_TRACE(c.name);
    Reg::DeleteKey(RT_HKCU, WOW64_64, kKey);
    c.seed();
    test::Recorded().Reset();
    test::Recorded().answers = c.answers;
    sentrel().Settings.Update([&](TSettings& f) { f.fConfirmChange = c.confirm; });
    bool result = !c.result;
    const Seen seen = test::RunAsUser([&] { result = ShowEdForm(sentrel(), c.item); }, c.steps, c.screenshot);
    ExpectNoProblems(seen);
    EXPECT_EQ(u"TEditForm", seen.windowClass);
    EXPECT_EQ(c.result, result);
    EXPECT_EQ(Describe(c.after), Describe(Stored()));
    ExpectRequests(c.requests);
    ExpectLogged(c.logged);
    if (c.check) c.check(seen);
  }
}

TEST_F(DialogTest, EditDialogShowsTheItemInItsControls) {
  SeedTool();
  TMemItem mi = Item(VAL_STRING, TValue::Text(u"C:\\old.exe"));
  mi.ItemType.TypeID = u"HKCU_RUN64";
  mi.ItemType.EditType = ET_MUST;
  mi.ValueName = u"A & B";
  const Seen seen = test::RunAsUser([&] { ShowEdForm(sentrel(), mi); }, {Click(idCancel)});
  ExpectNoProblems(seen);
  const std::vector<Expected> table = {
      {idTypeIDLabel, u"Type ID:", 8, 17, 42, 13},      {idTypeID, u"HKCU_RUN64", 8, 36, 185, 17},
      {idValueTypeLabel, u"Value type:", 216, 17, 55, 13}, {idValueType, u"VAL_STRING", 216, 36, 193, 17},
      {idEditTypeLabel, u"Edit type:", 8, 64, 47, 13},  {idEditType, u"ET_MUST", 8, 82, 185, 17},
      {idRootTypeLabel, u"Root type:", 216, 63, 52, 13}, {idRootType, u"RT_HKCU", 216, 82, 193, 17},
      {idPathLabel, u"Path:", 8, 112, 26, 13},          {idPath, kAddress, 8, 130, 401, 21},
      {idValueNameLabel, u"Value name:", 8, 157, 59, 13}, {idValueName, u"A & B", 8, 176, 402, 17},
      {idValueLabel, u"New value:", 8, 208, 54, 13},    {idValue, u"C:\\old.exe", 8, 224, 401, 21},
      {idValueLines, u"", 8, 251, 401, 80},             {idOK, u"OK", 8, 337, 75, 25},
      {idCancel, u"Cancel", 341, 337, 75, 25},
  };
  ExpectLayout(seen, table, 424, 370);
  EXPECT_FALSE(seen.dialogFrame);
  // The path is a read-only edit with the button-face colour; the active value field has the
  // window colour, the other one is read-only with the button-face colour.
  EXPECT_TRUE(seen.controls.at(idPath).readOnly);
  EXPECT_EQ(clBtnFace, seen.controls.at(idPath).color);
  EXPECT_FALSE(seen.controls.at(idValue).readOnly);
  EXPECT_FALSE(seen.controls.at(idValue).numbersOnly);
  EXPECT_EQ(clWindow, seen.controls.at(idValue).color);
  EXPECT_TRUE(seen.controls.at(idValueLines).readOnly);
  EXPECT_EQ(clBtnFace, seen.controls.at(idValueLines).color);
  EXPECT_FALSE(seen.controls.at(idOK).defaultButton);
  EXPECT_FALSE(seen.controls.at(idCancel).defaultButton);
}

TEST_F(DialogTest, EditDialogForAMultiStringSwapsTheValueControls) {
  const Seen seen = test::RunAsUser([&] { ShowEdForm(sentrel(), Item(VAL_MULTISZ, TValue::Null())); },
                                    {Click(idCancel)});
  ExpectNoProblems(seen);
  EXPECT_TRUE(seen.controls.at(idValue).readOnly);
  EXPECT_EQ(clBtnFace, seen.controls.at(idValue).color);
  EXPECT_FALSE(seen.controls.at(idValueLines).readOnly);
  EXPECT_EQ(clWindow, seen.controls.at(idValueLines).color);
  EXPECT_EQ(u"", seen.controls.at(idValueLines).text);
  EXPECT_EQ(idValueLines, seen.focus);
}

TEST_F(DialogTest, ARefusedWriteLeavesTheDialogWithTheErrorAndNoMessage) {
  // A write refused after the key opened raises an error; the dialog adds no message of its own.
#ifdef _WIN32
  GTEST_SKIP() << test::kNeedsInMemoryRegistry;
#else
  SeedTool();
  auto* memory = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
  ASSERT_NE(nullptr, memory);
  memory->hook = [](RegOp op, const std::u16string&) { return op == RegOp::Set ? 5 : 0; };
  bool raised = false;
  const Seen seen = test::RunAsUser(
      [&] {
        try {
          ShowEdForm(sentrel(), Item(VAL_STRING, TValue::Text(u"C:\\old.exe")));
        } catch (const EKestrowError&) {
          raised = true;
        }
      },
      {Type(idValue, u"x"), Click(idOK)});
  memory->hook = nullptr;
  ExpectNoProblems(seen);
  EXPECT_TRUE(raised);
  ExpectRequests({kConfirm});
  EXPECT_TRUE(test::Recorded().logs.empty());
#endif
}

// ---------------------------------------------------------------- add value dialog

struct AddCase {
  const char* name;
  VALUE_TYPES type;
  std::u16string typeAddress;  // the type's key path, as the command item has it
  std::vector<Step> steps;
  bool result;
  std::u16string writtenKey;  // where the value should be afterwards (registry helper path), or empty
  std::u16string writtenName;
  std::optional<test::RawValue> written;
  std::vector<Request> requests;
  bool confirm = true;
  bool canCreateKey = false;
  std::vector<bool> answers = {};
  std::function<void(const Seen&)> check = nullptr;
  std::string screenshot = "";
  bool logged = false;
};

const char16_t* const kSubKey = u"Software\\KestrowDialogs\\abc";

std::vector<AddCase> AddCases() {
  const std::u16string path = std::u16string(kAddress) + u"\\";
  return {
      {"opens empty with the folder field focused; Cancel writes nothing", VAL_STRING, kAddress,
       {Click(idCancel)}, false, u"", u"", std::nullopt, {}, true, false, {},
       [path](const Seen& s) {
         EXPECT_EQ(idFolderName, s.focus);
         EXPECT_EQ(u"", s.controls.at(idFolderName).text);
         EXPECT_EQ(path, s.controls.at(idPath).text);
         EXPECT_EQ(u"", s.controls.at(idValueName).text);
         EXPECT_EQ(u"", s.controls.at(idValue).text);
         EXPECT_EQ(u"", s.controls.at(idValueLines).text);
         EXPECT_EQ(clWindow, s.controls.at(idValue).color);
         EXPECT_FALSE(s.controls.at(idValue).readOnly);
         EXPECT_TRUE(s.controls.at(idValueLines).readOnly);
         EXPECT_EQ(clBtnFace, s.controls.at(idValueLines).color);
         EXPECT_FALSE(s.controls.at(idPath).readOnly);
         EXPECT_EQ(clWindow, s.controls.at(idPath).color);
       },
       "add_string"},
      {"escape cancels", VAL_STRING, kAddress, {Type(idValueName, u"n"), Key(test::kEscape)}, false, u"", u"",
       std::nullopt, {}},
      {"the close box cancels", VAL_STRING, kAddress, {Type(idValueName, u"n"), CloseBox()}, false, u"", u"",
       std::nullopt, {}},
      {"a type path ending in a backslash keeps one", VAL_STRING, path, {Snapshot(), Click(idCancel)}, false, u"", u"",
       std::nullopt, {}, true, false, {},
       [path](const Seen& s) { EXPECT_EQ(path, s.snapshot.at(idPath)); }},
      {"an empty type path becomes a backslash and the folder name", VAL_STRING, u"",
       {Type(idFolderName, u"x"), Snapshot(), Click(idCancel)}, false, u"", u"", std::nullopt, {}, true, false, {},
       [](const Seen& s) {
         EXPECT_EQ(u"\\", s.controls.at(idPath).text);
         EXPECT_EQ(u"\\x", s.snapshot.at(idPath));
       }},
      {"a folder name creates its subkey although the flag says no", VAL_STRING, kAddress,
       {Type(idFolderName, u"abc"), Snapshot(), Type(idValueName, u"Tool"), Type(idValue, u"C:\\t.exe"), Click(idOK)},
       true, kSubKey, u"Tool", Sz(u"C:\\t.exe"), {kConfirm}, true, false, {true},
       [path](const Seen& s) { EXPECT_EQ(path + u"abc", s.snapshot.at(idPath)); }},
      {"typing in the folder field replaces a path edited by hand", VAL_STRING, kAddress,
       {Clear(idPath), Type(idPath, u"\\Software\\Elsewhere"), Type(idFolderName, u"ab"), Type(idFolderName, u"c"),
        Snapshot(), Type(idValueName, u"Tool"), Type(idValue, u"v"), Click(idOK)},
       true, kSubKey, u"Tool", Sz(u"v"), {}, false, false, {},
       [path](const Seen& s) { EXPECT_EQ(path + u"abc", s.snapshot.at(idPath)); }},
      {"erasing the folder name goes back to the type path", VAL_STRING, kAddress,
       {Type(idFolderName, u"ab\b\b"), Snapshot(), Click(idCancel)}, false, u"", u"", std::nullopt, {}, true, false,
       {}, [path](const Seen& s) { EXPECT_EQ(path, s.snapshot.at(idPath)); }},
      {"an empty path writes nothing and asks nothing", VAL_STRING, kAddress,
       {Clear(idPath), Type(idValueName, u"Tool"), Type(idValue, u"v"), Click(idOK)}, false, u"", u"", std::nullopt,
       {}},
      {"an empty value name writes the default value", VAL_STRING, kAddress,
       {Type(idValue, u"default text"), Click(idOK)}, true, kKey, u"", Sz(u"default text"), {kConfirm}, true, true,
       {true}},
      {"No writes nothing", VAL_STRING, kAddress, {Type(idValueName, u"Tool"), Type(idValue, u"v"), Click(idOK)}, false,
       u"", u"", std::nullopt, {kConfirm}, true, true, {false}},
      {"a missing key typed by hand is not created", VAL_STRING, kAddress,
       {Clear(idPath), Type(idPath, u"\\Software\\KestrowDialogs\\Missing\\Deeper"), Type(idValueName, u"Tool"),
        Type(idValue, u"v"), Click(idOK)},
       false, u"", u"", std::nullopt, {kConfirm, kWriteFailed}, true, false, {true}, nullptr, "", true},
      {"a missing key typed by hand is created with every level when the flag allows it", VAL_STRING, kAddress,
       {Clear(idPath), Type(idPath, u"\\Software\\KestrowDialogs\\Missing\\Deeper"), Type(idValueName, u"Tool"),
        Type(idValue, u"v"), Click(idOK)},
       true, u"Software\\KestrowDialogs\\Missing\\Deeper", u"Tool", Sz(u"v"), {}, false, true},
      {"an integer takes digits only", VAL_INTEGER, kAddress,
       {Type(idValueName, u"Count"), Type(idValue, u"x1-y2"), Click(idOK)}, true, kKey, u"Count", Dword(12), {}, false,
       true, {}, [](const Seen& s) { EXPECT_TRUE(s.controls.at(idValue).numbersOnly); }},
      {"an empty integer writes -1", VAL_INTEGER, kAddress, {Type(idValueName, u"Count"), Click(idOK)}, true, kKey,
       u"Count", Dword(0xFFFFFFFFu), {}, false, true},
      {"a multi-string is written from the memo's lines", VAL_MULTISZ, kAddress,
       {Type(idValueName, u"List"), SetText(idValueLines, u"one\r\ntwo words\r\n"), Click(idOK)}, true, kKey, u"List",
       Multi({u"one", u"two words"}), {}, false, true, {},
       [](const Seen& s) {
         EXPECT_TRUE(s.controls.at(idValue).readOnly);
         EXPECT_EQ(clBtnFace, s.controls.at(idValue).color);
         EXPECT_FALSE(s.controls.at(idValueLines).readOnly);
         EXPECT_EQ(clWindow, s.controls.at(idValueLines).color);
         EXPECT_EQ(idFolderName, s.focus);
       },
       "add_multistring"},
      {"Tab visits the tab stops in order", VAL_STRING, kAddress, {TabCycle(), Click(idCancel)}, false, u"", u"",
       std::nullopt, {}, true, false, {},
       [](const Seen& s) {
         EXPECT_EQ(Ids({idPath, idValueName, idValue, idValueLines, idOK, idCancel, idFolderName}), s.tabCycle);
       }},
      {"Enter in the value field does nothing", VAL_STRING, kAddress,
       {Type(idValueName, u"Tool"), Type(idValue, u"v"), Key(test::kEnter), Click(idCancel)}, false, u"", u"",
       std::nullopt, {}, false, true},
  };
}

TEST_F(DialogTest, AddDialogCases) {
  for (const auto& c : AddCases()) {
    SCOPED_TRACE(c.name);
    Reg::DeleteKey(RT_HKCU, WOW64_64, kKey);
    Reg::CreateKey(RT_HKCU, WOW64_64, kKey);
    test::Recorded().Reset();
    test::Recorded().answers = c.answers;
    sentrel().Settings.Update([&](TSettings& f) {
      f.fConfirmAdd = c.confirm;
      f.fCanCreateKey = c.canCreateKey;
    });
    // The type directory and its ".ADD" command, as the tree holds them.
    TMemItem dir(ELT_DIRECTORY, nullptr);
    dir.ItemType = TestType(c.type, ET_OPTIONAL, c.typeAddress);
    dir.Address = c.typeAddress;
    dir.ValueName = u"TEST_TYPE";
    TMemItem add(ELT_COMMAND, &dir);
    add.ItemType = dir.ItemType;
    add.Address = dir.Address;
    add.ValueName = u".ADD";
    add.Value = TValue::Text(u"");
    bool result = !c.result;
    const Seen seen = test::RunAsUser([&] { result = ShowAddForm(sentrel(), add); }, c.steps, c.screenshot);
    ExpectNoProblems(seen);
    EXPECT_EQ(u"TAddForm", seen.windowClass);
    EXPECT_EQ(c.result, result);
    if (!c.writtenKey.empty()) {
      EXPECT_EQ(Describe(c.written), Describe(Stored(c.writtenName, c.writtenKey)));
    }
    // Nothing else was written: the type's key holds at most the expected value, and the subkeys
    // exist only where a value was written.
    for (const auto& n : Reg::ValueNames(RT_HKCU, WOW64_64, kKey))
      EXPECT_TRUE(c.writtenKey == kKey && n == c.writtenName) << ToUtf8(n);
    if (c.writtenKey != kSubKey) {
      EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, kSubKey));
    }
    if (!c.result) {
      EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, u"Software\\KestrowDialogs\\Missing"));
    }
    ExpectRequests(c.requests);
    ExpectLogged(c.logged);
    if (c.check) c.check(seen);
  }
}

TEST_F(DialogTest, AddDialogShowsTheTypeInItsControls) {
  TMemItem dir(ELT_DIRECTORY, nullptr);
  dir.ItemType = {u"HKLM_SERV64", RT_HKLM, ET_MUST, VAL_INTEGER, WOW64_64, u"\\SYSTEM\\CurrentControlSet\\Services"};
  TMemItem add(ELT_COMMAND, &dir);
  add.ItemType = dir.ItemType;
  add.Address = dir.ItemType.DefAddr;
  add.ValueName = u".ADD";
  const Seen seen = test::RunAsUser([&] { ShowAddForm(sentrel(), add); }, {Click(idCancel)});
  ExpectNoProblems(seen);
  const std::vector<Expected> table = {
      {idTypeIDLabel, u"Type ID:", 8, 17, 42, 13},
      {idTypeID, u"HKLM_SERV64", 8, 36, 185, 17},
      {idValueTypeLabel, u"Value type:", 216, 17, 55, 13},
      {idValueType, u"VAL_INTEGER", 216, 36, 193, 17},
      {idEditTypeLabel, u"Edit type:", 8, 64, 47, 13},
      {idEditType, u"ET_MUST", 8, 82, 185, 17},
      {idRootTypeLabel, u"Root type:", 216, 63, 52, 13},
      {idRootType, u"RT_HKLM", 216, 82, 193, 17},
      {idFolderNameLabel, u"Folder name:", 8, 114, 63, 13},
      {idFolderName, u"", 8, 133, 401, 21},
      {idPathLabel, u"Path:", 8, 168, 26, 13},
      {idPath, u"\\SYSTEM\\CurrentControlSet\\Services\\", 8, 187, 401, 21},
      {idValueNameLabel, u"Value name:", 8, 213, 59, 13},
      {idValueName, u"", 8, 232, 401, 21},
      {idValueLabel, u"New value:", 8, 267, 54, 13},
      {idValue, u"", 8, 283, 401, 21},
      {idValueLines, u"", 8, 310, 401, 82},
      {idOK, u"OK", 8, 398, 75, 25},
      {idCancel, u"Cancel", 341, 398, 75, 25},
  };
  ExpectLayout(seen, table, 419, 429);
  EXPECT_FALSE(seen.dialogFrame);
  EXPECT_TRUE(seen.controls.at(idValue).numbersOnly);
  EXPECT_FALSE(seen.controls.at(idOK).defaultButton);
  EXPECT_FALSE(seen.controls.at(idCancel).defaultButton);
  test::Recorded().Reset();
}

// ---------------------------------------------------------------- About dialog

struct InfoCase {
  const char* name;
  std::vector<Step> steps;
  std::string screenshot = "";
};

TEST_F(DialogTest, AboutDialogClosesWithOkEnterOrTheCloseBox) {
  const std::vector<InfoCase> cases = {
      {"OK", {Click(idOK)}, "about"},
      {"Enter presses the default button", {Key(test::kEnter)}},
      {"the close box", {CloseBox()}},
      {"Escape does nothing; Tab stays on OK", {Key(test::kEscape), TabCycle(), Click(idOK)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Seen seen = test::RunAsUser([] { ShowInfoForm(); }, c.steps, c.screenshot);
    ExpectNoProblems(seen);
    EXPECT_EQ(u"TInfoForm", seen.windowClass);
    EXPECT_EQ(idOK, seen.focus);
  }
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(DialogTest, AboutDialogLayout) {
  const Seen seen = test::RunAsUser([] { ShowInfoForm(); }, {TabCycle(), Click(idOK)});
  ExpectNoProblems(seen);
  const std::vector<Expected> table = {
      {idPicture, nullptr, 8, 8, 281, 217},
      {idCaptionStrip, u"Kestrow " KESTROW_VERSION, 6, 231, 281, 17},
      {idOK, u"OK", 104, 254, 75, 25},
  };
  ExpectLayout(seen, table, 295, 283);
  EXPECT_TRUE(seen.controls.at(idOK).defaultButton);
  EXPECT_TRUE(seen.controls.at(idCaptionStrip).bold);
  EXPECT_FALSE(seen.controls.at(idOK).bold);
  EXPECT_EQ(Ids({idOK}), seen.tabCycle);
#ifdef _WIN32
  EXPECT_TRUE(seen.dialogFrame);
  // The picture fills the box's height; kept in proportion it leaves a strip on the right.
  EXPECT_EQ(-1, seen.pictureCenterColor);
  EXPECT_EQ(clBtnFace, seen.pictureRightEdgeColor);
#endif
}

// The About picture: a colour JPEG of 676 x 530 pixels. Its frame header gives the size and the
// number of colour components.
struct JpegFrame {
  int width = 0, height = 0, components = 0;
};

JpegFrame ReadJpegFrame(const std::string& bytes) {
  JpegFrame f;
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() < 4 || at(0) != 0xFF || at(1) != 0xD8) return f;
  std::size_t i = 2;
  while (i + 9 < bytes.size()) {
    if (at(i) != 0xFF) return f;
    const unsigned marker = at(i + 1);
    const std::size_t length = (at(i + 2) << 8) | at(i + 3);
    if (marker >= 0xC0 && marker <= 0xC3) {
      f.height = (at(i + 5) << 8) | at(i + 6);
      f.width = (at(i + 7) << 8) | at(i + 8);
      f.components = at(i + 9);
      return f;
    }
    i += 2 + length;
  }
  return f;
}

std::vector<std::string> AboutPictures() {
  std::vector<std::string> pictures;
  std::ifstream file(KESTROW_ABOUT_PICTURE, std::ios::binary);
  pictures.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
#ifdef _WIN32
  // The copy in the plugin's resources, as the About dialog loads it.
  HMODULE plugin = LoadLibraryExW(reinterpret_cast<const wchar_t*>(FromUtf8(KESTROW_PLUGIN_FILE).c_str()), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  EXPECT_NE(nullptr, plugin);
  if (plugin) {
    HRSRC res = FindResourceW(plugin, L"ABOUT", MAKEINTRESOURCEW(10));
    EXPECT_NE(nullptr, res);
    if (res) {
      const char* data = static_cast<const char*>(LockResource(LoadResource(plugin, res)));
      pictures.emplace_back(data, SizeofResource(plugin, res));
    }
    FreeLibrary(plugin);
  }
#endif
  return pictures;
}

TEST(AboutPicture, IsAColourJpegOf676By530) {
  const auto pictures = AboutPictures();
  for (const auto& bytes : pictures) {
    const JpegFrame f = ReadJpegFrame(bytes);
    EXPECT_EQ(676, f.width);
    EXPECT_EQ(530, f.height);
    EXPECT_EQ(3, f.components);
    EXPECT_LT(bytes.size(), 2u * 1024 * 1024);
  }
  if (pictures.size() == 2) {
    EXPECT_EQ(pictures[0], pictures[1]);
  }
}

// ---------------------------------------------------------------- the forms' own rules

TEST(FormLogic, MemoLinesSplitAndJoin) {
  struct Case {
    const char16_t* text;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a\r\n", {u"a"}},
      {u"a\r\nb", {u"a", u"b"}},
      {u"a\r\n\r\nb", {u"a", u"", u"b"}},
      {u"a\nb\rc", {u"a", u"b", u"c"}},
      {u"\r\n", {u""}},
      {u"two words\r\n", {u"two words"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    EXPECT_EQ(c.lines, SplitLines(c.text));
  }
  EXPECT_EQ(u"a\r\nb", JoinLines({u"a", u"b"}));
  EXPECT_EQ(u"", JoinLines({}));
}

TEST(FormLogic, DigitsOnlyFieldsTakeDigitsOnly) {
  TField f;
  f.NumbersOnly = true;
  for (char16_t c : std::u16string(u"0123456789")) EXPECT_TRUE(f.Accepts(c));
  for (char16_t c : std::u16string(u"-+ xa$.")) EXPECT_FALSE(f.Accepts(c));
  f.ReadOnly = true;
  EXPECT_FALSE(f.Accepts(u'1'));
}

TEST(FormLogic, ScalingByTheSystemResolution) {
  struct Case {
    int v, dpi, scaled;
  };
  const Case cases[] = {{424, 96, 424}, {424, 120, 530}, {370, 144, 555}, {17, 120, 21}, {13, 120, 16}, {21, 0, 21}};
  for (const auto& c : cases) EXPECT_EQ(c.scaled, ScaleToDpi(c.v, c.dpi)) << c.v << " at " << c.dpi;
}

TEST(FormLogic, FirstActivationOnly) {
  TMemItem mi = Item(VAL_STRING, TValue::Text(u"x"));
  TEditForm edit(mi);
  EXPECT_EQ(idValue, edit.FormActivate());
  EXPECT_EQ(idNone, edit.FormActivate());
  mi.ItemType.ValueType = VAL_MULTISZ;
  TEditForm multi(mi);
  EXPECT_EQ(idValueLines, multi.FormActivate());
  TMemItem add(ELT_COMMAND, nullptr);
  TAddForm a(add);
  EXPECT_EQ(idFolderName, a.FormActivate());
  EXPECT_EQ(idNone, a.FormActivate());
  EXPECT_FALSE(a.FormKeyDown(13));
  EXPECT_EQ(mrNone, a.ModalResult);
  EXPECT_TRUE(a.FormKeyDown(27));
  EXPECT_EQ(mrCancel, a.ModalResult);
}

}  // namespace
}  // namespace kestrow
