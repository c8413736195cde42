// Measures a full root listing and a listing of the services directory against a floor: the
// same registry calls (open, enumerate, query, close) over the same keys, building nothing.
// Then a walk of the root and of the services directory as a file manager copies a tree out:
// each subdirectory listed while its parent's search is open, each file copied out as it is
// found, against one listing of the root. Then a listing followed by what a file manager asks of
// every entry it shows (the Target, Target state and Publisher columns and the icon), each
// listing a fresh read whose targets are worked out anew, against the listing alone. Prints
// medians and ratios at one and two times a machine-sized registry.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "model/builtin_types.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "model/type_registry.h"
#include "registry/registry_ex.h"
#include "support/plugin_under_test.h"
#include "support/registry_fixture.h"
#include "support/walks.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace kestrow;
using test::Reg;

namespace {

std::u16string Num(int i) { return FromUtf8(std::to_string(10000 + i)); }
const char16_t* kActive = u"SOFTWARE\\Microsoft\\Active Setup\\Installed Components";

void Seed(int scale, bool remove) {
  for (int i = 0; i < 600 * scale; ++i) {
    const std::u16string k = std::u16string(test::kServices) + u"\\KestrowBench" + Num(i);
    if (remove) {
      Reg::DeleteKey(RT_HKLM, WOW64_64, k);
      continue;
    }
    Reg::Dword(RT_HKLM, WOW64_64, k, u"Start", 3);
    Reg::Str(RT_HKLM, WOW64_64, k, u"DisplayName", u"Benchmark service " + Num(i));
    Reg::Str(RT_HKLM, WOW64_64, k, u"Group", u"Base");
    Reg::Str(RT_HKLM, WOW64_64, k, u"ImagePath", u"%SystemRoot%\\system32\\drivers\\b.sys", REG_EXPAND_SZ_);
    Reg::Dword(RT_HKLM, WOW64_64, k, u"Type", 1);
  }
  for (auto view : {WOW64_32, WOW64_64}) {
    for (int i = 0; i < 100 * scale; ++i) {
      const std::u16string k = std::u16string(test::kIfeo) + u"\\kestrowbench" + Num(i) + u".exe";
      if (remove) {
        Reg::DeleteKey(RT_HKLM, view, k);
        continue;
      }
      if (i % 10 == 0) Reg::Str(RT_HKLM, view, k, u"Debugger", u"C:\\dbg.exe");
      else Reg::Dword(RT_HKLM, view, k, u"GlobalFlag", 2);
    }
    for (int i = 0; i < 50 * scale; ++i) {
      const std::u16string k = std::u16string(kActive) + u"\\{KestrowBench" + Num(i) + u"}";
      if (remove) {
        Reg::DeleteKey(RT_HKLM, view, k);
        continue;
      }
      Reg::Str(RT_HKLM, view, k, u"StubPath", u"%SystemRoot%\\stub.exe", REG_EXPAND_SZ_);
      Reg::Str(RT_HKLM, view, k, u"ComponentID", u"Bench");
      Reg::Dword(RT_HKLM, view, k, u"IsInstalled", 1);
    }
    for (auto root : {RT_HKLM, RT_HKCU})
      for (int i = 0; i < 20 * scale && !remove; ++i)
        Reg::Str(root, view, test::kRun, u"Bench" + Num(i), u"C:\\Program Files\\bench.exe");
  }
  if (remove)
    for (auto view : {WOW64_32, WOW64_64})
      for (auto root : {RT_HKLM, RT_HKCU}) Reg::DeleteKey(root, view, test::kRun);
}

// The floor: the registry calls of one rebuild (or of the services scans only), nothing built.
std::size_t Floor(bool servicesOnly) {
  RegBackend& r = CurrentRegistry();
  std::size_t touched = 0;
  std::vector<std::uint8_t> buf(4096);
  auto query = [&](RegHandle h, const std::u16string& name) {
    std::uint32_t type = 0, size = static_cast<std::uint32_t>(buf.size());
    if (r.QueryValue(h, name, &type, buf.data(), &size) == RS_OK) ++touched;
  };
  for (const auto& b : BuiltinTypes()) {
    if (servicesOnly && b.type.TypeID.find(u"SERV") == std::u16string::npos) continue;
    const std::uint32_t sam = KEY_READ_ | ViewBits(ViewOf(b.type.tPlatform));
    std::u16string path = b.type.DefAddr;
    if (!path.empty() && path[0] == u'\\') path.erase(0, 1);
    RegHandle h = 0;
    if (r.OpenKey(RootOf(b.type.RootType), path, sam, &h) != RS_OK) continue;
    if (b.shown == TBuiltinType::ByNames) {
      for (const auto& n : b.names) query(h, n);
    } else if (b.shown == TBuiltinType::AllValues) {
      std::u16string name;
      for (std::uint32_t i = 0; r.EnumValue(h, i, &name) == RS_OK; ++i) query(h, name);
    } else {
      std::u16string sub;
      for (std::uint32_t i = 0; r.EnumKey(h, i, &sub) == RS_OK; ++i) {
        RegHandle s = 0;
        if (r.OpenKey(h, sub, sam, &s) != RS_OK) continue;
        query(s, b.names.front());
        for (const auto& x : b.extras) query(s, x.ValName);
        r.CloseKey(s);
      }
    }
    r.CloseKey(h);
  }
  return touched;
}

// The floor with the calls the scanners make, through the registry object: a read-only open per
// key, and per value the existence test, the type, the size and the data.
std::size_t SameCallsFloor() {
  std::size_t touched = 0;
  for (const auto& b : BuiltinTypes()) {
    auto reg = RegistryFor(b.type, KEY_READ_);
    auto read = [&](const std::u16string& name, VALUE_TYPES vt) {
      if (!reg->ValueExists(name)) return;
      const TRegDataType t = reg->GetDataType(name);
      if (vt == VAL_INTEGER && t == rdInteger) reg->ReadInteger(name);
      if (vt != VAL_INTEGER && (t == rdString || t == rdExpandString)) reg->ReadString(name);
      ++touched;
    };
    if (!reg->OpenKeyReadOnly(b.type.DefAddr)) continue;
    if (b.shown == TBuiltinType::ByNames) {
      for (const auto& n : b.names) read(n, b.type.ValueType);
    } else if (b.shown == TBuiltinType::AllValues) {
      TStringList names;
      reg->GetValueNames(names);
      for (const auto& n : names)
        if (!n.empty() && reg->ValueExists(n)) read(n, b.type.ValueType);
    } else {
      TStringList subs;
      reg->GetKeyNames(subs);
      reg->CloseKey();
      for (const auto& sub : subs) {
        if (!reg->OpenKeyReadOnly(b.type.DefAddr + u"\\" + sub)) continue;
        if (reg->ValueExists(b.names.front())) {
          read(b.names.front(), b.type.ValueType);
          for (const auto& x : b.extras) read(x.ValName, x.ValType);
        }
        reg->CloseKey();
      }
    }
    reg->CloseKey();
  }
  return touched;
}

// What a walk reached.
struct Reached {
  std::size_t directories = 0, files = 0, copied = 0;
};

// A walk as a file manager copies a directory with its subdirectories out: each subdirectory
// listed while the search of its parent is still open, each file copied out (over the one local
// file, as a copy the user allowed to write over a file) as it is found.
void Walk(const std::u16string& dir, const std::u16string& local, Reached& r) {
  KsFindDataW fd;
  auto p = test::W(dir);
  KS_HANDLE h = test::Exports().FsFindFirstW(p.data(), &fd);
  if (h == KsInvalidHandle()) return;
  ++r.directories;
  do {
    const std::u16string name = test::NameOf(fd);
    if (name == u".") continue;
    const std::u16string path = test::Join(dir, name);
    if (fd.dwFileAttributes & KS_FILE_ATTRIBUTE_DIRECTORY) {
      Walk(path, local, r);
      continue;
    }
    ++r.files;
    auto remote = test::W(path), l = test::W(local);
    if (test::Exports().FsGetFileW(remote.data(), l.data(), FS_COPYFLAGS_OVERWRITE, nullptr) == FS_FILE_OK) ++r.copied;
  } while (test::Exports().FsFindNextW(h, &fd));
  test::Exports().FsFindClose(h);
}

// Lists the directory, then asks every entry's Target, Target state and Publisher and its icon;
// returns how many entries were asked about.
std::size_t ListAndAsk(const std::u16string& dir) {
  std::size_t asked = 0;
  std::vector<char> value(1024);
  for (const auto& e : test::List(dir)) {
    if (e.name == u".") continue;
    auto p = test::W(test::Join(dir, e.name));
    for (int field : {8, 9, 10})
      test::Exports().FsContentGetValueW(p.data(), field, 0, value.data(), static_cast<std::int32_t>(value.size()), 0);
    KS_HICON icon = nullptr;
    if (test::Exports().FsExtractCustomIconW(p.data(), FS_ICONFLAG_SMALL | FS_ICONFLAG_BACKGROUND, &icon) ==
        FS_ICON_EXTRACTED_DESTROY) {
#ifdef _WIN32
      DestroyIcon(static_cast<HICON>(icon));
#endif
    }
    ++asked;
  }
  return asked;
}

template <typename F>
double MedianMs(int runs, F&& f) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    auto a = std::chrono::steady_clock::now();
    f();
    auto b = std::chrono::steady_clock::now();
    t.push_back(std::chrono::duration<double, std::milli>(b - a).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 21;
#if defined(_WIN64)
  const char* where = "real registry, 64-bit process";
#elif defined(_WIN32)
  const char* where = "real registry, 32-bit process";
#else
  const char* where = "in-memory registry, native";
#endif
  std::printf("listing benchmark, %s, median of %d runs\n", where, runs);
  std::printf("floor A: the scanners' own registry calls without building; floor B: one open, enumerate and\n"
              "query per key and value, the least any listing must do\n");
  std::printf("%-6s %-9s %10s %10s %7s %10s %7s %8s\n", "scale", "listing", "plugin ms", "floor A", "ratio",
              "floor B", "ratio", "entries");
  struct WalkRow {
    int scale;
    const char* what;
    double ms;
    Reached reached;
    double rootListing;
  };
  std::vector<WalkRow> walks;
  struct AskRow {
    int scale;
    const char* what;
    double listing, asking;
    std::size_t entries;
  };
  std::vector<AskRow> asks;
  const int walkRuns = std::max(3, runs / 4);
  // The copies go to memory where the system has a folder there (/dev/shm, Z:\dev\shm under Wine):
  // a disk's write-back of a file rewritten thousands of times would be measured instead.
  const std::u16string shm = u"Z:\\dev\\shm\\";
  const bool inMemory = platform::WriteWholeFile(shm + u"kestrow-bench-probe.txt", "probe");
  platform::DeleteFileIfExists(shm + u"kestrow-bench-probe.txt");
  const std::u16string local = (inMemory ? shm : test::ScratchFolder()) + u"kestrow-bench-copied.txt";
  for (int scale : {1, 2}) {
    Seed(scale, false);
    std::size_t rootEntries = 0, serviceEntries = 0;
    const double root = MedianMs(runs, [&] { rootEntries = test::List(u"\\").size(); });
    const double floorB = MedianMs(runs, [] { Floor(false); });
    const double floorA = MedianMs(runs, [] { SameCallsFloor(); });
    const double svc = MedianMs(runs, [&] { serviceEntries = test::List(u"\\HKLM_SERV64").size(); });
    for (auto row : {std::make_pair("root", root), std::make_pair("services", svc)})
      std::printf("%-5dx %-9s %10.2f %10.2f %7.2f %10.2f %7.2f %8zu\n", scale, row.first, row.second, floorA,
                  row.second / floorA, floorB, row.second / floorB,
                  row.first[0] == 'r' ? rootEntries : serviceEntries);
    for (auto dir : {std::make_pair("root", u"\\"), std::make_pair("services", u"\\HKLM_SERV64")}) {
      Reached reached;
      const double ms = MedianMs(walkRuns, [&] {
        reached = Reached();
        Walk(dir.second, local, reached);
      });
      walks.push_back({scale, dir.first, ms, reached, root});
    }
    for (auto dir : {std::make_pair("root", u"\\"), std::make_pair("services", u"\\HKLM_SERV64"),
                     std::make_pair("run", u"\\HKLM_RUN64")}) {
      std::size_t entries = 0;
      const double alone = MedianMs(runs, [&] { test::List(dir.second); });
      const double asking = MedianMs(runs, [&] { entries = ListAndAsk(dir.second); });
      asks.push_back({scale, dir.first, alone, asking, entries});
    }
    Seed(scale, true);
  }
  platform::DeleteFileIfExists(local);
  std::printf("\nwalks with a copy of each file (to %s), median of %d runs, against one listing of the root\n",
              ToUtf8(local).c_str(), walkRuns);
  std::printf("%-6s %-9s %10s %10s %7s %12s %8s %8s\n", "scale", "walk", "walk ms", "root ms", "ratio", "directories",
              "files", "copied");
  for (const auto& w : walks)
    std::printf("%-5dx %-9s %10.2f %10.2f %7.2f %12zu %8zu %8zu\n", w.scale, w.what, w.ms, w.rootListing,
                w.ms / w.rootListing, w.reached.directories, w.reached.files, w.reached.copied);
  std::printf("\nlisting, then every entry's Target, Target state, Publisher and icon, against the listing "
              "alone, median of %d runs\n", runs);
  std::printf("%-6s %-9s %10s %10s %7s %8s\n", "scale", "listing", "list ms", "+asks ms", "ratio", "entries");
  for (const auto& a : asks)
    std::printf("%-5dx %-9s %10.2f %10.2f %7.2f %8zu\n", a.scale, a.what, a.listing, a.asking, a.asking / a.listing,
                a.entries);
  return 0;
}
