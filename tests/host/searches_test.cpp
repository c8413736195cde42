// Searches as the file managers run them: a subdirectory listed while the search of its parent is
// still open (counting, deleting and copying a tree), searches stepped alternately, a search left
// open while others run, and handles that name no open search.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <thread>

#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"
#include "support/walks.h"

namespace kestrow {
namespace {

using test::Entry;
using test::List;
using test::Names;
using test::Exports;
using test::Reg;
using test::W;
using test::Walked;

const std::u16string kWalkService = std::u16string(test::kServices) + u"\\KestrowWalkSvc";

std::u16string Numbered(const char16_t* prefix, int i) {
  return prefix + FromUtf8(std::to_string(10 + i));
}

class SearchesTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    Exports();
    test::Recorded().Reset();
    // A user's Run key of 10 values and a machine's of 28, and a few services of our own.
    for (int i = 0; i < 10; ++i) Reg::Str(RT_HKCU, WOW64_64, test::kRun, Numbered(u"User", i), u"C:\\user.exe");
    for (int i = 0; i < 28; ++i) Reg::Str(RT_HKLM, WOW64_64, test::kRun, Numbered(u"Machine", i), u"C:\\m.exe");
    for (int i = 0; i < 4; ++i) {
      const std::u16string key = kWalkService + FromUtf8(std::to_string(i));
      Own(RT_HKLM, WOW64_64, key);
      Reg::Dword(RT_HKLM, WOW64_64, key, u"Start", 3);
      Reg::Str(RT_HKLM, WOW64_64, key, u"ImagePath", u"walk.sys");
    }
  }

  // Steps one search: the next entry's name, or nothing at its end.
  static std::optional<std::u16string> Next(KS_HANDLE h) {
    KsFindDataW fd;
    if (!Exports().FsFindNextW(h, &fd)) return std::nullopt;
    return test::NameOf(fd);
  }
  static KS_HANDLE Open(const std::u16string& path, std::u16string* first) {
    KsFindDataW fd;
    auto p = W(path);
    KS_HANDLE h = Exports().FsFindFirstW(p.data(), &fd);
    if (h != KsInvalidHandle()) *first = test::NameOf(fd);
    return h;
  }
  static void Status(std::int32_t startEnd, std::int32_t operation) {
    auto p = W(u"\\");
    Exports().FsStatusInfoW(p.data(), startEnd, operation);
  }
  // Whether a listing of the user's Run key shows a value.
  static bool Shows(const std::u16string& name) { return test::Lists(u"\\HKCU_RUN64", name); }
  // A value added by another program than the plugin.
  static void AddedElsewhere(const std::u16string& name) { Reg::Str(RT_HKCU, WOW64_64, test::kRun, name, u"x"); }
};

TEST_F(SearchesTest, ANestedWalkOfTheRootReachesEveryDirectoryOnceAndCopiesEveryFile) {
  const Walked flat = test::WalkFlat(u"\\");
  const Walked nested = test::WalkNested(u"\\", test::ScratchFolder());
  std::printf("nested walk of the root: %zu directories, %zu files copied out (one at a time: %zu directories)\n",
              nested.dirs.size(), nested.copied, flat.dirs.size());
  for (const auto& p : nested.problems) ADD_FAILURE() << p;
  ASSERT_EQ(46u, flat.dirs.at(u"\\").size());
  // Every directory the one-at-a-time walk lists, with the same entries in the same order.
  ASSERT_EQ(flat.dirs.size(), nested.dirs.size());
  for (const auto& [dir, entries] : flat.dirs) {
    ASSERT_TRUE(nested.dirs.count(dir)) << ToUtf8(dir);
    EXPECT_EQ(Names(entries), Names(nested.dirs.at(dir))) << ToUtf8(dir);
  }
  EXPECT_EQ(flat.files, nested.copied);
  EXPECT_EQ(13u, nested.dirs.at(u"\\HKCU_RUN64").size());
  EXPECT_EQ(31u, nested.dirs.at(u"\\HKLM_RUN64").size());
  EXPECT_EQ((std::vector<std::u16string>{u"Start", u"DisplayName", u"Group", u"ImagePath", u"Type"}),
            Names(nested.dirs.at(u"\\HKLM_SERV64\\KestrowWalkSvc2")));
  // Each copy is the description of the entry it was copied from.
  const auto copy = test::ReadLocal(nested.copies.at(u"\\HKCU_RUN64\\User17"));
  ASSERT_TRUE(copy);
  EXPECT_NE(std::string::npos, copy->find("\r\nValue name: User17\r\nCurrent value: C:\\user.exe\r\n"));
}

