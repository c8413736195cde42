// A property test of registry content: from a printed seed, random values and subkeys of every
// type, size and shape, under names with every character the listing escapes, are planted into
// random built-in locations (names holding NULs too). Then:
//  - all 46 type directories are listed;
//  - every planted value that its location shows is listed exactly once, in every directory that
//    shows that key, and nothing planted that no location shows is listed;
//  - every listed entry of those directories opens (copies out) and its description names the
//    real value and holds the value's text;
//  - deleting an optional entry removes exactly that value;
//  - listing and copying out created and changed nothing in the registry.
// Natively on the in-memory registry, under Wine on the real one (everything planted is taken
// out again). It runs for KESTROW_PROPERTY_SECONDS (3 by default) from KESTROW_PROPERTY_SEED
// (the clock by default); each case prints nothing unless it fails, then its own seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "model/builtin_types.h"
#include "model/names.h"
#include "model/type_registry.h"
#include "platform/text.h"
#include "registry/registry_ex.h"
#include "support/planted_values.h"
#include "support/plugin_under_test.h"
#include "support/registry_fixture.h"

#ifndef _WIN32
#include "registry/memory_registry.h"
#endif

namespace kestrow {
namespace {

using test::List;
using test::Exports;
using test::Reg;
using test::W;

using Bytes = std::vector<std::uint8_t>;

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

// The key path below the root as the registry calls take it.
std::u16string KeyPath(const std::u16string& defAddr) {
  return !defAddr.empty() && defAddr[0] == u'\\' ? defAddr.substr(1) : defAddr;
}

std::string Lower(const std::u16string& path) {
  std::string id = ToUtf8(KeyPath(path));
  for (auto& c : id)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return id;
}

// Which location keys the two views share. HKCU and HKLM\SYSTEM are one key in both views, most
// of HKLM\SOFTWARE two, but not all of it (Wine shares Image File Execution Options): each
// location is asked once, with a value written in one view and looked for in the other.
std::map<std::string, bool>& SharedLocations() {
  static std::map<std::string, bool> shared;
  return shared;
}

void FindSharedLocations() {
  auto& shared = SharedLocations();
  if (!shared.empty()) return;
  for (const auto& b : BuiltinTypes()) {
    const std::string id = std::string(b.type.RootType == RT_HKLM ? "HKLM:" : "HKCU:") + Lower(b.type.DefAddr);
    if (shared.count(id)) continue;
    const std::u16string key = KeyPath(b.type.DefAddr);
    test::Planted probe;
    probe.Text(b.type.RootType, WOW64_32, key, u"kestrow-view-probe", u"32");
    shared[id] = Reg::Get(b.type.RootType, WOW64_64, key, u"kestrow-view-probe").has_value();
  }
}

// Which registry key a path names in a view: that of the location it lies in.
std::string KeyIdentity(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
  const std::string lower = Lower(path);
  const std::string prefix = root == RT_HKLM ? "HKLM:" : "HKCU:";
  bool shared = true;
  std::size_t best = 0;
  for (const auto& [id, isShared] : SharedLocations()) {
    const std::string loc = id.substr(5);
    if (id.compare(0, 5, prefix) == 0 && loc.size() >= best &&
        (lower == loc || (lower.size() > loc.size() && lower.compare(0, loc.size(), loc) == 0 && lower[loc.size()] == '\\'))) {
      best = loc.size();
      shared = isShared;
    }
  }
  return prefix + (shared ? "" : view == WOW64_64 ? "64:" : "32:") + lower;
}

std::string Upper(const std::u16string& name) {
  std::string s = ToUtf8(name);
  for (auto& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

// What an entry shows for raw data, by the listing's rules: the stored form where the data has
// it, else -1 or the empty text.
std::u16string Shown(VALUE_TYPES vt, const std::optional<test::RawValue>& raw) {
  if (vt == VAL_INTEGER) {
    if (!raw || raw->type != REG_DWORD_ || raw->data.size() != 4) return u"-1";
    const auto v = static_cast<std::int32_t>(std::uint32_t(raw->data[0]) | std::uint32_t(raw->data[1]) << 8 |
                                             std::uint32_t(raw->data[2]) << 16 | std::uint32_t(raw->data[3]) << 24);
    return FromUtf8(std::to_string(v));
  }
  if (!raw || (raw->type != REG_SZ_ && raw->type != REG_EXPAND_SZ_)) return u"";
  std::u16string s;
  for (std::size_t i = 0; i + 1 < raw->data.size(); i += 2) {
    const char16_t c = char16_t(raw->data[i] | (raw->data[i + 1] << 8));
    if (c == 0) break;
    s += c;
  }
  return s;
}

// The text as a description carries it: UTF-8, in which unpaired surrogates become U+FFFD.
std::u16string AsDescribed(const std::u16string& s) { return FromUtf8(ToUtf8(s)); }

// Compares two texts and says briefly where they differ.
::testing::AssertionResult SameText(const std::u16string& expected, const std::u16string& got) {
  if (expected == got) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < expected.size() && at < got.size() && expected[at] == got[at]) ++at;
  return ::testing::AssertionFailure() << "expected " << expected.size() << " units, got " << got.size()
                                       << ", first difference at " << at << ": \""
                                       << ToUtf8(expected.substr(at, 20)) << "\" vs \"" << ToUtf8(got.substr(at, 20))
                                       << "\"";
}

// Random registry content.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : random_(seed) {}
  std::uint32_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::uint32_t>(0, static_cast<std::uint32_t>(n) - 1)(random_);
  }
  bool Chance(int percent) { return Below(100) < std::uint32_t(percent); }

