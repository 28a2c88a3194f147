#include "ComBase.h"

namespace {

__attribute__((visibility("hidden"))) std::atomic<LONG> g_objectCount{0};

}  // namespace

CBaseObject::CBaseObject(const char* name) : m_pName(name) { ++g_objectCount; }

CBaseObject::~CBaseObject() { --g_objectCount; }

LONG CBaseObject::ObjectsActive() { return g_objectCount.load(); }

CUnknown::CUnknown(const char* name, IUnknown* outer)
    : CBaseObject(name), m_pUnknown(outer ? outer : &m_inner) {}

CUnknown::~CUnknown() = default;

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) return GetInterface(static_cast<IUnknown*>(&m_inner), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() { return static_cast<ULONG>(++m_cRef); }

ULONG CUnknown::NonDelegatingRelease() {
  const LONG count = --m_cRef;
  if (count == 0) {
    // Guard against a destructor that AddRefs and Releases itself (re-entering here).
    m_cRef = 1;
    delete this;
    return 0;
  }
  return static_cast<ULONG>(count);
}
