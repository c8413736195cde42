// What an entry starts, through the exports: the Target, Target state, Publisher and Description
// columns of entries whose files are there, are missing, carry version strings or name no file;
// the date of an entry's key in the find data and in the Changed column; the icon of a missing
// target. The files are the small programs with version resources built for the tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "support/helpers.h"
#include "support/walks.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrow {
namespace {

using test::Column;
using test::Exports;
using test::List;
using test::Reg;
using test::W;

constexpr int kTarget = 8, kTargetState = 9, kPublisher = 10, kDescription = 11, kChanged = 12;

// The folder of the test programs, as the system names it ("Z:\...": natively the drive is dropped).
std::u16string Probes() { return FromUtf8(KESTROW_VERSION_PROBES); }
std::u16string Probe(const char16_t* name) { return Probes() + u"\\" + name; }
std::string Ansi(const std::u16string& s) { return ToUtf8(s); }  // the paths are ASCII

const std::u16string kService = std::u16string(test::kServices) + u"\\KestrowTargetSvc";
const std::u16string kEmptyService = std::u16string(test::kServices) + u"\\KestrowNoImageSvc";
const std::u16string kMissingService = std::u16string(test::kServices) + u"\\KestrowGoneSvc";

// The system time as a FILETIME.
std::uint64_t Now() {
  const auto since1970 =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  return std::uint64_t(since1970 / 100) + 116444736000000000ull;
}
constexpr std::uint64_t kSecond = 10000000;

// The Changed column: the FILETIME, or 0 with the result noted when it is no date.
std::uint64_t Changed(const std::u16string& path, std::int32_t* result = nullptr) {
  unsigned char buf[16];
  std::memset(buf, 0xAB, sizeof buf);
  auto p = W(path);
  const std::int32_t r = Exports().FsContentGetValueW(p.data(), kChanged, 0, buf, sizeof buf, 0);
  if (result) *result = r;
  if (r != ft_datetime) return 0;
  EXPECT_EQ(0xAB, buf[8]);  // a FILETIME, nothing after it
  KsFileTime t;
  std::memcpy(&t, buf, sizeof t);
  return std::uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

// The last-write time the listing of the directory gives the entry; 0 when it is not listed,
// ~0 for "no time".
std::uint64_t ListedTime(const std::u16string& dir, const std::u16string& name) {
  KsFindDataW fd;
  auto p = W(dir);
  const KS_HANDLE h = Exports().FsFindFirstW(p.data(), &fd);
  if (h == KsInvalidHandle()) return 0;
  std::uint64_t time = 0;
  do {
    if (test::NameOf(fd) != name) continue;
    const KsFileTime t = fd.ftLastWriteTime;
    time = t.dwHighDateTime == 0xFFFFFFFFu && t.dwLowDateTime == 0xFFFFFFFEu
               ? ~std::uint64_t(0)
               : std::uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
  } while (Exports().FsFindNextW(h, &fd));
  Exports().FsFindClose(h);
  return time;
}

class TargetColumnsTest : public test::FreshPluginTest {
 protected:
  void SetUp() override {
    test::FreshPluginTest::SetUp();
    Own(RT_HKLM, WOW64_64, kService);
    Own(RT_HKLM, WOW64_64, kEmptyService);
    Own(RT_HKLM, WOW64_64, kMissingService);
  }
};

struct ColumnCase {
  const char* label;
  std::u16string path;  // the entry
  std::u16string target;
  const char* state;
  const char* publisher;
  const char* description;
};

TEST_F(TargetColumnsTest, ColumnsOfEntriesWhoseFilesAreThereAreMissingOrNone) {
  const std::u16string probe64 = Probe(u"probe64.exe"), probe32 = Probe(u"probe32.exe");
  const std::u16string missing = Probe(u"kestrow-missing.exe"), plain = Probe(u"plain.exe");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Quoted", u"\"" + probe64 + u"\" /background");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Gone", missing + u" -x");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Plain", plain);
  Reg::Dword(RT_HKCU, WOW64_64, test::kRun, u"Number", 7);
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Empty", u"");
  Hide(RT_HKLM, WOW64_64, test::kWinlogon, u"Userinit");
  Reg::Str(RT_HKLM, WOW64_64, test::kWinlogon, u"Userinit", probe64 + u"," + missing + u",");
  Reg::Dword(RT_HKLM, WOW64_64, kService, u"Start", 2);
  Reg::Str(RT_HKLM, WOW64_64, kService, u"ImagePath", u"\"" + probe32 + u"\"", REG_EXPAND_SZ_);
  Reg::Dword(RT_HKLM, WOW64_64, kEmptyService, u"Start", 3);
  Reg::Dword(RT_HKLM, WOW64_64, kMissingService, u"Start", 1);
  Reg::Str(RT_HKLM, WOW64_64, kMissingService, u"ImagePath", u"\\??\\" + missing, REG_EXPAND_SZ_);
  List(u"\\HKCU_RUN64");
  List(u"\\HKLM_WINLOGON64");
  List(u"\\HKLM_SERV64");

