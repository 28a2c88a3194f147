// What the writer takes from a profile stream when the profile is set: a snapshot read
// through the stream's interfaces, so later changes to the profile do not reach a writer
// that is already configured.
#pragma once

#include <string>

#include "OwnedMediaType.h"
#include "PropertyStore.h"
#include "Wmsdk.h"

struct StreamPlan {
  GUID type{};  // WMMEDIATYPE_Video or WMMEDIATYPE_Audio
  WORD number = 0;
  std::u16string name;
  std::u16string connection;
  DWORD bitrate = 0;
  DWORD buffer_window = 0;  // milliseconds
  OwnedMediaType media_type;
  LONGLONG key_frame_spacing = 0;  // 100 ns units, video only
  DWORD quality = 0;               // 0..100, video only
  PropertyStore properties;

  bool IsVideo() const { return type == WMMEDIATYPE_Video; }
};

// Reads one stream of a profile.
HRESULT ReadStreamPlan(IWMStreamConfig* config, StreamPlan* plan);
