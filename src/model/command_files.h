// The three command files every type directory holds, and which of them a name stands for.
#pragma once

#include <string>

#include "model/names.h"

namespace kestrow {

enum class TCommandFile { None, Add, Save, Restore };

inline constexpr const char16_t* kAddFile = u".ADD";
inline constexpr const char16_t* kSaveFile = u".SAVE";
inline constexpr const char16_t* kRestoreFile = u".RESTORE";
// In the order a type directory lists them.
inline constexpr const char16_t* kCommandFiles[] = {kAddFile, kSaveFile, kRestoreFile};

// The command file the name stands for, by the name rule; None for any other name.
inline TCommandFile CommandFileOf(const std::u16string& name) {
  if (SameName(name, kAddFile)) return TCommandFile::Add;
  if (SameName(name, kSaveFile)) return TCommandFile::Save;
  if (SameName(name, kRestoreFile)) return TCommandFile::Restore;
  return TCommandFile::None;
}

}  // namespace kestrow
