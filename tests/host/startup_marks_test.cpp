// Run entries switched off the way the system's start-up settings switch them off: the marks
// under Explorer\StartupApproved read into the listing and the State column, and written by
// FsSetAttrW. The real registry under Wine does not act on the marks; the bytes are checked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/helpers.h"

namespace kestrow {
namespace {

using test::Column;
using test::Exports;
using test::Reg;
using test::SetAttr;
using Bytes = std::vector<std::uint8_t>;

const char16_t* const kApproved = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved";
const std::u16string kMarkRun = std::u16string(kApproved) + u"\\Run";
const std::u16string kMarkRun32 = std::u16string(kApproved) + u"\\Run32";
constexpr std::uint32_t kHidden = 2;
constexpr std::uint64_t kStepsPerSecond = 10000000;
constexpr std::uint64_t kUnixEpoch = 11644473600ull * kStepsPerSecond;

// 2024-03-01 12:34:56 UTC as a FILETIME.
constexpr std::uint64_t kSomeTime = kUnixEpoch + 1709296496ull * kStepsPerSecond;

std::uint64_t NowAsFileTime() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return kUnixEpoch + static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count()) * 10;
}

Bytes Mark(std::uint8_t first, std::uint64_t time, std::size_t size = 12) {
  Bytes b(size, 0);
  if (size > 0) b[0] = first;
  for (std::size_t i = 0; i < 8 && 4 + i < size; ++i) b[4 + i] = std::uint8_t(time >> (8 * i));
  return b;
}

std::uint64_t TimeIn(const Bytes& b) {
  std::uint64_t t = 0;
  for (std::size_t i = 0; i < 8; ++i) t |= std::uint64_t(b[4 + i]) << (8 * i);
  return t;
}

// One Run location and where its marks are kept (always in the 64-bit view).
struct Location {
  const char16_t* typeId;
  ROOT_TYPES root;
  PLATFORM_TYPE view;
  std::u16string markKey;
};
const Location kUserRun32 = {u"HKCU_RUN32", RT_HKCU, WOW64_32, kMarkRun};
const Location kUserRun64 = {u"HKCU_RUN64", RT_HKCU, WOW64_64, kMarkRun};
const Location kMachineRun32 = {u"HKLM_RUN32", RT_HKLM, WOW64_32, kMarkRun32};
const Location kMachineRun64 = {u"HKLM_RUN64", RT_HKLM, WOW64_64, kMarkRun};
const Location kLocations[] = {kUserRun32, kUserRun64, kMachineRun32, kMachineRun64};

class StartupMarksTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    for (auto root : {RT_HKCU, RT_HKLM})
      for (auto view : {WOW64_32, WOW64_64}) {
        Reg::DeleteKey(root, view, kApproved);
        Own(root, view, kApproved);
      }
    Exports();
    test::Recorded().Reset();
  }

  static std::u16string Path(const Location& l, const std::u16string& name) {
    return u"\\" + std::u16string(l.typeId) + u"\\" + name;
  }
  // The attribute word the listing of the location gives the entry; ~0 when it is not listed.
  static std::uint32_t Attributes(const Location& l, const std::u16string& name) {
    return test::AttributesOf(u"\\" + std::u16string(l.typeId), name);
  }
};

// "Off since YYYY-MM-DD HH:MM:SS" for the FILETIME, in local time: the seconds are those of the
// UTC time, and the minutes differ from it by whole quarter hours (every time zone does).
void ExpectOffSince(const std::string& text, std::uint64_t time) {
  const std::string head = "Off since ";
  ASSERT_EQ(head.size() + 19, text.size()) << text;
  ASSERT_EQ(head, text.substr(0, head.size())) << text;
  const std::string t = text.substr(head.size());
  for (std::size_t i : {4u, 7u}) EXPECT_EQ('-', t[i]) << text;
  EXPECT_EQ(' ', t[10]) << text;
  for (std::size_t i : {13u, 16u}) EXPECT_EQ(':', t[i]) << text;
  const std::uint64_t seconds = time / kStepsPerSecond;
  EXPECT_EQ(int(seconds % 60), std::stoi(t.substr(17, 2))) << text;
  const int minutes = std::stoi(t.substr(14, 2));
  EXPECT_EQ(0, ((minutes - int(seconds / 60 % 60)) % 15 + 15) % 15) << text;
}

