// The QLC_ entry points over the process-wide table of 16 streams. Table changes happen under
// one lock; connecting and waiting for a running callback happen after it is released, on
// streams the caller holds a reference to, so a callback may call back into the library.
#include "QrlClient.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FrameReceiver.h"
#include "LegacyPorts.h"

namespace {

using devicewire::Frame;
using devicewire::FrameReceiver;

constexpr LONG kMinTtl = 1;
constexpr LONG kMaxTtl = 255;
constexpr std::chrono::milliseconds kTenth{100};

struct Stream {
  QLC_DataCallBack callBack;
  std::unique_ptr<FrameReceiver> receiver;
  bool capturing = false;  // guarded by Tables::lock
};

struct Tables {
  std::mutex lock;
  int startupCount = 0;                                 // guarded by lock
  qrlclient::PortPair ports{5050, 6050};                // guarded by lock
  std::chrono::milliseconds connectTimeout{10000};      // guarded by lock
  LONG ttl = 64;                                        // guarded by lock
  std::array<std::shared_ptr<Stream>, QLC_MAX_STREAMS> streams;  // guarded by lock
};

Tables& Shared() {
  static Tables tables;
  return tables;
}

bool ValidIndex(LONG index) { return index >= 0 && index < QLC_MAX_STREAMS; }

// The stream at `index` while the library is started; nullptr otherwise.
std::shared_ptr<Stream> Find(LONG index) {
  Tables& tables = Shared();
  std::lock_guard guard(tables.lock);
  if (tables.startupCount == 0 || !ValidIndex(index)) return nullptr;
  return tables.streams[static_cast<size_t>(index)];
}

bool ValidBlock(const QLC_STARTBLOCK* block) {
  return block != nullptr && block->host != nullptr && block->accessCode != nullptr &&
         block->accessLevel != nullptr && block->protocol == QLC_PROTOCOL_TCP &&
         block->streamKind == QLC_STREAM_MAIN;
}

// Connects to the first port that takes the connection and asks for the stream.
int OpenConnection(const QLC_STARTBLOCK& block, qrlclient::PortPair ports,
                   std::chrono::milliseconds timeout) {
  for (const uint16_t port : {ports.first, ports.second}) {
    const int fd = devicewire::ConnectTcp(block.host, port, timeout);
    if (fd < 0) continue;
    devicewire::SetReceiveTimeout(fd, timeout);
    devicewire::PayloadWriter request;
    request.U8(block.channel).U8(block.protocol).U8(block.streamKind)
        .Text(block.accessCode).Text(block.accessLevel);
    Frame answer;
    if (devicewire::SendFrame(fd, devicewire::kLegacyStart, request.Bytes()) &&
        devicewire::ReadFrame(fd, answer) && answer.type == devicewire::kOk) {
      devicewire::SetReceiveTimeout(fd, std::chrono::milliseconds(0));
      return fd;
    }
    ::close(fd);
    return -1;  // the recorder answered: its refusal stands
  }
  return -1;
}

// Hands the header to the host as one block of exactly 40 bytes and the rest as it comes.
FrameReceiver::Target Deliver(LONG index, QLC_DataCallBack callBack) {
  return [index, callBack](const Frame& frame) {
    auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(frame.payload.data()));
    DWORD size = static_cast<DWORD>(frame.payload.size());
    if (frame.type == devicewire::kHeader) {
      if (size < devicewire::kFileHeaderSize) return false;
      callBack(index, bytes, devicewire::kFileHeaderSize);
      bytes += devicewire::kFileHeaderSize;
      size -= devicewire::kFileHeaderSize;
    } else if (frame.type != devicewire::kStream) {
      return true;
    }
    if (size > 0) callBack(index, bytes, size);
    return true;
  };
}

}  // namespace

QLC_API BOOL QLC_ClientSetNetPort(WORD firstPort, WORD secondPort) {
  Tables& tables = Shared();
  std::lock_guard guard(tables.lock);
  tables.ports = {firstPort, secondPort};
  return TRUE;
}

QLC_API BOOL QLC_ClientStartup(DWORD version, DWORD connectTimeout) {
  if (version != QLC_VERSION || connectTimeout == 0) return FALSE;
  Tables& tables = Shared();
  std::lock_guard guard(tables.lock);
  ++tables.startupCount;
  tables.connectTimeout = kTenth * connectTimeout;
  return TRUE;
}

QLC_API BOOL QLC_ClientCleanup() {
  Tables& tables = Shared();
  std::vector<std::shared_ptr<Stream>> ended;
  {
    std::lock_guard guard(tables.lock);
    if (tables.startupCount == 0) return FALSE;
    if (--tables.startupCount > 0) return TRUE;
    for (auto& stream : tables.streams)
      if (stream) ended.push_back(std::move(stream));
  }
  for (auto& stream : ended) stream->receiver->Stop();
  return TRUE;
}

QLC_API BOOL QLC_ClientSetTTL(LONG ttl) {
  if (ttl < kMinTtl || ttl > kMaxTtl) return FALSE;
  Tables& tables = Shared();
  std::lock_guard guard(tables.lock);
  if (tables.startupCount == 0) return FALSE;
  tables.ttl = ttl;
  return TRUE;
}

QLC_API LONG QLC_ClientStart_Other(QLC_STARTBLOCK* block, QLC_DataCallBack callBack) {
  if (!ValidBlock(block) || callBack == nullptr) return -1;
  Tables& tables = Shared();
  qrlclient::PortPair ports;
  std::chrono::milliseconds timeout;
  {
    std::lock_guard guard(tables.lock);
    if (tables.startupCount == 0) return -1;
    ports = qrlclient::PortsFromEnvironment(tables.ports);
    timeout = tables.connectTimeout;
  }
  const int fd = OpenConnection(*block, ports, timeout);
  if (fd < 0) return -1;
  auto stream = std::make_shared<Stream>();
  stream->callBack = callBack;
  stream->receiver = std::make_unique<FrameReceiver>(fd);
  std::unique_lock guard(tables.lock);
  for (size_t i = 0; tables.startupCount > 0 && i < tables.streams.size(); ++i) {
    if (tables.streams[i]) continue;
    tables.streams[i] = std::move(stream);
    return static_cast<LONG>(i);
  }
  guard.unlock();
  stream->receiver->Stop();  // all 16 in use, or cleaned up meanwhile
  return -1;
}

QLC_API BOOL QLC_ClientStartCapture(LONG streamIndex) {
  const auto stream = Find(streamIndex);
  if (!stream) return FALSE;
  {
    Tables& tables = Shared();
    std::lock_guard guard(tables.lock);
    if (stream->capturing || stream->receiver->Ended()) return FALSE;
    stream->capturing = true;
  }
  // The recorder starts sending once it is asked to; the target is in place before that.
  stream->receiver->SetTarget(Deliver(streamIndex, stream->callBack));
  return stream->receiver->Send(devicewire::kLegacyCapture, {});
}

QLC_API BOOL QLC_ClientStopCapture(LONG streamIndex) {
  const auto stream = Find(streamIndex);
  if (!stream) return FALSE;
  stream->receiver->Stop();
  return TRUE;
}

QLC_API BOOL QLC_ClientStop(LONG streamIndex) {
  std::shared_ptr<Stream> stream;
  {
    Tables& tables = Shared();
    std::lock_guard guard(tables.lock);
    if (tables.startupCount == 0 || !ValidIndex(streamIndex)) return FALSE;
    stream = std::move(tables.streams[static_cast<size_t>(streamIndex)]);
  }
  if (!stream) return FALSE;
  stream->receiver->Stop();
  return TRUE;
}
