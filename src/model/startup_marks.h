// The marks with which the system's start-up settings switch a Run entry off without deleting it.
//
// They live under Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved: subkey Run
// of the user's key for the user's Run key; of the machine's key, Run for the 64-bit view's Run
// key and Run32 for the 32-bit view's. That key is always read and written in the 64-bit view,
// where the system's own 64-bit settings keep it (the user's key is the same in both views). A
// mark is a REG_BINARY value named like the Run value, 12 bytes: the first byte even means on,
// odd means off; bytes 4 to 11 hold the time it was switched off as a FILETIME. No mark, or a
// value of another type or size, means on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/mem_item.h"

namespace kestrow {

// The key that holds the marks of a type's entries.
struct TMarkKey {
  ROOT_TYPES RootType;
  std::u16string Path;
};

// The mark key of HKCU_RUN32, HKCU_RUN64, HKLM_RUN32 and HKLM_RUN64; none for any other type.
std::optional<TMarkKey> MarkKeyFor(const TItemType& type);

// The state a read of a mark gave: its status, stored type and data.
TStartupState StateFromMark(std::int32_t status, std::uint32_t type, const std::vector<std::uint8_t>& data);

// The mark that switches an entry off since the time (first byte 03), or on (02, no time).
std::vector<std::uint8_t> MarkBytes(bool off, std::uint64_t offSince);

// The State column: "On", or "Off since <local date and time>" ("Off" when the mark holds no time).
std::u16string StateText(const TStartupState& state);

}  // namespace kestrow
