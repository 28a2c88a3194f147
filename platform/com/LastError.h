// The calling thread's last Win32 error, set by the functions that report failure through
// a FALSE/0/null result.
#pragma once

#include "WinTypes.h"

namespace recast_detail {
inline thread_local DWORD last_error = 0;
}

inline DWORD GetLastError() { return recast_detail::last_error; }
inline void SetLastError(DWORD error) { recast_detail::last_error = error; }
