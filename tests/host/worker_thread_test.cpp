// A file manager that asks for columns and icons, or copies a tree out, on a thread of its own
// while its main thread lists directories and changes entries, as one of the two hosts does. For a
// few seconds both threads call the exports at full speed; every answer about an entry that
// nothing changes stays right.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/text.h"
#include "support/helpers.h"
#include "support/walks.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrow {
namespace {

using test::List;
using test::Exports;
using test::Reg;
using test::W;

const std::u16string kWorkerService = std::u16string(test::kServices) + u"\\KestrowWorkerSvc";
constexpr auto kRunFor = std::chrono::seconds(3);
constexpr int kFields = 13;
constexpr int kValueField = 6, kTargetStateField = 9;

void Release(KS_HICON icon) {
#ifdef _WIN32
  DestroyIcon(icon);
#else
  (void)icon;
#endif
}

// What the main thread did while the other thread ran, and what it found wrong.
struct MainThread {
  long listings = 0, edits = 0;
  std::vector<std::string> wrong;
};

// The main thread of the host for a few seconds: it lists the user's Run key and a service, writes
// and deletes a value, and switches an entry off and on.
MainThread ListAndEdit() {
  MainThread m;
  const auto end = std::chrono::steady_clock::now() + kRunFor;
  for (int round = 0; std::chrono::steady_clock::now() < end && m.wrong.size() < 20; ++round) {
    const std::size_t run = List(u"\\HKCU_RUN64").size();
    const std::size_t svc = List(u"\\HKLM_SERV64\\KestrowWorkerSvc").size();
    m.listings += 2;
    if (run < 5 || run > 6 || svc != 5)
      m.wrong.push_back("listed " + std::to_string(run) + " and " + std::to_string(svc));
    auto local = W(u"C:\\Tools\\Added.exe"), added = W(u"\\HKCU_RUN64\\Added.exe");
    auto addedEntry = W(u"\\HKCU_RUN64\\Added"), beta = W(u"\\HKCU_RUN64\\Beta");
    if (round % 2 == 0) {
      if (Exports().FsPutFileW(local.data(), added.data(), 0) != FS_FILE_OK) m.wrong.push_back("not written");
      if (Exports().FsSetAttrW(beta.data(), KS_FILE_ATTRIBUTE_HIDDEN) != KS_TRUE) m.wrong.push_back("not off");
    } else {
      if (Exports().FsDeleteFileW(addedEntry.data()) != KS_TRUE) m.wrong.push_back("not deleted");
      if (Exports().FsSetAttrW(beta.data(), 0) != KS_TRUE) m.wrong.push_back("not on");
    }
    m.edits += 2;
  }
  return m;
}

class WorkerThreadTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    test::ReloadPlugin();
    test::Recorded().Reset();
    Own(RT_HKLM, WOW64_64, kWorkerService);
    Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Alpha", u"C:\\alpha.exe");
    Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Beta", u"C:\\beta.exe");
    Reg::Dword(RT_HKLM, WOW64_64, kWorkerService, u"Start", 2);
    Reg::Str(RT_HKLM, WOW64_64, kWorkerService, u"ImagePath", u"worker.sys");
  }
};

// What the worker asks about, and what it must always hear for the entries nothing changes.
struct Asked {
  std::u16string path;
  const char* value;  // the Value column, or null where it may change or be missing
  const char* state;  // the Target state column, or null where it may change
  std::int32_t icon;  // the icon result, or -1 where it may change
};

