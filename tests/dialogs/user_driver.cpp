#include "dialogs/user_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "host/exports.h"
#include "host/plugin.h"
#include "platform/text.h"
#include "support/helpers.h"

namespace kestrow::test {

bool AwaitCondition(const std::function<bool()>& until) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!until()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void ExpectNoProblems(const Seen& seen) {
  for (const auto& p : seen.problems) ADD_FAILURE() << "user: " << p;
}

std::u16string Shown(const Seen& seen, int id) {
  auto it = seen.controls.find(id);
  return it == seen.controls.end() ? u"(no control)" : it->second.text;
}

Seen EditAsUser(const std::u16string& remote, const std::u16string& value, std::int32_t* result) {
  Recorded().answers = {true};
  const Seen seen = RunAsUser([&] { *result = Execute(remote); }, {SetText(idValue, value), Click(idOK)});
  ExpectNoProblems(seen);
  return seen;
}

void UseRecordingHost() {
  if (!kestrow::Plugin().Sentrel) kestrow::Plugin().Start();
  ::FsInitW(7, &NoProgressW, &RecordingLogW, &RecordingRequestW);
}

}  // namespace kestrow::test
