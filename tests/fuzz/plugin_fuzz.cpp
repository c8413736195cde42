// Fuzz target: each input is a sequence of export calls with arbitrary UTF-16 paths, buffer sizes
// and registry contents, against the in-memory registry seeded with every built-in location.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/forms.h"
#include "model/type_registry.h"
#include "dialogs/user_interface.h"
#include "host/exports.h"
#include "host/plugin.h"
#include "model/builtin_types.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "registry/memory_registry.h"
#include "registry/registry_ex.h"

using namespace kestrow;

namespace {

struct Input {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t Byte() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  std::uint16_t Unit() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
  bool Empty() const { return n == 0; }
  // Text of 0..~300 units: mostly from a small alphabet that hits the interesting paths, sometimes
  // any unit (unpaired surrogates and characters outside the ANSI code page included).
  std::u16string Text() {
    static const char16_t alphabet[] = u"\\:.ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789abz \"<>|/'";
    std::size_t len = Byte();
    if (len > 240) len = 200 + Unit() % 1100;
    std::u16string s;
    for (std::size_t i = 0; i < len && !Empty(); ++i) {
      const std::uint8_t b = Byte();
      if (b < 200) s += alphabet[b % (sizeof alphabet / sizeof alphabet[0] - 1)];
      else s += static_cast<char16_t>(Unit());
    }
    return s;
  }
  std::u16string Path() {
    const auto& types = BuiltinTypes();
    switch (Byte() % 4) {
      case 0: return Text();
      case 1: return u"\\" + types[Byte() % types.size()].type.TypeID;
      case 2: return u"\\" + types[Byte() % types.size()].type.TypeID + u"\\" + Text();
      default:
        return u"\\" + types[Byte() % types.size()].type.TypeID + u"\\" +
               std::u16string(Byte() % 2 ? u".SAVE" : u".ADD");
    }
  }
};

std::vector<KS_WCHAR> W(const std::u16string& s) {
  std::vector<KS_WCHAR> b(s.size() + 1, 0);
  for (std::size_t i = 0; i < s.size(); ++i) b[i] = s[i];
  return b;
}

// The user at the dialogs: types arbitrary text into the editable fields, presses keys, and
// closes with OK or Cancel; chooses one of the local files in the file dialogs, or cancels.
class FuzzUser : public TUserInterface {
 public:
  Input* in = nullptr;
  std::u16string scratch;
  void ShowModal(TForm& form) override {
    static const TControlId editable[] = {idFolderName, idPath, idValueName, idValue, idValueLines};
    form.FormActivate();
    const int steps = in->Byte() % 5;
    for (int i = 0; i < steps && !in->Empty(); ++i) {
      const TControlId id = editable[in->Byte() % 5];
      if (!form.Layout().Find(id)) continue;
      TField& f = form.Field(id);
      if (f.ReadOnly) continue;
      std::u16string typed;
      for (char16_t c : in->Text())
        if (f.Accepts(c)) typed += c;
      if (id == idValueLines) f.Lines = SplitLines(typed);
      else f.Text = typed;
      form.Changed(id);
      if (in->Byte() % 4 == 0) form.FormKeyDown(in->Byte() % 2 ? 27 : in->Byte());
    }
    if (form.ModalResult == mrNone) form.ModalResult = in->Byte() % 2 ? mrOk : mrCancel;
  }
  std::optional<std::u16string> ChooseFile(const TKeyFileDialog&) override {
    if (in->Byte() % 3 == 0) return std::nullopt;
    return scratch + u"f" + static_cast<char16_t>(u'0' + in->Byte() % 4) + u".kscrkey";
  }
  void RequestRefresh() override {}
};

FuzzUser g_user;

KS_BOOL KS_STDCALL Request(std::int32_t, std::int32_t, KS_WCHAR*, KS_WCHAR*, KS_WCHAR*, std::int32_t) { return 1; }
void KS_STDCALL Log(std::int32_t, std::int32_t, KS_WCHAR*) {}

MemoryRegistry& Registry() {
  static MemoryRegistry* r = [] {
    auto* m = new MemoryRegistry();
    SetRegistryForTests(m);
    return m;
  }();
  return *r;
}

std::u16string g_scratch;
std::string g_sample;  // the sample start-up script, a starting point for scripts of the inputs

void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  char tmpl[] = "/tmp/kestrow-fuzz-XXXXXX";
  const char* dir = mkdtemp(tmpl);
  g_scratch = u"Z:";
  for (const char* c = dir; c && *c; ++c) g_scratch += *c == '/' ? u'\\' : static_cast<char16_t>(*c);
  g_scratch += u'\\';
  platform::SetModuleFileNameForTests(g_scratch + u"wfx_kestrow.so");
  std::string engine;
  if (platform::ReadWholeFile(u"Z:" + FromUtf8(KESTROW_ENGINE_BUILT), engine))
    platform::WriteWholeFile(g_scratch + FromUtf8(KESTROW_ENGINE_FILE), engine);
  platform::ReadWholeFile(u"Z:" + FromUtf8(KESTROW_SAMPLE_SCRIPT), g_sample);
  kestrow::Plugin().Start();
  FsInitW(1, nullptr, &Log, &Request);
  g_user.scratch = g_scratch;
  SetUserInterface(&g_user);
}