TEST_F(WorkerThreadTest, ColumnsAndIconsFromAWorkerWhileTheMainThreadListsAndEdits) {
  const std::vector<Asked> asked = {
      {u"\\HKCU_RUN64\\Alpha", "C:\\alpha.exe", "Missing", FS_ICON_EXTRACTED_DESTROY},
      {u"\\HKCU_RUN64\\Beta", nullptr, nullptr, -1},  // switched off and on by the main thread
      {u"\\HKCU_RUN64\\Added", nullptr, nullptr, -1},  // written and deleted by the main thread
      {u"\\HKCU_RUN64\\.ADD", "", "", FS_ICON_EXTRACTED_DESTROY},
      {u"\\HKCU_RUN64\\.SAVE", "", "", FS_ICON_EXTRACTED_DESTROY},
      {u"\\HKCU_RUN64", "", "", FS_ICON_USEDEFAULT},
      // The service's driver is missing: its directory has the icon of a missing target.
      {u"\\HKLM_SERV64\\KestrowWorkerSvc", "", "Missing", FS_ICON_EXTRACTED_DESTROY},
      {u"\\HKLM_SERV64\\KestrowWorkerSvc\\Start", "2", "", FS_ICON_EXTRACTED_DESTROY},
      {u"\\HKLM_SERV64\\KestrowWorkerSvc\\ImagePath", "worker.sys", "Missing", FS_ICON_EXTRACTED_DESTROY},
  };
  ASSERT_EQ(5u, List(u"\\HKCU_RUN64").size());
  std::atomic<bool> stop{false};
  std::atomic<long> columnCalls{0}, iconCalls{0};
  std::vector<std::string> wrong;  // the worker's findings, read after it ends
  std::thread worker([&] {
    std::vector<char> value(512);
    while (!stop) {
      for (const auto& a : asked) {
        auto p = W(a.path);
        for (int field = 0; field < kFields; ++field) {
          const std::int32_t r =
              Exports().FsContentGetValueW(p.data(), field, 0, value.data(), static_cast<std::int32_t>(value.size()), 0);
          ++columnCalls;
          // The date of a command file is empty; every other field of a stable entry is there.
          const std::int32_t expected = field != 12 ? ft_string : a.path.find(u"\\.") != std::u16string::npos
                                                                      ? ft_fieldempty
                                                                      : ft_datetime;
          if (a.value && r != expected)
            wrong.push_back(ToUtf8(a.path) + ": field " + std::to_string(field) + " gave " + std::to_string(r));
          if (a.value && r == ft_string && field == kValueField && std::string(value.data()) != a.value)
            wrong.push_back(ToUtf8(a.path) + ": value " + value.data());
          if (a.state && r == ft_string && field == kTargetStateField && std::string(value.data()) != a.state)
            wrong.push_back(ToUtf8(a.path) + ": target state " + value.data());
        }
        KS_HICON icon = nullptr;
        const std::int32_t r =
            Exports().FsExtractCustomIconW(p.data(), FS_ICONFLAG_SMALL | FS_ICONFLAG_BACKGROUND, &icon);
        ++iconCalls;
        if (r == FS_ICON_EXTRACTED_DESTROY) Release(icon);
        if (a.icon >= 0 && r != a.icon) wrong.push_back(ToUtf8(a.path) + ": icon result " + std::to_string(r));
      }
      if (wrong.size() > 20) break;
    }
  });

  const MainThread main = ListAndEdit();
  stop = true;
  worker.join();
  std::printf("worker: %ld column and %ld icon calls; main thread: %ld listings and %ld edits\n", columnCalls.load(),
              iconCalls.load(), main.listings, main.edits);
  for (const auto& w : wrong) ADD_FAILURE() << "worker: " << w;
  for (const auto& w : main.wrong) ADD_FAILURE() << "main thread: " << w;
  EXPECT_LT(0, columnCalls.load());
  EXPECT_LT(0, iconCalls.load());
  EXPECT_LT(0, main.listings);
}

// A file manager that copies a tree out on a thread of its own while its main thread lists and
// edits: every walk reaches every service directory once, with all its entries.
TEST_F(WorkerThreadTest, AWalkOnAnotherThreadWhileTheMainThreadListsAndEdits) {
  ASSERT_EQ(5u, List(u"\\HKLM_SERV64\\KestrowWorkerSvc").size());
  const std::size_t services = test::WalkFlat(u"\\HKLM_SERV64").dirs.size();
  std::atomic<bool> stop{false};
  std::atomic<long> walks{0};
  std::vector<std::string> wrong;  // the walking thread's findings, read after it ends
  std::thread walker([&] {
    const std::u16string local = test::ScratchFolder() + u"copied.txt";
    while (!stop && wrong.size() < 20) {
      const test::Walked walked = test::WalkNested(u"\\HKLM_SERV64", std::u16string());
      for (const auto& p : walked.problems) wrong.push_back(p);
      if (walked.dirs.size() != services) wrong.push_back("reached " + std::to_string(walked.dirs.size()));
      const auto it = walked.dirs.find(u"\\HKLM_SERV64\\KestrowWorkerSvc");
      if (it == walked.dirs.end() || it->second.size() != 5) wrong.push_back("the service's entries are not all there");
      auto r = W(u"\\HKLM_SERV64\\KestrowWorkerSvc\\Start"), l = W(local);
      if (Exports().FsGetFileW(r.data(), l.data(), FS_COPYFLAGS_OVERWRITE, nullptr) != FS_FILE_OK)
        wrong.push_back("not copied out");
      ++walks;
    }
  });
  const MainThread main = ListAndEdit();
  stop = true;
  walker.join();
  std::printf("walking thread: %ld walks of %zu directories; main thread: %ld listings and %ld edits\n", walks.load(),
              services, main.listings, main.edits);
  for (const auto& w : wrong) ADD_FAILURE() << "walking thread: " << w;
  for (const auto& w : main.wrong) ADD_FAILURE() << "main thread: " << w;
  EXPECT_LT(0, walks.load());
  EXPECT_LT(0, main.listings);
}

}  // namespace
}  // namespace kestrow
