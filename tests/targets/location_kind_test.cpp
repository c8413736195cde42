// Which kind of location each built-in entry is, and the same keys declared by a script.
#include <gtest/gtest.h>

#include <map>

#include "model/builtin_types.h"
#include "model/targets/location_kind.h"
#include "platform/text.h"

namespace kestrow::test {
namespace {

using K = LocationKind;

// The kind of a built-in type's entries, by the type's name without its root and view.
struct Expected {
  const char16_t* stem;
  std::map<std::u16string, K> byValue;  // the looked-for value (an empty name: any value)
};

TEST(LocationKinds, EveryBuiltinTypeHasItsKind) {
  const std::vector<Expected> table = {
      {u"WINLOGON", {{u"GinaDLL", K::WinlogonDll}, {u"Shell", K::WinlogonList}, {u"UserInit", K::WinlogonList},
                     {u"UIHost", K::WinlogonProgram}}},
      {u"RUN", {{u"", K::RunKey}}},
      {u"RUNONCE", {{u"", K::RunKey}}},
      {u"RUNSERVICES", {{u"", K::RunKey}}},
      {u"RUNSERVICESONCE", {{u"", K::RunKey}}},
      {u"RUNONCEEX", {{u"", K::RunKey}}},
      {u"POR", {{u"", K::RunKey}}},
      {u"LOADRUN", {{u"Load", K::WindowsLoadRun}, {u"Run", K::WindowsLoadRun}}},
      {u"APPINIT", {{u"AppInit_DLLs", K::AppInitList}}},
      {u"IFEO", {{u"Debugger", K::Debugger}}},
      {u"SERV", {{u"ImagePath", K::ServiceImage}, {u"Start", K::Other}}},
      {u"NOTIFY", {{u"DLLName", K::WinlogonDll}}},
      {u"SF", {{u"", K::ShellFolder}}},
      {u"USF", {{u"", K::ShellFolder}}},
      {u"ACTIVESETUP", {{u"StubPath", K::ActiveSetup}, {u"IsInstalled", K::Other}}},
  };
  int checked = 0;
  for (const TBuiltinType& b : BuiltinTypes()) {
    const std::u16string& id = b.type.TypeID;
    const std::u16string stem = id.substr(5, id.size() - 7);  // "HKLM_RUN32" -> "RUN"
    const Expected* e = nullptr;
    for (const Expected& x : table)
      if (stem == x.stem) e = &x;
    ASSERT_NE(nullptr, e) << ToUtf8(id);
    // Subkey types list their entries in a subkey of the type's key.
    const std::u16string key = b.type.DefAddr + (b.shown == TBuiltinType::Subkeys ? u"\\Some Entry" : u"");
    for (const auto& [name, kind] : e->byValue) {
      const std::u16string value = name.empty() ? u"Any Name" : name;
      EXPECT_EQ(int(kind), int(KindOfLocation(key, value))) << ToUtf8(id) << " " << ToUtf8(value);
      ++checked;
    }
    if (b.shown == TBuiltinType::ByNames) {
      for (const std::u16string& name : b.names)
        EXPECT_TRUE(e->byValue.count(name) || e->byValue.count(u"")) << ToUtf8(id) << " lists " << ToUtf8(name);
    }
  }
  EXPECT_EQ(46u, BuiltinTypes().size());
  EXPECT_GE(checked, 46);
}

TEST(LocationKinds, KeysAndNamesOutsideTheTable) {
  struct Case {
    const char16_t* key;
    const char16_t* value;
    K kind;
  };
  const Case cases[] = {
      // A script may declare the same keys again, spelled in any case, with or without a root "\".
      {u"software\\microsoft\\windows\\currentversion\\run", u"x", K::RunKey},
      {u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", u"x", K::RunKey},
      {u"\\SYSTEM\\ControlSet001\\Services\\Tcpip", u"imagepath", K::ServiceImage},
      // Keys that only end like one of them, and their parents and children, are something else.
      {u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", u"x", K::Other},
      {u"\\SOFTWARE\\Vendor\\MyCurrentVersion\\Run", u"x", K::Other},
      {u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Sub", u"x", K::Other},
      {u"\\SYSTEM\\CurrentControlSet\\Services", u"ImagePath", K::Other},
      {u"\\SYSTEM\\CurrentControlSet\\Services\\Svc\\Parameters", u"ImagePath", K::Other},
      {u"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", u"System", K::Other},
      {u"", u"", K::Other},
  };
  for (const Case& c : cases)
    EXPECT_EQ(int(c.kind), int(KindOfLocation(c.key, c.value))) << ToUtf8(c.key) << " " << ToUtf8(c.value);
}

}  // namespace
}  // namespace kestrow::test
