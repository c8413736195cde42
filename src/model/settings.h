// The settings the start-up script can change: the four confirmations and the two switches of
// writing. They start at their defaults when the library loads and keep what the script last set.
#pragma once

namespace kestrow {

// The six flags, read and replaced whole (the central object keeps them under a lock, as any
// export may read them while a rebuild's script sets them).
struct TSettings {
  bool fConfirmChange = true;   // ask before a dialog writes a changed value
  bool fConfirmDelete = true;   // ask before a value is deleted
  bool fConfirmAdd = true;      // ask before a new value is written
  bool fConfirmRestore = true;  // ask before a key is restored from a key file
  bool fCanCreateKey = false;   // a write may create the key it goes to
  bool fDebugStrings = false;   // say when a string write keeps the expandable type

  // The four confirmation flags, as the script sets them.
  void SetConfirmation(bool ConfirmChange, bool ConfirmDelete, bool ConfirmAdd, bool ConfirmRestore) {
    fConfirmChange = ConfirmChange;
    fConfirmDelete = ConfirmDelete;
    fConfirmAdd = ConfirmAdd;
    fConfirmRestore = ConfirmRestore;
  }
  // The two configuration flags, as the script sets them.
  void SetConfiguration(bool CanCreateKey, bool CanDebugStrings) {
    fCanCreateKey = CanCreateKey;
    fDebugStrings = CanDebugStrings;
  }
};

}  // namespace kestrow
