// A small command-line host: loads a plugin by path and calls its exports as the file manager
// would. Questions are answered by --yes / --no, or on the terminal.
//
//   kestrow_host PLUGIN [--yes|--no] ls PATH
//   kestrow_host PLUGIN get REMOTE LOCAL | put LOCAL REMOTE | rm REMOTE
//   kestrow_host PLUGIN columns PATH | icon PATH [small] | exec PATH [VERB]
//   kestrow_host PLUGIN attr REMOTE +H|-H   (a Run entry switched off or on)
//   kestrow_host PLUGIN view PATH           (the directory with the plugin's default columns)
//
// ls marks an entry listed hidden (a Run entry switched off) with an H before its name. get asks
// before it writes over a local file that exists.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "host/fsplugin.h"

namespace {

int g_answer = 0;  // 1 yes, -1 no, 0 ask

void Print(const wchar_t* s) {
  // UTF-8 on the console, whatever its code page.
  int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s, -1, &out[0], n, nullptr, nullptr);
  std::fputs(out.c_str(), stdout);
}

BOOL __stdcall Request(int, int type, wchar_t* title, wchar_t* text, wchar_t*, int) {
  std::printf("%s ", type == RT_MsgYesNo ? "[question]" : "[message]");
  Print(title ? title : L"");
  std::printf(": ");
  Print(text ? text : L"");
  if (type != RT_MsgYesNo) {
    std::printf("\n");
    return TRUE;
  }
  if (g_answer) {
    std::printf(" -> %s\n", g_answer > 0 ? "Yes" : "No");
    return g_answer > 0;
  }
  std::printf(" [y/N] ");
  std::fflush(stdout);
  char line[16] = {};
  if (!std::fgets(line, sizeof line, stdin)) return FALSE;
  return line[0] == 'y' || line[0] == 'Y';
}

void __stdcall Log(int, int type, wchar_t* text) {
  std::printf("[log %d] ", type);
  Print(text ? text : L"");
  std::printf("\n");
}

int __stdcall Progress(int, wchar_t*, wchar_t*, int) { return 0; }

template <typename T>
T Get(HMODULE m, const char* name) {
  auto p = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  if (!p) {
    std::fprintf(stderr, "the plugin does not export %s\n", name);
    std::exit(2);
  }
  return p;
}