void Seed(Input& in) {
  MemoryRegistry& r = Registry();
  r.Clear();
  const auto& types = BuiltinTypes();
  for (const auto& b : types) {
    RegHandle h = 0;
    std::u16string path = b.type.DefAddr;
    if (!path.empty() && path[0] == u'\\') path.erase(0, 1);
    const std::uint32_t sam = KEY_ALL_ACCESS_ | ViewBits(ViewOf(b.type.tPlatform));
    if (r.CreateKey(RootOf(b.type.RootType), path, sam, &h) != RS_OK) continue;
    const std::uint8_t data[] = {'a', 0, 0, 0};
    r.SetValue(h, b.names.empty() ? u"Item" : b.names.front(), REG_SZ_, data, 4);
    if (b.shown == TBuiltinType::Subkeys) {
      RegHandle s = 0;
      if (r.CreateKey(h, u"Sub", sam, &s) == RS_OK) {
        const std::uint8_t dw[] = {2, 0, 0, 0};
        r.SetValue(s, b.names.front(), b.type.ValueType == VAL_INTEGER ? REG_DWORD_ : REG_SZ_, dw, 4);
        r.CloseKey(s);
      }
    }
    r.CloseKey(h);
  }
  // Values of any name, type and content into random built-in keys.
  const int extra = in.Byte() % 8;
  for (int i = 0; i < extra && !in.Empty(); ++i) {
    const auto& b = types[in.Byte() % types.size()];
    std::u16string path = b.type.DefAddr;
    if (!path.empty() && path[0] == u'\\') path.erase(0, 1);
    if (in.Byte() % 2) path += u"\\" + in.Text();
    RegHandle h = 0;
    if (r.CreateKey(RootOf(b.type.RootType), path,
                    KEY_ALL_ACCESS_ | ViewBits(ViewOf(b.type.tPlatform)), &h) != RS_OK)
      continue;
    const std::u16string name = in.Text();
    const std::uint32_t type = in.Byte() % 12;
    std::vector<std::uint8_t> data(in.Byte() % 2 ? in.Byte() : in.Unit() % 5000);
    for (auto& d : data) d = in.Byte();
    r.SetValue(h, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
    r.CloseKey(h);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Start();
  Input in{data, size};
  g_user.in = &in;
  Seed(in);
  TSentrel& s = *kestrow::Plugin().Sentrel;
  s.Settings.Update([&](TSettings& f) {
    f.fConfirmChange = in.Byte() % 2;
    f.fConfirmAdd = in.Byte() % 2;
    f.fConfirmRestore = in.Byte() % 2;
    f.fCanCreateKey = in.Byte() % 2;
    f.fDebugStrings = in.Byte() % 2;
  });
  KsFindDataW fd;
  // The searches this input opened, at most a few at once, all closed at its end.
  std::vector<KS_HANDLE> open;
  for (int step = 0; step < 24 && !in.Empty(); ++step) {
    const std::u16string local = g_scratch + u"f" + static_cast<char16_t>(u'0' + in.Byte() % 4) +
                                 (in.Byte() % 3 == 0 ? u".kscrkey" : u".txt");
    switch (in.Byte() % 11) {
      case 0: {
        auto p = W(in.Path());
        const KS_HANDLE h = FsFindFirstW(p.data(), &fd);
        if (h != KsInvalidHandle()) open.push_back(h);
        if (open.size() > 4) {
          FsFindClose(open.front());
          open.erase(open.begin());
        }
        break;
      }
      case 1: {
        // A step of an open search, of a closed one or of a handle never given; or a close.
        const std::uint8_t pick = in.Byte();
        KS_HANDLE h = reinterpret_cast<KS_HANDLE>(static_cast<std::intptr_t>(pick % 4 == 0 ? in.Unit() : -1));
        if (pick % 4 != 0 && !open.empty()) h = open[pick % open.size()];
        if (pick & 0x80) {
          FsFindClose(h);
          for (auto it = open.begin(); it != open.end(); ++it)
            if (*it == h) {
              open.erase(it);
              break;
            }
        } else {
          FsFindNextW(h, &fd);
        }
        break;
      }
      case 2: {
        auto p = W(in.Path());
        auto l = W(local);
        // Any copy flags: overwrite, resume, move and the hints.
        FsGetFileW(p.data(), l.data(), in.Byte() & 0x1F, nullptr);
        break;
      }
      case 3: {
        auto p = W(in.Path());
        auto l = W(in.Byte() % 2 ? local : in.Text());
        FsPutFileW(l.data(), p.data(), 0);
        break;
      }
      case 4: {
        auto p = W(in.Path());
        // Now and then the attributes change instead: a Run entry switched off or on.
        if (in.Byte() % 4 == 0) {
          FsSetAttrW(p.data(), static_cast<std::int8_t>(in.Byte()));
        } else {
          FsDeleteFileW(p.data());
        }
        break;
      }
      case 5: {
        auto p = W(in.Path());
        const int sizes[] = {0, 1, 2, 3, 16, 260, 4096};
        const int sz = sizes[in.Byte() % 7];
        std::vector<char> buf(static_cast<std::size_t>(sz) + 1);
        FsContentGetValueW(p.data(), static_cast<std::int8_t>(in.Byte()), 0, sz ? buf.data() : nullptr, sz, 0);
        char name[8];
        FsContentGetSupportedField(static_cast<std::int8_t>(in.Byte()), name, name, in.Byte() % 9);
        break;
      }
      case 6: {
        auto p = W(in.Path());
        KS_HICON icon = nullptr;
        FsExtractCustomIconW(p.data(), 0, &icon);
        break;
      }
      case 7: {
        char root[8];
        FsGetDefRootName(root, in.Byte() % 9);
        // The host marks an operation as started or ended, in pairs or not.
        auto p = W(in.Path());
        FsStatusInfoW(p.data(), in.Byte() % 3, in.Byte() % 21);
        break;
      }
      case 8: {
        // Arbitrary bytes into a local file, so restores meet hostile key files.
        std::string bytes;
        const std::size_t n = in.Byte();
        for (std::size_t i = 0; i < n; ++i) bytes += static_cast<char>(in.Byte());
        switch (in.Byte() % 6) {
          case 0:  // a key file of the in-memory registry's format, or what looks like one
            platform::WriteWholeFile(local, "KSREG01\n" + bytes);
            break;
          case 1: {  // the sample start-up script with the bytes spliced in somewhere
            std::string script = g_sample;
            script.insert(in.Unit() % (script.size() + 1), bytes);
            platform::WriteWholeFile(g_scratch + u"startup.kscr", script);
            break;
          }
          case 2:  // a start-up script of the bytes alone
            platform::WriteWholeFile(g_scratch + u"startup.kscr", bytes);
            break;
          case 3:
            platform::DeleteFileIfExists(g_scratch + u"startup.kscr");
            break;
          default:
            platform::WriteWholeFile(local, bytes);
        }
        break;
      }
      case 9: {
        // Opening or the properties of any path, with a scripted user at the dialogs.
        static const char16_t* const verbs[] = {u"open", u"properties", u"PROPERTIES", u"", u"chmod 777", u"quote x"};
        auto p = W(in.Path());
        auto v = W(in.Byte() % 4 ? std::u16string(verbs[in.Byte() % 6]) : in.Text());
        FsExecuteFileW(nullptr, p.data(), v.data());
        break;
      }
      default: {
        // A registry call fails now and then.
        const int failAt = in.Byte();
        int seen = 0;
        Registry().hook = [failAt, seen](RegOp, const std::u16string&) mutable {
          return ++seen == failAt ? RS_ACCESS_DENIED : RS_OK;
        };
        auto p = W(in.Path());
        FsFindFirstW(p.data(), &fd);
        Registry().hook = nullptr;
      }
    }
    if (Registry().OpenHandles() != 0) __builtin_trap();  // a leaked registry handle
  }
  for (KS_HANDLE h : open) FsFindClose(h);
  return 0;
}
