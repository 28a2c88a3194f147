// CallbackTable: how a back end's callback finds its session's feed. Back ends call back with
// a small value (a user value, a 32-bit user datum, a stream index), never with a pointer the
// session could have freed: the value is a key into this table of live feeds.
//
// A callback looks its feed up with Find, which keeps the entry marked busy for as long as the
// returned Lease lives; Remove takes the entry out and then waits until no lease of it is held,
// so once Remove has returned no callback of that key is running or can start.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "SessionFeed.h"

namespace netsource {

class CallbackTable {
 public:
  class Lease {
   public:
    Lease() = default;
    Lease(Lease&& other) noexcept
        : table_(std::exchange(other.table_, nullptr)), feed_(std::move(other.feed_)) {}
    Lease& operator=(Lease&&) = delete;
    ~Lease();
    SessionFeed* operator->() const { return feed_.get(); }
    explicit operator bool() const { return feed_ != nullptr; }

   private:
    friend class CallbackTable;
    Lease(CallbackTable* table, std::shared_ptr<SessionFeed> feed)
        : table_(table), feed_(std::move(feed)) {}
    CallbackTable* table_ = nullptr;
    std::shared_ptr<SessionFeed> feed_;
  };

  // Adds `feed` under a fresh key and returns the key (never 0, never reused while the
  // process lives).
  int32_t Add(std::shared_ptr<SessionFeed> feed);
  // Adds `feed` under `key`, replacing nothing: false when the key is taken.
  bool AddAt(int32_t key, std::shared_ptr<SessionFeed> feed);
  Lease Find(int32_t key);
  // Takes the entry out and waits until no lease of it is held. Nothing for unknown keys.
  void Remove(int32_t key);

 private:

  std::mutex lock_;
  std::condition_variable returned_;
  std::map<int32_t, std::shared_ptr<SessionFeed>> feeds_;  // guarded by lock_
  std::map<const SessionFeed*, int> busy_;                 // guarded by lock_: leases held
  int32_t nextKey_ = 1;                                    // guarded by lock_
  void Release(const SessionFeed* feed);
};

}  // namespace netsource
