// The five URL schemes in the registry: HKEY_CLASSES_ROOT\<scheme> "Source Filter" names the
// filter's class (so a graph's RenderFile of such a URL loads the filter), and the media
// player's scheme key "Runtime" = 1 under HKEY_CURRENT_USER. Failures of single keys are
// skipped; neither function reports one.
#pragma once

#include "Guid.h"

namespace netsource {

void RegisterSchemes(REFCLSID source);
void UnregisterSchemes();

}  // namespace netsource
