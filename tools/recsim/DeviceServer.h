// DeviceServer: the simulated recorder's SDK side on --recorder-port. A control connection
// logs in and carries the playback commands; every live view and playback has a stream
// connection of its own, served by a DeviceStreamer. The protocol is the one described in
// RecorderNetSdk.h.
//
// Threads: one per connection (TcpService). Sessions and streams are shared between the
// connections and guarded by lock_.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "Catalog.h"
#include "DeviceOptions.h"
#include "DeviceStreamer.h"
#include "DeviceWire.h"
#include "TcpService.h"

namespace recsim {

// Recordings named on the command line, opened once and shared by every stream.
class RecordingCache {
 public:
  std::shared_ptr<const RecordingFile> Get(const std::string& path);

 private:
  std::mutex lock_;  // guards files_
  std::map<std::string, std::shared_ptr<const RecordingFile>> files_;
};

class DeviceServer {
 public:
  static std::unique_ptr<DeviceServer> Start(const DeviceOptions& options,
                                             const std::string& root, bool fast,
                                             std::string& error);
  ~DeviceServer();

  uint16_t Port() const { return service_->Port(); }

 private:
  DeviceServer(const DeviceOptions& options, const std::string& root, bool fast);
  void Serve(int fd, const std::atomic<bool>& stop);
  void ServeControl(int fd, const devicewire::Frame& login);
  void ServeStream(int fd, const std::atomic<bool>& stop, const devicewire::Frame& request);
  bool Control(uint32_t session, devicewire::PayloadReader request, uint32_t& out,
               uint32_t& error);

  struct Opened {
    std::shared_ptr<DeviceStreamer> streamer;
    uint32_t seconds = 0;
  };
  std::optional<Opened> OpenLive(devicewire::PayloadReader& request, uint32_t& error);
  std::optional<Opened> OpenByName(devicewire::PayloadReader& request, uint32_t& error);
  std::optional<Opened> OpenByTime(devicewire::PayloadReader& request, uint32_t& error);
  StreamerSettings Playback(uint32_t pace) const;

  const DeviceOptions options_;
  const bool fast_;
  Catalog catalog_;
  RecordingCache recordings_;

  std::mutex lock_;  // guards the members below
  uint32_t nextId_ = 1;
  std::map<uint32_t, std::string> sessions_;  // session -> user
  struct StreamEntry {
    uint32_t session;
    std::shared_ptr<DeviceStreamer> streamer;
  };
  std::map<uint32_t, StreamEntry> streams_;

  std::unique_ptr<TcpService> service_;  // last: its threads end before the rest goes
};

}  // namespace recsim