  // A name: mostly short ones from the characters the listing escapes, letters and others, and
  // now and then a long one, a reserved one, one like an escape or one holding NULs (first,
  // inside, last, several, nothing else).
  std::u16string Name(std::size_t maxLength) {
    static const std::u16string reserved[] = {u".ADD", u".save", u"..", u".", u"^", u"^3A", u"x^~0011223344556677",
                                              std::u16string(1, u'\0'), std::u16string(u"\0Lead", 5),
                                              std::u16string(u"In\0side", 7), std::u16string(u"Trail\0", 6),
                                              std::u16string(u"\0se\0ve^00ral\0", 13)};
    if (Chance(8)) return reserved[Below(std::size(reserved))];
    static const std::u16string alphabet = u"\\/:*?\"<>|^~.-_ #%aAbBzZ09\u00E9\u20AC\u4E2D";
    std::size_t length = 1 + Below(12);
    if (Chance(10)) length = 250 + Below(200);
    if (Chance(3)) length = maxLength - Below(8);
    length = std::min(length, maxLength);
    std::u16string s;
    while (s.size() < length) {
      const std::uint32_t pick = Below(100);
      if (pick < 6 && s.size() + 2 <= length) {
        s += u"\U0001F600";
      } else if (pick < 14) {
        s += char16_t(Below(32));  // a control character, NUL too
      } else if (pick < 16) {
        s += char16_t(0x7F);
      } else {
        s += alphabet[Below(alphabet.size())];
      }
    }
    return s;
  }
  std::u16string KeyName() {
    // A subkey name holds no "\" and is at most 255 characters long.
    std::u16string s = Name(255);
    for (auto& c : s)
      if (c == u'\\') c = u'_';
    return s;
  }

