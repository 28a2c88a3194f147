// The COM runtime: apartment initialisation, in-process activation through the registry,
// class objects registered by the process itself, task memory and the GUID text forms.
//
// Activation: CoCreateInstance / CoGetClassObject first look at class objects the process
// registered with CoRegisterClassObject, then read the default value of
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 (the module path), load that module once
// with dlopen, and ask its exported DllGetClassObject. Modules stay loaded until
// CoFreeUnusedLibraries finds their DllCanUnloadNow answering S_OK.
//
// Initialisation follows the multithreaded apartment: once any thread has called
// CoInitialize(Ex) and not yet CoUninitialize, every thread of the process may activate
// classes; with no thread initialised activation fails with CO_E_NOTINITIALIZED.
#pragma once

#include <cstddef>

#include "Guid.h"
#include "HResult.h"
#include "Unknown.h"
#include "WinTypes.h"

// Exported entry points of a module (DllGetClassObject and the like): C linkage, visible
// even though modules are built with hidden symbols.
#define STDAPI extern "C" __attribute__((visibility("default"))) HRESULT

using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPCLSID = CLSID*;
using LPIID = IID*;
using LPUNKNOWN = IUnknown*;

// The signatures of a module's exports, as resolved by the runtime.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID clsid, REFIID riid, LPVOID* ppv);
using LPFNCANUNLOADNOW = HRESULT (*)();

// CoInitializeEx flags. Every thread is treated as part of one multithreaded apartment.
constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

// Class contexts. Only in-process servers exist here.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// CoRegisterClassObject flags.
constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;
constexpr DWORD REGCLS_MULTI_SEPARATE = 2;

// S_OK for the first call on a thread, S_FALSE for nested calls; each success needs one
// CoUninitialize. `reserved` must be null.
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coinit);
// Ends one CoInitialize(Ex) of this thread. When the last thread of the process leaves,
// modules that allow it are unloaded.
void CoUninitialize();

// Creates an object of `clsid` and asks it for `riid`. `outer` (aggregation) is passed to
// the class factory unchanged. REGDB_E_CLASSNOTREG when the class is not registered,
// CO_E_DLLNOTFOUND when its module cannot be loaded, CO_E_ERRORINDLL when the module has no
// DllGetClassObject.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsctx, REFIID riid, LPVOID* ppv);
// The class object (normally IClassFactory) of `clsid`. `server_info` must be null.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, LPVOID server_info, REFIID riid,
                         LPVOID* ppv);
// Makes `factory` the class object of `clsid` for this process (it takes a reference) until
// CoRevokeClassObject(*cookie). Lets a library offer built-in classes without a module.
HRESULT CoRegisterClassObject(REFCLSID clsid, LPUNKNOWN factory, DWORD clsctx, DWORD flags,
                              LPDWORD cookie);
HRESULT CoRevokeClassObject(DWORD cookie);
// Unloads every loaded module whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

// Task memory: the allocator for memory handed across interfaces (media type format
// blocks, strings returned by StringFromCLSID). CoTaskMemFree(nullptr) does nothing.
LPVOID CoTaskMemAlloc(size_t size);
LPVOID CoTaskMemRealloc(LPVOID block, size_t size);
void CoTaskMemFree(LPVOID block);

// Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and its NUL into `text`; returns the
// characters written including the NUL (39), or 0 when `max_chars` is too small.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int max_chars);
// The braced form in a new CoTaskMemAlloc block, which the caller frees.
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
HRESULT StringFromIID(REFIID iid, LPOLESTR* text);
// Parse the braced form (any case). Malformed text gives CO_E_CLASSSTRING (CLSIDFromString)
// or E_INVALIDARG (IIDFromString); null text gives GUID_NULL, as on Windows.
HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
HRESULT IIDFromString(LPCOLESTR text, LPIID iid);
