#include "QrlClient.h"

// First cut: every call fails until the device link lands.
QLC_API BOOL QLC_ClientSetNetPort(WORD, WORD) { return TRUE; }
QLC_API BOOL QLC_ClientStartup(DWORD, DWORD) { return TRUE; }
QLC_API BOOL QLC_ClientCleanup() { return TRUE; }
QLC_API BOOL QLC_ClientSetTTL(LONG) { return TRUE; }
QLC_API LONG QLC_ClientStart_Other(QLC_STARTBLOCK*, QLC_DataCallBack) { return -1; }
QLC_API BOOL QLC_ClientStartCapture(LONG) { return FALSE; }
QLC_API BOOL QLC_ClientStopCapture(LONG) { return FALSE; }
QLC_API BOOL QLC_ClientStop(LONG) { return FALSE; }
