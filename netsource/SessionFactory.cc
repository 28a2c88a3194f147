#include "SessionFactory.h"

#include "LegacyClientSession.h"
#include "RecorderLiveSession.h"
#include "RecorderPlaybackSession.h"
#include "ServerStreamSession.h"
#include "recorder/Trace.h"

namespace netsource {

HRESULT CreateSession(const SourceRequest& request, const SessionContext& context,
                      std::unique_ptr<StreamSession>& session) {
  const auto port = static_cast<WORD>(request.port & 0xFFFF);
  switch (request.kind) {
    case SourceKind::RecorderLive: {
      auto live = std::make_unique<RecorderLiveSession>(context);
      if (!live->Open({request.host, port, request.channel, request.user, request.password,
                       request.subStream}))
        return E_FAIL;
      session = std::move(live);
      return S_OK;
    }
    case SourceKind::RecorderPlayback: {
      auto playback = std::make_unique<RecorderPlaybackSession>(context);
      if (!playback->Open({request.host, port, request.channel, request.user, request.password,
                           request.fileName})) {
        recorder::Trace("设备初始化失败");
        return E_FAIL;
      }
      session = std::move(playback);
      return S_OK;
    }
    case SourceKind::LegacyLive: {
      auto legacy = std::make_unique<LegacyClientSession>(context);
      const HRESULT hr = legacy->Start(request.host, request.channel);
      if (FAILED(hr)) return hr;
      session = std::move(legacy);
      return S_OK;
    }
    case SourceKind::ServerLive:
    case SourceKind::ServerRecorded: {
      auto server = std::make_unique<ServerStreamSession>(context);
      if (!server->Open(request.serverUrl)) return E_FAIL;
      session = std::move(server);
      return S_OK;
    }
  }
  return E_FAIL;
}

bool HeaderIsPlayable(const HeaderBytes& bytes) {
  const auto header = recorder::ParseFileHeader(bytes);
  if (!header) return false;
  return (header->magic == recorder::kMagic4HLQ || header->magic == recorder::kMagic4MLQ) &&
         (header->videoStandard == recorder::kStandardPal ||
          header->videoStandard == recorder::kStandardNtsc);
}

}  // namespace netsource
