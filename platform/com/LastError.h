// The calling thread's last Win32 error, set by the functions that report failure through
// a FALSE/0/null result. Kept in the runtime library, so a module reads what the runtime set.
#pragma once

#include "HResult.h"
#include "WinTypes.h"

DWORD GetLastError();
void SetLastError(DWORD error);
