// The exported functions: each one line into the plugin object, inside the guard that gives the
// export's failure result instead of letting an exception leave it.
#include "host/exports.h"

#include "host/guard.h"
#include "host/plugin.h"
#include "platform/platform.h"

using kestrow::Guarded;
using kestrow::GuardedVoid;
using kestrow::Plugin;

KS_EXPORT std::int32_t KS_STDCALL FsInitW(std::int32_t PluginNr, tProgressProcW pProgressProcW, tLogProcW pLogProcW,
                                          tRequestProcW pRequestProcW) {
  return Guarded(0, [&] { return Plugin().InitW(PluginNr, pProgressProcW, pLogProcW, pRequestProcW); });
}

KS_EXPORT std::int32_t KS_STDCALL FsInit(std::int32_t PluginNr, tProgressProc pProgressProc, tLogProc pLogProc,
                                         tRequestProc pRequestProc) {
  return Guarded(-1, [&] { return Plugin().Init(PluginNr, pProgressProc, pLogProc, pRequestProc); });
}

KS_EXPORT KS_HANDLE KS_STDCALL FsFindFirstW(KS_WCHAR* Path, KsFindDataW* FindData) {
  const KS_HANDLE h = Guarded(KsInvalidHandle(), [&] { return Plugin().FindFirst(Path, FindData); });
  // The host reads the last error after a refused search: "no more files" would say that the
  // directory exists and is empty. Set last, when nothing the search did can change it again.
  if (h == KsInvalidHandle()) kestrow::platform::SetLastErrorCode(kestrow::platform::kErrorPathNotFound);
  return h;
}

KS_EXPORT KS_BOOL KS_STDCALL FsFindNextW(KS_HANDLE Hdl, KsFindDataW* FindData) {
  return Guarded(KS_FALSE, [&] { return Plugin().FindNext(Hdl, FindData); });
}

// Only the UTF-16 forms list anything.
KS_EXPORT KS_HANDLE KS_STDCALL FsFindFirst(char*, KsFindDataA*) { return KsInvalidHandle(); }

KS_EXPORT KS_BOOL KS_STDCALL FsFindNext(KS_HANDLE, KsFindDataA*) { return KS_FALSE; }

KS_EXPORT std::int32_t KS_STDCALL FsFindClose(KS_HANDLE Hdl) {
  return Guarded(0, [&] { return Plugin().FindClose(Hdl); });
}

// The host marks the operations it runs over many entries; both forms do the same.
KS_EXPORT void KS_STDCALL FsStatusInfo(char*, std::int32_t InfoStartEnd, std::int32_t) {
  GuardedVoid([&] { Plugin().StatusInfo(InfoStartEnd); });
}

KS_EXPORT void KS_STDCALL FsStatusInfoW(KS_WCHAR*, std::int32_t InfoStartEnd, std::int32_t) {
  GuardedVoid([&] { Plugin().StatusInfo(InfoStartEnd); });
}

KS_EXPORT void KS_STDCALL FsGetDefRootName(char* DefRootName, std::int32_t maxlen) {
  GuardedVoid([&] { Plugin().DefRootName(DefRootName, maxlen); });
}

KS_EXPORT void KS_STDCALL FsSetDefaultParams(FsDefaultParamStruct* dps) {
  GuardedVoid([&] { Plugin().SetDefaultParams(dps); });
}

KS_EXPORT std::int32_t KS_STDCALL FsExecuteFileW(KS_HWND, KS_WCHAR* RemoteName, KS_WCHAR* Verb) {
  return Guarded(FS_EXEC_ERROR, [&] { return Plugin().ExecuteFile(RemoteName, Verb); });
}

KS_EXPORT std::int32_t KS_STDCALL FsGetFileW(KS_WCHAR* RemoteName, KS_WCHAR* LocalName, std::int32_t CopyFlags,
                                             RemoteInfoStruct*) {
  return Guarded(FS_FILE_WRITEERROR, [&] { return Plugin().GetFile(RemoteName, LocalName, CopyFlags); });
}

KS_EXPORT std::int32_t KS_STDCALL FsPutFileW(KS_WCHAR* LocalName, KS_WCHAR* RemoteName, std::int32_t) {
  return Guarded(FS_FILE_WRITEERROR, [&] { return Plugin().PutFile(LocalName, RemoteName); });
}

KS_EXPORT KS_BOOL KS_STDCALL FsDeleteFileW(KS_WCHAR* RemoteName) {
  return Guarded(KS_FALSE, [&] { return Plugin().Delete(RemoteName); });
}

KS_EXPORT KS_BOOL KS_STDCALL FsSetAttrW(KS_WCHAR* RemoteName, std::int32_t NewAttr) {
  return Guarded(KS_FALSE, [&] { return Plugin().SetAttr(RemoteName, NewAttr); });
}

KS_EXPORT std::int32_t KS_STDCALL FsExtractCustomIconW(KS_WCHAR* RemoteName, std::int32_t ExtractFlags,
                                                       KS_HICON* TheIcon) {
  return Guarded(FS_ICON_USEDEFAULT, [&] { return Plugin().ExtractCustomIcon(RemoteName, ExtractFlags, TheIcon); });
}

KS_EXPORT std::int32_t KS_STDCALL FsContentGetSupportedField(std::int32_t FieldIndex, char* FieldName, char*,
                                                             std::int32_t maxlen) {
  return Guarded(ft_nomorefields, [&] { return Plugin().ContentGetSupportedField(FieldIndex, FieldName, maxlen); });
}

KS_EXPORT std::int32_t KS_STDCALL FsContentGetValueW(KS_WCHAR* FileName, std::int32_t FieldIndex, std::int32_t,
                                                     void* FieldValue, std::int32_t maxlen, std::int32_t flags) {
  return Guarded(ft_fileerror,
                 [&] { return Plugin().ContentGetValue(FileName, FieldIndex, FieldValue, maxlen, flags); });
}

KS_EXPORT KS_BOOL KS_STDCALL FsContentGetDefaultViewW(KS_WCHAR* ViewContents, KS_WCHAR* ViewHeaders,
                                                     KS_WCHAR* ViewWidths, KS_WCHAR* ViewOptions, std::int32_t maxlen) {
  return Guarded(KS_FALSE, [&] {
    return Plugin().ContentGetDefaultView(ViewContents, ViewHeaders, ViewWidths, ViewOptions, maxlen);
  });
}

KS_EXPORT KS_BOOL KS_STDCALL FsContentGetDefaultView(char* ViewContents, char* ViewHeaders, char* ViewWidths,
                                                    char* ViewOptions, std::int32_t maxlen) {
  return Guarded(KS_FALSE, [&] {
    return Plugin().ContentGetDefaultView(ViewContents, ViewHeaders, ViewWidths, ViewOptions, maxlen);
  });
}
