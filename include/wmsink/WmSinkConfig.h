// The ASF writer's output parameters and its configuration interface, shared by the writer
// filter and the conversion application.
#pragma once

#include <cstdint>

#include "Unknown.h"

// Six 32-bit values, 24 bytes, in this order.
struct WmSinkConfig {
  int32_t width;        // picture width in pixels
  int32_t height;       // picture height in pixels
  int32_t frameRate;    // frames per second; must not be 0
  int32_t bitRate;      // CBR: video bit rate in bit/s; VBR: quality 0..100
  BOOL audioEnabled;    // non-zero: the file gets an audio stream
  BOOL constantBitRate; // non-zero: constant bit rate; 0: variable at the quality in bitRate
};
static_assert(sizeof(WmSinkConfig) == 24);

DEFINE_GUID(CLSID_WmSink, 0x3FF35F58, 0x7FAB, 0x4D7D, 0xA2, 0x65, 0xF4, 0xC8, 0x03, 0x03, 0xE8,
            0xF8);
DEFINE_GUID(IID_IWmSinkConfig, 0x878BA6FC, 0xF753, 0x469B, 0x83, 0x69, 0x53, 0x1A, 0x69, 0x81,
            0x24, 0x23);

struct IWmSinkConfig : IUnknown {
  static constexpr const GUID& kIid = IID_IWmSinkConfig;
  // Stores the parameters and rebuilds the writer; S_OK whether or not the rebuild worked.
  virtual HRESULT SetConfig(WmSinkConfig* config) = 0;
  // The number of video samples handed to the writer so far; `expected` is not used.
  virtual HRESULT GetWrittenFrames(DWORD expected, DWORD* written) = 0;

 protected:
  ~IWmSinkConfig() = default;
};
