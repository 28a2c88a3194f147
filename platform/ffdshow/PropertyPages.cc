#include "PropertyPages.h"

HRESULT ListNoPropertyPages(CAUUID* pPages) {
  if (!pPages) return E_POINTER;
  pPages->cElems = 0;
  pPages->pElems = nullptr;
  return S_OK;
}