TEST_F(StartupMarksTest, MarksOfEachRunLocationAreReadFromTheirKeyInThe64BitView) {
  for (const auto& l : kLocations) {
    SCOPED_TRACE(std::string(l.typeId, l.typeId + std::char_traits<char16_t>::length(l.typeId)));
    Reg::Str(l.root, l.view, test::kRun, u"Off", u"C:\\off.exe");
    Reg::Str(l.root, l.view, test::kRun, u"On", u"C:\\on.exe");
    Reg::Str(l.root, l.view, test::kRun, u"Plain", u"C:\\plain.exe");
    Reg::Set(l.root, WOW64_64, l.markKey, u"Off", REG_BINARY_, Mark(0x03, kSomeTime));
    Reg::Set(l.root, WOW64_64, l.markKey, u"On", REG_BINARY_, Mark(0x02, 0));
    EXPECT_EQ(kHidden, Attributes(l, u"Off"));
    EXPECT_EQ(0u, Attributes(l, u"On"));
    EXPECT_EQ(0u, Attributes(l, u"Plain"));
    ExpectOffSince(Column(Path(l, u"Off"), 7), kSomeTime);
    EXPECT_EQ("On", Column(Path(l, u"On"), 7));
    EXPECT_EQ("On", Column(Path(l, u"Plain"), 7));
    Reg::DeleteKey(l.root, l.view, test::kRun);
    Reg::DeleteKey(l.root, WOW64_64, kApproved);
  }
}

TEST_F(StartupMarksTest, MachineMarksBelongToOneViewOnly) {
  // A mark under Run32 switches off the 32-bit view's entry, one under Run the 64-bit view's,
  // and a mark in the 32-bit view of the registry is no mark at all.
  for (auto view : {WOW64_32, WOW64_64}) Reg::Str(RT_HKLM, view, test::kRun, u"Tool", u"C:\\tool.exe");
  Reg::Set(RT_HKLM, WOW64_64, kMarkRun32, u"Tool", REG_BINARY_, Mark(0x03, kSomeTime));
  EXPECT_EQ(kHidden, Attributes(kMachineRun32, u"Tool"));
  EXPECT_EQ(0u, Attributes(kMachineRun64, u"Tool"));
  Reg::DeleteKey(RT_HKLM, WOW64_64, kApproved);
  Reg::Set(RT_HKLM, WOW64_32, kMarkRun, u"Tool", REG_BINARY_, Mark(0x03, kSomeTime));
  Reg::Set(RT_HKLM, WOW64_32, kMarkRun32, u"Tool", REG_BINARY_, Mark(0x03, kSomeTime));
  EXPECT_EQ(0u, Attributes(kMachineRun32, u"Tool"));
  EXPECT_EQ(0u, Attributes(kMachineRun64, u"Tool"));
}

