// The platform debug output, for the two splitter texts that reach it whatever the trace hook
// does. Kept behind one function so that the splitter depends on the debug sink in one place.
#pragma once

namespace splitter {

// Writes `text` as it stands (no line end is added). Silent unless RECAST_DEBUG=1, then
// stderr, as the platform's debug sink behaves.
void DebugOutput(const char* text);

}  // namespace splitter
