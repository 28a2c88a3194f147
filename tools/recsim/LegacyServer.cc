#include "LegacyServer.h"

#include <cctype>

#include "QrlClient.h"
#include "RecorderNetSdk.h"

namespace recsim {

using devicewire::Frame;
using devicewire::PayloadReader;

namespace {

constexpr size_t kAccessCodeDigits = 3;

bool ValidCode(const std::string& code) {
  if (code.size() != kAccessCodeDigits) return false;
  for (const char c : code)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool ValidLevel(const std::string& level) {
  return level.size() == 1 && std::isalpha(static_cast<unsigned char>(level[0]));
}

}  // namespace

std::unique_ptr<LegacyServer> LegacyServer::Start(const DeviceOptions& options, bool fast,
                                                  std::string& error) {
  std::unique_ptr<LegacyServer> server(new LegacyServer(options, fast));
  server->service_ = TcpService::Start(
      options.legacyPort,
      [s = server.get()](int fd, const std::atomic<bool>& stop) { s->Serve(fd, stop); }, error);
  return server->service_ ? std::move(server) : nullptr;
}

std::shared_ptr<const RecordingFile> LegacyServer::Accept(const Frame& start, uint32_t& error) {
  PayloadReader reader(start.payload);
  const auto channel = reader.U8();
  const auto protocol = reader.U8();
  const auto kind = reader.U8();
  const auto code = reader.Text();
  const auto level = reader.Text();
  error = RNS_ERR_PARAMETER;
  if (start.type != devicewire::kLegacyStart || !level || *protocol != QLC_PROTOCOL_TCP ||
      *kind != QLC_STREAM_MAIN || !ValidCode(*code) || !ValidLevel(*level))
    return nullptr;
  error = RNS_ERR_BUSY;
  if (options_.faults.refuseLogin) return nullptr;
  const auto found = options_.channels.find(*channel);
  error = RNS_ERR_CHANNEL;
  if (found == options_.channels.end()) return nullptr;
  error = RNS_ERR_NO_FILE;
  return recordings_.Get(found->second);
}

void LegacyServer::Serve(int fd, const std::atomic<bool>& stop) {
  Frame request;
  if (!devicewire::ReadFrame(fd, request)) return;
  uint32_t error = 0;
  auto file = Accept(request, error);
  if (!file) {
    devicewire::SendFrame(fd, devicewire::kError, devicewire::PayloadWriter().U32(error).Bytes());
    return;
  }
  if (!devicewire::SendFrame(fd, devicewire::kOk, {}) || !devicewire::ReadFrame(fd, request) ||
      request.type != devicewire::kLegacyCapture)
    return;
  StreamerSettings settings;
  settings.pacePercent = fast_ ? 0 : RNS_PACE_REAL_TIME;
  settings.faults = options_.faults;
  DeviceStreamer(std::move(file), settings).Run(fd, stop);
}

}  // namespace recsim
