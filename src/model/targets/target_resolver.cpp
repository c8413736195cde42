// The rules, by the program that reads each kind of value:
// - A command line (Run keys, Winlogon programs, debuggers, Active Setup, services, anything
//   unknown): a quoted path ends at its quote. An unquoted one is read as the system reads it:
//   each prefix that ends before a space, shortest first, then the whole line; the first that names
//   an existing file is the program. A name without an extension gets ".exe". When no reading
//   names a file, the one shown as missing is the first word when it has no folder (a program's
//   name), else the text before the first switch ("/" or "-"), else the shortest reading with an
//   extension, else the whole line.
// - Environment references are expanded in every string type, before anything else, as programs
//   of the entry's width see them.
// - A name without a folder is searched: for the shell's Run keys in the Windows folder, the
//   System folder, PATH and then the "App Paths" entry; for everything else as process creation
//   and library loading search, in the System folder, the 16-bit System folder, the Windows
//   folder and PATH. A relative path with folders is searched the same way.
// - rundll32 and regsvr32 start the libraries in their arguments, wscript and cscript the script;
//   for a service started by the shared service host ("svchost.exe -k group"), its ServiceDll.
// - Service and driver paths as the kernel reads them: "\SystemRoot\..." and folder paths without a
//   root ("System32\drivers\x.sys") lie in the Windows folder; "\??\C:\..." is "C:\...".
// - Winlogon's Userinit and Shell are lists of command lines separated by commas; AppInit_DLLs a
//   list of libraries separated by spaces or commas, quotes grouping nothing; library names
//   without an extension get ".dll".
// - On a 64-bit system the 32-bit view's System32 is SysWOW64 (and Sysnative is System32), except
//   for the subfolders the system never redirects. Services are started by the service control
//   manager, a 64-bit program reading a key both views share: their paths are never redirected.
// - A shell folder value names a folder: it is found when that folder exists. Everywhere else a
//   folder is no file: a reading that names one is passed over, and a target that is one is missing.
#include "model/targets/target_resolver.h"

#include <optional>

#include "model/targets/command_line.h"
#include "model/targets/path_text.h"

namespace kestrow {

namespace {

// Readings of one unquoted command line tried at most; each may search every folder.
constexpr std::size_t kMostReadings = 32;

enum class Search : std::uint8_t { Shell, Standard };

// The path without its quotes: no file name can hold one.
std::u16string Unquoted(const std::u16string& text) {
  std::u16string t;
  for (char16_t c : text)
    if (c != u'"') t += c;
  return Trimmed(t);
}

// True when path is folder or lies in it; rest is what follows the folder.
bool InFolder(const std::u16string& path, const std::u16string& folder, std::u16string* rest) {
  if (folder.empty() || !StartsFolded(path, folder)) return false;
  if (path.size() > folder.size() && path[folder.size()] != u'\\' && path[folder.size()] != u'/') return false;
  *rest = path.substr(folder.size());
  return true;
}

// The subfolders of System32 that 32-bit programs see unredirected.
bool NeverRedirected(const std::u16string& rest) {
  static const char16_t* const folders[] = {u"\\catroot",    u"\\catroot2", u"\\driverstore",
                                            u"\\drivers\\etc", u"\\logfiles", u"\\spool"};
  std::u16string ignored;
  for (const char16_t* f : folders)
    if (InFolder(rest, f, &ignored)) return true;
  return false;
}

bool IsSwitch(const std::u16string& arg) { return !arg.empty() && (arg[0] == u'/' || arg[0] == u'-'); }

struct Program {
  Target target;
  std::u16string rest;  // the arguments after it
};

class Resolver {
 public:
  Resolver(const TargetRequest& request, const TargetLookup& lookup)
      : request_(request),
        lookup_(lookup),
        kind_(request.kind),
        startView_(request.kind == LocationKind::ServiceImage ? RegView::Bits64 : request.view),
        windows_(lookup.WindowsFolder()),
        system64_(lookup.SystemFolder(RegView::Bits64)),
        system_(lookup.SystemFolder(startView_)),
        redirect_(lookup.Is64BitSystem() && startView_ == RegView::Bits32) {
    const std::vector<std::u16string> path = lookup.PathFolders();
    shellFolders_ = {windows_, system_};
    standardFolders_ = {system_, JoinPath(windows_, u"System"), windows_};
    for (const std::u16string& folder : path) {
      shellFolders_.push_back(folder);
      standardFolders_.push_back(folder);
    }
  }