TEST_F(StartupMarksTest, OnlyATwelveByteBinaryMarkWithAnOddFirstByteSwitchesOff) {
  struct Case {
    const char* what;
    std::uint32_t type;
    Bytes data;
    bool off;
    const char* state;  // null: "Off since" the time in the mark
  };
  const Case cases[] = {
      {"02 on", REG_BINARY_, Mark(0x02, 0), false, "On"},
      {"06 on", REG_BINARY_, Mark(0x06, 0), false, "On"},
      {"03 off", REG_BINARY_, Mark(0x03, kSomeTime), true, nullptr},
      {"07 off", REG_BINARY_, Mark(0x07, kSomeTime), true, nullptr},
      {"off without a time", REG_BINARY_, Mark(0x03, 0), true, "Off"},
      {"11 bytes", REG_BINARY_, Mark(0x03, kSomeTime, 11), false, "On"},
      {"13 bytes", REG_BINARY_, Mark(0x03, kSomeTime, 13), false, "On"},
      {"empty", REG_BINARY_, Bytes(), false, "On"},
      {"a DWORD", REG_DWORD_, Bytes{3, 0, 0, 0}, false, "On"},
      {"a QWORD-sized DWORD", REG_DWORD_, Mark(0x03, kSomeTime), false, "On"},
      {"a string", REG_SZ_, Reg::Utf16Bytes(u"03"), false, "On"},
      {"12 bytes of REG_NONE", REG_NONE_, Mark(0x03, kSomeTime), false, "On"},
  };
  const Location& l = kUserRun64;
  Reg::Str(l.root, l.view, test::kRun, u"Tool", u"C:\\tool.exe");
  Reg::Str(l.root, l.view, test::kRun, u"Next", u"C:\\next.exe");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reg::Set(l.root, WOW64_64, l.markKey, u"Tool", c.type, c.data);
    EXPECT_EQ(c.off ? kHidden : 0u, Attributes(l, u"Tool"));
    // Nothing after it is hidden or lost.
    EXPECT_EQ(0u, Attributes(l, u"Next"));
    if (c.state) {
      EXPECT_EQ(c.state, Column(Path(l, u"Tool"), 7));
    } else {
      ExpectOffSince(Column(Path(l, u"Tool"), 7), kSomeTime);
    }
  }
}