  const ColumnCase cases[] = {
      {"a quoted path with arguments, version strings", u"\\HKCU_RUN64\\Quoted", probe64, "Found",
       "Kestrow Test Company", "Version probe (64-bit)"},
      {"a missing file with a switch", u"\\HKCU_RUN64\\Gone", missing, "Missing", "", ""},
      {"a file without version strings", u"\\HKCU_RUN64\\Plain", plain, "Found", "", ""},
      {"a number names no file", u"\\HKCU_RUN64\\Number", u"", "", "", ""},
      {"an empty value names no file", u"\\HKCU_RUN64\\Empty", u"", "", "", ""},
      {"a list with one file missing", u"\\HKLM_WINLOGON64\\Userinit", probe64 + u"; " + missing, "Missing",
       "Kestrow Test Company", "Version probe (64-bit)"},
      {"a service directory starts its image", u"\\HKLM_SERV64\\KestrowTargetSvc", probe32, "Found",
       "Kestrow Test Company", "Version probe (32-bit)"},
      {"the service's image itself", u"\\HKLM_SERV64\\KestrowTargetSvc\\ImagePath", probe32, "Found",
       "Kestrow Test Company", "Version probe (32-bit)"},
      {"the service's start number starts nothing", u"\\HKLM_SERV64\\KestrowTargetSvc\\Start", u"", "", "", ""},
      {"the service's type starts nothing", u"\\HKLM_SERV64\\KestrowTargetSvc\\Type", u"", "", "", ""},
      {"a service without an image", u"\\HKLM_SERV64\\KestrowNoImageSvc", u"", "", "", ""},
      {"a driver path of the object manager, missing", u"\\HKLM_SERV64\\KestrowGoneSvc", missing, "Missing", "", ""},
      {"a type directory starts nothing", u"\\HKCU_RUN64", u"", "", "", ""},
      {"a command file starts nothing", u"\\HKCU_RUN64\\.ADD", u"", "", "", ""},
  };
  // Asked twice: the second answer comes from what the first worked out.
  for (int round = 0; round < 2; ++round) {
    for (const ColumnCase& c : cases) {
      SCOPED_TRACE(c.label);
      EXPECT_EQ(Ansi(c.target), Column(c.path, kTarget));
      EXPECT_EQ(c.state, Column(c.path, kTargetState));
      EXPECT_EQ(c.publisher, Column(c.path, kPublisher));
      EXPECT_EQ(c.description, Column(c.path, kDescription));
    }
  }
  // The stored value and the description of an entry stay as they were.
  EXPECT_EQ(Ansi(u"\"" + probe64 + u"\" /background"), Column(u"\\HKCU_RUN64\\Quoted", 6));
}

// HKCU\Software and the services are one key in both views, started by the system's own programs;
// HKLM\SOFTWARE has a 32-bit view of its own, whose System32 is SysWOW64 on a 64-bit system.
TEST_F(TargetColumnsTest, EachEntryIsResolvedAsItsOwnViewStartsIt) {
  const std::u16string value = u"%SystemRoot%\\System32\\kestrow-none.exe";
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Sys", value, REG_EXPAND_SZ_);
  Reg::Str(RT_HKLM, WOW64_32, test::kRun, u"Sys", value, REG_EXPAND_SZ_);
  Reg::Str(RT_HKLM, WOW64_64, test::kRun, u"Sys", value, REG_EXPAND_SZ_);
  // A service is one key in both views, started by the 64-bit service control manager.
  Reg::Dword(RT_HKLM, WOW64_64, kService, u"Start", 3);
  Reg::Str(RT_HKLM, WOW64_64, kService, u"ImagePath", value, REG_EXPAND_SZ_);
#ifndef _WIN32
  test::SetEnv("SystemRoot", u"C:\\Windows");  // as Windows sets it
#endif
  for (const char16_t* dir : {u"\\HKCU_RUN32", u"\\HKCU_RUN64", u"\\HKLM_RUN32", u"\\HKLM_RUN64", u"\\HKLM_SERV32",
                              u"\\HKLM_SERV64"})
    List(dir);
  bool system64 = sizeof(void*) == 8;
#ifdef _WIN32
  BOOL wow = FALSE;
  if (!system64 && IsWow64Process(GetCurrentProcess(), &wow)) system64 = wow != FALSE;
#endif
  const auto endsWith = [](const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) !=
          std::tolower(static_cast<unsigned char>(tail[i])))
        return false;
    return true;
  };
  const std::string own = "\\System32\\kestrow-none.exe";
  const std::string redirected = system64 ? "\\SysWOW64\\kestrow-none.exe" : own;
  const struct {
    const char16_t* path;
    const std::string& tail;
  } cases[] = {{u"\\HKCU_RUN32\\Sys", own},
               {u"\\HKCU_RUN64\\Sys", own},
               {u"\\HKLM_RUN32\\Sys", redirected},
               {u"\\HKLM_RUN64\\Sys", own},
               {u"\\HKLM_SERV32\\KestrowTargetSvc", own},
               {u"\\HKLM_SERV64\\KestrowTargetSvc", own}};
  for (const auto& c : cases) {
    const std::string target = Column(c.path, kTarget);
    EXPECT_TRUE(endsWith(target, c.tail)) << ToUtf8(c.path) << ": " << target;
    EXPECT_EQ(std::string::npos, target.find('%')) << target;
    EXPECT_EQ("Missing", Column(c.path, kTargetState));
  }
}

