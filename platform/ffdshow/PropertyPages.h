// The property pages of the two filters. The pages themselves come with the GUI; until then a
// filter lists none, and callers that want to show them report that they cannot.
#pragma once

#include "ControlInterfaces.h"

// An empty page list: S_OK with no elements.
HRESULT ListNoPropertyPages(CAUUID* pPages);
