// What the simulated recorder serves besides the RTSP server: the recorder SDK protocol on
// --recorder-port and, with --legacy, the legacy client protocol, for the users, channels
// and recordings given on the command line.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace recsim {

// A recording answered for a playback by time of one channel over a span.
struct SpanRecording {
  uint32_t channel = 0;
  time_t start = 0;  // the span in recorder calendar time, counted as UTC seconds
  time_t stop = 0;
  std::string file;
};

// Misbehaviour of the device side, for the SDK's and the source filter's failure paths.
struct DeviceFaults {
  bool refuseLogin = false;   // every login (and legacy start) refused as "busy"
  uint64_t stallAfter = 0;    // stream bytes after which a stream sends nothing more; 0 never
  uint64_t dropAfter = 0;     // stream bytes after which a stream connection closes; 0 never
  bool badMagic = false;      // headers carry the magic "4MSH"
  bool shortHeader = false;   // headers lose their last byte
};

struct DeviceOptions {
  std::optional<uint16_t> recorderPort;  // 0 picks a free port
  bool legacy = false;
  uint16_t legacyPort = 5050;            // 0 picks a free port
  std::map<std::string, std::string> users;  // name -> password
  std::map<uint32_t, std::string> channels;    // live main streams
  std::map<uint32_t, std::string> substreams;  // live sub-streams
  std::vector<SpanRecording> spans;
  DeviceFaults faults;

  bool Wanted() const { return recorderPort.has_value() || legacy; }
};

}  // namespace recsim
