#include "CallbackTable.h"

namespace netsource {

CallbackTable::Lease::~Lease() {
  if (table_ && feed_) table_->Release(feed_.get());
}

int32_t CallbackTable::Add(std::shared_ptr<SessionFeed> feed) {
  std::lock_guard guard(lock_);
  while (feeds_.count(nextKey_) || nextKey_ <= 0) {
    nextKey_ = nextKey_ <= 0 ? 1 : nextKey_ + 1;
  }
  const int32_t key = nextKey_++;
  feeds_.emplace(key, std::move(feed));
  return key;
}

bool CallbackTable::AddAt(int32_t key, std::shared_ptr<SessionFeed> feed) {
  std::lock_guard guard(lock_);
  return feeds_.emplace(key, std::move(feed)).second;
}

CallbackTable::Lease CallbackTable::Find(int32_t key) {
  std::lock_guard guard(lock_);
  const auto found = feeds_.find(key);
  if (found == feeds_.end()) return {};
  ++busy_[found->second.get()];
  return Lease(this, found->second);
}

void CallbackTable::Release(const SessionFeed* feed) {
  {
    std::lock_guard guard(lock_);
    const auto found = busy_.find(feed);
    if (found != busy_.end() && --found->second == 0) busy_.erase(found);
  }
  returned_.notify_all();
}

void CallbackTable::Remove(int32_t key) {
  std::unique_lock guard(lock_);
  const auto found = feeds_.find(key);
  if (found == feeds_.end()) return;
  const SessionFeed* feed = found->second.get();
  feeds_.erase(found);
  returned_.wait(guard, [&] { return busy_.count(feed) == 0; });
}

}  // namespace netsource