  // A type from 0 to 11 or an unknown one, and data of every size and shape.
  std::pair<std::uint32_t, Bytes> Data() {
    static const std::uint32_t unknown[] = {12, 0x100, 0x7FFFFFFF, 0xFFFFFFFF};
    const std::uint32_t type = Chance(90) ? Below(12) : unknown[Below(std::size(unknown))];
    Bytes d;
    const std::uint32_t shape = Below(10);
    if (shape < 3) {  // 0 to 9 bytes, for integers
      d.resize(Below(10));
      for (auto& b : d) b = std::uint8_t(Below(256));
    } else if (shape < 6) {  // text, terminated or not, maybe with half a character more
      d = Reg::Utf16Bytes(Text(Chance(5) ? 40000 + Below(20000) : Below(40)), Chance(70));
      if (Chance(20)) d.push_back(std::uint8_t('Z'));
    } else if (shape < 9) {  // multi-strings of every shape
      std::u16string m;
      const std::uint32_t entries = Below(5);
      for (std::uint32_t i = 0; i < entries; ++i) m += Text(Below(6)) + u'\0';
      if (Chance(60)) m += u'\0';
      if (Chance(20) && !m.empty()) m.pop_back();
      d = Reg::Utf16Bytes(m, false);
      if (Chance(15)) d.push_back(1);
    } else {  // empty or large raw data
      d.resize(Chance(50) ? 0 : 1 + Below(70000));
      for (auto& b : d) b = std::uint8_t(Below(256));
    }
    return {type, d};
  }
  // A value the looked-for or an extra value of a subkey should have: often of its own type.
  std::pair<std::uint32_t, Bytes> DataFor(VALUE_TYPES vt) {
    if (Chance(40)) return Data();
    if (vt == VAL_INTEGER) {
      const std::uint32_t v = static_cast<std::uint32_t>(random_());
      return {REG_DWORD_, {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}};
    }
    return {Chance(50) ? REG_SZ_ : REG_EXPAND_SZ_, Reg::Utf16Bytes(Text(Below(30)))};
  }

