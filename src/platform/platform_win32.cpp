#include <windows.h>
// windows.h maps ReplaceFile to ReplaceFileW; the function of that name below is ours.
#undef ReplaceFile

#include <string>
#include <vector>

#include "platform/platform.h"

namespace kestrow::platform {

namespace {
HMODULE g_module = nullptr;

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
std::u16string U(const wchar_t* s, std::size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), n); }

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (ok()) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};
}  // namespace

void SetModule(void* instance) { g_module = static_cast<HMODULE>(instance); }

std::u16string SystemTempPath() {
  wchar_t buf[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH, buf);
  if (n == 0 || n > MAX_PATH) return std::u16string();
  return U(buf, n);
}

std::u16string ModuleFileName() {
  // A folder may be far longer than MAX_PATH: the buffer grows until the whole name fits (a
  // result that fills the buffer may have been cut), up to the longest path the system has.
  constexpr DWORD kLongestPath = 32768;
  for (DWORD size = MAX_PATH + 1;; size *= 2) {
    std::vector<wchar_t> buf(size, L'\0');
    const DWORD n = GetModuleFileNameW(g_module, buf.data(), size);
    if (n == 0) return std::u16string();
    if (n < size) return U(buf.data(), n);
    if (size >= kLongestPath) return std::u16string();
  }
}

std::optional<std::u16string> GetEnv(const std::u16string& name) {
  DWORD n = GetEnvironmentVariableW(W(name), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::vector<wchar_t> buf(n + 1);
  DWORD got = GetEnvironmentVariableW(W(name), buf.data(), n + 1);
  if (got == 0 || got > n) return std::nullopt;
  return U(buf.data(), got);
}

bool FileExists(const std::u16string& path) {
  DWORD a = GetFileAttributesW(W(path));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWholeFile(const std::u16string& path, std::string& bytes) {
  FileHandle f(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
  bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(f.get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &got, nullptr)) return false;
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return true;
}

bool CreateEmptyFile(const std::u16string& path) {
  FileHandle f(CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return f.ok();
}

bool WriteWholeFile(const std::u16string& path, const std::string& bytes) {
  FileHandle f(CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    if (!WriteFile(f.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, nullptr) || wrote == 0)
      return false;
    done += wrote;
  }
  return true;
}

bool DeleteFileIfExists(const std::u16string& path) {
  if (DeleteFileW(W(path))) return true;
  DWORD e = GetLastError();
  return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

bool ReplaceFile(const std::u16string& from, const std::u16string& to) {
  return MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

std::optional<std::u16string> CreateUniqueFile(const std::u16string& folder, const std::u16string& prefix) {
  const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (DWORD i = 0; i < 1000; ++i) {
    wchar_t tail[32];
    wsprintfW(tail, L".%08lx.tmp", static_cast<unsigned long>(seed + i * 7919u));
    std::u16string name = folder + prefix + U(tail, lstrlenW(tail));
    FileHandle f(CreateFileW(W(name), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f.ok()) return name;
    DWORD e = GetLastError();
    if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

std::string ToAnsi(const std::u16string& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, W(text), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, W(text), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::u16string FromAnsi(const std::string& text) {
  if (text.empty()) return std::u16string();
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::u16string();
  std::vector<wchar_t> buf(static_cast<std::size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), buf.data(), n);
  return U(buf.data(), buf.size());
}

unsigned AnsiCodePage() { return GetACP(); }

bool StartsWithIgnoreCase(const std::u16string& text, const std::u16string& prefix) {
  if (prefix.empty()) return true;
  if (prefix.size() > text.size()) return false;
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, W(text), static_cast<int>(prefix.size()), W(prefix),
                        static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

void SetLastErrorCode(std::uint32_t code) { SetLastError(code); }
std::uint32_t LastErrorCode() { return GetLastError(); }

bool RunningOnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::uint32_t ProcessId() { return GetCurrentProcessId(); }

std::uint32_t TickCount() { return GetTickCount(); }

std::uint64_t FileTimeNow() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return std::uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

std::u16string LocalDateTimeText(std::uint64_t fileTime) {
  const FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  SYSTEMTIME universal{}, local{};
  if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
    return std::u16string();
  std::u16string text;
  auto digits = [&text](unsigned v, int width, char16_t after) {
    std::u16string d(static_cast<std::size_t>(width), u'0');
    for (int i = width - 1; i >= 0; --i, v /= 10) d[static_cast<std::size_t>(i)] = char16_t(u'0' + v % 10);
    text += d;
    if (after) text += after;
  };
  digits(local.wYear, 4, u'-');
  digits(local.wMonth, 2, u'-');
  digits(local.wDay, 2, u' ');
  digits(local.wHour, 2, u':');
  digits(local.wMinute, 2, u':');
  digits(local.wSecond, 2, 0);
  return text;
}

namespace {
struct StackWork {
  void (*work)(void*);
  void* arg;
};

DWORD WINAPI RunStackWork(void* p) {
  auto* w = static_cast<StackWork*>(p);
  w->work(w->arg);
  return 0;
}

struct ThreadHandle {
  HANDLE h;
  ~ThreadHandle() {
    if (h) CloseHandle(h);
  }
};
}  // namespace

void RunOnLargeStack(std::size_t stackBytes, void (*work)(void*), void* arg) {
  StackWork w{work, arg};
  ThreadHandle thread{CreateThread(nullptr, stackBytes, &RunStackWork, &w, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)};
  if (!thread.h) {
    work(arg);
    return;
  }
  WaitForSingleObject(thread.h, INFINITE);
}

}  // namespace kestrow::platform

namespace kestrow::platform {

bool EnablePrivilege(const std::u16string& name, bool enable) {
  HANDLE token = nullptr;
  SetLastError(0);
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES set = {};
    if (LookupPrivilegeValueW(nullptr, W(name), &set.Privileges[0].Luid)) {
      set.PrivilegeCount = 1;
      set.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
      TOKEN_PRIVILEGES previous = {};
      DWORD returned = 0;
      AdjustTokenPrivileges(token, FALSE, &set, sizeof set, &previous, &returned);
    }
    CloseHandle(token);
  }
  return GetLastError() == 0;
}

}  // namespace kestrow::platform

namespace kestrow::platform {

std::string AnsiPrefix(const std::string& text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t i = 0;
  while (i < max) {
    const std::size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? 2 : 1;
    if (i + step > max) break;
    i += step;
  }
  return text.substr(0, i);
}

// The metrics are those the calling process sees: scaled to the system DPI in a DPI-aware process,
// 16 and 32 in one that is not (the system stretches all its drawing, the icons with it, so an icon
// for the real DPI would be drawn too large there). Each resource holds 16, 20, 24, 32, 40 and 48
// pixels; LoadImageW takes the exact one and scales the nearest for any other size.
void* LoadPluginIcon(const std::u16string& name, IconSize size) {
  const bool small = size == IconSize::Small;
  const int cx = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
  const int cy = GetSystemMetrics(small ? SM_CYSMICON : SM_CYICON);
  // Under Wine a load made on one thread while another thread runs a dialog fails now and then,
  // with no error set (a few loads in ten thousand, now and then twice in a row); a later attempt
  // loads the icon.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (attempt) Sleep(1);
    if (HANDLE icon = LoadImageW(g_module, W(name), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)) return icon;
  }
  return nullptr;
}

}  // namespace kestrow::platform
