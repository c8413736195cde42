#include "model/target_cache.h"

#include "model/item_tree.h"
#include "model/targets/location_kind.h"
#include "model/targets/path_text.h"
#include "model/targets/system_target_lookup.h"
#include "model/type_registry.h"
#include "registry/comma_text.h"

namespace kestrow {

std::u16string TNodeTargets::TargetText() const {
  std::u16string text;
  for (const Target& t : targets) {
    if (!text.empty()) text += u"; ";
    text += t.path;
  }
  return text;
}

bool TNodeTargets::Missing() const {
  for (const Target& t : targets)
    if (t.state == TargetState::Missing) return true;
  return false;
}

std::u16string TNodeTargets::StateText() const {
  if (targets.empty()) return {};
  return Missing() ? u"Missing" : u"Found";
}

TTargetCache::TTargetCache() = default;
TTargetCache::~TTargetCache() = default;

namespace {

// The view whose rules start the entry. Only HKLM\SOFTWARE has a 32-bit view of its own; every
// other key (all of HKCU\Software, the services) is one key in both views, and what it names is
// started by the system's own programs: on a 64-bit system, 64-bit ones.
RegView StartingView(const TItemType& type, const std::u16string& address) {
  if (type.tPlatform != WOW64_32 || type.RootType != RT_HKLM) return RegView::Bits64;
  std::u16string path = address;
  while (!path.empty() && path.front() == u'\\') path.erase(0, 1);
  const std::u16string software = u"SOFTWARE";
  const bool inSoftware = path.size() >= software.size() && SameFolded(path.substr(0, software.size()), software) &&
                          (path.size() == software.size() || path[software.size()] == u'\\');
  return inSoftware ? RegView::Bits32 : RegView::Bits64;
}

StoredValue StoredFrom(const TMemItem& value) {
  const TValue& v = value.Value;
  if (v.IsInteger()) return StoredValue::Integer();
  if (!v.IsText()) return {};
  switch (value.ItemType.ValueType) {
    case VAL_EXPANDSTRING: return StoredValue::ExpandString(v.AsText());
    case VAL_MULTISZ: return StoredValue::MultiString(SplitCommaText(v.AsText()));
    default: return StoredValue::String(v.AsText());
  }
}

}  // namespace

TargetRequest TTargetCache::RequestFor(const TMemItem& value) {
  TargetRequest request;
  request.kind = KindOfLocation(value.Address, value.ValueName);
  request.value = StoredFrom(value);
  request.view = StartingView(value.ItemType, value.Address);
  if (request.kind == LocationKind::ServiceImage) request.serviceKey = value.Address;
  return request;
}

const TMemItem* TTargetCache::StartingValue(const TItemTree& tree, const TMemItem& directory) {
  const TMemItem* first = nullptr;
  const auto place = tree.PlaceOf(directory);
  if (!place) return nullptr;
  // A subkey directory's values follow it in the tree, before anything else: the scan of its
  // location appends them together, and nothing else adds to it.
  for (std::size_t at = *place + 1; at < tree.Memory.size() && tree.Memory[at]->Parent == &directory; ++at) {
    const TMemItem* n = tree.Memory[at].get();
    if (n->ElementType != ELT_ITEM) continue;
    if (KindOfLocation(n->Address, n->ValueName) != LocationKind::Other) return n;
    if (!first) first = n;
  }
  return first;
}

const TargetLookup& TTargetCache::Lookup() const {
  std::call_once(lookupMade_, [this] { lookup_ = std::make_unique<SystemTargetLookup>(); });
  return *lookup_;
}

std::pair<std::u16string, std::u16string> TTargetCache::VersionOf(const std::u16string& path) const {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (const auto at = versions_.find(path); at != versions_.end()) return at->second;
  }
  std::pair<std::u16string, std::u16string> strings;
  if (const auto read = platform::ReadVersionStrings(path)) strings = {read->CompanyName, read->FileDescription};
  std::lock_guard<std::mutex> hold(lock_);
  return versions_.emplace(path, std::move(strings)).first->second;
}

std::shared_ptr<const TNodeTargets> TTargetCache::Work(const TItemTree& tree, const TMemItem& node) const {
  auto result = std::make_shared<TNodeTargets>();
  const TMemItem* value = nullptr;
  if (node.ElementType == ELT_ITEM) {
    // A value of a subkey directory starts something only when it is the directory's starting value.
    const TMemItem* dir = node.Parent;
    value = dir && dir->Parent && StartingValue(tree, *dir) != &node ? nullptr : &node;
  } else if (node.ElementType == ELT_DIRECTORY && node.Parent) {
    value = StartingValue(tree, node);
  }
  if (!value) return result;
  result->targets = ResolveTargets(RequestFor(*value), Lookup());
  for (const Target& t : result->targets) {
    if (t.state != TargetState::Found || Lookup().KindOf(t.path) != platform::PathKind::File) continue;
    std::tie(result->Publisher, result->Description) = VersionOf(t.path);
    break;
  }
  return result;
}

bool TTargetCache::Known(const TMemItem& node) const {
  std::lock_guard<std::mutex> hold(lock_);
  return nodes_.count(&node) != 0;
}

std::shared_ptr<const TNodeTargets> TTargetCache::Of(const TItemTree& tree, const TMemItem& node) const {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (const auto at = nodes_.find(&node); at != nodes_.end()) return at->second;
  }
  std::shared_ptr<const TNodeTargets> worked = Work(tree, node);
  std::lock_guard<std::mutex> hold(lock_);
  return nodes_.emplace(&node, std::move(worked)).first->second;
}

}  // namespace kestrow