  std::vector<Target> Run() {
    const StoredValue& v = request_.value;
    switch (v.form) {
      case StoredValue::Form::String:
      case StoredValue::Form::ExpandString: Text(v.text); break;
      case StoredValue::Form::MultiString:
        for (const std::u16string& entry : v.list) Text(entry);
        break;
      case StoredValue::Form::None:
      case StoredValue::Form::Integer: break;
    }
    return targets_;
  }

 private:
  // One string of the value: the whole of a string value, one entry of a multi-string.
  void Text(const std::u16string& stored) {
    const std::u16string text = lookup_.Expand(stored.substr(0, stored.find(u'\0')), startView_);
    switch (kind_) {
      case LocationKind::ShellFolder: Folder(text); break;
      case LocationKind::WinlogonList:
        for (const std::u16string& command : SplitList(text, u",", true)) Command(command, Search::Standard);
        break;
      case LocationKind::AppInitList:
        for (const std::u16string& library : SplitList(text, u" ,\t", false)) Add(Locate(library, u".dll", Search::Standard));
        break;
      case LocationKind::WinlogonDll: Add(Locate(text, u".dll", Search::Standard)); break;
      case LocationKind::RunKey: Command(text, Search::Shell); break;
      default: Command(text, Search::Standard); break;
    }
  }

  void Add(const std::optional<Target>& target) {
    if (!target) return;
    for (const Target& t : targets_)
      if (SameFolded(t.path, target->path)) return;
    targets_.push_back(*target);
  }

  void Folder(const std::u16string& text) {
    const std::u16string path = Unquoted(text);
    if (path.empty()) return;
    const std::u16string seen = InView(path);
    const bool found = lookup_.KindOf(seen) == platform::PathKind::Folder;
    Add(Target{seen, found ? TargetState::Found : TargetState::Missing});
  }

  void Command(const std::u16string& text, Search search) {
    const std::optional<Program> program = ProgramOf(text, u".exe", search);
    if (program) Started(*program);
  }

  // The program a command line starts, by the first reading that names a file.
  std::optional<Program> ProgramOf(const std::u16string& text, const std::u16string& extension, Search search) {
    const std::vector<ProgramReading> readings = ProgramReadings(text, kMostReadings);
    if (readings.empty()) return std::nullopt;
    for (const ProgramReading& r : readings) {
      const std::optional<Target> t = Locate(r.path, extension, search);
      if (t && t->state == TargetState::Found) return Program{*t, r.rest};
    }
    const ProgramReading& shown = readings[MissingReading(readings)];
    const std::optional<Target> t = Locate(shown.path, extension, search);
    if (!t) return std::nullopt;
    return Program{*t, shown.rest};
  }

  static std::size_t MissingReading(const std::vector<ProgramReading>& readings) {
    if (!HasFolder(readings.front().path)) return 0;
    for (std::size_t i = 0; i < readings.size(); ++i) {
      const std::u16string rest = Trimmed(readings[i].rest);
      if (!rest.empty() && IsSwitch(rest)) return i;
    }
    for (std::size_t i = 0; i < readings.size(); ++i)
      if (HasExtension(readings[i].path)) return i;
    return readings.size() - 1;
  }

