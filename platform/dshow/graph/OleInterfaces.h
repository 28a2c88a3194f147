// The object-linking interfaces the graph layer hands out: monikers and their enumerators,
// property bags with the VARIANT/BSTR values they carry, and the running object table.
// Methods keep the order of their platform declarations (the vtable is the contract); the
// argument types that nothing here uses (streams, binding contexts, error logs) stay opaque.
//
// Functions: GetRunningObjectTable, CreateItemMoniker, and the BSTR/VARIANT helpers.
#pragma once

#include "ComRuntime.h"
#include "Interfaces.h"

struct IBindCtx;
struct IErrorLog;
struct IStream;
struct IEnumMoniker;
struct IMoniker;

DEFINE_GUID(IID_IPersistStream, 0x00000109, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x46);
DEFINE_GUID(IID_IMoniker, 0x0000000F, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IEnumMoniker, 0x00000102, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x46);
DEFINE_GUID(IID_IRunningObjectTable, 0x00000010, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x00, 0x46);
DEFINE_GUID(IID_IPropertyBag, 0x55272A00, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B,
            0xB8, 0x51);

// Automation strings: UTF-16 with a length prefix, allocated by SysAllocString and freed by
// SysFreeString (null is the empty string).
using BSTR = WCHAR*;
BSTR SysAllocString(LPCOLESTR text);
BSTR SysAllocStringLen(LPCOLESTR text, UINT chars);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

// VARIANT types property bags use here.
using VARTYPE = uint16_t;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_UI4 = 19;

// A tagged value. Only the members of the types above are used.
struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  union {
    LONG lVal;
    ULONG ulVal;
    BSTR bstrVal;
  };
};
void VariantInit(VARIANT* value);
// Frees what the value owns (a BSTR) and makes it VT_EMPTY.
HRESULT VariantClear(VARIANT* value);

constexpr HRESULT MK_E_UNAVAILABLE = MakeHResult(0x800401E3);
constexpr HRESULT MK_E_NOOBJECT = MakeHResult(0x800401E5);
// The running object table already holds an object under an equal moniker.
constexpr HRESULT MK_S_MONIKERALREADYREGISTERED = MakeHResult(0x000401E7);

// Running object table registration flags.
constexpr DWORD ROTFLAGS_REGISTRATIONKEEPSALIVE = 0x1;
constexpr DWORD ROTFLAGS_ALLOWANYCLIENT = 0x2;

struct IPersistStream : IPersist {
  static constexpr const GUID& kIid = IID_IPersistStream;
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* pStm) = 0;
  virtual HRESULT Save(IStream* pStm, BOOL fClearDirty) = 0;
  virtual HRESULT GetSizeMax(ULONGLONG* pcbSize) = 0;

 protected:
  ~IPersistStream() = default;
};

struct IMoniker : IPersistStream {
  static constexpr const GUID& kIid = IID_IMoniker;
  virtual HRESULT BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riidResult,
                               void** ppvResult) = 0;
  virtual HRESULT BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid,
                                void** ppvObj) = 0;
  virtual HRESULT Reduce(IBindCtx* pbc, DWORD dwReduceHowFar, IMoniker** ppmkToLeft,
                         IMoniker** ppmkReduced) = 0;
  virtual HRESULT ComposeWith(IMoniker* pmkRight, BOOL fOnlyIfNotGeneric,
                              IMoniker** ppmkComposite) = 0;
  virtual HRESULT Enum(BOOL fForward, IEnumMoniker** ppenumMoniker) = 0;
  virtual HRESULT IsEqual(IMoniker* pmkOtherMoniker) = 0;
  virtual HRESULT Hash(DWORD* pdwHash) = 0;
  virtual HRESULT IsRunning(IBindCtx* pbc, IMoniker* pmkToLeft, IMoniker* pmkNewlyRunning) = 0;
  virtual HRESULT GetTimeOfLastChange(IBindCtx* pbc, IMoniker* pmkToLeft, FILETIME* pFileTime) = 0;
  virtual HRESULT Inverse(IMoniker** ppmk) = 0;
  virtual HRESULT CommonPrefixWith(IMoniker* pmkOther, IMoniker** ppmkPrefix) = 0;
  virtual HRESULT RelativePathTo(IMoniker* pmkOther, IMoniker** ppmkRelPath) = 0;
  // The caller frees the text with CoTaskMemFree.
  virtual HRESULT GetDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft,
                                 LPOLESTR* ppszDisplayName) = 0;
  virtual HRESULT ParseDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR pszDisplayName,
                                   ULONG* pchEaten, IMoniker** ppmkOut) = 0;
  virtual HRESULT IsSystemMoniker(DWORD* pdwMksys) = 0;

 protected:
  ~IMoniker() = default;
};

struct IEnumMoniker : IUnknown {
  static constexpr const GUID& kIid = IID_IEnumMoniker;
  virtual HRESULT Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMoniker** ppenum) = 0;

 protected:
  ~IEnumMoniker() = default;
};

struct IPropertyBag : IUnknown {
  static constexpr const GUID& kIid = IID_IPropertyBag;
  // `pVar->vt` asks for a type (VT_EMPTY: the stored one); the caller clears the value.
  virtual HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) = 0;
  virtual HRESULT Write(LPCOLESTR pszPropName, VARIANT* pVar) = 0;

 protected:
  ~IPropertyBag() = default;
};

struct IRunningObjectTable : IUnknown {
  static constexpr const GUID& kIid = IID_IRunningObjectTable;
  virtual HRESULT Register(DWORD grfFlags, IUnknown* punkObject, IMoniker* pmkObjectName,
                           DWORD* pdwRegister) = 0;
  virtual HRESULT Revoke(DWORD dwRegister) = 0;
  virtual HRESULT IsRunning(IMoniker* pmkObjectName) = 0;
  virtual HRESULT GetObject(IMoniker* pmkObjectName, IUnknown** ppunkObject) = 0;
  virtual HRESULT NoteChangeTime(DWORD dwRegister, FILETIME* pfiletime) = 0;
  virtual HRESULT GetTimeOfLastChange(IMoniker* pmkObjectName, FILETIME* pfiletime) = 0;
  virtual HRESULT EnumRunning(IEnumMoniker** ppenumMoniker) = 0;

 protected:
  ~IRunningObjectTable() = default;
};

// The process's running object table. `reserved` must be 0.
HRESULT GetRunningObjectTable(DWORD reserved, IRunningObjectTable** pprot);
// A moniker whose display name is `delimiter` followed by `item` ("!FilterGraph ...").
HRESULT CreateItemMoniker(LPCOLESTR delimiter, LPCOLESTR item, IMoniker** ppmk);
