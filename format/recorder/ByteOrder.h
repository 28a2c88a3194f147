// The byte helpers under the names the recorder format and its readers use. They live at
// the bottom of the tree (base/LittleEndian.h) because the platform parses bytes with them too.
#pragma once

#include "LittleEndian.h"

namespace recorder {

using base::ByteSpan;
using base::FitsIn;
using base::rl16;
using base::rl32;
using base::rl64;
using base::wl16;
using base::wl32;
using base::wl64;

}  // namespace recorder
