#include "DeviceServer.h"

#include "DeviceCommandLine.h"
#include "RecorderNetSdk.h"

namespace recsim {

using devicewire::Frame;
using devicewire::PayloadReader;
using devicewire::PayloadWriter;

namespace {

constexpr uint32_t kSecond = 10'000'000;  // 100 ns units

bool SendError(int fd, uint32_t code) {
  return devicewire::SendFrame(fd, devicewire::kError, PayloadWriter().U32(code).Bytes());
}

// A DeviceTime of the request as UTC seconds of the recorder's calendar.
std::optional<time_t> ReadTime(PayloadReader& reader) {
  uint32_t fields[6];
  for (uint32_t& field : fields) {
    const auto value = reader.U32();
    if (!value || *value > 9999) return std::nullopt;
    field = *value;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u", fields[0], fields[1], fields[2],
                fields[3], fields[4], fields[5]);
  return ParseCalendarTime(text);
}

}  // namespace

std::shared_ptr<const RecordingFile> RecordingCache::Get(const std::string& path) {
  std::lock_guard guard(lock_);
  auto& file = files_[path];
  if (!file) file = RecordingFile::Open(path);
  return file;
}

std::unique_ptr<DeviceServer> DeviceServer::Start(const DeviceOptions& options,
                                                  const std::string& root, bool fast,
                                                  std::string& error) {
  std::unique_ptr<DeviceServer> server(new DeviceServer(options, root, fast));
  server->service_ = TcpService::Start(
      options.recorderPort.value_or(0),
      [s = server.get()](int fd, const std::atomic<bool>& stop) { s->Serve(fd, stop); }, error);
  return server->service_ ? std::move(server) : nullptr;
}

DeviceServer::DeviceServer(const DeviceOptions& options, const std::string& root, bool fast)
    : options_(options), fast_(fast), catalog_(root) {}

DeviceServer::~DeviceServer() { service_.reset(); }

void DeviceServer::Serve(int fd, const std::atomic<bool>& stop) {
  Frame request;
  if (!devicewire::ReadFrame(fd, request)) return;
  if (request.type == devicewire::kLogin)
    ServeControl(fd, request);
  else
    ServeStream(fd, stop, request);
}

void DeviceServer::ServeControl(int fd, const Frame& login) {
  PayloadReader reader(login.payload);
  const auto user = reader.Text();
  const auto password = reader.Text();
  if (options_.faults.refuseLogin) {
    SendError(fd, RNS_ERR_BUSY);
    return;
  }
  const auto known = user ? options_.users.find(*user) : options_.users.end();
  if (!password || known == options_.users.end() || known->second != *password) {
    SendError(fd, RNS_ERR_PASSWORD);
    return;
  }
  uint32_t session = 0;
  {
    std::lock_guard guard(lock_);
    session = nextId_++;
    sessions_[session] = *user;
  }
  bool open = devicewire::SendFrame(fd, devicewire::kOk, PayloadWriter().U32(session).Bytes());
  Frame request;
  while (open && devicewire::ReadFrame(fd, request)) {
    if (request.type == devicewire::kLogout) {
      devicewire::SendFrame(fd, devicewire::kOk, {});
      break;
    }
    uint32_t out = 0, error = RNS_ERR_COMMAND;
    if (request.type == devicewire::kControl && Control(session, PayloadReader(request.payload),
                                                        out, error))
      open = devicewire::SendFrame(fd, devicewire::kOk, PayloadWriter().U32(out).Bytes());
    else
      open = SendError(fd, error);
  }
  std::lock_guard guard(lock_);
  sessions_.erase(session);
}

bool DeviceServer::Control(uint32_t session, PayloadReader request, uint32_t& out,
                           uint32_t& error) {
  const auto id = request.U32();
  const auto command = request.U32();
  const auto value = request.U32();
  error = RNS_ERR_PARAMETER;
  if (!id || !command || !value) return false;
  std::shared_ptr<DeviceStreamer> streamer;
  {
    std::lock_guard guard(lock_);
    const auto found = streams_.find(*id);
    error = RNS_ERR_INVALID_HANDLE;
    if (found == streams_.end() || found->second.session != session) return false;
    streamer = found->second.streamer;
  }
  out = 0;
  switch (*command) {
    case RNS_PLAY_START: streamer->Start(); return true;
    case RNS_PLAY_PAUSE: streamer->Pause(); return true;
    case RNS_PLAY_RESUME: streamer->Resume(); return true;
    case RNS_PLAY_SET_POS:
      error = RNS_ERR_PARAMETER;
      if (*value > 100) return false;
      streamer->SeekPercent(*value);
      return true;
    default:
      error = RNS_ERR_COMMAND;
      return false;
  }
}

void DeviceServer::ServeStream(int fd, const std::atomic<bool>& stop, const Frame& request) {
  PayloadReader reader(request.payload);
  const auto session = reader.U32();
  uint32_t error = RNS_ERR_NOT_LOGGED_IN;
  {
    std::lock_guard guard(lock_);
    if (!session || sessions_.count(*session) == 0) {
      SendError(fd, error);
      return;
    }
  }
  std::optional<Opened> opened;
  error = RNS_ERR_PARAMETER;
  if (request.type == devicewire::kLive) opened = OpenLive(reader, error);
  else if (request.type == devicewire::kByName) opened = OpenByName(reader, error);
  else if (request.type == devicewire::kByTime) opened = OpenByTime(reader, error);
  if (!opened) {
    SendError(fd, error);
    return;
  }
  uint32_t id = 0;
  {
    std::lock_guard guard(lock_);
    id = nextId_++;
    streams_[id] = {*session, opened->streamer};
  }
  if (devicewire::SendFrame(fd, devicewire::kOk,
                            PayloadWriter().U32(id).U32(opened->seconds).Bytes()))
    opened->streamer->Run(fd, stop);
  std::lock_guard guard(lock_);
  streams_.erase(id);
}

std::optional<DeviceServer::Opened> DeviceServer::OpenLive(PayloadReader& request,
                                                           uint32_t& error) {
  const auto channel = request.U32();
  const auto linkMode = request.U32();
  if (!channel || !linkMode || (*linkMode != RNS_LINK_MAIN && *linkMode != RNS_LINK_SUB))
    return std::nullopt;
  const auto& table = *linkMode == RNS_LINK_SUB ? options_.substreams : options_.channels;
  const auto found = table.find(*channel);
  error = RNS_ERR_CHANNEL;
  if (found == table.end()) return std::nullopt;
  auto file = recordings_.Get(found->second);
  error = RNS_ERR_NO_FILE;
  if (!file) return std::nullopt;
  StreamerSettings settings;
  settings.mode = StreamCursor::Mode::Loop;
  settings.pacePercent = fast_ ? 0 : RNS_PACE_REAL_TIME;
  settings.faults = options_.faults;
  return Opened{std::make_shared<DeviceStreamer>(std::move(file), settings), 0};
}

StreamerSettings DeviceServer::Playback(uint32_t pace) const {
  StreamerSettings settings;
  settings.mode = StreamCursor::Mode::Once;
  settings.pacePercent = fast_ ? 0 : pace;
  settings.waitForStart = true;
  settings.faults = options_.faults;
  return settings;
}

std::optional<DeviceServer::Opened> DeviceServer::OpenByName(PayloadReader& request,
                                                             uint32_t& error) {
  const auto pace = request.U32();
  const auto name = request.Text();
  if (!pace || !name) return std::nullopt;
  const auto channel = catalog_.Find("/" + *name);
  error = RNS_ERR_NO_FILE;
  if (!channel || channel->live || !channel->file) return std::nullopt;
  // Whole seconds, rounded up: a recording shorter than a second still has a length.
  const auto seconds =
      static_cast<uint32_t>((channel->file->Duration() + kSecond - 1) / kSecond);
  return Opened{std::make_shared<DeviceStreamer>(channel->file, Playback(*pace)), seconds};
}

std::optional<DeviceServer::Opened> DeviceServer::OpenByTime(PayloadReader& request,
                                                             uint32_t& error) {
  const auto channel = request.U32();
  const auto pace = request.U32();
  const auto start = ReadTime(request);
  const auto stop = ReadTime(request);
  if (!channel || !pace || !start || !stop || *stop <= *start) return std::nullopt;
  error = RNS_ERR_NO_FILE;
  for (const SpanRecording& span : options_.spans) {
    if (span.channel != *channel || *start < span.start || *stop > span.stop) continue;
    auto file = recordings_.Get(span.file);
    if (!file) return std::nullopt;
    StreamerSettings settings = Playback(*pace);
    settings.startTime = static_cast<int64_t>(*start - span.start) * kSecond;
    return Opened{std::make_shared<DeviceStreamer>(std::move(file), settings),
                  static_cast<uint32_t>(*stop - *start)};
  }
  return std::nullopt;
}

}  // namespace recsim
