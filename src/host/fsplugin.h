// Declarations of the file manager's file system plugin interface, as far as this plugin uses
// them. On Windows the characters are wchar_t; natively the same records use char16_t, so the
// portable code and its tests see one layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_names.h"

#ifdef _WIN32
// The handle types as <windows.h> declares them, without including it here.
struct HWND__;
struct HICON__;
#define KS_STDCALL __stdcall
using KS_WCHAR = wchar_t;
using KS_HANDLE = void*;
using KS_HWND = HWND__*;
using KS_HICON = HICON__*;
#else
#define KS_STDCALL
using KS_WCHAR = char16_t;
using KS_HANDLE = void*;
using KS_HWND = void*;
using KS_HICON = void*;
#endif

static_assert(sizeof(KS_WCHAR) == 2, "the interface uses 16-bit characters");

using KS_DWORD = std::uint32_t;
using KS_BOOL = std::int32_t;

// The size of a name in the interface's records: the longest file name and its terminating NUL.
inline constexpr int KS_MAX_PATH = static_cast<int>(kestrow::kMaxFileName) + 1;

struct KsFileTime {
  KS_DWORD dwLowDateTime;
  KS_DWORD dwHighDateTime;
};

struct KsFindDataW {
  KS_DWORD dwFileAttributes;
  KsFileTime ftCreationTime;
  KsFileTime ftLastAccessTime;
  KsFileTime ftLastWriteTime;
  KS_DWORD nFileSizeHigh;
  KS_DWORD nFileSizeLow;
  KS_DWORD dwReserved0;
  KS_DWORD dwReserved1;
  KS_WCHAR cFileName[KS_MAX_PATH];
  KS_WCHAR cAlternateFileName[14];
};
static_assert(sizeof(KsFindDataW) == 592, "WIN32_FIND_DATAW is 592 bytes");
static_assert(offsetof(KsFindDataW, cFileName) == 44, "cFileName follows the 44-byte header");

struct KsFindDataA {
  KS_DWORD dwFileAttributes;
  KsFileTime ftCreationTime;
  KsFileTime ftLastAccessTime;
  KsFileTime ftLastWriteTime;
  KS_DWORD nFileSizeHigh;
  KS_DWORD nFileSizeLow;
  KS_DWORD dwReserved0;
  KS_DWORD dwReserved1;
  char cFileName[KS_MAX_PATH];
  char cAlternateFileName[14];
};
static_assert(sizeof(KsFindDataA) == 320, "WIN32_FIND_DATAA is 320 bytes");

struct FsDefaultParamStruct {
  std::int32_t size;
  KS_DWORD PluginInterfaceVersionLow;
  KS_DWORD PluginInterfaceVersionHi;
  char DefaultIniName[KS_MAX_PATH];
};
static_assert(sizeof(FsDefaultParamStruct) == 272, "size, two version words, 260 characters");
static_assert(offsetof(FsDefaultParamStruct, DefaultIniName) == 12, "ini name after three 32-bit fields");

struct RemoteInfoStruct {
  KS_DWORD SizeLow, SizeHigh;
  KsFileTime LastWriteTime;
  std::int32_t Attr;
};

// The records match <windows.h>'s: host/dllmain.cpp checks them against it.

// Callbacks, UTF-16 forms.
using tProgressProcW = std::int32_t(KS_STDCALL*)(std::int32_t PluginNr, KS_WCHAR* SourceName, KS_WCHAR* TargetName,
                                                std::int32_t PercentDone);
using tLogProcW = void(KS_STDCALL*)(std::int32_t PluginNr, std::int32_t MsgType, KS_WCHAR* LogString);
using tRequestProcW = KS_BOOL(KS_STDCALL*)(std::int32_t PluginNr, std::int32_t RequestType, KS_WCHAR* CustomTitle,
                                          KS_WCHAR* CustomText, KS_WCHAR* ReturnedText, std::int32_t maxlen);
