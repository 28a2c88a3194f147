// Frame sinks: where pictures for a window handle go. Window handles are plain integers; a
// GUI registers a sink under the handle of a preview widget, and renderers paint into
// whatever sink owns the handle they were given. A handle nobody registered paints nothing,
// so renderers run headless all the same.
//
// The registry is process-wide (one shared library), so the GUI and every renderer module
// see the same table.
#pragma once

#include <cstdint>

#include "WinTypes.h"

// One picture, planar YUV 4:2:0: plane 0 is Y (width x height), planes 1 and 2 are U and V
// ((width+1)/2 x (height+1)/2). Valid only during the sink call.
struct FramePicture {
  int width = 0;
  int height = 0;
  const uint8_t* planes[3] = {nullptr, nullptr, nullptr};
  int strides[3] = {0, 0, 0};
  int64_t timeMs = 0;  // stream time of the picture
};

using FrameSinkProc = void (*)(void* context, HWND window, const FramePicture& picture);

#define FRAMESINK_API __attribute__((visibility("default")))

// Registers `proc` for `window`. Fails for handle 0, a null proc or a handle already taken.
FRAMESINK_API bool RegisterFrameSink(HWND window, FrameSinkProc proc, void* context);

// Removes the sink; once this returns no call to it is running or will start.
FRAMESINK_API void UnregisterFrameSink(HWND window);

// Hands the picture to the sink of `window`; false when none is registered.
FRAMESINK_API bool PaintFrameSink(HWND window, const FramePicture& picture);