TEST_F(StartupMarksTest, HiddenAttributeSwitchesOffAndItsAbsenceOnWritingTheMark) {
  for (const auto& l : kLocations) {
    SCOPED_TRACE(std::string(l.typeId, l.typeId + std::char_traits<char16_t>::length(l.typeId)));
    test::Recorded().Reset();
    Reg::Str(l.root, l.view, test::kRun, u"Tool", u"C:\\tool.exe");
    ASSERT_EQ(0u, Attributes(l, u"Tool"));
    const std::uint64_t before = NowAsFileTime();
    // Other attributes (archive, read-only) go with the hidden one and mean nothing.
    ASSERT_EQ(KS_TRUE, SetAttr(Path(l, u"Tool"), kHidden | 0x20 | 0x01));
    const std::uint64_t after = NowAsFileTime();
    ASSERT_EQ(1u, test::Recorded().requests.size());
    EXPECT_EQ(RT_MsgYesNo, test::Recorded().requests[0].type);
    EXPECT_EQ(u"Confirm", test::Recorded().requests[0].title);
    EXPECT_EQ(u"Do you want to write new value?", test::Recorded().requests[0].text);
    auto mark = Reg::Get(l.root, WOW64_64, l.markKey, u"Tool");
    ASSERT_TRUE(mark);
    EXPECT_EQ(REG_BINARY_, mark->type);
    ASSERT_EQ(12u, mark->data.size());
    EXPECT_EQ((Bytes{0x03, 0, 0, 0}), Bytes(mark->data.begin(), mark->data.begin() + 4));
    const std::uint64_t written = TimeIn(mark->data);
    EXPECT_GE(written + 2 * kStepsPerSecond, before);
    EXPECT_LE(written, after + 2 * kStepsPerSecond);
    // The entry shows the state at once, and the next listing reads it back.
    ExpectOffSince(Column(Path(l, u"Tool"), 7), written);
    EXPECT_EQ(kHidden, Attributes(l, u"Tool"));
    ExpectOffSince(Column(Path(l, u"Tool"), 7), written);
    // The Run value itself is untouched.
    auto run = Reg::Get(l.root, l.view, test::kRun, u"Tool");
    ASSERT_TRUE(run);
    EXPECT_EQ(Reg::Utf16Bytes(u"C:\\tool.exe"), run->data);

    // Switched off again: nothing asked, nothing written, the time kept.
    test::Recorded().Reset();
    EXPECT_EQ(KS_TRUE, SetAttr(Path(l, u"Tool"), kHidden));
    EXPECT_TRUE(test::Recorded().requests.empty());
    EXPECT_EQ(mark->data, Reg::Get(l.root, WOW64_64, l.markKey, u"Tool")->data);

    ASSERT_EQ(KS_TRUE, SetAttr(Path(l, u"Tool"), 0x20));
    EXPECT_EQ(1u, test::Recorded().requests.size());
    mark = Reg::Get(l.root, WOW64_64, l.markKey, u"Tool");
    ASSERT_TRUE(mark);
    EXPECT_EQ(REG_BINARY_, mark->type);
    EXPECT_EQ((Bytes{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), mark->data);
    EXPECT_EQ("On", Column(Path(l, u"Tool"), 7));
    EXPECT_EQ(0u, Attributes(l, u"Tool"));
    Reg::DeleteKey(l.root, l.view, test::kRun);
    Reg::DeleteKey(l.root, WOW64_64, kApproved);
  }
  // Each location wrote into its own key of the 64-bit view only.
  EXPECT_FALSE(Reg::Get(RT_HKLM, WOW64_32, kMarkRun32, u"Tool"));
  EXPECT_FALSE(Reg::Get(RT_HKLM, WOW64_32, kMarkRun, u"Tool"));
}

TEST_F(StartupMarksTest, MachineEntryOf32BitViewIsMarkedUnderRun32Only) {
  const Location& l = kMachineRun32;
  Reg::Str(l.root, l.view, test::kRun, u"Tool", u"C:\\tool.exe");
  ASSERT_EQ(0u, Attributes(l, u"Tool"));
  ASSERT_EQ(KS_TRUE, SetAttr(Path(l, u"Tool"), kHidden));
  EXPECT_TRUE(Reg::Get(RT_HKLM, WOW64_64, kMarkRun32, u"Tool"));
  EXPECT_FALSE(Reg::Get(RT_HKLM, WOW64_64, kMarkRun, u"Tool"));
  EXPECT_FALSE(Reg::Get(RT_HKLM, WOW64_32, kMarkRun32, u"Tool"));
}

TEST_F(StartupMarksTest, AnswerNoWritesNothing) {
  const Location& l = kUserRun32;
  Reg::Str(l.root, l.view, test::kRun, u"Tool", u"C:\\tool.exe");
  ASSERT_EQ(0u, Attributes(l, u"Tool"));
  test::Recorded().answers = {false};
  EXPECT_EQ(KS_FALSE, SetAttr(Path(l, u"Tool"), kHidden));
  EXPECT_EQ(1u, test::Recorded().requests.size());
  EXPECT_FALSE(Reg::KeyExists(l.root, WOW64_64, l.markKey));
  EXPECT_EQ(0u, Attributes(l, u"Tool"));
}

TEST_F(StartupMarksTest, EverythingElseRefusesTheAttributeAndWritesNoMark) {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Tool", u"C:\\tool.exe");
  Reg::Str(RT_HKCU, WOW64_64, test::kRunOnce, u"Once", u"C:\\once.exe");
  test::List(u"\\HKCU_RUN64");
  test::List(u"\\HKCU_RUNONCE64");
  for (const char16_t* path : {u"\\HKCU_RUNONCE64\\Once", u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.ADD",
                               u"\\HKCU_RUN64\\.SAVE", u"\\HKCU_RUN64\\Missing", u"\\", u""}) {
    SCOPED_TRACE(ToUtf8(path));
    EXPECT_EQ(KS_FALSE, SetAttr(path, kHidden));
  }
  EXPECT_EQ(KS_FALSE, Exports().FsSetAttrW(nullptr, static_cast<std::int32_t>(kHidden)));
  EXPECT_TRUE(test::Recorded().requests.empty());
  EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, kApproved));
  // The State column is empty where it means nothing.
  EXPECT_EQ("", Column(u"\\HKCU_RUNONCE64\\Once", 7));
  EXPECT_EQ("", Column(u"\\HKCU_RUN64\\.ADD", 7));
}

TEST_F(StartupMarksTest, StateIsTheEighthColumn) {
  char name[64] = {};
  ASSERT_EQ(ft_string, Exports().FsContentGetSupportedField(7, name, nullptr, sizeof name));
  EXPECT_STREQ("State", name);
  // The columns of what an entry starts follow it.
  ASSERT_EQ(ft_string, Exports().FsContentGetSupportedField(8, name, nullptr, sizeof name));
  EXPECT_STREQ("Target", name);
}

}  // namespace
}  // namespace kestrow
