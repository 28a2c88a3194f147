#include "PropertyPages.h"

#include "ComRuntime.h"

HRESULT ListOnePropertyPage(CAUUID* pPages, const CLSID& page) {
  if (!pPages) return E_POINTER;
  pPages->cElems = 0;
  pPages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!pPages->pElems) return E_OUTOFMEMORY;
  pPages->pElems[0] = page;
  pPages->cElems = 1;
  return S_OK;
}