// A content field's value as text: a string field from the system code page, a date and time
// field (a FILETIME in UTC) as the local date and time, year first; empty for anything else.
std::wstring FieldText(int result, const char* buf) {
  wchar_t wide[2048] = {};
  if (result == ft_string) {
    // The columns are ANSI text in the system code page.
    MultiByteToWideChar(CP_ACP, 0, buf, -1, wide, 2048);
  } else if (result == ft_datetime) {
    FILETIME utc, local;
    std::memcpy(&utc, buf, sizeof utc);
    SYSTEMTIME t{};
    if (FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &t))
      swprintf(wide, 2048, L"%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  }
  return wide;
}

int Usage() {
  std::fprintf(stderr,
               "usage: kestrow_host PLUGIN [--yes|--no] COMMAND ARGS\n"
               "  ls PATH | get REMOTE LOCAL | put LOCAL REMOTE | rm REMOTE\n"
               "  columns PATH | icon PATH [small] | exec PATH [VERB] | attr REMOTE +H|-H | view PATH\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return Usage();
  HMODULE plugin = LoadLibraryW(argv[1]);
  if (!plugin) {
    std::fprintf(stderr, "cannot load the plugin (error %lu)\n", GetLastError());
    return 1;
  }
  int i = 2;
  for (; i < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; ++i) {
    if (!wcscmp(argv[i], L"--yes")) g_answer = 1;
    else if (!wcscmp(argv[i], L"--no")) g_answer = -1;
    else return Usage();
  }
  if (i >= argc) return Usage();
  const std::wstring cmd = argv[i++];
  auto arg = [&](int k) -> wchar_t* { return i + k < argc ? argv[i + k] : nullptr; };

  Get<int(__stdcall*)(int, tProgressProcW, tLogProcW, tRequestProcW)>(plugin, "FsInitW")(
      1, reinterpret_cast<tProgressProcW>(&Progress), reinterpret_cast<tLogProcW>(&Log),
      reinterpret_cast<tRequestProcW>(&Request));

  // Like the file manager, list the directory before acting on an entry in it: the listing
  // builds the tree the other calls look entries up in.
  auto listParent = [&](const wchar_t* path) {
    std::wstring dir = path ? path : L"\\";
    auto cut = dir.find_last_of(L"\\");
    dir = cut == std::wstring::npos || cut == 0 ? L"\\" : dir.substr(0, cut);
    WIN32_FIND_DATAW fd;
    auto first = Get<HANDLE(__stdcall*)(wchar_t*, WIN32_FIND_DATAW*)>(plugin, "FsFindFirstW");
    HANDLE h = first(&dir[0], &fd);
    if (h != INVALID_HANDLE_VALUE) Get<int(__stdcall*)(HANDLE)>(plugin, "FsFindClose")(h);
  };
  if (cmd != L"ls" && cmd != L"view") listParent(cmd == L"put" ? arg(1) : arg(0));

  if (cmd == L"ls" && arg(0)) {
    auto first = Get<HANDLE(__stdcall*)(wchar_t*, WIN32_FIND_DATAW*)>(plugin, "FsFindFirstW");
    auto next = Get<BOOL(__stdcall*)(HANDLE, WIN32_FIND_DATAW*)>(plugin, "FsFindNextW");
    WIN32_FIND_DATAW fd;
    HANDLE h = first(arg(0), &fd);
    if (h == INVALID_HANDLE_VALUE) {
      std::printf("(no such directory)\n");
      return 1;
    }
    int n = 0;
    do {
      const bool directory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      const bool hidden = (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
      std::printf("%s ", directory ? "<DIR>" : hidden ? "    H" : "     ");
      Print(fd.cFileName);
      std::printf("\n");
      ++n;
    } while (next(h, &fd));
    Get<int(__stdcall*)(HANDLE)>(plugin, "FsFindClose")(h);
    std::printf("%d entries\n", n);
    return 0;
  }
  if (cmd == L"get" && arg(1)) {
    // As the file manager copies: a local file that exists is written over only when the user
    // says so, by a second call with the overwrite flag.
    auto getFile = Get<int(__stdcall*)(wchar_t*, wchar_t*, int, void*)>(plugin, "FsGetFileW");
    int r = getFile(arg(0), arg(1), 0, nullptr);
    if (r == FS_FILE_EXISTS) {
      std::wstring text = std::wstring(L"Overwrite ") + arg(1) + L"?";
      wchar_t title[] = L"File exists";
      if (Request(0, RT_MsgYesNo, title, &text[0], nullptr, 0))
        r = getFile(arg(0), arg(1), FS_COPYFLAGS_OVERWRITE, nullptr);
    }
    std::printf("result %d\n", r);
    return r == FS_FILE_OK ? 0 : 1;
  }
  if (cmd == L"put" && arg(1)) {
    int r = Get<int(__stdcall*)(wchar_t*, wchar_t*, int)>(plugin, "FsPutFileW")(arg(0), arg(1), 0);
    std::printf("result %d\n", r);
    return r == FS_FILE_OK ? 0 : 1;
  }
  if (cmd == L"rm" && arg(0)) {
    BOOL r = Get<BOOL(__stdcall*)(wchar_t*)>(plugin, "FsDeleteFileW")(arg(0));
    std::printf("result %s\n", r ? "TRUE" : "FALSE");
    return r ? 0 : 1;
  }
  if (cmd == L"attr" && arg(1) && (!wcscmp(arg(1), L"+H") || !wcscmp(arg(1), L"-H"))) {
    // The host passes the whole new attribute word; only the hidden bit means anything here.
    const int attributes = arg(1)[0] == L'+' ? FILE_ATTRIBUTE_HIDDEN : 0;
    BOOL r = Get<BOOL(__stdcall*)(wchar_t*, int)>(plugin, "FsSetAttrW")(arg(0), attributes);
    std::printf("result %s\n", r ? "TRUE" : "FALSE");
    return r ? 0 : 1;
  }
  if (cmd == L"columns" && arg(0)) {
    auto field = Get<int(__stdcall*)(int, char*, char*, int)>(plugin, "FsContentGetSupportedField");
    auto value = Get<int(__stdcall*)(wchar_t*, int, int, void*, int, int)>(plugin, "FsContentGetValueW");
    for (int f = 0;; ++f) {
      char name[64] = {}, units[64] = {};
      if (field(f, name, units, sizeof name) == ft_nomorefields) break;
      char buf[2048] = {};
      int r = value(arg(0), f, 0, buf, sizeof buf, 0);
      std::printf("%-13s ", name);
      if (r == ft_string || r == ft_datetime) Print(FieldText(r, buf).c_str());
      else std::printf("(result %d)", r);
      std::printf("\n");
    }
    return 0;
  }
  if (cmd == L"view" && arg(0)) {
    // As the file manager shows the directory on entering it: the default view's fields, looked
    // up by name among the supported fields, one line per entry.
    auto defaults = Get<BOOL(__stdcall*)(wchar_t*, wchar_t*, wchar_t*, wchar_t*, int)>(plugin, "FsContentGetDefaultViewW");
    auto field = Get<int(__stdcall*)(int, char*, char*, int)>(plugin, "FsContentGetSupportedField");
    auto value = Get<int(__stdcall*)(wchar_t*, int, int, void*, int, int)>(plugin, "FsContentGetValueW");
    auto first = Get<HANDLE(__stdcall*)(wchar_t*, WIN32_FIND_DATAW*)>(plugin, "FsFindFirstW");
    auto next = Get<BOOL(__stdcall*)(HANDLE, WIN32_FIND_DATAW*)>(plugin, "FsFindNextW");
    wchar_t contents[512] = {}, headers[512] = {}, widths[512] = {}, options[512] = {};
    if (!defaults(contents, headers, widths, options, 512)) {
      std::printf("(no default view)\n");
      return 1;
    }
    auto split = [](const std::wstring& text) {
      std::vector<std::wstring> parts;
      for (std::size_t at = 0;;) {
        const std::size_t end = text.find(L"\\n", at);
        parts.push_back(text.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at));
        if (end == std::wstring::npos) return parts;
        at = end + 2;
      }
    };
    std::vector<int> indexes;
    for (const std::wstring& f : split(contents)) {
      const std::wstring name = f.substr(7, f.size() - 8);  // [=<fs>.NAME]
      int found = -1;
      for (int k = 0; found < 0; ++k) {
        char n[64] = {}, units[64] = {};
        if (field(k, n, units, sizeof n) == ft_nomorefields) break;
        if (std::wstring(n, n + std::strlen(n)) == name) found = k;
      }
      indexes.push_back(found);
    }
    auto widthOf = [](const std::wstring& title) -> std::size_t {
      if (title == L"Target") return 48;
      if (title == L"Publisher") return 21;
      if (title == L"Changed") return 19;
      if (title == L"State") return 29;
      if (title == L"Value") return 26;
      if (title == L"Key") return 46;
      return 12;
    };
    auto cell = [](const std::wstring& text, std::size_t width) {
      std::wstring t = text.substr(0, width);
      t.resize(width, L' ');
      Print(t.c_str());
      std::printf(" ");
    };
    cell(L"Name", 16);
    for (const std::wstring& h : split(headers)) cell(h, widthOf(h));
    std::printf("\n");
    WIN32_FIND_DATAW fd;
    HANDLE h = first(arg(0), &fd);
    if (h == INVALID_HANDLE_VALUE) {
      std::printf("(no such directory)\n");
      return 1;
    }
    const std::vector<std::wstring> titles = split(headers);
    do {
      const bool hidden = (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
      cell(std::wstring(hidden ? L"(" : L"") + fd.cFileName + (hidden ? L")" : L""), 16);
      std::wstring path = arg(0);
      if (path.empty() || path.back() != L'\\') path += L'\\';
      path += fd.cFileName;
      for (std::size_t c = 0; c < indexes.size(); ++c) {
        char buf[2048] = {};
        const int r = indexes[c] >= 0 ? value(&path[0], indexes[c], 0, buf, sizeof buf, 0) : ft_nosuchfield;
        cell(FieldText(r, buf), widthOf(titles[c]));
      }
      std::printf("\n");
    } while (next(h, &fd));
    Get<int(__stdcall*)(HANDLE)>(plugin, "FsFindClose")(h);
    return 0;
  }
  if (cmd == L"icon" && arg(0)) {
    HICON icon = nullptr;
    const int flags = arg(1) && std::wcscmp(arg(1), L"small") == 0 ? 1 : 0;  // FS_ICONFLAG_SMALL
    const auto extract = Get<int(__stdcall*)(wchar_t*, int, HICON*)>(plugin, "FsExtractCustomIconW");
    int r = extract(arg(0), flags, &icon);
    // An icon that takes time is asked for again as a background thread would (FS_ICONFLAG_BACKGROUND).
    if (r == 3) r = extract(arg(0), flags | 2, &icon);
    ICONINFO info{};
    BITMAP bitmap{};
    if (icon && GetIconInfo(icon, &info)) {
      if (info.hbmColor) GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
      if (info.hbmColor) DeleteObject(info.hbmColor);
      if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    if (icon) std::printf("result %d, icon %ldx%ld\n", r, bitmap.bmWidth, bitmap.bmHeight);
    else std::printf("result %d, icon none\n", r);
    if (icon && r == FS_ICON_EXTRACTED_DESTROY) DestroyIcon(icon);
    return 0;
  }
  if (cmd == L"exec" && arg(0)) {
    wchar_t open[] = L"open";
    int r = Get<int(__stdcall*)(HWND, wchar_t*, wchar_t*)>(plugin, "FsExecuteFileW")(nullptr, arg(0),
                                                                                  arg(1) ? arg(1) : open);
    std::printf("result %d\n", r);
    return 0;
  }
  return Usage();
}
