// Drives the script engine library through its C interface with a host that records every call.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "program_folder.h"
#include "script/engine_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

namespace kestrow::script {
namespace {

std::string Narrow(const std::u16string& s) {  // for failure messages: ASCII as is, others as \uXXXX
  std::string out;
  for (char16_t c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(c));
      out += buf;
    }
  }
  return out;
}

std::u16string Str(const ks_char* s) {
  std::u16string out;
  if (s != nullptr)
    for (; *s; ++s) out += char16_t(*s);
  return out;
}

// A string of a routine, with its length: NULs in it are part of it.
std::u16string Str(const ks_char* s, std::int32_t length) {
  std::u16string out;
  for (std::int32_t i = 0; s != nullptr && i < length; ++i) out += char16_t(s[i]);
  return out;
}

using kestrow::test::ProgramFolder;

struct Call {
  std::string routine;
  std::vector<std::u16string> text;
  std::vector<std::int32_t> num;
};

// A host that records calls, answers with configurable results and can fail any routine.
class RecordingHost {
 public:
  RecordingHost() {
    host_.ctx = this;
    host_.initialize_type = &InitializeType;
    host_.add_value = &AddValue;
    host_.scan_for_values = &ScanForValues;
    host_.add_all_values = &AddAllValues;
    host_.set_confirmation = &SetConfirmation;
    host_.set_configuration = &SetConfiguration;
    host_.compiler_message = &CompilerMessage;
    host_.should_stop = &ShouldStop;
  }

  ks_host& Host() { return host_; }

  std::vector<Call> calls;
  std::vector<std::u16string> messages;
  std::map<std::string, std::u16string> failWith;  // routine -> message of KS_FAIL
  std::int32_t boolResult = 1;
  long polls = 0;
  long stopAtPoll = -1;  // should_stop answers 1 from this poll on
  std::size_t callsWhenStopped = 0;

 private:
  static RecordingHost& Self(void* ctx) { return *static_cast<RecordingHost*>(ctx); }

  std::int32_t Finish(const char* routine, std::int32_t* result, ks_char* err, std::int32_t errCap) {
    if (result != nullptr) *result = boolResult;
    auto it = failWith.find(routine);
    if (it == failWith.end()) return KS_OK;
    std::size_t n = 0;
    for (; n < it->second.size() && n + 1 < std::size_t(errCap); ++n) err[n] = it->second[n];
    err[n] = 0;
    return KS_FAIL;
  }

  static std::int32_t KS_CALL InitializeType(void* ctx, const ks_char* typeId, std::int32_t typeIdLength,
                                             std::int32_t rootType, std::int32_t editType, std::int32_t valueType,
                                             std::int32_t platform, const ks_char* defAddr, std::int32_t defAddrLength,
                                             ks_char* err, std::int32_t errCap) {
    try {
      auto& h = Self(ctx);
      h.calls.push_back({"QInitializeType", {Str(typeId, typeIdLength), Str(defAddr, defAddrLength)},
                         {rootType, editType, valueType, platform}});
      return h.Finish("QInitializeType", nullptr, err, errCap);
    } catch (...) {
      return KS_FAIL;
    }
  }
  static std::int32_t KS_CALL AddValue(void* ctx, const ks_char* typeId, std::int32_t typeIdLength,
                                       const ks_char* valueName, std::int32_t valueNameLength, std::int32_t* result,
                                       ks_char* err, std::int32_t errCap) {
    try {
      auto& h = Self(ctx);
      h.calls.push_back({"QAddValue", {Str(typeId, typeIdLength), Str(valueName, valueNameLength)}, {}});
      return h.Finish("QAddValue", result, err, errCap);
    } catch (...) {
      return KS_FAIL;
    }
  }
  static std::int32_t KS_CALL ScanForValues(void* ctx, const ks_char* typeId, std::int32_t typeIdLength,
                                            const ks_char* valueName, std::int32_t valueNameLength, std::int32_t avCnt,
                                            const std::int32_t avTypes[4], const ks_char* const avNames[4],
                                            const std::int32_t avNameLengths[4], std::int32_t* result, ks_char* err,
                                            std::int32_t errCap) {
    try {
      auto& h = Self(ctx);
      Call c{"QScanForValues", {Str(typeId, typeIdLength), Str(valueName, valueNameLength)}, {avCnt}};
      for (int i = 0; i < 4; ++i) {
        c.num.push_back(avTypes[i]);
        c.text.push_back(Str(avNames[i], avNameLengths[i]));
      }
      h.calls.push_back(c);
      return h.Finish("QScanForValues", result, err, errCap);
    } catch (...) {
      return KS_FAIL;
    }
  }
  static std::int32_t KS_CALL AddAllValues(void* ctx, const ks_char* typeId, std::int32_t typeIdLength,
                                           std::int32_t* result, ks_char* err, std::int32_t errCap) {
    try {
      auto& h = Self(ctx);
      h.calls.push_back({"QAddAllValues", {Str(typeId, typeIdLength)}, {}});
      return h.Finish("QAddAllValues", result, err, errCap);
    } catch (...) {
      return KS_FAIL;
    }
  }
  static std::int32_t KS_CALL SetConfirmation(void* ctx, std::int32_t change, std::int32_t del, std::int32_t add,
                                              std::int32_t restore, ks_char* err, std::int32_t errCap) {
    try {
      auto& h = Self(ctx);
      h.calls.push_back({"SetConfirmation", {}, {change, del, add, restore}});
      return h.Finish("SetConfirmation", nullptr, err, errCap);
    } catch (...) {
      return KS_FAIL;
    }
  }
  static std::int32_t KS_CALL SetConfiguration(void* ctx, std::int32_t canCreateKey, std::int32_t debugStrings,
                                               ks_char* err, std::int32_t errCap) {
    try {
      auto& h = Self(ctx);
      h.calls.push_back({"SetConfiguration", {}, {canCreateKey, debugStrings}});
      return h.Finish("SetConfiguration", nullptr, err, errCap);
    } catch (...) {
      return KS_FAIL;
    }
  }
  static void KS_CALL CompilerMessage(void* ctx, const ks_char* text) {
    try {
      Self(ctx).messages.push_back(Str(text));
    } catch (...) {
    }
  }
  static std::int32_t KS_CALL ShouldStop(void* ctx) {
    auto& h = Self(ctx);
    ++h.polls;
    if (h.stopAtPoll < 0 || h.polls < h.stopAtPoll) return 0;
    if (h.polls == h.stopAtPoll) h.callsWhenStopped = h.calls.size();
    return 1;
  }

