// The duration text of the information pages and the Source File Info dialog: hours, minutes
// and seconds, two digits each, joined by "::" (3725 s reads "01::02::05").
#pragma once

#include <string>

#include "WinTypes.h"

namespace recast {

// `duration` in 100 ns units; negative durations read as 0. Hours above 99 keep all digits.
std::string FormatDuration(REFERENCE_TIME duration);

}  // namespace recast
