// The library-wide state: the central object, the host's callbacks and the two folders.
#pragma once

#include <memory>
#include <string>

#include "host/fsplugin.h"
#include "model/names.h"
#include "model/sentrel.h"

namespace kestrow {

struct TLibraryState {
  std::unique_ptr<TSentrel> Sentrel;
  std::int32_t PluginNumber = 0;
  tProgressProcW ProgressProcW = nullptr;
  tLogProcW LogProcW = nullptr;
  tRequestProcW RequestProcW = nullptr;
  tProgressProc ProgressProc = nullptr;
  tLogProc LogProc = nullptr;
  tRequestProc RequestProc = nullptr;
  std::u16string PluginPath;  // the plugin's folder ending in "\", or empty when it is not known
  bool PluginPathReported = false;  // the user has been told that it is not known
  std::u16string TempPath;
  std::u16string DefaultIniPath;
};

TLibraryState& Library();

// Runs when the library is loaded: the two folders and the central object.
void LibraryStart();
// Runs when the library is unloaded.
void LibraryEnd();

// The host's callbacks as the rest of the plugin uses them. Before FsInitW has stored them a
// question is answered No and nothing is shown.
bool AskYesNo(const std::u16string& title, const std::u16string& text);
void ShowError(const std::u16string& text);
void LogImportantError(const std::u16string& text);

// The host's callbacks as the central object's questions and messages.
TUserMessages& HostMessages();

}  // namespace kestrow