// The find data and the Changed column carry the time the entry's key was last written: a key
// written just now has now's time, and a key written later a later one.
TEST_F(TargetColumnsTest, TheTimeAKeyWasWrittenIsTheEntrysDate) {
  const std::uint64_t serviceBefore = Now();
  Reg::Dword(RT_HKLM, WOW64_64, kService, u"Start", 2);
  Reg::Str(RT_HKLM, WOW64_64, kService, u"ImagePath", u"x.sys", REG_EXPAND_SZ_);
  const std::uint64_t serviceAfter = Now();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::uint64_t runBefore = Now();
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Fresh", u"C:\\fresh.exe");
  const std::uint64_t runAfter = Now();

  const std::uint64_t fresh = ListedTime(u"\\HKCU_RUN64", u"Fresh");
  const std::uint64_t service = ListedTime(u"\\HKLM_SERV64", u"KestrowTargetSvc");
  // The registry's clock and the test's may round differently: a second either way.
  EXPECT_GE(fresh, runBefore - kSecond);
  EXPECT_LE(fresh, runAfter + kSecond);
  EXPECT_GE(service, serviceBefore - kSecond);
  EXPECT_LE(service, serviceAfter + kSecond);
  EXPECT_LT(service, fresh);
  // Everything read from a key has its time: the values in the service's directory, and the type
  // directory of the Run key, which the value was the last write to.
  EXPECT_EQ(service, ListedTime(u"\\HKLM_SERV64\\KestrowTargetSvc", u"Start"));
  EXPECT_EQ(service, ListedTime(u"\\HKLM_SERV64\\KestrowTargetSvc", u"ImagePath"));
  EXPECT_EQ(fresh, ListedTime(u"\\", u"HKCU_RUN64"));
  EXPECT_EQ(fresh, ListedTime(u"\\", u"HKCU_RUN32"));  // the same key
  // A command file has no time.
  EXPECT_EQ(~std::uint64_t(0), ListedTime(u"\\HKCU_RUN64", u".ADD"));

  EXPECT_EQ(fresh, Changed(u"\\HKCU_RUN64\\Fresh"));
  EXPECT_EQ(service, Changed(u"\\HKLM_SERV64\\KestrowTargetSvc"));
  EXPECT_EQ(service, Changed(u"\\HKLM_SERV64\\KestrowTargetSvc\\ImagePath"));
  EXPECT_EQ(fresh, Changed(u"\\HKCU_RUN64"));
  std::int32_t result = 0;
  EXPECT_EQ(0u, Changed(u"\\HKCU_RUN64\\.ADD", &result));
  EXPECT_EQ(ft_fieldempty, result);
  // A buffer too small for a FILETIME is left alone.
  unsigned char small[4] = {1, 2, 3, 4};
  auto p = W(u"\\HKCU_RUN64\\Fresh");
  EXPECT_EQ(ft_datetime, Exports().FsContentGetValueW(p.data(), kChanged, 0, small, sizeof small, 0));
  EXPECT_EQ(1, small[0]);

  // A later write moves the date of the key's entries on the next listing.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Later", u"C:\\later.exe");
  EXPECT_LT(fresh, ListedTime(u"\\HKCU_RUN64", u"Fresh"));
}

