// IRenderStatistics: what a renderer or sink has received since it last stopped. Players and
// tools report playback with it (graphplay); the platform's renderers implement it.
#pragma once

#include "Interfaces.h"

DEFINE_GUID(IID_IRenderStatistics, 0x01A001C8, 0x61DB, 0x4D63, 0x87, 0xA2, 0x9F, 0x3E, 0x82, 0x2C,
            0x1A, 0x8F);

struct IRenderStatistics : IUnknown {
  static constexpr const GUID& kIid = IID_IRenderStatistics;
  // The samples received, and the start times of the first and the last of them that carried
  // times (both 0 when none did). S_FALSE when no sample has arrived.
  virtual HRESULT GetRenderStatistics(LONG* samples, REFERENCE_TIME* firstStart,
                                      REFERENCE_TIME* lastStart) = 0;

 protected:
  ~IRenderStatistics() = default;
};
