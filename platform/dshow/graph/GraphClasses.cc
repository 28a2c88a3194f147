#include "GraphClasses.h"

#include "ComPtr.h"
#include "DeviceEnumerator.h"
#include "FilterGraph.h"
#include "FilterMapper.h"
#include "SystemClock.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {u"Filter Graph", &CLSID_FilterGraph, FilterGraph::CreateInstance},
    {u"Filter Mapper2", &CLSID_FilterMapper2, FilterMapper::CreateInstance},
    {u"Filter Mapper", &CLSID_FilterMapper, FilterMapper::CreateInstance},
    {u"System Device Enum", &CLSID_SystemDeviceEnum, DeviceEnumerator::CreateInstance},
    {u"System Reference Clock", &CLSID_SystemClock, SystemClock::CreateInstance},
};

}  // namespace

std::span<const CFactoryTemplate> GraphClassTemplates() { return kTemplates; }

InProcessGraphClasses::InProcessGraphClasses() {
  for (const CFactoryTemplate& t : kTemplates) {
    ComPtr<IClassFactory> factory(new (std::nothrow) CClassFactory(&t));
    DWORD cookie = 0;
    const HRESULT hr = factory ? CoRegisterClassObject(*t.m_ClsID, factory.Get(),
                                                       CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                                       &cookie)
                               : E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) m_cookies.push_back(cookie);
    else if (SUCCEEDED(m_status)) m_status = hr;
  }
}

InProcessGraphClasses::~InProcessGraphClasses() {
  for (DWORD cookie : m_cookies) CoRevokeClassObject(cookie);
}
