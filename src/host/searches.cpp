#include "host/searches.h"

namespace kestrow {

namespace {
std::uintptr_t Id(KS_HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }
}  // namespace

TTree TSearches::Reusable(const TTree& newest, std::uint64_t writes) const {
  if (!newest || newest->Memory.empty() || newest->WritesBefore != writes) return nullptr;
  if (std::chrono::steady_clock::now() - newest->Built >= kReuseAge) return nullptr;
  std::lock_guard<std::mutex> lock(lock_);
  if (!open_.empty()) return newest;
  if (operations_ > 0 && readInOperation_.lock() == newest) return newest;
  return nullptr;
}

void TSearches::Read(const TTree& tree) {
  std::lock_guard<std::mutex> lock(lock_);
  if (operations_ > 0) readInOperation_ = tree;
}

KS_HANDLE TSearches::Add(std::shared_ptr<TSearch> search) {
  std::lock_guard<std::mutex> lock(lock_);
  do {
    ++last_;
  } while (last_ == 0 || last_ == Id(KsInvalidHandle()) || open_.count(last_));
  open_[last_] = std::move(search);
  return reinterpret_cast<KS_HANDLE>(last_);
}

std::shared_ptr<TSearch> TSearches::Find(KS_HANDLE handle) const {
  std::lock_guard<std::mutex> lock(lock_);
  const auto it = open_.find(Id(handle));
  return it == open_.end() ? nullptr : it->second;
}

void TSearches::Close(KS_HANDLE handle) {
  std::shared_ptr<TSearch> closed;
  {
    std::lock_guard<std::mutex> lock(lock_);
    const auto it = open_.find(Id(handle));
    if (it == open_.end()) return;
    closed = std::move(it->second);
    open_.erase(it);
  }
  // Its tree, if nobody else holds it, is freed here, outside the lock.
}

void TSearches::OperationStarts() {
  std::lock_guard<std::mutex> lock(lock_);
  if (operations_++ == 0) readInOperation_.reset();
}

void TSearches::OperationEnds() {
  std::lock_guard<std::mutex> lock(lock_);
  if (operations_ > 0 && --operations_ == 0) readInOperation_.reset();
}

void TSearches::Clear() {
  std::map<std::uintptr_t, std::shared_ptr<TSearch>> closed;
  std::lock_guard<std::mutex> lock(lock_);
  closed.swap(open_);
  operations_ = 0;
  readInOperation_.reset();
}

}  // namespace kestrow
