// The process's running object table: objects registered under monikers so that tools in the
// process can find the graphs it runs by name.
#include <map>
#include <mutex>

#include "ComPtr.h"
#include "ItemMoniker.h"
#include "SnapshotEnum.h"
#include "WideString.h"

namespace {

class RunningObjectTable final : public IRunningObjectTable {
 public:
  // The table lives as long as the process: reference counting does not free it.
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IRunningObjectTable) return GetInterface(this, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }

  HRESULT Register(DWORD flags, IUnknown* object, IMoniker* name, DWORD* cookie) override {
    if (!object || !name || !cookie) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    const bool duplicate = FindLocked(name) != entries_.end();
    *cookie = nextCookie_++;
    Entry entry{ComPtr<IMoniker>(name), nullptr, nullptr};
    // Without "keeps alive" the table must not hold the object, as a graph registers itself
    // and would otherwise never be released.
    if (flags & ROTFLAGS_REGISTRATIONKEEPSALIVE) entry.strong = ComPtr<IUnknown>(object);
    else entry.weak = object;
    entries_.emplace(*cookie, std::move(entry));
    return duplicate ? MK_S_MONIKERALREADYREGISTERED : S_OK;
  }

  HRESULT Revoke(DWORD cookie) override {
    std::lock_guard lock(mutex_);
    return entries_.erase(cookie) ? S_OK : E_INVALIDARG;
  }

  HRESULT IsRunning(IMoniker* name) override {
    if (!name) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    return FindLocked(name) != entries_.end() ? S_OK : S_FALSE;
  }

  HRESULT GetObject(IMoniker* name, IUnknown** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!name) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    auto it = FindLocked(name);
    if (it == entries_.end()) return MK_E_UNAVAILABLE;
    *object = it->second.Object();
    (*object)->AddRef();
    return S_OK;
  }

  HRESULT NoteChangeTime(DWORD, FILETIME*) override { return E_NOTIMPL; }
  HRESULT GetTimeOfLastChange(IMoniker*, FILETIME*) override { return E_NOTIMPL; }

  HRESULT EnumRunning(IEnumMoniker** out) override {
    std::vector<ComPtr<IMoniker>> names;
    {
      std::lock_guard lock(mutex_);
      for (const auto& [cookie, entry] : entries_) names.push_back(entry.name);
    }
    return MonikerSnapshotEnum::Create(std::move(names), out);
  }

 private:
  struct Entry {
    ComPtr<IMoniker> name;
    ComPtr<IUnknown> strong;  // with ROTFLAGS_REGISTRATIONKEEPSALIVE
    IUnknown* weak;           // otherwise: the registrant revokes before it goes
    IUnknown* Object() const { return strong ? strong.Get() : weak; }
  };

  std::map<DWORD, Entry>::iterator FindLocked(IMoniker* name) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->second.name->IsEqual(name) == S_OK) return it;
    return entries_.end();
  }

  std::mutex mutex_;
  std::map<DWORD, Entry> entries_;  // guarded by mutex_
  DWORD nextCookie_ = 1;            // guarded by mutex_
};

RunningObjectTable& Table() {
  static RunningObjectTable* table = new RunningObjectTable;  // never destroyed: see AddRef
  return *table;
}

}  // namespace

HRESULT GetRunningObjectTable(DWORD reserved, IRunningObjectTable** pprot) {
  if (!pprot) return E_POINTER;
  *pprot = nullptr;
  if (reserved != 0) return E_INVALIDARG;
  *pprot = &Table();
  return S_OK;
}

HRESULT CreateItemMoniker(LPCOLESTR delimiter, LPCOLESTR item, IMoniker** ppmk) {
  if (!ppmk) return E_POINTER;
  *ppmk = nullptr;
  if (!item) return E_INVALIDARG;
  auto* moniker = new (std::nothrow)
      ItemMoniker(delimiter ? std::u16string(delimiter) : std::u16string(), std::u16string(item));
  if (!moniker) return E_OUTOFMEMORY;
  return moniker->NonDelegatingQueryInterface(IID_IMoniker, reinterpret_cast<void**>(ppmk));
}