TEST_F(SearchesTest, ANestedWalkOfTheServicesReachesEveryService) {
  const Walked flat = test::WalkFlat(u"\\HKLM_SERV64");
  const Walked nested = test::WalkNested(u"\\HKLM_SERV64", test::ScratchFolder());
  std::printf("nested walk of the services: %zu directories, %zu files copied out\n", nested.dirs.size(),
              nested.copied);
  for (const auto& p : nested.problems) ADD_FAILURE() << p;
  ASSERT_EQ(flat.dirs.size(), nested.dirs.size());
  for (const auto& [dir, entries] : flat.dirs) {
    ASSERT_TRUE(nested.dirs.count(dir)) << ToUtf8(dir);
    EXPECT_EQ(Names(entries), Names(nested.dirs.at(dir))) << ToUtf8(dir);
  }
  EXPECT_EQ(flat.files, nested.copied);
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(nested.dirs.count(u"\\HKLM_SERV64\\KestrowWalkSvc" + FromUtf8(std::to_string(i)))) << i;
}

TEST_F(SearchesTest, SearchesSteppedAlternatelyEachListTheirOwnDirectory) {
  const std::vector<std::vector<std::u16string>> cases = {
      {u"\\HKCU_RUN64", u"\\HKLM_RUN64"},
      {u"\\", u"\\HKLM_SERV64", u"\\HKLM_RUN64"},
      {u"\\HKLM_RUN64", u"\\HKLM_RUN64"},
      {u"\\HKCU_RUN64\\.ADD", u"\\HKCU_RUN64"},
  };
  for (const auto& paths : cases) {
    SCOPED_TRACE(ToUtf8(paths[0]) + " and " + ToUtf8(paths[1]));
    std::vector<std::vector<std::u16string>> expected, got(paths.size());
    for (const auto& p : paths) expected.push_back(Names(List(p)));
    std::vector<KS_HANDLE> handles;
    for (std::size_t i = 0; i < paths.size(); ++i) {
      std::u16string first;
      handles.push_back(Open(paths[i], &first));
      ASSERT_NE(KsInvalidHandle(), handles[i]);
      got[i].push_back(first);
    }
    for (bool any = true; any;) {
      any = false;
      for (std::size_t i = 0; i < paths.size(); ++i)
        if (auto name = Next(handles[i])) {
          got[i].push_back(*name);
          any = true;
        }
    }
    for (auto h : handles) EXPECT_EQ(0, Exports().FsFindClose(h));
    EXPECT_EQ(expected, got);
  }
}

TEST_F(SearchesTest, ASearchLeftOpenKeepsItsPlaceWhileOthersRun) {
  const auto expected = Names(List(u"\\HKCU_RUN64"));
  std::u16string first;
  KS_HANDLE h = Open(u"\\HKCU_RUN64", &first);
  ASSERT_NE(KsInvalidHandle(), h);
  std::vector<std::u16string> got{first, Next(h).value_or(u"(none)")};
  // Meanwhile the host lists, walks, copies and asks for columns elsewhere.
  EXPECT_EQ(46u, List(u"\\").size());
  EXPECT_EQ(31u, List(u"\\HKLM_RUN64").size());
  EXPECT_TRUE(test::WalkNested(u"\\HKLM_SERV64", std::u16string()).problems.empty());
  const std::u16string local = test::ScratchFolder() + u"x.txt";
  auto r = W(u"\\HKLM_RUN64\\Machine20"), l = W(local);
  EXPECT_EQ(FS_FILE_OK, Exports().FsGetFileW(r.data(), l.data(), 0, nullptr));
  char value[64] = {};
  EXPECT_EQ(ft_string, Exports().FsContentGetValueW(r.data(), 6, 0, value, sizeof value, 0));
  EXPECT_STREQ("C:\\m.exe", value);
  while (auto name = Next(h)) got.push_back(*name);
  EXPECT_EQ(0, Exports().FsFindClose(h));
  EXPECT_EQ(expected, got);
}

