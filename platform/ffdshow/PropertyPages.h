// The property pages of the two filters: each lists the one settings page of its own; the host
// that shows pages draws it over the filter's registry settings.
#pragma once

#include "ControlInterfaces.h"

// A list of one page, allocated with CoTaskMemAlloc for the caller to free.
HRESULT ListOnePropertyPage(CAUUID* pPages, const CLSID& page);