// ANSI forms.
using tProgressProc = std::int32_t(KS_STDCALL*)(std::int32_t PluginNr, char* SourceName, char* TargetName,
                                               std::int32_t PercentDone);
using tLogProc = void(KS_STDCALL*)(std::int32_t PluginNr, std::int32_t MsgType, char* LogString);
using tRequestProc = KS_BOOL(KS_STDCALL*)(std::int32_t PluginNr, std::int32_t RequestType, char* CustomTitle,
                                         char* CustomText, char* ReturnedText, std::int32_t maxlen);

// Results and constants.
inline constexpr std::int32_t FS_FILE_OK = 0;
inline constexpr std::int32_t FS_FILE_EXISTS = 1;
inline constexpr std::int32_t FS_FILE_NOTFOUND = 2;
inline constexpr std::int32_t FS_FILE_WRITEERROR = 4;
inline constexpr std::int32_t FS_FILE_USERABORT = 5;

// Copy flags of FsGetFileW and FsPutFileW.
inline constexpr std::int32_t FS_COPYFLAGS_OVERWRITE = 1;
inline constexpr std::int32_t FS_COPYFLAGS_MOVE = 4;

inline constexpr std::int32_t FS_EXEC_OK = 0;
inline constexpr std::int32_t FS_EXEC_ERROR = 1;
inline constexpr std::int32_t FS_EXEC_YOURSELF = -1;

inline constexpr std::int32_t FS_ICON_USEDEFAULT = 0;
inline constexpr std::int32_t FS_ICON_EXTRACTED_DESTROY = 2;
// The icon takes time: the host asks again from a background thread (FS_ICONFLAG_BACKGROUND).
inline constexpr std::int32_t FS_ICON_DELAYED = 3;
// In the extract flags: the host wants the small icon.
inline constexpr std::int32_t FS_ICONFLAG_SMALL = 1;
// In the extract flags: the host asks from a background thread.
inline constexpr std::int32_t FS_ICONFLAG_BACKGROUND = 2;

// FsStatusInfo: the start and the end of an operation of the host, and some of its kinds.
inline constexpr std::int32_t FS_STATUS_START = 0;
inline constexpr std::int32_t FS_STATUS_END = 1;
inline constexpr std::int32_t FS_STATUS_OP_LIST = 1;
inline constexpr std::int32_t FS_STATUS_OP_GET_MULTI = 3;
inline constexpr std::int32_t FS_STATUS_OP_DELETE = 8;
inline constexpr std::int32_t FS_STATUS_OP_CALCSIZE = 12;

inline constexpr std::int32_t RT_MsgOK = 8;
inline constexpr std::int32_t RT_MsgYesNo = 9;

inline constexpr std::int32_t MSGTYPE_IMPORTANTERROR = 6;

inline constexpr std::int32_t ft_nomorefields = 0;
// The value takes time: the host asks again from a background thread, without CONTENT_DELAYIFSLOW.
inline constexpr std::int32_t ft_delayed = 0;
// In the content flags: the host would rather show the value later than wait for it now.
inline constexpr std::int32_t CONTENT_DELAYIFSLOW = 1;
inline constexpr std::int32_t ft_string = 8;
// A FILETIME in UTC.
inline constexpr std::int32_t ft_datetime = 10;
inline constexpr std::int32_t ft_nosuchfield = -1;
inline constexpr std::int32_t ft_fileerror = -2;
inline constexpr std::int32_t ft_fieldempty = -3;

// A find-data time the host shows as no time at all.
inline constexpr KsFileTime KsNoFileTime{0xFFFFFFFEu, 0xFFFFFFFFu};

inline constexpr KS_BOOL KS_FALSE = 0;
inline constexpr KS_BOOL KS_TRUE = -1;
inline constexpr KS_DWORD KS_FILE_ATTRIBUTE_DIRECTORY = 16;
inline constexpr KS_DWORD KS_FILE_ATTRIBUTE_HIDDEN = 2;

inline KS_HANDLE KsInvalidHandle() { return reinterpret_cast<KS_HANDLE>(static_cast<std::intptr_t>(-1)); }