  ks_host host_{};
};

class EngineLibraryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { engine_ = new EngineLibrary(EngineLibrary::Load(ProgramFolder())); }
  static void TearDownTestSuite() {
    delete engine_;
    engine_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(engine_->Loaded()) << Narrow(engine_->Error()); }

  std::int32_t Run(const std::string& script) {
    std::memset(&result_, 0x5A, sizeof result_);  // the library must fill every field
    const std::int32_t status = engine_->Run(script.c_str(), host_.Host(), result_);
    EXPECT_EQ(status, result_.status);
    return status;
  }
  std::u16string Message() const { return Str(result_.message); }

  static EngineLibrary* engine_;
  RecordingHost host_;
  ks_result result_{};
};

EngineLibrary* EngineLibraryTest::engine_ = nullptr;

TEST(EngineLibraryLoad, MissingFolderIsReportedAsValue) {
  EngineLibrary lib = EngineLibrary::Load(u"/no/such/folder", u"nothing.dll");
  EXPECT_FALSE(lib.Loaded());
  EXPECT_NE(lib.Error().find(u"nothing.dll"), std::u16string::npos) << Narrow(lib.Error());
  ks_host host{};
  ks_result out{};
  EXPECT_EQ(lib.Run("begin end.", host, out), KS_RUN_INTERNAL);
  EXPECT_EQ(Str(out.message), lib.Error());
}

// Only a full path is loaded: a folder that is empty or relative would have the loader search the
// current folder, the current drive's root or its own search path for a library of that name.
TEST(EngineLibraryLoad, OnlyAFullPathIsLoaded) {
  const std::u16string bin = ProgramFolder();
  const std::size_t cut = bin.find_last_of(u"\\/");
  const std::u16string parent = bin.substr(0, cut), binName = bin.substr(cut + 1);
  std::vector<std::u16string> folders = {u"", u".", binName, u"./" + binName};
#ifdef _WIN32
  // The same folder from the root of the current drive, and relative to the current folder of
  // drive Z:.
  folders.push_back(bin.substr(2));
  folders.push_back(u"Z:" + binName);
  wchar_t before[32768];
  const DWORD n = GetCurrentDirectoryW(32768, before);
  ASSERT_TRUE(SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(parent.c_str())));
#else
  char before[4096];
  ASSERT_NE(nullptr, getcwd(before, sizeof before));
  ASSERT_EQ(0, chdir(std::string(parent.begin(), parent.end()).c_str()));
