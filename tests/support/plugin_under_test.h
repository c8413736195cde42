// The plugin as the file manager sees it: its exports looked up by name. Natively the exports are
// linked into the test; on Windows the real DLL is copied into a folder of its own and loaded
// with LoadLibraryW, as the file manager does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/fsplugin.h"

namespace kestrow::test {

struct PluginApi {
  std::int32_t(KS_STDCALL* FsInitW)(std::int32_t, tProgressProcW, tLogProcW, tRequestProcW) = nullptr;
  std::int32_t(KS_STDCALL* FsInit)(std::int32_t, tProgressProc, tLogProc, tRequestProc) = nullptr;
  KS_HANDLE(KS_STDCALL* FsFindFirstW)(KS_WCHAR*, KsFindDataW*) = nullptr;
  KS_BOOL(KS_STDCALL* FsFindNextW)(KS_HANDLE, KsFindDataW*) = nullptr;
  KS_HANDLE(KS_STDCALL* FsFindFirst)(char*, KsFindDataA*) = nullptr;
  KS_BOOL(KS_STDCALL* FsFindNext)(KS_HANDLE, KsFindDataA*) = nullptr;
  std::int32_t(KS_STDCALL* FsFindClose)(KS_HANDLE) = nullptr;
  void(KS_STDCALL* FsStatusInfoW)(KS_WCHAR*, std::int32_t, std::int32_t) = nullptr;
  void(KS_STDCALL* FsGetDefRootName)(char*, std::int32_t) = nullptr;
  void(KS_STDCALL* FsSetDefaultParams)(FsDefaultParamStruct*) = nullptr;
  std::int32_t(KS_STDCALL* FsGetFileW)(KS_WCHAR*, KS_WCHAR*, std::int32_t, RemoteInfoStruct*) = nullptr;
  std::int32_t(KS_STDCALL* FsPutFileW)(KS_WCHAR*, KS_WCHAR*, std::int32_t) = nullptr;
  KS_BOOL(KS_STDCALL* FsDeleteFileW)(KS_WCHAR*) = nullptr;
  KS_BOOL(KS_STDCALL* FsSetAttrW)(KS_WCHAR*, std::int32_t) = nullptr;
  std::int32_t(KS_STDCALL* FsExecuteFileW)(KS_HWND, KS_WCHAR*, KS_WCHAR*) = nullptr;
  std::int32_t(KS_STDCALL* FsExtractCustomIconW)(KS_WCHAR*, std::int32_t, KS_HICON*) = nullptr;
  std::int32_t(KS_STDCALL* FsContentGetSupportedField)(std::int32_t, char*, char*, std::int32_t) = nullptr;
  std::int32_t(KS_STDCALL* FsContentGetValueW)(KS_WCHAR*, std::int32_t, std::int32_t, void*, std::int32_t,
                                                std::int32_t) = nullptr;
  KS_BOOL(KS_STDCALL* FsContentGetDefaultViewW)(KS_WCHAR*, KS_WCHAR*, KS_WCHAR*, KS_WCHAR*, std::int32_t) = nullptr;
  KS_BOOL(KS_STDCALL* FsContentGetDefaultView)(char*, char*, char*, char*, std::int32_t) = nullptr;
};

// The table of the plugin's exports, as the host finds them (not the library's own plugin object):
// loads the plugin when it is not loaded yet, and initialises it with the recording callbacks.
PluginApi& Exports();
// Unloads and loads the plugin again: a fresh central object with default flags.
void ReloadPlugin();
void UnloadPlugin();
// Unloads the plugin and loads a copy of it, with the script engine beside it, from the folder
// (ending in "\"); natively an empty folder gives a module name without a folder. An empty
// argument on Windows, or ReloadPlugin() afterwards, keeps that folder; UseOwnFolder() goes back.
void ReloadPluginFrom(const std::u16string& folder);
void UseOwnFolder();
// The folder the plugin was loaded from, ending in "\".
std::u16string PluginFolder();
// A new folder below the temporary folder whose full name is at least this long, ending in "\".
std::u16string LongFolder(std::size_t length);
// A fresh, empty local folder for files of one test, ending in "\".
std::u16string ScratchFolder();
// The same, outside the temporary folder (below the working folder).
std::u16string OutsideTempFolder();
// The names of the files (not folders) in a local folder ending in "\", in no order.
std::vector<std::u16string> FilesIn(const std::u16string& folder);
// The bytes of a local file, or nullopt when it does not exist.
std::optional<std::string> ReadLocal(const std::u16string& path);

// One listed entry.
struct Entry {
  std::u16string name;
  bool directory = false;
  std::uint32_t attributes = 0;  // the whole attribute word of the record (not compared)
  bool operator==(const Entry& o) const { return name == o.name && directory == o.directory; }
};
// Lists a path through FsFindFirstW/FsFindNextW; ok is false when FsFindFirstW refused it.
std::vector<Entry> List(const std::u16string& path, bool* ok = nullptr);
std::vector<std::u16string> Names(const std::vector<Entry>& entries);

// What the plugin asked or told through the host's callbacks.
struct Request {
  std::int32_t type;
  std::u16string title;
  std::u16string text;
};
struct Callbacks {
  std::vector<Request> requests;
  std::vector<std::u16string> logs;
  std::vector<std::int32_t> logTypes;
  std::vector<bool> answers;  // answers for Yes/No questions, in order; then defaultAnswer
  bool defaultAnswer = true;
  // When set, the host lists this path while it shows each request, as a host that keeps its
  // window live may (not again from inside a request it shows during that listing).
  std::u16string listDuringRequests;
  std::vector<std::size_t> listedDuringRequests;  // entries each of those listings found
  void Reset() { *this = Callbacks(); }
};
Callbacks& Recorded();
// Records a request the plugin made through the host's request callback and gives the answer.
KS_BOOL RecordRequest(std::int32_t type, const KS_WCHAR* title, const KS_WCHAR* text);
// The host's callbacks that record into Recorded(), and one that reports no progress.
KS_BOOL KS_STDCALL RecordingRequestW(std::int32_t, std::int32_t type, KS_WCHAR* title, KS_WCHAR* text, KS_WCHAR*,
                                     std::int32_t);
void KS_STDCALL RecordingLogW(std::int32_t, std::int32_t type, KS_WCHAR* text);
std::int32_t KS_STDCALL NoProgressW(std::int32_t, KS_WCHAR*, KS_WCHAR*, std::int32_t);

// Points this process's own copy of the core (the one the tests call directly) at the recording
// callbacks, so questions asked below the exports are recorded too.
void InitCoreInProcess();

// Sets an environment variable of this process (and so of the plugin); empty removes it.
void SetEnv(const char* name, const std::u16string& value);

// Host-character buffer for passing text into an export.
std::vector<KS_WCHAR> W(const std::u16string& s);
// A text of host characters, from an export or a callback, up to its NUL or up to max units.
std::u16string FromHost(const KS_WCHAR* s, std::size_t max = std::u16string::npos);

}  // namespace kestrow::test