  // What the program starts: a host's library or script, or the program itself.
  void Started(const Program& program) {
    const std::u16string name = FileNameOf(program.target.path);
    if (SameFolded(name, u"rundll32.exe")) {
      // "rundll32 library,entry arguments": the library ends at its quote or at the comma.
      const std::u16string args = Trimmed(program.rest);
      const std::u16string library = !args.empty() && args[0] == u'"' ? args : args.substr(0, args.find(u','));
      const std::optional<Program> dll = ProgramOf(library, u".dll", Search::Standard);
      Add(dll ? dll->target : program.target);
      return;
    }
    if (SameFolded(name, u"regsvr32.exe")) {
      bool any = false;
      for (const std::u16string& arg : SplitArguments(program.rest))
        if (!IsSwitch(arg)) {
          Add(Locate(arg, u".dll", Search::Standard));
          any = true;
        }
      if (!any) Add(program.target);
      return;
    }
    if (SameFolded(name, u"wscript.exe") || SameFolded(name, u"cscript.exe")) {
      for (const std::u16string& arg : SplitArguments(program.rest))
        if (!StartsFolded(arg, u"//")) {
          Add(Locate(arg, u"", Search::Standard));
          return;
        }
      Add(program.target);
      return;
    }
    if (kind_ == LocationKind::ServiceImage && SameFolded(name, u"svchost.exe")) {
      bool group = false;
      for (const std::u16string& arg : SplitArguments(program.rest))
        if (SameFolded(arg, u"-k") || SameFolded(arg, u"/k")) group = true;
      if (group) {
        const std::optional<std::u16string> dll = lookup_.ServiceDll(request_.serviceKey, request_.view);
        const std::optional<Target> library =
            dll ? Locate(lookup_.Expand(*dll, startView_), u".dll", Search::Standard) : std::nullopt;
        if (library) {
          Add(library);
          return;
        }
      }
    }
    Add(program.target);
  }

  // The file a path or name stands for, found or not; none for an empty one.
  std::optional<Target> Locate(const std::u16string& written, const std::u16string& extension, Search search) {
    std::u16string name = Unquoted(written);
    if (name.empty()) return std::nullopt;
    if (kind_ == LocationKind::ServiceImage) name = KernelPath(name);
    if (!extension.empty() && !HasExtension(name)) name += extension;
    if (IsRooted(name) || name.find(u':') != std::u16string::npos) return Checked(InView(name));
    for (const std::u16string& folder : search == Search::Shell ? shellFolders_ : standardFolders_) {
      const std::u16string path = InView(JoinPath(folder, name));
      if (IsFile(path)) return Target{path, TargetState::Found};
    }
    if (search == Search::Shell && !HasFolder(name)) {
      if (const std::optional<std::u16string> app = lookup_.AppPath(name, request_.view)) {
        const std::u16string path = Unquoted(lookup_.Expand(app->substr(0, app->find(u'\0')), startView_));
        if (!path.empty()) return Checked(InView(path));
      }
    }
    return Target{name, TargetState::Missing};
  }

  Target Checked(const std::u16string& path) const {
    return Target{path, IsFile(path) ? TargetState::Found : TargetState::Missing};
  }

  bool IsFile(const std::u16string& path) const { return lookup_.KindOf(path) == platform::PathKind::File; }

  // A service or driver path in the form the kernel reads.
  std::u16string KernelPath(const std::u16string& path) const {
    std::u16string rest;
    if (InFolder(path, u"\\SystemRoot", &rest)) return windows_ + rest;
    if (StartsFolded(path, u"\\??\\") || StartsFolded(path, u"\\\\?\\")) return path.substr(4);
    if (!IsRooted(path) && HasFolder(path) && path.find(u':') == std::u16string::npos) return JoinPath(windows_, path);
    return path;
  }

  // The path as programs of the entry's width reach it.
  std::u16string InView(const std::u16string& path) const {
    if (!redirect_) return path;
    std::u16string rest;
    if (InFolder(path, JoinPath(windows_, u"Sysnative"), &rest)) return system64_ + rest;
    if (InFolder(path, system64_, &rest) && !NeverRedirected(rest)) return system_ + rest;
    return path;
  }

  const TargetRequest& request_;
  const TargetLookup& lookup_;
  const LocationKind kind_;
  const RegView startView_;  // the width of the programs that start the entry
  const std::u16string windows_, system64_, system_;
  const bool redirect_;
  std::vector<std::u16string> shellFolders_, standardFolders_;
  std::vector<Target> targets_;
};

}  // namespace

std::vector<Target> ResolveTargets(const TargetRequest& request, const TargetLookup& lookup) {
  return Resolver(request, lookup).Run();
}

}  // namespace kestrow
