// The plugin object: everything the library keeps between two calls of the host (the central
// object, the open searches, the host's callbacks and the folders), with one method for each
// export. The exports in host/exports.cpp are one line each into the one instance, inside the
// guard that keeps exceptions from leaving them. Any export may be called from any thread while
// another runs: what the object keeps is atomic, guarded, or set once when the library loads.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "host/fsplugin.h"
#include "host/searches.h"
#include "model/sentrel.h"
#include "model/user_messages.h"
#include "platform/shared_value.h"

namespace kestrow {

class TPlugin final : public TUserMessages {
 public:
  // When the library is loaded: the two folders and the central object.
  void Start();
  // When the library is unloaded.
  void End();

  std::int32_t InitW(std::int32_t pluginNr, tProgressProcW progress, tLogProcW log, tRequestProcW request);
  std::int32_t Init(std::int32_t pluginNr, tProgressProc progress, tLogProc log, tRequestProc request);
  KS_HANDLE FindFirst(const KS_WCHAR* path, KsFindDataW* findData);
  KS_BOOL FindNext(KS_HANDLE handle, KsFindDataW* findData);
  std::int32_t FindClose(KS_HANDLE handle);
  // The start or end of an operation of the host (FsStatusInfo); the kind does not matter.
  void StatusInfo(std::int32_t startEnd);
  void SetDefaultParams(const FsDefaultParamStruct* dps);
  void DefRootName(char* name, std::int32_t maxlen) const;
  std::int32_t ExecuteFile(const KS_WCHAR* remoteName, const KS_WCHAR* verb);
  // The host's copy protocol: without FS_COPYFLAGS_OVERWRITE a local file that exists is left
  // alone and FS_FILE_EXISTS returned.
  std::int32_t GetFile(const KS_WCHAR* remoteName, const KS_WCHAR* localName, std::int32_t copyFlags);
  std::int32_t PutFile(const KS_WCHAR* localName, const KS_WCHAR* remoteName);
  KS_BOOL Delete(const KS_WCHAR* remoteName);
  // The hidden attribute switches an entry of a Run location off, its absence on.
  KS_BOOL SetAttr(const KS_WCHAR* remoteName, std::int32_t newAttr);
  // Without FS_ICONFLAG_BACKGROUND, an entry whose target is not worked out yet is left to the
  // host's background thread (FS_ICON_DELAYED): the listing's own thread touches no files.
  std::int32_t ExtractCustomIcon(const KS_WCHAR* remoteName, std::int32_t extractFlags, KS_HICON* icon);
  std::int32_t ContentGetSupportedField(std::int32_t fieldIndex, char* fieldName, std::int32_t maxlen) const;
  // With CONTENT_DELAYIFSLOW, a field of what the entry starts that is not worked out yet is
  // left to the host's background thread (ft_delayed).
  std::int32_t ContentGetValue(const KS_WCHAR* fileName, std::int32_t fieldIndex, void* fieldValue,
                               std::int32_t maxlen, std::int32_t flags = 0);
  // The default column view, in the host's characters and in ANSI.
  KS_BOOL ContentGetDefaultView(KS_WCHAR* contents, KS_WCHAR* headers, KS_WCHAR* widths, KS_WCHAR* options,
                                std::int32_t maxlen) const;
  KS_BOOL ContentGetDefaultView(char* contents, char* headers, char* widths, char* options, std::int32_t maxlen) const;

  // True when the local name begins with the host's folder or the temporary folder.
  bool IsHostOrTempPath(const std::u16string& name) const;

  // The host's callbacks as the central object's questions and messages. Before FsInitW has
  // stored them a question is answered No and nothing is shown.
  bool AskYesNo(const std::u16string& title, const std::u16string& text) override;
  void ShowError(const std::u16string& text) override;
  void LogImportantError(const std::u16string& text) override;
  bool Connected() const override { return RequestProcW != nullptr; }

  // Made when the library loads and freed when it unloads.
  std::unique_ptr<TSentrel> Sentrel;
  platform::TShared<std::u16string> PluginPath;  // the plugin's folder ending in "\", or empty when it is not known
  platform::TShared<std::u16string> TempPath;

 private:
  std::int32_t Open(const std::u16string& path);

  // What FsInitW and FsInit give: the plugin number every callback carries, and the callbacks.
  std::atomic<std::int32_t> PluginNumber{0};
  std::atomic<tLogProcW> LogProcW{nullptr};
  std::atomic<tRequestProcW> RequestProcW{nullptr};
  // Kept as the host gives them and never read: the plugin shows no progress, and the ANSI
  // callbacks of FsInit are never called (every message goes through the wide ones).
  std::atomic<tProgressProcW> ProgressProcW{nullptr};
  std::atomic<tProgressProc> ProgressProc{nullptr};
  std::atomic<tLogProc> LogProc{nullptr};
  std::atomic<tRequestProc> RequestProc{nullptr};
  // The folder of the host's default ini file (FsSetDefaultParams): kept and never used, as the
  // plugin has no settings file.
  platform::TShared<std::u16string> DefaultIniPath;

  TSearches searches_;
};

// The one plugin object of the library.
TPlugin& Plugin();

}  // namespace kestrow
