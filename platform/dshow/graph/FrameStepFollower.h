// IFrameStepFollower: how a renderer that does not step takes part in a frame step. The graph
// steps its video renderer (IVideoFrameStep) and asks every follower to follow: a follower then
// takes what reaches it at once and presents none of it, so a source that feeds it from the
// same streaming thread as the video (a demultiplexer) gets on to the next frame instead of
// waiting on a paused renderer. The graph's run, stop or a flush ends following, as it ends
// stepping. The platform's audio renderer implements it.
#pragma once

#include "Interfaces.h"

DEFINE_GUID(IID_IFrameStepFollower, 0x82D07B28, 0xBB26, 0x4409, 0xBB, 0xCF, 0xB7, 0x14, 0xA1, 0x52,
            0xD5, 0xA8);

struct IFrameStepFollower : IUnknown {
  static constexpr const GUID& kIid = IID_IFrameStepFollower;
  // Starts following: a sample held while paused is let go, later ones are dropped until the
  // renderer runs, stops or is flushed. VFW_E_WRONG_STATE unless paused.
  virtual HRESULT FollowFrameStep() = 0;

 protected:
  ~IFrameStepFollower() = default;
};
