#include "script/engine_library.h"

#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace kestrow::script {
namespace {

std::u16string Widen(const char* text) {
  // Loader messages are ASCII or UTF-8 (dlerror); broken sequences become U+FFFD.
  std::u16string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (*s) {
    char32_t c = *s++;
    if (c >= 0x80) {
      int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
      if (more < 0) {
        out += u'\uFFFD';
        continue;
      }
      c &= 0x3Fu >> more;
      for (; more > 0 && (*s & 0xC0) == 0x80; --more) c = (c << 6) | (*s++ & 0x3Fu);
      if (more > 0 || c > 0x10FFFF) c = 0xFFFD;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

#ifndef _WIN32
std::string Utf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}
#endif

void* Symbol(void* handle, const char* name) {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
  return dlsym(handle, name);
#endif
}

// Only a full path names one file whatever the current drive and folder and the loader's search
// order: "X:\..." or "\\server\..." on Windows, "/..." elsewhere.
bool IsFullPath(const std::u16string& path) {
#ifdef _WIN32
  auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  const bool letter = path.size() >= 3 && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
  if (letter && path[1] == u':' && separator(path[2])) return true;
  return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
#else
  return !path.empty() && path[0] == u'/';
#endif
}

}  // namespace

EngineLibrary EngineLibrary::Load(const std::u16string& folder, const std::u16string& fileName) {
  EngineLibrary lib;
  std::u16string path = folder;
#ifdef _WIN32
  if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
#else
  if (!path.empty() && path.back() != u'/') path += u'/';
#endif
  path += fileName;
  if (!IsFullPath(path)) {
    lib.error_ = u"cannot load " + path + u": not a full path";
    return lib;
  }

#ifdef _WIN32
  HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.c_str()));
  if (module == nullptr) {
    lib.error_ = u"cannot load " + path + u": error " + Widen(std::to_string(GetLastError()).c_str());
    return lib;
  }
  lib.handle_ = module;
#else
  // The library stays in the process once loaded: the Free Pascal run-time library does not
  // survive being unloaded and loaded again on Linux (its per-thread iconv state is closed a
  // second time when a later thread ends). A library loaded before is found by its name even
  // after its file is gone, so the file is looked for first.
  struct stat st;
  if (stat(Utf8(path).c_str(), &st) != 0) {
    lib.error_ = u"cannot load " + path + u": no such file";
    return lib;
  }
  void* module = dlopen(Utf8(path).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (module == nullptr) {
    const char* why = dlerror();
    lib.error_ = u"cannot load " + path + u": " + Widen(why ? why : "unknown error");
    return lib;
  }
  lib.handle_ = module;
#endif

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
    lib.error_ = path + u" has interface version " + Widen(std::to_string(got).c_str()) + u", expected " +
                 Widen(std::to_string(KS_ENGINE_API_VERSION).c_str());
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
#ifdef _WIN32
  FreeLibrary(static_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
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
