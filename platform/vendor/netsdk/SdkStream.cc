#include "SdkStream.h"

#include <unistd.h>

namespace netsdk {

using devicewire::Frame;

std::unique_ptr<SdkStream> SdkStream::Open(const SdkLogin& login, StreamKind kind,
                                           uint32_t type, const std::string& request,
                                           DWORD& error) {
  const int fd = devicewire::ConnectTcp(login.Host().c_str(), login.Port(), kAnswerTimeout);
  if (fd < 0) {
    error = RNS_ERR_CONNECT;
    return nullptr;
  }
  devicewire::SetReceiveTimeout(fd, kAnswerTimeout);
  Frame answer;
  devicewire::PayloadReader reader(answer.payload);
  std::optional<uint32_t> remoteId;
  if (Request(fd, type, request, answer, error)) {
    reader = devicewire::PayloadReader(answer.payload);
    if (!(remoteId = reader.U32())) error = RNS_ERR_NETWORK;
  }
  if (!remoteId) {
    ::close(fd);
    return nullptr;
  }
  const uint32_t seconds = reader.U32().value_or(0);
  // A live view may pause for as long as the recorder has nothing to send.
  devicewire::SetReceiveTimeout(fd, std::chrono::milliseconds(0));
  return std::unique_ptr<SdkStream>(new SdkStream(kind, fd, *remoteId, seconds));
}

void SdkStream::SetCallBack(LONG handle, RNS_DataCallBack callBack, void* user) {
  if (callBack == nullptr) {
    receiver_.SetTarget(nullptr);
    return;
  }
  receiver_.SetTarget([handle, callBack, user](const Frame& frame) {
    auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(frame.payload.data()));
    const auto size = static_cast<DWORD>(frame.payload.size());
    if (frame.type == devicewire::kHeader) {
      // A host copies 40 bytes out of a header block; a shorter one is a broken recorder.
      if (size < devicewire::kFileHeaderSize) return false;
      callBack(handle, RNS_DATA_HEADER, bytes, size, user);
    } else if (frame.type == devicewire::kStream) {
      callBack(handle, RNS_DATA_STREAM, bytes, size, user);
    }
    return true;
  });
}

}  // namespace netsdk
