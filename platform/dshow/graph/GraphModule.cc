// The RecastGraph module: the graph layer's classes for processes that create them through
// CoCreateInstance (after `regsvr libRecastGraph.so`).
#include "ComRuntime.h"
#include "GraphClasses.h"
#include "Registration.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return AMGetClassObject(GraphClassTemplates(), clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }

STDAPI DllRegisterServer() { return AMRegisterServer(GraphClassTemplates()); }

STDAPI DllUnregisterServer() { return AMUnregisterServer(GraphClassTemplates()); }