// A fingerprint of the icon the plugin gives for an entry: natively the resource token, on
// Windows the pixels of its colour image. Empty when the plugin gives no icon.
std::string IconOf(const std::u16string& path) {
  KS_HICON icon = nullptr;
  auto p = W(path);
  if (Exports().FsExtractCustomIconW(p.data(), FS_ICONFLAG_SMALL | FS_ICONFLAG_BACKGROUND, &icon) !=
          FS_ICON_EXTRACTED_DESTROY ||
      !icon)
    return {};
#ifdef _WIN32
  std::string pixels;
  ICONINFO info{};
  if (GetIconInfo(static_cast<HICON>(icon), &info)) {
    BITMAP bitmap{};
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap) == sizeof bitmap) {
      pixels.resize(static_cast<std::size_t>(bitmap.bmWidthBytes) * static_cast<std::size_t>(bitmap.bmHeight));
      pixels.resize(static_cast<std::size_t>(
          GetBitmapBits(info.hbmColor, static_cast<LONG>(pixels.size()), pixels.data())));
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
  DestroyIcon(static_cast<HICON>(icon));
  return pixels.empty() ? std::string("unreadable") : pixels;
#else
  return std::to_string(reinterpret_cast<std::uintptr_t>(icon));
#endif
}

TEST_F(TargetColumnsTest, AMissingTargetHasAnIconOfItsOwn) {
  const std::u16string missing = Probe(u"kestrow-missing.exe");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"There", Probe(u"probe64.exe"));
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Gone", missing);
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Nothing", u"");
  Hide(RT_HKLM, WOW64_64, test::kWinlogon, u"Userinit");
  Hide(RT_HKLM, WOW64_64, test::kWinlogon, u"UIHost");
  Reg::Str(RT_HKLM, WOW64_64, test::kWinlogon, u"Userinit", missing + u",");
  Reg::Dword(RT_HKLM, WOW64_64, kService, u"Start", 2);
  Reg::Str(RT_HKLM, WOW64_64, kService, u"ImagePath", Probe(u"probe64.exe"), REG_EXPAND_SZ_);
  Reg::Dword(RT_HKLM, WOW64_64, kMissingService, u"Start", 2);
  Reg::Str(RT_HKLM, WOW64_64, kMissingService, u"ImagePath", missing, REG_EXPAND_SZ_);
  for (const char16_t* dir : {u"\\HKCU_RUN64", u"\\HKLM_WINLOGON64", u"\\HKLM_SERV64"}) List(dir);

  const std::string optional = IconOf(u"\\HKCU_RUN64\\There");
  const std::string required = IconOf(u"\\HKLM_WINLOGON64\\UIHost");  // required, not there: no target
  const std::string gone = IconOf(u"\\HKCU_RUN64\\Gone");
  ASSERT_FALSE(optional.empty());
  ASSERT_FALSE(required.empty());
  ASSERT_FALSE(gone.empty());
  EXPECT_NE(optional, gone);
  EXPECT_NE(required, gone);
  EXPECT_NE(optional, required);
  // An entry that names no file keeps the icon of its kind.
  EXPECT_EQ(optional, IconOf(u"\\HKCU_RUN64\\Nothing"));
  // Missing outweighs required, and marks a service directory too; a service whose image is
  // there keeps the folder.
  EXPECT_EQ(gone, IconOf(u"\\HKLM_WINLOGON64\\Userinit"));
  EXPECT_EQ(gone, IconOf(u"\\HKLM_SERV64\\KestrowGoneSvc"));
  EXPECT_EQ(gone, IconOf(u"\\HKLM_SERV64\\KestrowGoneSvc\\ImagePath"));
  EXPECT_EQ("", IconOf(u"\\HKLM_SERV64\\KestrowTargetSvc"));
  EXPECT_EQ(optional, IconOf(u"\\HKCU_RUN64\\There"));  // asked again
}

