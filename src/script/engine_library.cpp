#include "script/engine_library.h"

#include <cstring>
#include <utility>

#include "platform/libraries.h"
#include "platform/text.h"

namespace kestrow::script {
namespace {

std::u16string Decimal(long long v) { return FromUtf8(std::to_string(v)); }

void* Symbol(void* handle, const char* name) { return platform::LibrarySymbol(handle, name); }

}  // namespace

EngineLibrary EngineLibrary::Load(const std::u16string& folder, const std::u16string& fileName) {
  EngineLibrary lib;
  const std::u16string path = platform::JoinLoaderPath(folder, fileName);
  if (!platform::IsFullPath(path)) {
    lib.error_ = u"cannot load " + path + u": not a full path";
    return lib;
  }
  std::u16string why;
  lib.handle_ = platform::LoadLibraryByPath(path, &why);
  if (lib.handle_ == nullptr) {
    lib.error_ = u"cannot load " + path + u": " + why;
    return lib;
  }

  ks_engine_api_version_fn version = nullptr;
  ks_run_script_fn run = nullptr;
  void* v = Symbol(lib.handle_, "ks_engine_api_version");
  void* r = Symbol(lib.handle_, "ks_run_script");
  std::memcpy(&version, &v, sizeof v);
  std::memcpy(&run, &r, sizeof r);
  if (version == nullptr || run == nullptr) {
    lib.error_ = path + u" lacks ks_engine_api_version or ks_run_script";
    lib.Release();
    return lib;
  }
  const std::int32_t got = version();
  if (got != KS_ENGINE_API_VERSION) {
    lib.error_ = path + u" has interface version " + Decimal(got) + u", expected " +
                 Decimal(KS_ENGINE_API_VERSION);
    lib.Release();
    return lib;
  }
  lib.run_ = run;
  lib.error_.clear();
  return lib;
}

EngineLibrary::EngineLibrary(EngineLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      run_(std::exchange(other.run_, nullptr)),
      error_(std::exchange(other.error_, u"not loaded")) {}

EngineLibrary& EngineLibrary::operator=(EngineLibrary&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = std::exchange(other.handle_, nullptr);
    run_ = std::exchange(other.run_, nullptr);
    error_ = std::exchange(other.error_, u"not loaded");
  }
  return *this;
}

EngineLibrary::~EngineLibrary() { Release(); }

void EngineLibrary::Release() {
  run_ = nullptr;
  if (handle_ == nullptr) return;
  platform::FreeLibraryByHandle(handle_);
  handle_ = nullptr;
}

std::int32_t EngineLibrary::Run(const char* ansiText, const ks_host& host, ks_result& out) const {
  if (run_ == nullptr) {
    out = ks_result{};
    out.status = KS_RUN_INTERNAL;
    const std::size_t n = error_.size() < 1023 ? error_.size() : 1023;
    for (std::size_t i = 0; i < n; ++i) out.message[i] = error_[i];
    out.message[n] = 0;
    return out.status;
  }
  return run_(ansiText, &host, &out);
}

}  // namespace kestrow::script