 private:
  std::u16string Text(std::size_t length) {
    static const std::u16string chars = u"abc XYZ:\\%\u00FC\u20AC\r\n\t,\"";
    std::u16string s;
    for (std::size_t i = 0; i < length; ++i) s += chars[Below(chars.size())];
    return s;
  }
  std::mt19937_64 random_;
};

// The name a listed or shown form stands for: each "^" with two hexadecimal digits after it is
// the character of that code.
std::u16string ReadEscapes(const std::u16string& s) {
  const auto hex = [](char16_t c) { return c >= u'0' && c <= u'9' ? c - u'0' : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1; };
  std::u16string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'^' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out += char16_t(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The real name of an entry from the name its description shows, the name it is listed under and
// the names planted into its directory. A name holding a NUL is shown escaped as it is listed
// (without shortening); any other name is shown as it is. Both may read alike (a name that holds
// "^00" itself): a planted name decides, else the listed form, which escapes each "^" of a name
// shown as it is, as far as it is not shortened.
std::u16string RealName(const std::u16string& shown, const std::u16string& listed,
                        const std::set<std::u16string>& planted) {
  const std::u16string escaped = ReadEscapes(shown);
  if (escaped.find(u'\0') == std::u16string::npos) return shown;
  if (planted.count(escaped) != planted.count(shown)) return planted.count(escaped) ? escaped : shown;
  const std::u16string head = ReadEscapes(listed.substr(0, listed.find(u"^~")));
  return escaped.compare(0, head.size(), head) == 0 ? escaped : shown;
}

// One entry as its description gives it.
struct Described {
  std::u16string listed;
  bool directory = false;
  std::u16string realName;
  std::u16string value;
};

class RegistryContentProperty : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    test::ReloadPlugin();
    test::InitCoreInProcess();
    local = test::ScratchFolder() + u"entry.txt";
    FindSharedLocations();
  }

  // Every entry of a directory, each copied out and read back; the names planted into it tell apart
  // names that are shown alike.
  std::vector<Described> Describe(const std::u16string& dir, const std::set<std::u16string>& planted = {}) {
    std::vector<Described> out;
    for (const auto& e : List(dir)) {
      if (!e.directory && (e.name == u".ADD" || e.name == u".SAVE" || e.name == u".RESTORE")) continue;
      Described d;
      d.listed = e.name;
      d.directory = e.directory;
      auto r = W(dir + u"\\" + e.name), l = W(local);
      // Each description replaces the last one in the same local file.
      const std::int32_t result = Exports().FsGetFileW(r.data(), l.data(), FS_COPYFLAGS_OVERWRITE, nullptr);
      EXPECT_EQ(FS_FILE_OK, result) << "copying out " << ToUtf8(e.name);
      const std::string text = test::ReadLocal(local).value_or("");
      const auto name = text.find("\r\nValue name: "), value = text.find("\r\nCurrent value: ", name);
      EXPECT_TRUE(name != std::string::npos && value != std::string::npos && text.size() >= value + 19)
          << ToUtf8(e.name);
      if (name == std::string::npos || value == std::string::npos || text.size() < value + 19) continue;
      d.realName = RealName(FromUtf8(text.substr(name + 14, value - name - 14)), e.name, planted);
      d.value = FromUtf8(text.substr(value + 17, text.size() - value - 19));
      out.push_back(std::move(d));
    }
    return out;
  }

  // Every value and subkey below a key, with its data, leaving out the key skip names.
  static std::string Dump(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::string& skip = "",
                          int depth = 0) {
    if (KeyIdentity(root, view, path) == skip) return "[skipped]";
    std::string out = "[" + ToUtf8(path) + "]";
    if (depth > 3) return out;
    for (const auto& [name, v] : Values(root, view, path))
      out += ToUtf8(name) + "=" + std::to_string(v.first) + ":" + std::string(v.second.begin(), v.second.end()) + ";";
    for (const auto& s : Subkeys(root, view, path)) out += Dump(root, view, path + u"\\" + s, skip, depth + 1);
    return out;
  }
  // The values of one key: name, type and data.
  static std::map<std::u16string, std::pair<std::uint32_t, Bytes>> Values(ROOT_TYPES root, PLATFORM_TYPE view,
                                                                         const std::u16string& path) {
    std::map<std::u16string, std::pair<std::uint32_t, Bytes>> out;
    for (const auto& n : Reg::ValueNames(root, view, path)) {
      const auto v = Reg::Get(root, view, path, n);
      out[n] = v ? std::make_pair(v->type, v->data) : std::make_pair(0xDEADu, Bytes());
    }
    return out;
  }
  static std::vector<std::u16string> Subkeys(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
    std::vector<std::u16string> names = Reg::SubkeyNames(root, view, path);
    std::sort(names.begin(), names.end());
    return names;
  }
  // Every built-in location with everything below it (natively the whole registry too).
  static std::string RegistryState(const std::string& skip = "") {
    std::string s;
#ifndef _WIN32
    if (auto* m = dynamic_cast<MemoryRegistry*>(&CurrentRegistry()); m && skip.empty()) s = m->Snapshot();
#endif
    for (const auto& b : BuiltinTypes()) s += Dump(b.type.RootType, b.type.tPlatform, KeyPath(b.type.DefAddr), skip);
    return s;
  }

  void RunCase(std::uint64_t seed, std::size_t* plantedCount);
  std::u16string local;
};

void RegistryContentProperty::RunCase(std::uint64_t seed, std::size_t* plantedCount) {
  Generator gen(seed);
  test::Planted planted;
  const auto& types = BuiltinTypes();

  // What was planted, by the key it went into.
  struct Subkey {
    std::u16string name;
    bool holdsLookedFor;
  };
  std::map<std::string, std::map<std::string, std::u16string>> values;  // key -> upper name -> name
  std::map<std::string, std::vector<Subkey>> subkeys;                   // key -> planted subkeys
  std::map<std::string, std::set<std::string>> subkeyNames;             // key -> upper names
  const auto plantValue = [&](const TItemType& t, const std::u16string& path, const std::u16string& name,
                              std::pair<std::uint32_t, Bytes> data) {
    auto& names = values[KeyIdentity(t.RootType, t.tPlatform, path)];
    if (!names.emplace(Upper(name), name).second) return;  // the registry holds one value per name
    planted.Value(t.RootType, t.tPlatform, path, name, data.first, data.second);
    ++*plantedCount;
  };

  const std::uint32_t plants = 1 + gen.Below(8);
  for (std::uint32_t p = 0; p < plants; ++p) {
    const TBuiltinType& b = types[gen.Below(types.size())];
    const std::u16string key = KeyPath(b.type.DefAddr);
    switch (b.shown) {
      case TBuiltinType::AllValues:
        plantValue(b.type, key, gen.Chance(5) ? std::u16string() : gen.Name(16383), gen.Data());
        break;
      case TBuiltinType::ByNames: {
        // One of the names it shows, in any letter case, or another name it does not show.
        std::u16string name = b.names[gen.Below(b.names.size())];
        if (gen.Chance(30))
          for (auto& c : name) c = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
        plantValue(b.type, key, gen.Chance(20) ? gen.Name(300) : name, gen.DataFor(b.type.ValueType));
        break;
      }
      case TBuiltinType::Subkeys: {
        const std::u16string sub = gen.KeyName();
        const std::string id = KeyIdentity(b.type.RootType, b.type.tPlatform, key);
        if (!subkeyNames[id].insert(Upper(sub)).second) break;
        const std::u16string path = key + u"\\" + sub;
        const bool holds = gen.Chance(80);
        planted.Key(b.type.RootType, b.type.tPlatform, path);
        if (holds) plantValue(b.type, path, b.names.front(), gen.DataFor(b.type.ValueType));
        for (const auto& x : b.extras)
          if (gen.Chance(50)) plantValue(b.type, path, x.ValName, gen.DataFor(x.ValType));
        if (gen.Chance(50)) plantValue(b.type, path, gen.Name(300), gen.Data());
        subkeys[id].push_back({sub, holds});
        break;
      }
    }
  }

  const std::string before = RegistryState();
  ASSERT_EQ(46u, List(u"\\").size());

  // Each directory of a key something was planted into, and each planted subkey it shows.
  struct Deletable {
    std::u16string path;  // the listed path
    ROOT_TYPES root;
    PLATFORM_TYPE view;
    std::u16string key, name;
  };
  std::vector<Deletable> deletable;
  for (const auto& b : types) {
    const std::u16string key = KeyPath(b.type.DefAddr);
    const std::string id = KeyIdentity(b.type.RootType, b.type.tPlatform, key);
    if (!values.count(id) && !subkeys.count(id)) continue;
    SCOPED_TRACE(ToUtf8(b.type.TypeID));
    const std::u16string dir = u"\\" + b.type.TypeID;
    std::set<std::u16string> plantedNames;
    for (const auto& v : values[id]) plantedNames.insert(v.second);
    for (const auto& sub : subkeys[id]) plantedNames.insert(sub.name);
    const auto entries = Describe(dir, plantedNames);
    std::map<std::u16string, int> seen;
    for (const auto& e : entries) ++seen[e.realName];
    const auto find = [&](const std::u16string& real) {
      for (const auto& e : entries)
        if (e.realName == real) return &e;
      return static_cast<const Described*>(nullptr);
    };
    if (b.shown == TBuiltinType::AllValues) {
      for (const auto& [upper, name] : values[id]) {
        SCOPED_TRACE(ToUtf8(name.substr(0, 60)));
        EXPECT_EQ(name.empty() ? 0 : 1, seen[name]);
        if (const Described* e = find(name)) {
          EXPECT_TRUE(SameText(AsDescribed(Shown(b.type.ValueType, Reg::Get(b.type.RootType, b.type.tPlatform, key, name))),
                               e->value));
          deletable.push_back({dir + u"\\" + e->listed, b.type.RootType, b.type.tPlatform, key, name});
        }
      }
    } else if (b.shown == TBuiltinType::ByNames) {
      for (const auto& n : b.names) {
        // Planted or there before (Wine has some of these values of its own).
        const auto raw = Reg::Get(b.type.RootType, b.type.tPlatform, key, n);
        EXPECT_EQ(raw || b.type.EditType == ET_MUST ? 1 : 0, seen[n]) << ToUtf8(n);
        const Described* e = find(n);
        if (!raw || !e) continue;
        EXPECT_TRUE(SameText(AsDescribed(Shown(b.type.ValueType, raw)), e->value));
        if (b.type.EditType == ET_OPTIONAL && values[id].count(Upper(n)))
          deletable.push_back({dir + u"\\" + e->listed, b.type.RootType, b.type.tPlatform, key, values[id][Upper(n)]});
      }
      for (const auto& [upper, name] : values[id]) {
        bool shown = false;
        for (const auto& n : b.names) shown = shown || Upper(n) == upper;
        if (!shown) {
          EXPECT_EQ(0, seen[name]) << ToUtf8(name.substr(0, 60));
        }
      }
    } else {
      for (const auto& s : subkeys[id]) {
        SCOPED_TRACE(ToUtf8(s.name.substr(0, 60)));
        EXPECT_EQ(s.holdsLookedFor ? 1 : 0, seen[s.name]);
        const Described* e = find(s.name);
        if (!e) continue;
        EXPECT_TRUE(e->directory);
        const std::u16string path = key + u"\\" + s.name;
        const std::string subId = KeyIdentity(b.type.RootType, b.type.tPlatform, path);
        const auto inside = Describe(dir + u"\\" + e->listed);
        std::vector<std::u16string> names, expectedNames = {b.names.front()};
        for (const auto& x : b.extras) expectedNames.push_back(x.ValName);
        for (const auto& i : inside) names.push_back(i.realName);
        EXPECT_EQ(expectedNames, names);
        for (std::size_t k = 0; k < inside.size() && k < expectedNames.size(); ++k) {
          const VALUE_TYPES vt = k == 0 ? b.type.ValueType : b.extras[k - 1].ValType;
          auto it = values[subId].find(Upper(expectedNames[k]));
          const auto raw = it == values[subId].end() ? std::nullopt
                                                      : Reg::Get(b.type.RootType, b.type.tPlatform, path, it->second);
          EXPECT_TRUE(SameText(AsDescribed(Shown(vt, raw)), inside[k].value)) << ToUtf8(expectedNames[k]);
          if (b.type.EditType == ET_OPTIONAL && it != values[subId].end())
            deletable.push_back(
                {dir + u"\\" + e->listed + u"\\" + inside[k].listed, b.type.RootType, b.type.tPlatform, path, it->second});
        }
      }
    }
  }
  EXPECT_TRUE(before == RegistryState()) << "listing and copying out changed the registry";

  // Deleting one optional entry removes that value and nothing else.
  if (!deletable.empty()) {
    const Deletable& d = deletable[gen.Below(deletable.size())];
    SCOPED_TRACE("deleting " + ToUtf8(d.path.substr(0, 80)));
    const std::string id = KeyIdentity(d.root, d.view, d.key);
    auto expected = Values(d.root, d.view, d.key);
    const std::string others = RegistryState(id);
    ASSERT_EQ(1u, expected.erase(d.name));
    auto p = W(d.path);
    EXPECT_EQ(KS_TRUE, Exports().FsDeleteFileW(p.data()));
    const auto now = Values(d.root, d.view, d.key);
    EXPECT_TRUE(expected == now) << "values left: " << now.size() << ", expected " << expected.size();
    EXPECT_TRUE(others == RegistryState(id)) << "a value of another key changed";
  }
}

TEST_F(RegistryContentProperty, PlantedContentIsListedOnceReachableAndUnchanged) {
  const std::uint64_t seconds = EnvNumber("KESTROW_PROPERTY_SECONDS", 3);
  const auto clock = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  const std::uint64_t seed = EnvNumber("KESTROW_PROPERTY_SEED", clock % 1000000007u);
  std::printf("registry content: seed %llu (replay with KESTROW_PROPERTY_SEED=%llu)\n",
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
  const auto start = std::chrono::steady_clock::now();
  const auto limit = start + std::chrono::seconds(seconds);
  std::size_t cases = 0, plantedValues = 0;
  do {
    const std::uint64_t caseSeed = seed + cases;
#ifndef _WIN32
    if (auto* m = dynamic_cast<MemoryRegistry*>(&CurrentRegistry())) m->Clear();
#endif
    RunCase(caseSeed, &plantedValues);
    ++cases;
    if (HasFailure()) {
      std::printf("registry content: case %zu failed; replay it with KESTROW_PROPERTY_SEED=%llu\n", cases,
                  static_cast<unsigned long long>(caseSeed));
      break;
    }
  } while (std::chrono::steady_clock::now() < limit);
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("registry content: %zu cases, %zu values planted, %.1f s\n", cases, plantedValues, took);
}

}  // namespace
}  // namespace kestrow