// A host that would rather wait than block its own thread (CONTENT_DELAYIFSLOW for a column, no
// FS_ICONFLAG_BACKGROUND for an icon) is told to ask again from its background thread while an
// entry's target is not worked out; the entry's own fields, its date and the command files'
// icons answer at once. Once the background ask has worked it out, every ask answers at once.
TEST_F(TargetColumnsTest, AHostThatMayWaitAsksForTargetsAgainInTheBackground) {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"There", Probe(u"probe64.exe"));
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Gone", Probe(u"kestrow-missing.exe"));
  List(u"\\HKCU_RUN64");
  const auto value = [](const std::u16string& path, int field, std::int32_t flags, std::string* text = nullptr) {
    char buf[512];
    std::memset(buf, 'x', sizeof buf);
    auto p = W(path);
    const std::int32_t r = Exports().FsContentGetValueW(p.data(), field, 0, buf, sizeof buf, flags);
    if (text) *text = r == ft_string || r == ft_delayed ? std::string(buf, std::find(buf, buf + sizeof buf, '\0')) : "";
    return r;
  };
  const auto icon = [](const std::u16string& path, std::int32_t flags) {
    KS_HICON h = nullptr;
    auto p = W(path);
    const std::int32_t r = Exports().FsExtractCustomIconW(p.data(), flags, &h);
    EXPECT_EQ(r == FS_ICON_EXTRACTED_DESTROY, h != nullptr);
#ifdef _WIN32
    if (h) DestroyIcon(static_cast<HICON>(h));
#endif
    return r;
  };
  for (const char16_t* name : {u"There", u"Gone"}) {
    const std::u16string path = std::u16string(u"\\HKCU_RUN64\\") + name;
    SCOPED_TRACE(Ansi(path));
    std::string text = "not asked";
    // Not worked out yet: every field of what it starts, and its icon, wait for the background.
    for (int field : {kTarget, kTargetState, kPublisher, kDescription}) {
      EXPECT_EQ(ft_delayed, value(path, field, CONTENT_DELAYIFSLOW, &text)) << field;
      EXPECT_EQ("", text) << field;
    }
    EXPECT_EQ(FS_ICON_DELAYED, icon(path, FS_ICONFLAG_SMALL));
    // The entry's own fields and its date do not wait.
    EXPECT_EQ(ft_string, value(path, 5, CONTENT_DELAYIFSLOW, &text));
    EXPECT_EQ(Ansi(name), text);
    EXPECT_EQ(ft_datetime, value(path, kChanged, CONTENT_DELAYIFSLOW));
    // The background thread's ask works it out; from then on no ask waits.
    std::string state;
    EXPECT_EQ(ft_string, value(path, kTargetState, 0, &state));
    EXPECT_EQ(name == std::u16string(u"There") ? "Found" : "Missing", state);
    EXPECT_EQ(ft_string, value(path, kTargetState, CONTENT_DELAYIFSLOW, &text));
    EXPECT_EQ(state, text);
    EXPECT_EQ(ft_string, value(path, kTarget, CONTENT_DELAYIFSLOW, &text));
    EXPECT_NE("", text);
    EXPECT_EQ(FS_ICON_EXTRACTED_DESTROY, icon(path, FS_ICONFLAG_SMALL));
  }
  // Command files and type directories start nothing: their icons never wait.
  EXPECT_EQ(FS_ICON_EXTRACTED_DESTROY, icon(u"\\HKCU_RUN64\\.ADD", 0));
  EXPECT_EQ(FS_ICON_USEDEFAULT, icon(u"\\HKCU_RUN64", 0));
  // A new listing is a new tree: its entries wait again until worked out.
  List(u"\\HKCU_RUN64");
  EXPECT_EQ(ft_delayed, value(u"\\HKCU_RUN64\\There", kTarget, CONTENT_DELAYIFSLOW));
}

// Two threads ask about the same entries of one listing at once, as the main thread and a host's
// worker thread do: both get the same answers, whoever works an entry out first.
TEST_F(TargetColumnsTest, ThreadsAskingAtOnceGetTheSameAnswers) {
  const std::u16string probe64 = Probe(u"probe64.exe"), missing = Probe(u"kestrow-missing.exe");
  for (int i = 0; i < 40; ++i) {
    const std::u16string n = FromUtf8(std::to_string(i));
    Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Entry" + n, i % 3 ? probe64 + u" /n" + n : missing);
  }
  const auto entries = List(u"\\HKCU_RUN64");  // one tree; nothing rebuilds it below
  const auto ask = [&] {
    std::vector<std::string> answers;
    for (const auto& e : entries) {
      const std::u16string path = test::Join(u"\\HKCU_RUN64", e.name);
      for (int field : {kTarget, kTargetState, kPublisher, kDescription}) answers.push_back(Column(path, field));
      answers.push_back(IconOf(path).empty() ? "no icon" : "icon");
    }
    return answers;
  };
  std::vector<std::string> first, second;
  std::thread other([&] { second = ask(); });
  first = ask();
  other.join();
  EXPECT_EQ(first, second);
  ASSERT_EQ(43u * 5, first.size());
  EXPECT_EQ("Missing", first[3 * 5 + 1]);  // Entry0
  EXPECT_EQ("Found", first[4 * 5 + 1]);    // Entry1
}

}  // namespace
}  // namespace kestrow
