// SdkStream: one live view or playback, its own connection to the recorder and the
// receiver thread that calls the host's data callback.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "FrameReceiver.h"
#include "RecorderNetSdk.h"
#include "SdkLogin.h"

namespace netsdk {

enum class StreamKind { Live, Playback };

class SdkStream {
 public:
  // Opens the stream connection with one request (LIVE, BY_NAME or BY_TIME); nullptr with
  // an RNS_ERR_ code when the recorder refuses it or cannot be reached.
  static std::unique_ptr<SdkStream> Open(const SdkLogin& login, StreamKind kind,
                                         uint32_t type, const std::string& request,
                                         DWORD& error);

  StreamKind Kind() const { return kind_; }
  uint32_t RemoteId() const { return remoteId_; }
  uint32_t Seconds() const { return seconds_; }  // the length of a playback

  // Sets the callback (none holds the stream back); `handle` is what the callback is told.
  void SetCallBack(LONG handle, RNS_DataCallBack callBack, void* user);
  void Stop() { receiver_.Stop(); }

 private:
  SdkStream(StreamKind kind, int fd, uint32_t remoteId, uint32_t seconds)
      : kind_(kind), remoteId_(remoteId), seconds_(seconds), receiver_(fd) {}

  const StreamKind kind_;
  const uint32_t remoteId_;
  const uint32_t seconds_;
  devicewire::FrameReceiver receiver_;
};

}  // namespace netsdk