#endif
  for (const auto& folder : folders) {
    SCOPED_TRACE(Narrow(folder));
    const EngineLibrary lib = EngineLibrary::Load(folder);
    EXPECT_FALSE(lib.Loaded());
    EXPECT_NE(std::u16string::npos, lib.Error().find(u"not a full path")) << Narrow(lib.Error());
  }
  // The folder itself, given in full, loads.
  EXPECT_TRUE(EngineLibrary::Load(bin).Loaded());
#ifdef _WIN32
  before[n] = 0;
  SetCurrentDirectoryW(before);
#else
  ASSERT_EQ(0, chdir(before));
#endif
}

TEST(EngineLibraryLoad, MovesOwnership) {
  EngineLibrary a = EngineLibrary::Load(ProgramFolder());
  ASSERT_TRUE(a.Loaded()) << Narrow(a.Error());
  EngineLibrary b = std::move(a);
  EXPECT_FALSE(a.Loaded());
  EXPECT_TRUE(b.Loaded());
  ks_host host{};
  ks_result out{};
  EXPECT_EQ(b.Run("begin end.", host, out), KS_RUN_OK);
}

#ifdef _WIN32
// The address a DLL asks to be loaded at, from its PE header; 0 when the file is not a DLL.
std::uint64_t PreferredBase(const std::u16string& path) {
  HANDLE f = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  unsigned char head[4096] = {};
  DWORD got = 0;
  const BOOL read = ReadFile(f, head, sizeof head, &got, nullptr);
  CloseHandle(f);
  if (!read || got < 0x40) return 0;
  std::uint32_t pe = 0;
  std::memcpy(&pe, head + 0x3C, 4);
  if (pe + 24 + 32 > got || std::memcmp(head + pe, "PE\0\0", 4) != 0) return 0;
  const unsigned char* optional = head + pe + 24;
  std::uint16_t magic = 0;
  std::memcpy(&magic, optional, 2);
  if (magic == 0x10B) {  // PE32: a 32-bit ImageBase at offset 28
    std::uint32_t base = 0;
    std::memcpy(&base, optional + 28, 4);
    return base;
  }
  std::uint64_t base = 0;  // PE32+: a 64-bit ImageBase at offset 24
  std::memcpy(&base, optional + 24, 8);
  return base;
}

// In the file manager another plugin may already sit at the engine's preferred address (Free
// Pascal's default, 0x10000000, is a common one): the engine must load elsewhere and work.
TEST(EngineLibraryLoad, LoadsAndRunsWhereItsPreferredAddressIsTaken) {
  // A copy under another name is another module, even while the suite's engine is loaded.
  wchar_t temp[MAX_PATH];
  ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
  const std::u16string folder = reinterpret_cast<const char16_t*>(temp);
  const std::string id = std::to_string(GetCurrentProcessId());
  const std::u16string name = u"kestrow_engine_moved_" + std::u16string(id.begin(), id.end()) + u".dll";
  const std::u16string built = ProgramFolder() + u"\\" + u"" KESTROW_ENGINE_FILE;
  const std::u16string copy = folder + name;
  ASSERT_TRUE(CopyFileW(reinterpret_cast<const wchar_t*>(built.c_str()), reinterpret_cast<const wchar_t*>(copy.c_str()),
                        FALSE));
  struct Cleanup {  // after the library below is unloaded
    std::u16string file;
    void* taken = nullptr;
    ~Cleanup() {
      if (taken) VirtualFree(taken, 0, MEM_RELEASE);
      DeleteFileW(reinterpret_cast<const wchar_t*>(file.c_str()));
    }
  } cleanup{copy};
  const std::uint64_t base = PreferredBase(copy);
  ASSERT_NE(0u, base);
  cleanup.taken = VirtualAlloc(reinterpret_cast<void*>(static_cast<std::uintptr_t>(base)), 1 << 16, MEM_RESERVE,
                               PAGE_NOACCESS);
  ASSERT_EQ(reinterpret_cast<void*>(static_cast<std::uintptr_t>(base)), cleanup.taken)
      << "the address is in use already";
  EngineLibrary lib = EngineLibrary::Load(folder, name);
  ASSERT_TRUE(lib.Loaded()) << Narrow(lib.Error());
  const HMODULE module = GetModuleHandleW(reinterpret_cast<const wchar_t*>(name.c_str()));
  EXPECT_NE(reinterpret_cast<std::uintptr_t>(module), static_cast<std::uintptr_t>(base));
  RecordingHost host;
  ks_result out{};
  EXPECT_EQ(KS_RUN_OK, lib.Run("var s: String; begin s := 'moved'; QAddValue(s, s + '!'); end.", host.Host(), out))
      << Narrow(Str(out.message));
  ASSERT_EQ(1u, host.calls.size());
  EXPECT_EQ((std::vector<std::u16string>{u"moved", u"moved!"}), host.calls[0].text);
}
#else
TEST(EngineLibraryLoad, LoadsAndRunsWhereItsPreferredAddressIsTaken) {
  GTEST_SKIP() << "a preferred load address is a Windows DLL's; the native engine is a shared object loaded "
                  "wherever the system puts it";
}
#endif

