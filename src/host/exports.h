// The exported functions of the plugin, with the host interface's parameter lists.
#pragma once

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
KS_EXPORT void KS_STDCALL FsGetDefRootName(char* DefRootName, std::int32_t maxlen);
KS_EXPORT void KS_STDCALL FsSetDefaultParams(FsDefaultParamStruct* dps);
KS_EXPORT std::int32_t KS_STDCALL FsExecuteFileW(KS_HWND MainWin, KS_WCHAR* RemoteName, KS_WCHAR* Verb);
