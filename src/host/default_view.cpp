// The column view the host shows when the user enters the drive: what starts, and from where.
#include <cstddef>
#include <string>

#include "host/plugin.h"

namespace kestrow {

namespace {
// The host reads "\n" (a backslash and an n, not a line break) between two columns, and
// "[=<fs>.Field]" for a field of this plugin.
// Value: the command or file that starts. Address: the key it is read from (at the root, each
// location's key path). ValueType: how the value is stored (an expanded string, a number, ...).
// State: whether a Run entry is switched off, and since when.
const char* const kViewContents = "[=<fs>.Value]\\n[=<fs>.Address]\\n[=<fs>.ValueType]\\n[=<fs>.State]";
const char* const kViewHeaders = "Value\\nKey\\nValue type\\nState";
// Name, extension, then one per column; the value is the widest.
const char* const kViewWidths = "160,40,320,260,110,170";
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
