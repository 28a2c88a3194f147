// COM object plumbing for filters and everything else built on the base classes.
//
// Classes:
//   INonDelegatingUnknown  the object's own IUnknown, reached even when it is aggregated.
//   CBaseObject            counts live objects of this module (DllCanUnloadNow).
//   CUnknown               reference count and aggregation. Derive from it; add DECLARE_IUNKNOWN
//                          to the class and, for each interface it implements, answer that IID
//                          in an override of NonDelegatingQueryInterface (GetInterface) before
//                          calling the base.
//
// Aggregation: constructed with an outer unknown, a CUnknown forwards the IUnknown methods of its
// interfaces to the outer object; the outer object holds the inner one through the non-delegating
// unknown (IID_IUnknown from NonDelegatingQueryInterface).
#pragma once

#include <atomic>

#include "Unknown.h"

struct INonDelegatingUnknown {
  virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG NonDelegatingAddRef() = 0;
  virtual ULONG NonDelegatingRelease() = 0;

 protected:
  ~INonDelegatingUnknown() = default;
};

// Every object of the base classes counts itself here while it lives. The count is per module:
// the symbol is hidden, so each module linking this library keeps its own.
class CBaseObject {
 public:
  explicit CBaseObject(const char* name);
  CBaseObject(const CBaseObject&) = delete;
  CBaseObject& operator=(const CBaseObject&) = delete;
  virtual ~CBaseObject();

  const char* Name() const { return m_pName; }
  // Objects of this module alive now.
  static LONG ObjectsActive();

 private:
  const char* m_pName;  // a static string naming the object class, for diagnostics
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
 public:
  // `outer` is the aggregating object, or nullptr for a standalone object.
  CUnknown(const char* name, IUnknown* outer);
  ~CUnknown() override;

  // The IUnknown that the object's interfaces forward to: the outer object when aggregated,
  // the object's own non-delegating unknown otherwise.
  IUnknown* GetOwner() const { return m_pUnknown; }

  // Answers IID_IUnknown with the non-delegating unknown; E_NOINTERFACE for anything else.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG NonDelegatingAddRef() override;
  // Deletes the object when the count reaches zero.
  ULONG NonDelegatingRelease() override;

 protected:
  std::atomic<LONG> m_cRef{0};

 private:
  // The non-delegating unknown as a real IUnknown (what an aggregating object holds).
  struct Inner final : IUnknown {
    explicit Inner(CUnknown* owner) : m_owner(owner) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
      return m_owner->NonDelegatingQueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return m_owner->NonDelegatingAddRef(); }
    ULONG Release() override { return m_owner->NonDelegatingRelease(); }
    CUnknown* const m_owner;
  };
  Inner m_inner{this};
  IUnknown* const m_pUnknown;
};

// The IUnknown methods of a class derived from CUnknown: forwarded to the owner.
#define DECLARE_IUNKNOWN                                           \
  HRESULT QueryInterface(REFIID riid, void** ppv) override {       \
    return GetOwner()->QueryInterface(riid, ppv);                  \
  }                                                                \
  ULONG AddRef() override { return GetOwner()->AddRef(); }        \
  ULONG Release() override { return GetOwner()->Release(); }
