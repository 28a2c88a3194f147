#include "MediaChannel.h"

#include "DebugTrace.h"

namespace streamclient {

bool MediaChannel::Open(const TransportParams& params) {
  socket_ = MediaSocket::Open(params);
  if (!socket_) DebugTrace("zxq--------RTP Open failed!\n");
  return socket_ != nullptr;
}

}  // namespace streamclient