TEST_F(SearchesTest, HandlesThatNameNoOpenSearchAreRefusedAndTouchNothing) {
  const auto expected = Names(List(u"\\HKCU_RUN64"));
  std::u16string first, other;
  KS_HANDLE open = Open(u"\\HKCU_RUN64", &first);
  ASSERT_NE(KsInvalidHandle(), open);
  KS_HANDLE closed = Open(u"\\HKLM_RUN64", &other);
  ASSERT_NE(KsInvalidHandle(), closed);
  EXPECT_NE(open, closed);
  EXPECT_EQ(0, Exports().FsFindClose(closed));
  int local = 0;
  const std::vector<std::pair<const char*, KS_HANDLE>> cases = {
      {"closed", closed},
      {"null", nullptr},
      {"invalid", KsInvalidHandle()},
      {"never given", reinterpret_cast<KS_HANDLE>(static_cast<std::intptr_t>(0x4242))},
      {"an address", reinterpret_cast<KS_HANDLE>(&local)},
  };
  for (const auto& [what, h] : cases) {
    SCOPED_TRACE(what);
    KsFindDataW fd;
    std::memset(&fd, 0x5A, sizeof fd);
    EXPECT_EQ(KS_FALSE, Exports().FsFindNextW(h, &fd));
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&fd);
    for (std::size_t i = 0; i < sizeof fd; ++i) ASSERT_EQ(0x5A, b[i]) << "record touched at " << i;
    EXPECT_EQ(0, Exports().FsFindClose(h));
  }
  EXPECT_EQ(0, local);
  // The open search is where it was.
  std::vector<std::u16string> got{first};
  while (auto name = Next(open)) got.push_back(*name);
  EXPECT_EQ(expected, got);
  EXPECT_EQ(0, Exports().FsFindClose(open));
  EXPECT_EQ(std::nullopt, Next(open));
}

// The host reads the last error after a refused search: "no more files" would mean an empty
// directory. Whether the search read the registry afresh (no search open) or not (one open), a
// path that names no directory leaves "path not found".
TEST_F(SearchesTest, ARefusedSearchLeavesPathNotFoundWhateverWasSetBefore) {
  std::u16string first;
  for (const bool another : {false, true}) {
    SCOPED_TRACE(another ? "with a search open" : "no search open");
    KS_HANDLE open = another ? Open(u"\\HKCU_RUN64", &first) : KsInvalidHandle();
    for (const char16_t* path : {u"\\NOT_A_TYPE", u"", u"\\HKCU_RUN64\\missing", u"\\HKCU_RUN64\\", u"x\\y\\z"}) {
      SCOPED_TRACE(ToUtf8(path));
      KsFindDataW fd;
      auto p = W(path);
      platform::SetLastErrorCode(platform::kErrorNoMoreFiles);
      const KS_HANDLE h = Exports().FsFindFirstW(p.data(), &fd);
      const std::uint32_t error = platform::LastErrorCode();
      EXPECT_EQ(KsInvalidHandle(), h);
      EXPECT_EQ(platform::kErrorPathNotFound, error);
    }
    if (another) {
      EXPECT_EQ(0, Exports().FsFindClose(open));
    }
  }
  // An empty directory is no failure: it lists ".".
  platform::SetLastErrorCode(platform::kErrorNoMoreFiles);
  EXPECT_EQ(std::vector<std::u16string>{u"."}, Names(List(u"\\HKCU_RUN64\\.ADD")));
}

// While a search is open, a new search lists from the same read of the registry; with none open,
// every listing reads it afresh.
TEST_F(SearchesTest, ASearchStartedWhileAnotherIsOpenListsTheSameRead) {
  std::u16string first;
  KS_HANDLE outer = Open(u"\\", &first);
  ASSERT_NE(KsInvalidHandle(), outer);
  AddedElsewhere(u"Later");
  EXPECT_FALSE(Shows(u"Later"));
  EXPECT_EQ(0, Exports().FsFindClose(outer));
  EXPECT_TRUE(Shows(u"Later"));
  AddedElsewhere(u"Later2");
  EXPECT_TRUE(Shows(u"Later2"));
}

