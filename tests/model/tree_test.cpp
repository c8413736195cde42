// The name rule, the path parts and the lookups of the item tree.
#include <gtest/gtest.h>

#include "model/item_tree.h"
#include "model/names.h"
#include "model/sentrel.h"

namespace kestrow {
namespace {

TEST(NameRule, FoldsOnlyAsciiLetters) {
  struct Case {
    std::u16string a, b;
    bool same;
  } cases[] = {
      {u"HKLM_RUN32", u"hklm_run32", true},
      {u".add", u".ADD", true},
      {u"", u"", true},
      {u"", u"a", false},
      {u"\u00C4bc", u"\u00E4bc", false},  // A-umlaut is not folded
      {u"abc", u"abcd", false},
      {u"[", u"{", false},               // no folding outside a..z
      {u"Start", u"START", true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.same, SameName(c.a, c.b)) << std::string(c.a.begin(), c.a.end());
}

TEST(PathParts, SplitsAtLastSeparator) {
  struct Case {
    std::u16string path, name, dir;
  } cases[] = {
      {u"\\", u"", u"\\"},
      {u"\\A", u"A", u"\\"},
      {u"\\A\\B", u"B", u"\\A"},
      {u"\\A\\", u"", u"\\A"},
      {u"\\A\\\\", u"", u"\\A\\\\"},  // a final "\" after another separator stays
      {u"C:", u"", u"C:"},
      {u"C:\\x", u"x", u"C:\\"},
      {u"plain", u"plain", u""},
      {u"\\X\\HKLM_RUN32\\.ADD", u".ADD", u"\\X\\HKLM_RUN32"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.name, NamePart(c.path));
    EXPECT_EQ(c.dir, DirectoryPart(c.path));
  }
}

std::u16string Folded(std::u16string s) {
  for (auto& c : s)
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
  return s;
}
std::u16string Lower(std::u16string s) {
  for (auto& c : s)
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  return s;
}

class TreeTest : public ::testing::Test {
 protected:
  TItemType Type(const std::u16string& id) {
    TItemType t;
    t.TypeID = id;
    t.RootType = RT_HKCU;
    t.ValueType = VAL_STRING;
    t.tPlatform = WOW64_64;
    t.DefAddr = u"\\Key\\" + id;
    return t;
  }
  TMemItem* Add(const TMemItem* parent, ELEMENT_TYPES kind, const std::u16string& name) {
    auto n = std::make_unique<TMemItem>(kind, parent);
    n->ItemType = parent->ItemType;
    n->ValueName = name;
    return s.Append(std::move(n));
  }
  void Declare(const std::u16string& id) { TItemTree::InitializeType(s.ItemTypes, Type(id), s.Memory); }
  // The entries of one directory, by the listing's step.
  std::vector<const TMemItem*> Walk(const TMemItem* dir) const {
    std::vector<const TMemItem*> found;
    for (auto i = s.FindElement(dir, 0); i; i = s.FindElement(dir, *i + 1)) found.push_back(s.Memory[*i].get());
    return found;
  }
  TItemTree s;
};

TEST_F(TreeTest, DeclaringATypeAppendsItsDirectoryAndThreeCommands) {
  Declare(u"ALPHA");
  ASSERT_EQ(4u, s.Memory.size());
  const TMemItem& dir = *s.Memory[0];
  EXPECT_EQ(ELT_DIRECTORY, dir.ElementType);
  EXPECT_EQ(nullptr, dir.Parent);
  EXPECT_EQ(u"ALPHA", dir.ValueName);
  EXPECT_EQ(u"\\Key\\ALPHA", dir.Address);
  EXPECT_TRUE(dir.Value.IsNothing());
  const char16_t* names[] = {u".ADD", u".SAVE", u".RESTORE"};
  for (int i = 0; i < 3; ++i) {
    const TMemItem& c = *s.Memory[i + 1];
    EXPECT_EQ(ELT_COMMAND, c.ElementType);
    EXPECT_EQ(&dir, c.Parent);
    EXPECT_EQ(names[i], c.ValueName);
    EXPECT_EQ(dir.Address, c.Address);
    EXPECT_EQ(TValue::Text(u""), c.Value);
    EXPECT_EQ(WOW64_64, c.ItemType.tPlatform);
  }
}

TEST_F(TreeTest, LookupsBeforeTheFirstRebuildFindNothing) {
  // The central object's tree until the first rebuild.
  const TSentrel sentrel;
  const TTree t = sentrel.Tree();
  ASSERT_NE(nullptr, t);
  EXPECT_TRUE(t->Memory.empty());
  EXPECT_EQ(std::nullopt, t->FindElement(nullptr, 0));
  EXPECT_EQ(nullptr, t->ItemTypeSearch(u"HKLM_RUN32"));
  EXPECT_EQ(nullptr, t->GetLastParentByPath(u"\\HKLM_RUN32"));
  EXPECT_EQ(nullptr, t->GetElementByFileName(u"\\HKLM_RUN32\\.ADD"));
  EXPECT_EQ(nullptr, t->FindElementByName(nullptr, u"HKLM_RUN32"));
}

TEST_F(TreeTest, TypeLookupIgnoresAsciiCaseButDirectoryLookupDoesNot) {
  Declare(u"ALPHA");
  const TItemType* t = s.ItemTypeSearch(u"alpha");
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(s.Memory[0].get(), s.FindRootDirectoryByType(*t));
  TItemType lower = Type(u"alpha");
  EXPECT_EQ(nullptr, s.FindRootDirectoryByType(lower));
}

TEST_F(TreeTest, TypeDeclaredTwiceResolvesToTheFirst) {
  Declare(u"DUP");
  Declare(u"DUP");
  EXPECT_EQ(2u, s.ItemTypes.size());
  EXPECT_EQ(8u, s.Memory.size());
  EXPECT_EQ(&s.ItemTypes[0], s.ItemTypeSearch(u"DUP"));
  const TMemItem* first = s.Memory[0].get();
  EXPECT_EQ(first, s.GetLastParentByPath(u"\\DUP"));
  EXPECT_EQ(first, s.GetLastParentByPath(u"\\DUP\\.SAVE")->Parent);
}

TEST_F(TreeTest, FindElementWalksOneDirectoryFromPos) {
  Declare(u"A");
  Declare(u"B");
  const TMemItem* a = s.Memory[0].get();
  TMemItem* item = Add(a, ELT_ITEM, u"v1");
  Declare(u"C");
  TMemItem* item2 = Add(a, ELT_ITEM, u"v2");

  std::vector<std::u16string> roots;
  for (const TMemItem* n : Walk(nullptr)) roots.push_back(n->ValueName);
  EXPECT_EQ((std::vector<std::u16string>{u"A", u"B", u"C"}), roots);

  const std::vector<const TMemItem*> inA = Walk(a);
  ASSERT_EQ(5u, inA.size());
  EXPECT_EQ(item, inA[3]);
  EXPECT_EQ(item2, inA[4]);

  // A position past the last node finds nothing; one inside another directory's nodes goes on
  // with the next node of the directory asked for.
  EXPECT_EQ(std::nullopt, s.FindElement(nullptr, s.Memory.size()));
  EXPECT_EQ(std::nullopt, s.FindElement(nullptr, s.Memory.size() + 7));
  EXPECT_EQ(s.Memory[4].get(), s.Memory[*s.FindElement(nullptr, 2)].get());
}

TEST_F(TreeTest, PathResolutionUsesTheLastTwoComponents) {
  Declare(u"HKLM_RUN32");
  const TMemItem* dir = s.Memory[0].get();
  TMemItem* sub = Add(dir, ELT_DIRECTORY, u"svc");
  TMemItem* inSub = Add(sub, ELT_ITEM, u"Start");
  const TMemItem* add = s.Memory[1].get();

  EXPECT_EQ(dir, s.GetLastParentByPath(u"\\HKLM_RUN32"));
  EXPECT_EQ(dir, s.GetLastParentByPath(u"\\hklm_run32"));
  EXPECT_EQ(add, s.GetLastParentByPath(u"\\HKLM_RUN32\\.add"));
  EXPECT_EQ(add, s.GetLastParentByPath(u"\\ignored\\HKLM_RUN32\\.ADD"));
  EXPECT_EQ(sub, s.GetLastParentByPath(u"\\HKLM_RUN32\\svc"));
  EXPECT_EQ(nullptr, s.GetLastParentByPath(u"\\"));
  EXPECT_EQ(nullptr, s.GetLastParentByPath(u"\\HKLM_RUN32\\"));
  EXPECT_EQ(nullptr, s.GetLastParentByPath(u"\\NOPE"));
  EXPECT_EQ(nullptr, s.GetLastParentByPath(u""));

  EXPECT_EQ(dir, s.GetElementByFileName(u"\\HKLM_RUN32"));
  EXPECT_EQ(add, s.GetElementByFileName(u"\\HKLM_RUN32\\.ADD"));
  EXPECT_EQ(inSub, s.GetElementByFileName(u"\\HKLM_RUN32\\svc\\Start"));

  // An empty name in the directory makes the trailing-separator path resolve.
  TMemItem* empty = Add(dir, ELT_ITEM, u"");
  EXPECT_EQ(empty, s.GetLastParentByPath(u"\\HKLM_RUN32\\"));
  // A name with a separator in it is in the tree but no path reaches it.
  Add(dir, ELT_ITEM, u"a\\b");
  EXPECT_EQ(nullptr, s.GetElementByFileName(u"\\HKLM_RUN32\\a\\b"));
}

TEST_F(TreeTest, ACloneIsAWholeCopyWhoseNodesReferToTheCopy) {
  Declare(u"A");
  TMemItem* sub = Add(s.Memory[0].get(), ELT_DIRECTORY, u"svc");
  Add(sub, ELT_ITEM, u"Start")->Startup = TStartupState{true, 42};
  const auto copy = s.Clone();
  ASSERT_EQ(s.Memory.size(), copy->Memory.size());
  EXPECT_EQ(s.ItemTypes.size(), copy->ItemTypes.size());
  for (std::size_t i = 0; i < s.Memory.size(); ++i) {
    const TMemItem& a = *s.Memory[i];
    const TMemItem& b = *copy->Memory[i];
    EXPECT_NE(&a, &b);
    EXPECT_EQ(a.ValueName, b.ValueName);
    EXPECT_EQ(a.Startup.OffSince, b.Startup.OffSince);
    // The parent is the copy's node at the index of the original's parent.
    if (!a.Parent) {
      EXPECT_EQ(nullptr, b.Parent);
      continue;
    }
    std::size_t parent = 0;
    while (s.Memory[parent].get() != a.Parent) ++parent;
    EXPECT_EQ(copy->Memory[parent].get(), b.Parent) << i;
  }
  EXPECT_EQ(copy->Memory[5].get(), copy->GetElementByFileName(u"\\A\\svc\\Start"));
}

// The index a sealed tree answers from must give what walking the tree gives, for every node and
// for names that differ in case, names listed in escaped or shortened form, repeated names,
// subkey directories and names that are not there.
TEST_F(TreeTest, ASealedTreeAnswersEveryLookupAsTheUnsealedOne) {
  const std::u16string longName = std::u16string(300, u'x') + u"1";
  const std::u16string longName2 = std::u16string(300, u'x') + u"2";
  Declare(u"ALPHA");
  Declare(u"beta");
  Declare(u"ALPHA");  // a second type of the same identifier
  const TMemItem* alpha = s.Memory[0].get();
  const TMemItem* beta = s.Memory[4].get();
  const std::vector<std::u16string> names = {u"Tool", u"tool", u"C:\\acc\\tool.exe", u".ADD", u"..",
                                             longName,  longName2, u"Tool", u"",      u"^2EADD"};
  for (const auto& name : names) Add(alpha, ELT_ITEM, name);
  TMemItem* svc = Add(beta, ELT_DIRECTORY, u"svc|x");
  Add(svc, ELT_ITEM, u"Start");
  Add(svc, ELT_ITEM, u"start");
  TMemItem* other = Add(beta, ELT_DIRECTORY, u"Other");
  Add(other, ELT_ITEM, u"Start");

  const std::unique_ptr<TItemTree> sealed = s.Clone();
  auto at = [](const TItemTree& t, const TMemItem* n) -> long {
    if (!n) return -1;
    for (std::size_t i = 0; i < t.Memory.size(); ++i)
      if (t.Memory[i].get() == n) return static_cast<long>(i);
    return -2;
  };
  std::vector<std::u16string> paths = {u"\\", u"\\ALPHA", u"\\alpha", u"\\BETA", u"\\nothing", u"\\ALPHA\\absent",
                                       u"\\beta\\svc^7Cx\\START", u"\\X\\beta\\Other", u"\\beta\\svc|x"};
  for (std::size_t i = 0; i < s.Memory.size(); ++i) {
    const TMemItem& n = *s.Memory[i];
    const std::u16string listed = s.ListedName(n);
    EXPECT_EQ(listed, sealed->ListedName(*sealed->Memory[i])) << i;
    for (const std::u16string& q : {listed, Folded(listed), Lower(listed)})
      EXPECT_EQ(at(s, s.FindElementByName(n.Parent, q)), at(*sealed, sealed->FindElementByName(
                                                                           n.Parent ? sealed->Memory[at(s, n.Parent)].get() : nullptr, q)))
          << i;
    std::u16string path = u"\\" + listed;
    for (const TMemItem* p = n.Parent; p; p = p->Parent) path = u"\\" + s.ListedName(*p) + path;
    paths.push_back(path);
    paths.push_back(Lower(path));
  }
  for (const auto& path : paths) {
    EXPECT_EQ(at(s, s.GetLastParentByPath(path)), at(*sealed, sealed->GetLastParentByPath(path)));
    EXPECT_EQ(at(s, s.GetElementByFileName(path)), at(*sealed, sealed->GetElementByFileName(path)));
    EXPECT_EQ(at(s, s.NodeAt(path)), at(*sealed, sealed->NodeAt(path)));
  }
  for (const char16_t* id : {u"ALPHA", u"alpha", u"beta", u"BETA", u"none"})
    EXPECT_EQ(at(s, s.FindRootDirectoryByType(Type(id))), at(*sealed, sealed->FindRootDirectoryByType(Type(id))));
  // The listing's step is the same walk either way.
  for (const TMemItem* dir : {static_cast<const TMemItem*>(nullptr), alpha, beta, static_cast<const TMemItem*>(svc)}) {
    std::vector<long> a, b;
    for (auto i = s.FindElement(dir, 0); i; i = s.FindElement(dir, *i + 1)) a.push_back(static_cast<long>(*i));
    const TMemItem* sdir = dir ? sealed->Memory[at(s, dir)].get() : nullptr;
    for (auto i = sealed->FindElement(sdir, 0); i; i = sealed->FindElement(sdir, *i + 1)) b.push_back(static_cast<long>(*i));
    EXPECT_EQ(a, b);
  }
}

TEST(SentrelFlags, StartAtTheirDefaults) {
  TSentrel s;
  const TSettings f = s.Settings;
  EXPECT_TRUE(f.fConfirmChange && f.fConfirmDelete && f.fConfirmAdd && f.fConfirmRestore);
  EXPECT_FALSE(f.fCanCreateKey || f.fDebugStrings);
  EXPECT_TRUE(s.Tree()->Memory.empty());
  EXPECT_TRUE(s.Tree()->ItemTypes.empty());
  EXPECT_EQ(0u, s.Writes());
}

TEST(EnumText, IdentifiersAsWritten) {
  EXPECT_EQ(std::u16string(u"VAL_EXPANDSTRING"), EnumText(VAL_EXPANDSTRING));
  EXPECT_EQ(std::u16string(u"ELT_COMMAND"), EnumText(ELT_COMMAND));
  EXPECT_EQ(std::u16string(u"WOW64_64"), EnumText(WOW64_64));
  EXPECT_EQ(std::u16string(u"RT_HKCU"), EnumText(RT_HKCU));
  EXPECT_EQ(std::u16string(u"ET_MUST"), EnumText(ET_MUST));
  EXPECT_EQ(std::u16string(u""), EnumText(static_cast<VALUE_TYPES>(9)));
}

}  // namespace
}  // namespace kestrow
