// The library's diagnostics ("zxq--------..." texts). They go to the platform debug output and
// change no behaviour; every text of the library passes through DebugTrace so the route is
// chosen in one place.
#pragma once

namespace streamclient {

void DebugTrace(const char* text);
__attribute__((format(printf, 1, 2))) void DebugTraceF(const char* format, ...);

}  // namespace streamclient
