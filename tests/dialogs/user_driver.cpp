#include "dialogs/user_driver.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "host/exports.h"
#include "host/plugin.h"
#include "platform/text.h"
#include "support/plugin_under_test.h"

namespace kestrow::test {

std::string Utf8(const std::u16string& s) { return ToUtf8(s); }

bool AwaitCondition(const std::function<bool()>& until) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!until()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

namespace {

std::u16string FromW(const KS_WCHAR* s) {
  std::u16string out;
  while (s && *s) out += static_cast<char16_t>(*s++);
  return out;
}

KS_BOOL KS_STDCALL RecordRequestW(std::int32_t, std::int32_t type, KS_WCHAR* title, KS_WCHAR* text, KS_WCHAR*,
                                  std::int32_t) {
  return RecordRequest(type, title, text);
}

void KS_STDCALL RecordLog(std::int32_t, std::int32_t type, KS_WCHAR* text) {
  Recorded().logs.push_back(FromW(text));
  Recorded().logTypes.push_back(type);
}

std::int32_t KS_STDCALL NoProgress(std::int32_t, KS_WCHAR*, KS_WCHAR*, std::int32_t) { return 0; }

}  // namespace

void UseRecordingHost() {
  if (!kestrow::Plugin().Sentrel) kestrow::Plugin().Start();
  ::FsInitW(7, &NoProgress, &RecordLog, &RecordRequestW);
}

}  // namespace kestrow::test