// Between the start and the end of an operation the host marks, listings share one read; a read
// from before the operation is not used in it.
TEST_F(SearchesTest, AnOperationTheHostMarksReadsTheRegistryOnce) {
  EXPECT_FALSE(Shows(u"Before"));
  AddedElsewhere(u"Before");
  Status(FS_STATUS_START, FS_STATUS_OP_CALCSIZE);
  EXPECT_TRUE(Shows(u"Before"));
  AddedElsewhere(u"During");
  EXPECT_FALSE(Shows(u"During"));
  // Operations may nest: the inner end ends nothing.
  Status(FS_STATUS_START, FS_STATUS_OP_LIST);
  Status(FS_STATUS_END, FS_STATUS_OP_LIST);
  EXPECT_FALSE(Shows(u"During"));
  Status(FS_STATUS_END, FS_STATUS_OP_CALCSIZE);
  EXPECT_TRUE(Shows(u"During"));
  // An end without a start changes nothing.
  Status(FS_STATUS_END, FS_STATUS_OP_CALCSIZE);
  AddedElsewhere(u"After");
  EXPECT_TRUE(Shows(u"After"));
}

// A write through the plugin ends the reuse: the next listing shows it, a search open or not.
TEST_F(SearchesTest, AWriteThroughThePluginIsListedAtOnce) {
  // Each write acts on a value of its own, there before the operation starts.
  struct Case {
    const char* name;
    const char16_t* value;  // planted before the operation, or null
    std::function<bool()> write;
    std::function<bool()> listed;  // the next listing shows the write
  };
  const std::vector<Case> cases = {
      {"a value written", nullptr,
       [] { return test::PutFile(u"C:\\Tools\\Written.exe", u"\\HKCU_RUN64\\Written.exe") == FS_FILE_OK; },
       [] { return Shows(u"Written"); }},
      {"an entry switched off", u"SwitchedOff",
       [] { return test::SetAttr(u"\\HKCU_RUN64\\SwitchedOff", KS_FILE_ATTRIBUTE_HIDDEN) == KS_TRUE; },
       [] { return (test::AttributesOf(u"\\HKCU_RUN64", u"SwitchedOff") & KS_FILE_ATTRIBUTE_HIDDEN) != 0; }},
      {"a value deleted", u"Deleted", [] { return test::Delete(u"\\HKCU_RUN64\\Deleted") == KS_TRUE; },
       [] { return !Shows(u"Deleted"); }},
  };
  for (const auto& c : cases)
    if (c.value) Reg::Str(RT_HKCU, WOW64_64, test::kRun, c.value, u"C:\\victim.exe");
  std::u16string first;
  KS_HANDLE outer = Open(u"\\", &first);
  ASSERT_NE(KsInvalidHandle(), outer);
  Status(FS_STATUS_START, FS_STATUS_OP_GET_MULTI);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.write());
    EXPECT_TRUE(c.listed());
  }
  Status(FS_STATUS_END, FS_STATUS_OP_GET_MULTI);
  EXPECT_EQ(0, Exports().FsFindClose(outer));
}

// A host that leaves a search open, or never ends an operation, sees changes made elsewhere once
// the read it would share is three seconds old, and not before.
TEST_F(SearchesTest, AReadIsSharedForAFewSecondsAtMost) {
  using Clock = std::chrono::steady_clock;
  // Taken before the read, and after it: the read's age lies between the times since each.
  const auto beforeTheRead = Clock::now();
  std::u16string first;
  KS_HANDLE leaked = Open(u"\\", &first);
  const auto afterTheRead = Clock::now();
  ASSERT_NE(KsInvalidHandle(), leaked);
  Status(FS_STATUS_START, FS_STATUS_OP_DELETE);
  AddedElsewhere(u"Later");
  EXPECT_FALSE(Shows(u"Later"));
  // Listed again and again until it shows, and no longer than 3.3 seconds after the read.
  bool shown = false;
  while (!shown && Clock::now() - afterTheRead < std::chrono::milliseconds(3300)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    shown = Shows(u"Later");
  }
  const auto since = std::chrono::duration<double>(Clock::now() - beforeTheRead).count();
  std::printf("a change made elsewhere was listed %.2f s after the shared read\n", since);
  EXPECT_TRUE(shown) << "still not listed 3.3 s after the shared read";
  EXPECT_GE(since, 3.0) << "listed before the read was three seconds old";
  Status(FS_STATUS_END, FS_STATUS_OP_DELETE);
  EXPECT_EQ(0, Exports().FsFindClose(leaked));
}

}  // namespace
}  // namespace kestrow
