// The questions asked before a command changes the registry, with their texts, each asked only
// while the script leaves its flag set. Every command asks here, whichever layer it comes from.
#pragma once

#include <string>

#include "model/sentrel.h"

namespace kestrow {

// Each is true when the command may go ahead: its flag is off, or the user said Yes.
// A changed value written, from the edit dialog or by switching a Run entry on or off.
bool ConfirmChange(const TSentrel& sentrel);
// A new value written from the add dialog.
bool ConfirmAdd(const TSentrel& sentrel);
// A value written from a file copied onto the drive, named in the question.
bool ConfirmAddCopied(const TSentrel& sentrel, const std::u16string& valueName);
// The key at the address restored from a key file.
bool ConfirmRestore(const TSentrel& sentrel, const std::u16string& address);

}  // namespace kestrow
