// Loads the script engine library (engine_api.h) from a folder and checks it.
#pragma once

#include <cstdint>
#include <string>

#include "script/engine_api.h"

namespace kestrow::script {

class EngineLibrary {
 public:
  // Loads folder + separator + fileName: LoadLibraryW by full path on Windows, dlopen
  // elsewhere (there the folder is a POSIX path). A path that is not a full one is refused, so
  // the loader never searches for the library. Never throws: a failure is reported by Loaded()
  // and Error().
#ifdef KESTROW_ENGINE_FILE
  static EngineLibrary Load(const std::u16string& folder, const std::u16string& fileName = u"" KESTROW_ENGINE_FILE);
#else
  static EngineLibrary Load(const std::u16string& folder, const std::u16string& fileName);
#endif

  EngineLibrary() = default;
  EngineLibrary(EngineLibrary&& other) noexcept;
  EngineLibrary& operator=(EngineLibrary&& other) noexcept;
  EngineLibrary(const EngineLibrary&) = delete;
  EngineLibrary& operator=(const EngineLibrary&) = delete;
  ~EngineLibrary();

  bool Loaded() const { return run_ != nullptr; }
  // Why loading failed, e.g. "cannot load /x/libkestrow_ps.so: ..."; empty when loaded.
  const std::u16string& Error() const { return error_; }

  // ks_run_script; a library that is not loaded gives KS_RUN_INTERNAL with Error() as text.
  std::int32_t Run(const char* ansiText, const ks_host& host, ks_result& out) const;

 private:
  void Release();

  void* handle_ = nullptr;
  ks_run_script_fn run_ = nullptr;
  std::u16string error_ = u"not loaded";
};

}  // namespace kestrow::script
