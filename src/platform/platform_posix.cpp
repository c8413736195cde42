// Linux stand-in for the Windows services the core needs. Paths are Windows-style: a drive
// letter is dropped and "\" becomes "/", as Wine's Z: drive maps the Linux root.
#include <fcntl.h>
#include <pthread.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <random>

#include "platform/native_path_posix.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace kestrow::platform {

std::string NativePath(const std::u16string& path) {
  std::u16string p = path;
  if (p.size() >= 2 && p[1] == u':') p = p.substr(2);
  for (auto& c : p)
    if (c == u'\\') c = u'/';
  return ToUtf8(p);
}

namespace {
std::u16string g_moduleFileName;

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kFileTimeEpochSeconds = 11644473600;


// Windows-1252 positions 0x80..0x9F; everything else maps to the same code point (Latin-1).
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FoldLatin(char16_t c) {
  if (c >= u'A' && c <= u'Z') return char16_t(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
  return c;
}
}  // namespace

void SetModule(void*) {}
void SetModuleFileNameForTests(const std::u16string& fileName) { g_moduleFileName = fileName; }

std::u16string SystemTempPath() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t && *t) ? t : "/tmp";
  std::u16string w = u"Z:" + FromUtf8(dir);
  for (auto& c : w)
    if (c == u'/') c = u'\\';
  return w;
}

std::u16string ModuleFileName() { return g_moduleFileName; }

// As on Windows, the name's case does not matter: an exact match first, then any spelling.
std::optional<std::u16string> GetEnv(const std::u16string& name) {
  const std::string wanted = ToUtf8(name);
  if (const char* v = std::getenv(wanted.c_str())) return FromUtf8(v);
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (!eq || static_cast<std::size_t>(eq - *e) != wanted.size()) continue;
    if (::strncasecmp(*e, wanted.c_str(), wanted.size()) == 0) return FromUtf8(eq + 1);
  }
  return std::nullopt;
}

bool FileExists(const std::u16string& path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadWholeFile(const std::u16string& path, std::string& bytes) {
  const std::string p = NativePath(path);
  struct stat st;
  if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool CreateEmptyFile(const std::u16string& path) {
  int fd = ::open(NativePath(path).c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool WriteWholeFile(const std::u16string& path, const std::string& bytes) {
  int fd = ::open(NativePath(path).c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  return (::close(fd) == 0) && ok;
}

bool DeleteFileIfExists(const std::u16string& path) {
  struct stat st;
  const std::string p = NativePath(path);
  if (::lstat(p.c_str(), &st) != 0) return true;
  if (S_ISDIR(st.st_mode)) return false;
  return ::unlink(p.c_str()) == 0;
}

bool ReplaceFile(const std::u16string& from, const std::u16string& to) {
  return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

std::optional<std::u16string> CreateUniqueFile(const std::u16string& folder, const std::u16string& prefix) {
  std::random_device rd;
  for (int i = 0; i < 1000; ++i) {
    char tail[32];
    std::snprintf(tail, sizeof tail, ".%08x.tmp", static_cast<unsigned>(rd()));
    std::u16string name = folder + prefix + FromUtf8(tail);
    int fd = ::open(NativePath(name).c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

std::string ToAnsi(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += char(c);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k)
      if (kCp1252High[k] == c) mapped = char(0x80 + k);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    out += mapped;
  }
  return out;
}

std::u16string FromAnsi(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char ch : text) {
    const unsigned char b = static_cast<unsigned char>(ch);
    out += (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b);
  }
  return out;
}

unsigned AnsiCodePage() { return 1252; }

bool StartsWithIgnoreCase(const std::u16string& text, const std::u16string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (FoldLatin(text[i]) != FoldLatin(prefix[i])) return false;
  return true;
}

namespace {
thread_local std::uint32_t t_lastError = 0;
}  // namespace

void SetLastErrorCode(std::uint32_t code) { t_lastError = code; }
std::uint32_t LastErrorCode() { return t_lastError; }

bool RunningOnWine() { return false; }

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(::getpid()); }

std::uint32_t TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::uint64_t FileTimeNow() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto steps = std::chrono::duration_cast<std::chrono::microseconds>(now).count() * 10;
  return static_cast<std::uint64_t>(steps + kFileTimeEpochSeconds * 10000000);
}

std::u16string LocalDateTimeText(std::uint64_t fileTime) {
  const std::time_t seconds =
      static_cast<std::time_t>(static_cast<std::int64_t>(fileTime / 10000000) - kFileTimeEpochSeconds);
  std::tm local{};
  if (!localtime_r(&seconds, &local)) return std::u16string();
  char text[32] = {};
  if (!std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local)) return std::u16string();
  return std::u16string(text, text + std::strlen(text));
}

namespace {
// One thread with a large stack, kept for the life of the process and handed one piece of work
// at a time. Here a new thread for every piece would do, but the script engine's run-time
// library does not survive many short-lived threads on Linux (it crashed after a few hundred).
class StackWorker {
 public:
  explicit StackWorker(std::size_t stackBytes) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return;
    started_ = pthread_attr_setstacksize(&attr, stackBytes) == 0 && pthread_create(&thread_, &attr, &Main, this) == 0;
    pthread_attr_destroy(&attr);
  }
  ~StackWorker() {
    if (!started_) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    pthread_join(thread_, nullptr);
  }
  StackWorker(const StackWorker&) = delete;
  StackWorker& operator=(const StackWorker&) = delete;

  // False when there is no worker thread, or when called from it.
  bool Run(void (*work)(void*), void* arg) {
    if (!started_ || pthread_equal(pthread_self(), thread_)) return false;
    std::lock_guard<std::mutex> oneCaller(callers_);
    std::unique_lock<std::mutex> lock(mutex_);
    work_ = work;
    arg_ = arg;
    wake_.notify_all();
    done_.wait(lock, [this] { return work_ == nullptr; });
    return true;
  }

 private:
  static void* Main(void* p) {
    auto* self = static_cast<StackWorker*>(p);
    std::unique_lock<std::mutex> lock(self->mutex_);
    for (;;) {
      self->wake_.wait(lock, [self] { return self->quit_ || self->work_ != nullptr; });
      if (self->work_ == nullptr) return nullptr;
      self->work_(self->arg_);
      self->work_ = nullptr;
      self->done_.notify_all();
    }
  }

  pthread_t thread_{};
  bool started_ = false;
  std::mutex callers_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  void (*work_)(void*) = nullptr;
  void* arg_ = nullptr;
  bool quit_ = false;
};
}  // namespace

void RunOnLargeStack(std::size_t stackBytes, void (*work)(void*), void* arg) {
  static StackWorker worker(stackBytes);  // the first caller's size: the plugin has one caller
  if (!worker.Run(work, arg)) work(arg);
}

}  // namespace kestrow::platform

namespace kestrow::platform {
// There are no privileges to enable here.
bool EnablePrivilege(const std::u16string&, bool) { return true; }
}  // namespace kestrow::platform

namespace kestrow::platform {
std::string AnsiPrefix(const std::string& text, std::size_t max) { return text.substr(0, max); }
// Natively a distinct non-null token per resource and size, so the choice of icon can be tested.
void* LoadPluginIcon(const std::u16string& name, IconSize size) {
  static const char16_t* const names[] = {u"OPTIONAL", u"MUST", u"ADD", u"SAVE", u"RESTORE", u"AAA", u"MISSING"};
  static char tokens[2][7];
  for (int i = 0; i < 7; ++i)
    if (name == names[i]) return &tokens[size == IconSize::Small ? 0 : 1][i];
  return nullptr;
}
}  // namespace kestrow::platform