TEST_F(EngineLibraryTest, EmptyProgramRuns) {
  EXPECT_EQ(Run("begin end."), KS_RUN_OK);
  EXPECT_EQ(result_.procNo, 0);
  EXPECT_EQ(result_.position, 0);
  EXPECT_EQ(Message(), u"");
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(EngineLibraryTest, InitializeTypePassesTextAndOrdinals) {
  // 0xE4 and 0x80 are "ä" and "€" in Windows-1252 (the ANSI code page of the test setups).
  ASSERT_EQ(Run("begin\n"
                "  QInitializeType('T\xE4', RT_HKCU, ET_MUST, VAL_MULTISZ, WOW64_64, 'Software\\A\x80');\n"
                "  QInitializeType('x', RT_HKLM, ET_OPTIONAL, VAL_INTEGER, WOW64_32, '');\n"
                "  QInitializeType('y', RT_HKLM, ET_OPTIONAL, VAL_STRING, WOW64_32, '');\n"
                "  QInitializeType('z', RT_HKLM, ET_OPTIONAL, VAL_EXPANDSTRING, WOW64_32, '');\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  ASSERT_EQ(host_.calls.size(), 4u);
  const Call& c = host_.calls[0];
  EXPECT_EQ(c.routine, "QInitializeType");
  EXPECT_EQ(c.text[0], u"T\u00E4");
  EXPECT_EQ(c.text[1], u"Software\\A\u20AC");
  EXPECT_EQ(c.num, (std::vector<std::int32_t>{1, 1, 3, 1}));
  EXPECT_EQ(host_.calls[1].num, (std::vector<std::int32_t>{0, 0, 0, 0}));
  EXPECT_EQ(host_.calls[1].text[1], u"");
  EXPECT_EQ(host_.calls[2].num[2], 1);
  EXPECT_EQ(host_.calls[3].num[2], 2);
}

TEST_F(EngineLibraryTest, BooleanRoutinesReturnHostResult) {
  host_.boolResult = 1;
  ASSERT_EQ(Run("begin\n"
                "  if QAddValue('Run', 'V\xF6') then QAddValue('yes', '');\n"
                "  if QAddAllValues('Run') then QAddValue('all', '');\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  ASSERT_EQ(host_.calls.size(), 4u);
  EXPECT_EQ(host_.calls[0].routine, "QAddValue");
  EXPECT_EQ(host_.calls[0].text, (std::vector<std::u16string>{u"Run", u"V\u00F6"}));
  EXPECT_EQ(host_.calls[1].text[0], u"yes");
  EXPECT_EQ(host_.calls[2].routine, "QAddAllValues");
  EXPECT_EQ(host_.calls[2].text, (std::vector<std::u16string>{u"Run"}));
  EXPECT_EQ(host_.calls[3].text[0], u"all");

  host_.calls.clear();
  host_.boolResult = 0;
  ASSERT_EQ(Run("begin\n"
                "  if not QAddValue('a', 'b') then QAddValue('no', '');\n"
                "  if not QAddAllValues('a') then QAddValue('none', '');\n"
                "  if not QScanForValues('a', 'b', 0, VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '')\n"
                "    then QAddValue('nothing', '');\n"
                "end."),
            KS_RUN_OK);
  ASSERT_EQ(host_.calls.size(), 6u);
  EXPECT_EQ(host_.calls[1].text[0], u"no");
  EXPECT_EQ(host_.calls[3].text[0], u"none");
  EXPECT_EQ(host_.calls[5].text[0], u"nothing");
}

TEST_F(EngineLibraryTest, ScanForValuesPassesAllPairs) {
  ASSERT_EQ(Run("begin\n"
                "  QScanForValues('Svc', 'Start', 6, VAL_STRING, 'A\xE9', VAL_EXPANDSTRING, 'B',\n"
                "                 VAL_MULTISZ, 'C', VAL_INTEGER, 'D');\n"
                "  QScanForValues('Svc', '', -1, VAL_MULTISZ, '', VAL_INTEGER, '', VAL_STRING, '', VAL_EXPANDSTRING, '');\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  ASSERT_EQ(host_.calls.size(), 2u);
  const Call& c = host_.calls[0];
  EXPECT_EQ(c.routine, "QScanForValues");
  EXPECT_EQ(c.text, (std::vector<std::u16string>{u"Svc", u"Start", u"A\u00E9", u"B", u"C", u"D"}));
  EXPECT_EQ(c.num, (std::vector<std::int32_t>{6, 1, 2, 3, 0}));
  EXPECT_EQ(host_.calls[1].num, (std::vector<std::int32_t>{-1, 3, 0, 1, 2}));
}

TEST_F(EngineLibraryTest, MethodsOfSentrelReachHost) {
  ASSERT_EQ(Run("begin\n"
                "  Sentrel.SetConfirmation(True, False, True, False);\n"
                "  Sentrel.SetConfirmation(False, True, False, True);\n"
                "  Sentrel.SetConfiguration(True, False);\n"
                "  Sentrel.SetConfiguration(False, True);\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  ASSERT_EQ(host_.calls.size(), 4u);
  EXPECT_EQ(host_.calls[0].routine, "SetConfirmation");
  EXPECT_EQ(host_.calls[0].num, (std::vector<std::int32_t>{1, 0, 1, 0}));
  EXPECT_EQ(host_.calls[1].num, (std::vector<std::int32_t>{0, 1, 0, 1}));
  EXPECT_EQ(host_.calls[2].routine, "SetConfiguration");
  EXPECT_EQ(host_.calls[2].num, (std::vector<std::int32_t>{1, 0}));
  EXPECT_EQ(host_.calls[3].num, (std::vector<std::int32_t>{0, 1}));
}

TEST_F(EngineLibraryTest, SentrelHasOnlyItsTwoMethods) {
  EXPECT_EQ(Run("begin Sentrel.Free; end."), KS_RUN_COMPILE_FAILED);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].rfind(u"[Error] (1:", 0), 0u) << Narrow(host_.messages[0]);
}

TEST_F(EngineLibraryTest, UnboundSentrelVariableIsRunTimeError) {
  EXPECT_EQ(Run("var x: TSentrel;\nbegin\n  x.SetConfiguration(True, True);\nend."), KS_RUN_ERROR);
  EXPECT_EQ(Message(), u"Null Pointer Exception");
  EXPECT_TRUE(host_.calls.empty());
}

TEST_F(EngineLibraryTest, StringIsTheUnicodeStringType) {
  // U+263A is no Windows-1252 character: it survives only in UTF-16 strings.
  ASSERT_EQ(Run("var s: String; t: TItemType; r: ADD_VAL_REC; a: ADD_VAL_ARR;\n"
                "begin\n"
                "  s := #$263A + '\x80';\n"
                "  QAddValue(s, IntToStr(Ord(s[2])) + ' ' + IntToStr(Length(s)));\n"
                "  t.TypeID := #$263B; t.RootType := RT_HKCU; t.EditType := ET_MUST;\n"
                "  t.ValueType := VAL_STRING; t.tPlatform := WOW64_64; t.DefAddr := 'K';\n"
                "  t.DefAddr := t.DefAddr + #$263C;\n"
                "  QInitializeType(t.TypeID, t.RootType, t.EditType, t.ValueType, t.tPlatform, t.DefAddr);\n"
                "  SetLength(a, 2); a[1].ValType := VAL_MULTISZ; a[1].ValName := #$263D;\n"
                "  r := a[1];\n"
                "  QScanForValues(t.TypeID, '', 1, r.ValType, r.ValName, VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '');\n"
                "  QAddValue(Copy(s, 1, 1), #$263E);\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  ASSERT_EQ(host_.calls.size(), 4u);
  EXPECT_EQ(host_.calls[0].text, (std::vector<std::u16string>{u"\u263A\u20AC", u"8364 2"}));
  EXPECT_EQ(host_.calls[1].text, (std::vector<std::u16string>{u"\u263B", u"K\u263C"}));
  EXPECT_EQ(host_.calls[1].num, (std::vector<std::int32_t>{1, 1, 1, 1}));
  EXPECT_EQ(host_.calls[2].text[2], u"\u263D");
  EXPECT_EQ(host_.calls[2].num, (std::vector<std::int32_t>{1, 3, 0, 0, 0}));
  EXPECT_EQ(host_.calls[3].text, (std::vector<std::u16string>{u"\u263A", u"\u263E"}));
}

// A NUL (#0) is a character of a script's string like any other: every routine's strings reach
// the host whole, with their lengths, wherever the NULs stand and however the strings were built.
TEST_F(EngineLibraryTest, StringsHoldingNulsReachTheHostWhole) {
  ASSERT_EQ(Run("var s: String; r: ADD_VAL_REC;\n"
                "begin\n"
                "  s := 'Acc' + #0 + 'Hidden';\n"
                "  QAddValue(#0'T', s);\n"
                "  QInitializeType('Ty'#0, RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, '\\Software\\K'#0'ey');\n"
                "  r.ValName := #0#0; r.ValType := VAL_STRING;\n"
                "  QScanForValues(#0, 'Start'#0, 4, VAL_STRING, 'A'#0'B', VAL_STRING, '', r.ValType, r.ValName,\n"
                "    VAL_INTEGER, Copy(s, 3, 3));\n"
                "  QAddAllValues(#0'All'#0);\n"
                "  QAddValue('', #0 + '\xE9');\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  ASSERT_EQ(host_.calls.size(), 5u);
  const auto whole = [](const char16_t* s, std::size_t n) { return std::u16string(s, n); };
  EXPECT_EQ(host_.calls[0].text, (std::vector<std::u16string>{whole(u"\0T", 2), whole(u"Acc\0Hidden", 10)}));
  EXPECT_EQ(host_.calls[1].text, (std::vector<std::u16string>{whole(u"Ty\0", 3), whole(u"\\Software\\K\0ey", 14)}));
  EXPECT_EQ(host_.calls[2].text, (std::vector<std::u16string>{whole(u"\0", 1), whole(u"Start\0", 6),
                                                              whole(u"A\0B", 3), u"", whole(u"\0\0", 2),
                                                              whole(u"c\0H", 3)}));
  EXPECT_EQ(host_.calls[3].text, (std::vector<std::u16string>{whole(u"\0All\0", 5)}));
  EXPECT_EQ(host_.calls[4].text, (std::vector<std::u16string>{u"", whole(u"\0\u00E9", 2)}));
}

TEST_F(EngineLibraryTest, SyntaxErrorReportsEveryMessageInOrder) {
  EXPECT_EQ(Run("procedure P;\n"
                "var unused: Integer;\n"
                "begin\n"
                "end;\n"
                "begin\n"
                "  QAddValue('a', 'b');\n"
                "  Nonsense;\n"
                "end."),
            KS_RUN_COMPILE_FAILED);
  EXPECT_TRUE(host_.calls.empty());
  ASSERT_EQ(host_.messages.size(), 2u);
  const std::regex line(R"(\[(Error|Warning|Hint)\] \((\d+):(\d+)\): .+)");
  std::smatch m;
  const std::string hint = Narrow(host_.messages[0]);
  const std::string error = Narrow(host_.messages[1]);
  ASSERT_TRUE(std::regex_match(hint, m, line)) << hint;
  EXPECT_EQ(m[1], "Hint");
  EXPECT_EQ(m[2], "2");
  EXPECT_EQ(hint, "[Hint] (2:5): Variable 'UNUSED' never used");
  ASSERT_TRUE(std::regex_match(error, m, line)) << error;
  EXPECT_EQ(m[1], "Error");
  EXPECT_EQ(m[2], "7");
  EXPECT_EQ(m[3], "3");
  EXPECT_EQ(error, "[Error] (7:3): Unknown identifier 'Nonsense'");
}

TEST_F(EngineLibraryTest, WrongCallOfRegisteredRoutineDoesNotCompile) {
  EXPECT_EQ(Run("begin\n  QAddValue('a');\nend."), KS_RUN_COMPILE_FAILED);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(Narrow(host_.messages[0]), "[Error] (2:17): Invalid number of parameters");
}

TEST_F(EngineLibraryTest, HintsAndWarningsAloneAreNotReported) {
  EXPECT_EQ(Run("var unused: Integer;\n"
                "function F: Integer;\n"
                "begin\n"
                "end;\n"
                "begin\n"
                "  QAddValue('ran', '');\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  EXPECT_TRUE(host_.messages.empty());
  ASSERT_EQ(host_.calls.size(), 1u);
  EXPECT_EQ(host_.calls[0].text[0], u"ran");
}

TEST_F(EngineLibraryTest, HostFailureIsRunTimeError) {
  host_.failWith["QAddValue"] = u"Key \u00C4 \u2713 missing";  // U+2713 is outside the ANSI code page
  // The host's routine fails inside P, between two calls that succeed.
  const char* const script =
      "procedure P;\n"
      "begin\n"
      "  QAddValue('a', 'b');\n"
      "end;\n"
      "begin\n"
      "  QInitializeType('t', RT_HKLM, ET_MUST, VAL_STRING, WOW64_32, '');\n"
      "  P;\n"
      "  QInitializeType('never', RT_HKLM, ET_MUST, VAL_STRING, WOW64_32, '');\n"
      "end.";
  EXPECT_EQ(Run(script),
            KS_RUN_ERROR);
  EXPECT_EQ(Message(), u"Exception: Key \u00C4 \u2713 missing");
  ASSERT_EQ(host_.calls.size(), 2u);
  EXPECT_EQ(host_.calls[1].routine, "QAddValue");
  EXPECT_GT(result_.procNo, 0);  // inside P, not the main block
  EXPECT_GT(result_.position, 0);
  const ks_result first = result_;

  // The same script fails at the same place every time.
  host_.calls.clear();
  EXPECT_EQ(Run(script),
            KS_RUN_ERROR);
  EXPECT_EQ(result_.procNo, first.procNo);
  EXPECT_EQ(result_.position, first.position);
}

TEST_F(EngineLibraryTest, HostFailureInMainBlock) {
  host_.failWith["QAddAllValues"] = u"no key";
  EXPECT_EQ(Run("begin\n  QAddAllValues('x');\nend."), KS_RUN_ERROR);
  EXPECT_EQ(Message(), u"Exception: no key");
  EXPECT_EQ(result_.procNo, 0);
  EXPECT_GT(result_.position, 0);
}

TEST_F(EngineLibraryTest, EveryRoutineCanFail) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"QInitializeType", "QInitializeType('t', RT_HKLM, ET_MUST, VAL_STRING, WOW64_32, '')"},
      {"QAddValue", "QAddValue('t', 'v')"},
      {"QScanForValues", "QScanForValues('t', 'v', -1, VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '')"},
      {"QAddAllValues", "QAddAllValues('t')"},
      {"SetConfirmation", "Sentrel.SetConfirmation(True, True, True, True)"},
      {"SetConfiguration", "Sentrel.SetConfiguration(True, True)"},
  };
  for (const auto& [routine, call] : cases) {
    RecordingHost host;
    host.failWith[routine] = u"failed: " + std::u16string(routine.begin(), routine.end());
    ks_result out{};
    const std::string script = "begin\n  " + call + ";\n  QAddValue('after', '');\nend.";
    EXPECT_EQ(engine_->Run(script.c_str(), host.Host(), out), KS_RUN_ERROR) << routine;
    EXPECT_EQ(Str(out.message), u"Exception: " + host.failWith[routine]) << routine;
    ASSERT_EQ(host.calls.size(), 1u) << routine;
    EXPECT_EQ(host.calls[0].routine, routine);
  }
}

TEST_F(EngineLibraryTest, ScriptCatchesHostFailure) {
  host_.failWith["QAddValue"] = u"bad \u00E4";
  ASSERT_EQ(Run("begin\n"
                "  try\n"
                "    QAddValue('a', 'b');\n"
                "    QInitializeType('skipped', RT_HKLM, ET_MUST, VAL_STRING, WOW64_32, '');\n"
                "  except\n"
                "    QInitializeType(ExceptionParam, RT_HKLM, ET_MUST, VAL_STRING, WOW64_32,\n"
                "      ExceptionToString(ExceptionType, ExceptionParam));\n"
                "  end;\n"
                "  QInitializeType('after', RT_HKLM, ET_MUST, VAL_STRING, WOW64_32, '');\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  ASSERT_EQ(host_.calls.size(), 3u);
  EXPECT_EQ(host_.calls[1].text, (std::vector<std::u16string>{u"bad \u00E4", u"Exception: bad \u00E4"}));
  EXPECT_EQ(host_.calls[2].text[0], u"after");
}

TEST_F(EngineLibraryTest, ManyFailuresInARow) {
  host_.failWith["QAddValue"] = u"x";
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(Run("var i: Integer;\n"
                  "begin\n"
                  "  for i := 1 to 10 do\n"
                  "    try QAddValue('a', 'b'); except end;\n"
                  "  QAddValue('a', 'b');\n"
                  "end."),
              KS_RUN_ERROR);
  }
  EXPECT_EQ(host_.calls.size(), 200u * 11u);
}

TEST_F(EngineLibraryTest, EngineRunTimeErrors) {
  EXPECT_EQ(Run("var i: Integer;\nbegin\n  i := 0;\n  i := 10 div i;\nend."), KS_RUN_ERROR);
  EXPECT_FALSE(Message().empty());
  EXPECT_EQ(result_.procNo, 0);
  EXPECT_GT(result_.position, 0);

  EXPECT_EQ(Run("var a: array of Integer;\nbegin\n  a[3] := 1;\nend."), KS_RUN_ERROR);
  EXPECT_EQ(Message(), u"Out Of Range");

  EXPECT_EQ(Run("begin\n  RaiseException(erCustomError, 'mine \xE4');\nend."), KS_RUN_ERROR);
  EXPECT_EQ(Message(), u"mine \u00E4");

  // A script can catch the engine's own errors as well.
  EXPECT_EQ(Run("var i: Integer;\nbegin\n  i := 0;\n  try i := 10 div i; except QAddValue('caught', ''); end;\nend."),
            KS_RUN_OK);
}

TEST_F(EngineLibraryTest, ShouldStopEndsEndlessLoop) {
  host_.stopAtPoll = 1000;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run("begin\n  while True do QAddValue('loop', '');\nend."), KS_RUN_STOPPED);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_EQ(host_.polls, 1000);
  EXPECT_GT(host_.callsWhenStopped, 0u);
  EXPECT_EQ(host_.calls.size(), host_.callsWhenStopped);  // nothing is called after the stop
  EXPECT_EQ(Message(), u"");
}

TEST_F(EngineLibraryTest, ShouldStopEndsLoopWithoutCalls) {
  host_.stopAtPoll = 50000;
  EXPECT_EQ(Run("var i: Integer;\nbegin\n  while True do i := i + 1;\nend."), KS_RUN_STOPPED);
  EXPECT_EQ(host_.polls, 50000);
}

TEST_F(EngineLibraryTest, NoPollerMeansNoStop) {
  ks_host host = host_.Host();
  host.should_stop = nullptr;
  host.compiler_message = nullptr;
  ks_result out{};
  EXPECT_EQ(engine_->Run("var i: Integer;\nbegin\n  for i := 1 to 100000 do ;\nend.", host, out), KS_RUN_OK);
  EXPECT_EQ(engine_->Run("begin x end.", host, out), KS_RUN_COMPILE_FAILED);
}

TEST_F(EngineLibraryTest, EndlessRecursionIsRunTimeError) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run("procedure R(i: Integer);\nbegin\n  R(i + 1);\nend;\nbegin\n  R(0);\nend."), KS_RUN_ERROR);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(Message(), u"Out Of Stack Range");
  EXPECT_GT(result_.procNo, 0);

  // Caught by the script, the run goes on; the engine is usable afterwards.
  EXPECT_EQ(Run("var depth: Integer;\n"
                "procedure R(i: Integer; s: String);\nbegin\n  depth := i;\n  R(i + 1, s);\nend;\n"
                "begin\n"
                "  try R(0, 'abc'); except QAddValue(IntToStr(depth), ExceptionToString(ExceptionType, ExceptionParam)); end;\n"
                "end."),
            KS_RUN_OK)
      << Narrow(Message());
  ASSERT_EQ(host_.calls.size(), 1u);
  EXPECT_GT(std::stoi(Narrow(host_.calls[0].text[0])), 1000);
  EXPECT_EQ(host_.calls[0].text[1], u"Out Of Stack Range");
  EXPECT_EQ(Run("begin end."), KS_RUN_OK);
}

TEST_F(EngineLibraryTest, NullArgumentsAreInternalFailures) {
  ks_result out{};
  EXPECT_EQ(engine_->Run(nullptr, host_.Host(), out), KS_RUN_INTERNAL);
  EXPECT_NE(Str(out.message), u"");
}

TEST_F(EngineLibraryTest, NoRoutineCallbacksRaiseInScript) {
  ks_host host{};
  ks_result out{};
  EXPECT_EQ(engine_->Run("begin\n  QAddValue('a', 'b');\nend.", host, out), KS_RUN_ERROR);
  EXPECT_EQ(Str(out.message), u"Exception: QAddValue is not available");
}

TEST_F(EngineLibraryTest, LongMessageIsCut) {
  host_.failWith["QAddValue"] = std::u16string(2000, u'm');
  EXPECT_EQ(Run("begin QAddValue('a', 'b'); end."), KS_RUN_ERROR);
  // The host's err buffer holds KS_ERR_CAPACITY - 1 units; the result holds 1023.
  EXPECT_EQ(Message(), u"Exception: " + std::u16string(KS_ERR_CAPACITY - 1, u'm'));
}

TEST_F(EngineLibraryTest, InterfaceNamesIgnoreCase) {
  EXPECT_EQ(Run("var x: titemtype; begin qaddvalue('a', 'b'); SENTREL.setconfiguration(true, false); end."),
            KS_RUN_OK)
      << Narrow(Message());
  EXPECT_EQ(host_.calls.size(), 2u);
}

}  // namespace
}  // namespace kestrow::script
