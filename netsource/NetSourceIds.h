// The network source's class and its custom interface, for hosts that create the filter
// directly or limit its buffers.
#pragma once

#include "Guid.h"
#include "Unknown.h"

// {013D71DF-AB43-41A6-976C-3B82E38D8CD0}
DEFINE_GUID(CLSID_QrlNetSource, 0x013D71DF, 0xAB43, 0x41A6, 0x97, 0x6C, 0x3B, 0x82, 0xE3, 0x8D,
            0x8C, 0xD0);
// {AA1E0DB6-B8FE-4224-9ED4-75B7D9504548}
DEFINE_GUID(IID_IStreamBufferLimit, 0xAA1E0DB6, 0xB8FE, 0x4224, 0x9E, 0xD4, 0x75, 0xB7, 0xD9,
            0x50, 0x45, 0x48);

// How many samples the output pin's allocator holds and how many 2048-byte nodes stay in
// circulation in the session's queue (lowering it shrinks the pool as samples are consumed).
struct IStreamBufferLimit : IUnknown {
  static constexpr const GUID& kIid = IID_IStreamBufferLimit;
  // 1 to 10,000; E_INVALIDARG otherwise.
  virtual HRESULT SetBufferLimit(LONG limit) = 0;
  // No effect.
  virtual HRESULT Reserved(LONG value) = 0;

 protected:
  ~IStreamBufferLimit() = default;
};

// The friendly name of the class and the filter.
inline constexpr char16_t kQrlNetSourceName[] = u"Quorel Net Source";
