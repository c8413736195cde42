// The exported functions of the plugin, with the host interface's parameter lists.
#pragma once

#include <string>

#include "host/fsplugin.h"

#define KS_EXPORT extern "C"

KS_EXPORT std::int32_t KS_STDCALL FsInitW(std::int32_t PluginNr, tProgressProcW pProgressProcW, tLogProcW pLogProcW,
                                          tRequestProcW pRequestProcW);
KS_EXPORT std::int32_t KS_STDCALL FsInit(std::int32_t PluginNr, tProgressProc pProgressProc, tLogProc pLogProc,
                                         tRequestProc pRequestProc);
KS_EXPORT KS_HANDLE KS_STDCALL FsFindFirstW(KS_WCHAR* Path, KsFindDataW* FindData);
KS_EXPORT KS_BOOL KS_STDCALL FsFindNextW(KS_HANDLE Hdl, KsFindDataW* FindData);
KS_EXPORT KS_HANDLE KS_STDCALL FsFindFirst(char* Path, KsFindDataA* FindData);
KS_EXPORT KS_BOOL KS_STDCALL FsFindNext(KS_HANDLE Hdl, KsFindDataA* FindData);
KS_EXPORT std::int32_t KS_STDCALL FsFindClose(KS_HANDLE Hdl);
KS_EXPORT void KS_STDCALL FsStatusInfo(char* RemoteDir, std::int32_t InfoStartEnd, std::int32_t InfoOperation);
KS_EXPORT void KS_STDCALL FsStatusInfoW(KS_WCHAR* RemoteDir, std::int32_t InfoStartEnd, std::int32_t InfoOperation);
KS_EXPORT void KS_STDCALL FsGetDefRootName(char* DefRootName, std::int32_t maxlen);
KS_EXPORT void KS_STDCALL FsSetDefaultParams(FsDefaultParamStruct* dps);
KS_EXPORT std::int32_t KS_STDCALL FsExecuteFileW(KS_HWND MainWin, KS_WCHAR* RemoteName, KS_WCHAR* Verb);
KS_EXPORT std::int32_t KS_STDCALL FsGetFileW(KS_WCHAR* RemoteName, KS_WCHAR* LocalName, std::int32_t CopyFlags,
                                             RemoteInfoStruct* ri);
KS_EXPORT std::int32_t KS_STDCALL FsPutFileW(KS_WCHAR* LocalName, KS_WCHAR* RemoteName, std::int32_t CopyFlags);
KS_EXPORT KS_BOOL KS_STDCALL FsDeleteFileW(KS_WCHAR* RemoteName);
KS_EXPORT KS_BOOL KS_STDCALL FsSetAttrW(KS_WCHAR* RemoteName, std::int32_t NewAttr);
KS_EXPORT std::int32_t KS_STDCALL FsExtractCustomIconW(KS_WCHAR* RemoteName, std::int32_t ExtractFlags,
                                                       KS_HICON* TheIcon);
KS_EXPORT std::int32_t KS_STDCALL FsContentGetSupportedField(std::int32_t FieldIndex, char* FieldName, char* Units,
                                                             std::int32_t maxlen);
KS_EXPORT std::int32_t KS_STDCALL FsContentGetValueW(KS_WCHAR* FileName, std::int32_t FieldIndex,
                                                     std::int32_t UnitIndex, void* FieldValue, std::int32_t maxlen,
                                                     std::int32_t flags);
KS_EXPORT KS_BOOL KS_STDCALL FsContentGetDefaultViewW(KS_WCHAR* ViewContents, KS_WCHAR* ViewHeaders,
                                                     KS_WCHAR* ViewWidths, KS_WCHAR* ViewOptions, std::int32_t maxlen);
KS_EXPORT KS_BOOL KS_STDCALL FsContentGetDefaultView(char* ViewContents, char* ViewHeaders, char* ViewWidths,
                                                    char* ViewOptions, std::int32_t maxlen);
