// Catalog: what the simulator serves under its root folder, and the state every session
// shares: camera settings per live channel and the camera commands received.
//
// Paths: a path whose last segment is "av_stream" is a live channel; the segments before it
// name a recorder file, or a folder whose first file (by name) is the channel's source, or
// (none) the root folder. Any other path names a recorded file below the root.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "RecordingFile.h"

namespace recsim {

constexpr std::string_view kLiveSegment = "av_stream";

struct VideoParams {
  int brightness = 128;
  int contrast = 128;
  int saturation = 128;
  int hue = 128;
};

struct PtzCommand {
  std::string channel;
  unsigned long command = 0;
  std::array<unsigned long, 4> params{};
};

struct Channel {
  std::string path;  // the request path, the key for camera settings
  bool live = false;
  std::shared_ptr<const RecordingFile> file;
};

class Catalog {
 public:
  explicit Catalog(std::string root) : root_(std::move(root)) {}

  // The path part of an rtsp URL ("/a/b" of "rtsp://host:port/a/b"), or of a bare path.
  static std::optional<std::string> PathOf(const std::string& uri);

  // The channel a path names; nothing when it names no readable recorder file or tries to
  // leave the root folder.
  std::optional<Channel> Find(const std::string& path);

  VideoParams GetVideoParams(const std::string& channel);
  void SetVideoParams(const std::string& channel, const VideoParams& params);
  void RecordPtz(PtzCommand command);
  std::vector<PtzCommand> PtzCommands();

 private:
  std::optional<std::string> FileFor(const std::vector<std::string>& segments, bool live) const;

  const std::string root_;
  std::mutex lock_;  // guards the members below
  std::map<std::string, VideoParams> videoParams_;
  std::vector<PtzCommand> ptz_;
};

}  // namespace recsim
