// The column view the host shows when the user enters the drive: what starts, whether it is there,
// who made it, when the entry changed, and from where.
#include <cstddef>
#include <string>

#include "host/plugin.h"

namespace kestrow {

namespace {
// The host reads "\n" (a backslash and an n, not a line break) between two columns, and
// "[=<fs>.Field]" for a field of this plugin.
// Target state first, beside the name, so that a missing file stands out. Target: the file that
// starts. Publisher: who made it. Changed: when the entry's key was last written. State: whether
// a Run entry is switched off, and since when. Value: the command as stored. Address: the key it
// is read from (at the root, each location's key path).
const char* const kViewContents =
    "[=<fs>.Target state]\\n[=<fs>.Target]\\n[=<fs>.Publisher]\\n[=<fs>.Changed]\\n[=<fs>.State]\\n"
    "[=<fs>.Value]\\n[=<fs>.Address]";
const char* const kViewHeaders = "Target state\\nTarget\\nPublisher\\nChanged\\nState\\nValue\\nKey";
// Name, extension, then one per column; the target and the value are the widest.
const char* const kViewWidths = "160,40,80,260,150,120,110,220,220";
// No column widened to fill the panel, no horizontal scroll bar.
const char* const kViewOptions = "-1|0";

std::size_t Length(const char* s) {
  std::size_t n = 0;
  while (s[n]) ++n;
  return n;
}

template <typename C>
void Copy(C* target, const char* text) {
  std::size_t i = 0;
  for (; text[i]; ++i) target[i] = static_cast<C>(static_cast<unsigned char>(text[i]));
  target[i] = C(0);
}

// Fills the four buffers of maxlen characters each, or, when one text does not fit with its
// terminating NUL, leaves every buffer empty (when it holds a character at all) and says false.
template <typename C>
KS_BOOL FillView(C* contents, C* headers, C* widths, C* options, std::int32_t maxlen) {
  if (!contents || !headers || !widths || !options || maxlen <= 0) return KS_FALSE;
  const char* const texts[] = {kViewContents, kViewHeaders, kViewWidths, kViewOptions};
  C* const buffers[] = {contents, headers, widths, options};
  bool fits = true;
  for (const char* t : texts)
    if (Length(t) >= static_cast<std::size_t>(maxlen)) fits = false;
  for (int i = 0; i < 4; ++i) {
    if (fits) Copy(buffers[i], texts[i]);
    else buffers[i][0] = C(0);
  }
  return fits ? KS_TRUE : KS_FALSE;
}
}  // namespace

KS_BOOL TPlugin::ContentGetDefaultView(KS_WCHAR* contents, KS_WCHAR* headers, KS_WCHAR* widths, KS_WCHAR* options,
                                       std::int32_t maxlen) const {
  return FillView(contents, headers, widths, options, maxlen);
}

KS_BOOL TPlugin::ContentGetDefaultView(char* contents, char* headers, char* widths, char* options,
                                       std::int32_t maxlen) const {
  return FillView(contents, headers, widths, options, maxlen);
}

}  // namespace kestrow
