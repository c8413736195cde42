// The central object's published tree: who holds it, and how a new one replaces it.
#include "model/sentrel.h"

#include "model/key_times.h"
#include "model/scanners.h"

namespace kestrow {

TSentrel::TSentrel() : tree_(std::make_shared<const TItemTree>()) {}

TSentrel::~TSentrel() = default;

TTree TSentrel::Tree() const {
  std::lock_guard<std::mutex> lock(publishing_);
  return tree_;
}

void TSentrel::Publish(TTree tree) {
  std::lock_guard<std::mutex> lock(publishing_);
  tree_.swap(tree);
  // The tree replaced is freed here, after the lock, if nobody else holds it.
}

TTree TSentrel::Rebuild() {
  TDeferredMessages held(User());
  TTree built;
  {
    std::lock_guard<std::mutex> one(rebuilding_);
    auto tree = std::make_shared<TItemTree>();
    tree->WritesBefore = writes_.load();
    // The tree is usually about as large as the last one: its list is made that large at once.
    const std::size_t previous = Tree()->Memory.size();
    tree->Memory.reserve(previous + previous / 8);
    // Each step reports its own failures; the tree keeps what the steps before it added. What
    // still escapes a step (memory running out, or a fault of the registry's own) ends that step
    // and not the rebuild: a listing shows what could be read, as every step promises.
    try {
      TScanners::BuildMemory(*tree);
    } catch (...) {
    }
    try {
      if (BuildTemplateMemory) BuildTemplateMemory(*tree, held);
    } catch (...) {
    }
    try {
      ReadStartupStates(*tree);
    } catch (...) {
    }
    try {
      DateTypeDirectories(*tree);
    } catch (...) {
    }
    tree->Seal();
    // The age of a read counts from its end: a read that takes long still serves for the whole
    // time a shared read may be used, instead of being read again almost as soon as it is done.
    tree->Built = std::chrono::steady_clock::now();
    built = std::move(tree);
    Publish(built);
  }
  held.Deliver();
  return built;
}

void TSentrel::ShowStartupState(const std::u16string& path, const TStartupState& state) {
  std::lock_guard<std::mutex> one(rebuilding_);
  const TTree newest = Tree();
  const TMemItem* node = newest->NodeAt(path);
  if (!node) return;
  std::size_t index = 0;
  while (index < newest->Memory.size() && newest->Memory[index].get() != node) ++index;
  std::shared_ptr<TItemTree> copy = newest->Clone();
  copy->Memory[index]->Startup = state;
  Publish(std::move(copy));
}

}  // namespace kestrow
