// Running the start-up script: reading it, handing it to the engine library with the script
// interface, and reporting what went wrong.
#include "script/script_runner.h"

#include <chrono>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "model/scanners.h"
#include "platform/errors.h"
#include "platform/libraries.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "script/engine_library.h"
#include "script/script_text.h"

namespace kestrow::script {

namespace {

// A script that has not finished after this long is stopped. Scripts compile and run in
// milliseconds and even wide registry scans take a fraction of a second, while the file
// manager waits for every listing: three seconds leaves a real script a large margin and a
// runaway one costs the user one short wait per listing.
constexpr std::chrono::milliseconds kScriptTimeLimit{3000};
// Entries after the fourth extra value carry no name; more than this many is refused like a
// negative count instead of flooding the tree.
constexpr std::int32_t kMaxExtraValues = 256;

// The engine's compiler descends recursively into nested expressions and statements, a few
// hundred bytes of stack per level. It runs on a thread with a large stack of its own, so a
// deeply nested script meets the engine's own limits and not the end of the file manager's stack.
// Address space is only reserved, and committed as the stack grows.
constexpr std::size_t kScriptStackBytes = sizeof(void*) >= 8 ? std::size_t(256) << 20 : std::size_t(64) << 20;

// The engine's compile time grows faster than the script: 16,000 statements compile in about a
// second, twice as many in more than five. A start-up script declares a few dozen locations in a
// few kilobytes; one larger than this is refused, so no script can hold up a listing for long.
constexpr std::size_t kMaxScriptBytes = std::size_t(128) << 10;

struct RunContext {
  platform::TShared<TSettings>* settings;
  TItemTree* tree;  // the tree being built
  std::chrono::steady_clock::time_point deadline;
  bool stopped = false;
  std::vector<std::u16string> compilerMessages;
};

// A NUL-terminated message of the engine.
std::u16string FromKs(const ks_char* s) {
  std::u16string out;
  while (s && *s) out += static_cast<char16_t>(*s++);
  return out;
}

// A string of the script with its length, NULs and all: names are taken whole.
std::u16string FromKs(const ks_char* s, std::int32_t length) {
  std::u16string out;
  if (!s || length <= 0) return out;
  out.reserve(static_cast<std::size_t>(length));
  for (std::int32_t i = 0; i < length; ++i) out += static_cast<char16_t>(s[i]);
  return out;
}

void PutError(ks_char* err, std::int32_t cap, const std::u16string& text) {
  if (!err || cap <= 0) return;
  const std::u16string cut = CutUtf16(text, static_cast<std::size_t>(cap - 1));
  for (std::size_t i = 0; i < cut.size(); ++i) err[i] = cut[i];
  err[cut.size()] = 0;
}

std::u16string Decimal(long long v) { return FromUtf8(std::to_string(v)); }

// Runs one script routine; whatever it raises goes back to the engine as its message.
template <typename F>
std::int32_t Call(ks_char* err, std::int32_t cap, F&& body) noexcept {
  try {
    body();
    return KS_OK;
  } catch (const EKestrowError& e) {
    PutError(err, cap, e.Message());
  } catch (const std::bad_alloc&) {
    PutError(err, cap, u"Out of memory");
  } catch (...) {
    // Nothing may unwind into the engine, which is no C++ code: anything else is a fault of ours.
    PutError(err, cap, u"Internal error");
  }
  return KS_FAIL;
}

void CheckOrdinal(const char16_t* what, std::int32_t v, std::int32_t count) {
  if (v < 0 || v >= count) throw EKestrowError(std::u16string(what) + u" " + Decimal(v) + u" is out of range");
}

platform::TShared<TSettings>& Settings(void* ctx) { return *static_cast<RunContext*>(ctx)->settings; }
TItemTree& Tree(void* ctx) { return *static_cast<RunContext*>(ctx)->tree; }

// The node a routine adds for a looked-up type, or null when the type is not declared.
std::unique_ptr<TMemItem> TemplateFor(const TItemTree& tree, const std::u16string& typeId, const std::u16string& name) {
  const TItemType* type = tree.ItemTypeSearch(typeId);
  if (!type) return nullptr;
  const TMemItem* dir = tree.FindRootDirectoryByType(*type);
  if (!dir) return nullptr;
  return MakeNode(ELT_ITEM, dir, *type, type->DefAddr, name);
}

int32_t KS_CALL InitializeTypeCb(void* ctx, const ks_char* typeId, int32_t typeIdLength, int32_t rootType,
                                 int32_t editType, int32_t valueType, int32_t platformType, const ks_char* defAddr,
                                 int32_t defAddrLength, ks_char* err, int32_t cap) {
  return Call(err, cap, [&] {
    CheckOrdinal(u"RootType", rootType, 2);
    CheckOrdinal(u"EditType", editType, 2);
    CheckOrdinal(u"ValueType", valueType, 4);
    CheckOrdinal(u"tPlatform", platformType, 2);
    TItemType t;
    t.TypeID = FromKs(typeId, typeIdLength);
    t.RootType = static_cast<ROOT_TYPES>(rootType);
    t.EditType = static_cast<EDIT_TYPES>(editType);
    t.ValueType = static_cast<VALUE_TYPES>(valueType);
    t.tPlatform = static_cast<PLATFORM_TYPE>(platformType);
    t.DefAddr = FromKs(defAddr, defAddrLength);
    TItemTree& tree = Tree(ctx);
    TItemTree::InitializeType(tree.ItemTypes, t, tree.Memory);
  });
}

int32_t KS_CALL AddValueCb(void* ctx, const ks_char* typeId, int32_t typeIdLength, const ks_char* valueName,
                           int32_t valueNameLength, int32_t* result, ks_char* err, int32_t cap) {
  *result = 0;
  return Call(err, cap, [&] {
    TItemTree& tree = Tree(ctx);
    auto node = TemplateFor(tree, FromKs(typeId, typeIdLength), u"");
    if (!node) return;
    TScanners::AddSingleValue(tree.Memory, *node->Parent, FromKs(valueName, valueNameLength));
    *result = 1;
  });
}

int32_t KS_CALL ScanForValuesCb(void* ctx, const ks_char* typeId, int32_t typeIdLength, const ks_char* valueName,
                                int32_t valueNameLength, int32_t avCnt, const int32_t avTypes[4],
                                const ks_char* const avNames[4], const int32_t avNameLengths[4], int32_t* result,
                                ks_char* err, int32_t cap) {
  *result = 0;
  return Call(err, cap, [&] {
    TItemTree& tree = Tree(ctx);
    auto templ = TemplateFor(tree, FromKs(typeId, typeIdLength), u"");
    if (!templ) return;
    if (avCnt < 0 || avCnt > kMaxExtraValues) throw EKestrowError(u"Range check error");
    ADD_VAL_ARR extras(static_cast<std::size_t>(avCnt));
    for (int k = 0; k < 4 && k < avCnt; ++k) {
      CheckOrdinal(u"Extra value type", avTypes[k], 4);
      extras[static_cast<std::size_t>(k)].ValType = static_cast<VALUE_TYPES>(avTypes[k]);
      extras[static_cast<std::size_t>(k)].ValName = FromKs(avNames[k], avNameLengths[k]);
    }
    TScanners::RegGetAllSubkeysByValue(*templ, tree.Memory, FromKs(valueName, valueNameLength), extras);
    *result = 1;
  });
}

int32_t KS_CALL AddAllValuesCb(void* ctx, const ks_char* typeId, int32_t typeIdLength, int32_t* result, ks_char* err,
                               int32_t cap) {
  *result = 0;
  return Call(err, cap, [&] {
    TItemTree& tree = Tree(ctx);
    auto templ = TemplateFor(tree, FromKs(typeId, typeIdLength), u"");
    if (!templ) return;
    TScanners::RegGetAllValues(*templ, tree.Memory);
    *result = 1;
  });
}

int32_t KS_CALL SetConfirmationCb(void* ctx, int32_t change, int32_t del, int32_t add, int32_t restore, ks_char* err,
                                  int32_t cap) {
  return Call(err, cap, [&] {
    Settings(ctx).Update([&](TSettings& s) { s.SetConfirmation(change != 0, del != 0, add != 0, restore != 0); });
  });
}

int32_t KS_CALL SetConfigurationCb(void* ctx, int32_t canCreateKey, int32_t debugStrings, ks_char* err, int32_t cap) {
  return Call(err, cap, [&] {
    Settings(ctx).Update([&](TSettings& s) { s.SetConfiguration(canCreateKey != 0, debugStrings != 0); });
  });
}

void KS_CALL CompilerMessageCb(void* ctx, const ks_char* text) {
  try {
    static_cast<RunContext*>(ctx)->compilerMessages.push_back(FromKs(text));
  } catch (const std::bad_alloc&) {
    // The engine's callback may not throw: a message that finds no memory is not shown.
  }
}

int32_t KS_CALL ShouldStopCb(void* ctx) {
  auto* c = static_cast<RunContext*>(ctx);
  if (std::chrono::steady_clock::now() < c->deadline) return 0;
  c->stopped = true;
  return 1;
}

// The script's text for the engine, or none (after telling the user) when it cannot run.
std::optional<std::string> ScriptForEngine(const std::u16string& FileName, TUserMessages& user) {
  std::string bytes;
  if (!platform::ReadWholeFile(FileName, bytes)) {
    user.ShowError(u"The start-up script " + FileName + u" could not be read; it did not run.");
    return std::nullopt;
  }
  std::string ansi = platform::ToAnsi(ScriptTextFromBytes(bytes));
  // The engine takes the text up to its first NUL; the rest would be dropped without a word.
  if (ansi.find('\0') != std::string::npos) {
    user.ShowError(u"The start-up script " + FileName + u" holds a NUL character; it did not run.");
    return std::nullopt;
  }
  if (ansi.size() > kMaxScriptBytes) {
    const long long kib = static_cast<long long>(kMaxScriptBytes >> 10);
    user.ShowError(u"The start-up script " + FileName + u" is larger than " + Decimal(kib) + u" KiB; it did not run.");
    return std::nullopt;
  }
  return ansi;
}

// Runs the text in the engine on a large stack of its own; the engine's status.
std::int32_t RunInEngine(const EngineLibrary& engine, const std::string& text, RunContext& ctx, ks_result& result) {
  ks_host host{};
  host.ctx = &ctx;
  host.initialize_type = &InitializeTypeCb;
  host.add_value = &AddValueCb;
  host.scan_for_values = &ScanForValuesCb;
  host.add_all_values = &AddAllValuesCb;
  host.set_confirmation = &SetConfirmationCb;
  host.set_configuration = &SetConfigurationCb;
  host.compiler_message = &CompilerMessageCb;
  host.should_stop = &ShouldStopCb;
  struct EngineCall {
    const EngineLibrary& engine;
    const char* text;
    const ks_host& host;
    ks_result& result;
    std::int32_t status;
  } call{engine, text.c_str(), host, result, KS_RUN_INTERNAL};
  platform::RunOnLargeStack(
      kScriptStackBytes,
      [](void* p) {
        auto* c = static_cast<EngineCall*>(p);
        c->status = c->engine.Run(c->text, c->host, c->result);
      },
      &call);
  return call.status;
}

// Tells the user why a run did not reach its end; true when it did.
bool ReportRun(std::int32_t status, const RunContext& ctx, const ks_result& result, TUserMessages& user) {
  const std::u16string message = FromKs(result.message);
  switch (status) {
    case KS_RUN_OK:
      return true;
    case KS_RUN_COMPILE_FAILED:
      for (const auto& m : ctx.compilerMessages) user.ShowError(u"Compiler: " + m);
      if (ctx.compilerMessages.empty()) user.ShowError(u"Compiler: " + message);
      return false;
    case KS_RUN_ERROR:
      user.ShowError(message + u" at " + Decimal(result.procNo) + u"." + Decimal(result.position));
      return false;
    case KS_RUN_STOPPED:
      user.ShowError(u"The start-up script was stopped because it ran for more than " +
                Decimal(kScriptTimeLimit.count() / 1000) + u" seconds; what it added until then is listed.");
      return false;
    default:
      user.ShowError(u"The start-up script could not run: " +
                (message.empty() ? std::u16string(u"the script engine failed.") : message));
      return false;
  }
}

}  // namespace

bool TStartupScript::ExecuteScript(const std::u16string& FileName, TItemTree& tree, TUserMessages& user) {
  const std::optional<std::string> text = ScriptForEngine(FileName, user);
  if (!text) return false;
  const EngineLibrary engine = EngineLibrary::Load(platform::LoaderFolder(folder_));
  if (!engine.Loaded()) {
    user.ShowError(u"The script engine " + folder_ + u"" KESTROW_ENGINE_FILE
              u" is missing or could not be loaded, so the start-up script did not run.");
    return false;
  }
  RunContext ctx{&settings_, &tree, std::chrono::steady_clock::now() + kScriptTimeLimit, false, {}};
  ks_result result{};
  const std::int32_t status = RunInEngine(engine, *text, ctx, result);
  return ReportRun(status, ctx, result, user);
}

void TStartupScript::BuildTemplateMemory(TItemTree& tree, TUserMessages& user) {
  if (folder_.empty()) {
    // No folder to look in: no script runs, and the user is told once.
    if (user.Connected() && !folderReported_.exchange(true))
      user.ShowError(u"The plugin could not read the name of its own folder, so its start-up script did not run.");
  } else {
    const std::u16string path = folder_ + u"startup.kscr";
    if (platform::FileExists(path)) ExecuteScript(path, tree, user);
  }
}

}  // namespace kestrow::script
